#include "Platform/Pasteboard.h"

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

} // namespace Platform
