#include "Platform/Pasteboard.h"

#include <QTimer>

namespace Platform {

QStringList PasteboardItem::types() const
{
    QStringList out;
    for (const auto& r : representations)
        out << r.first;
    return out;
}

std::optional<QByteArray> PasteboardItem::data(const QString& type) const
{
    for (const auto& r : representations)
        if (r.first == type)
            return r.second;
    return std::nullopt;
}

void PasteboardItem::setData(const QString& type, const QByteArray& bytes)
{
    for (auto& r : representations) {
        if (r.first == type) {
            r.second = bytes;
            return;
        }
    }
    representations.append({type, bytes});
}

std::optional<QString> Pasteboard::string() const
{
    if (auto d = data(typeString))
        return QString::fromUtf8(*d);
    return std::nullopt;
}

qint64 Pasteboard::setString(const QString& text)
{
    PasteboardItem item;
    item.setData(typeString, text.toUtf8());
    return writeItems({item});
}

std::optional<QByteArray> Pasteboard::data(const QString& type) const
{
    for (const auto& item : items())
        if (auto d = item.data(type))
            return d;
    return std::nullopt;
}

void Pasteboard::whenFetched(std::chrono::milliseconds timeout, QObject* context, std::function<void(bool)> done)
{
    QTimer::singleShot(timeout, Qt::PreciseTimer, context, [done = std::move(done)] { done(false); });
}

void Pasteboards::readSelectionBuffer(QObject* context, std::function<void(std::optional<QString>)> done)
{
    QTimer::singleShot(0, context, [done = std::move(done)] { done(std::nullopt); });
}

} // namespace Platform
