#include "LocalActions/Finder/CutPasteboard.h"

#include <QLocale>

#include <cmath>

namespace {

const QString timestampType = QStringLiteral("com.corvish.cut.at");

double secondsSince1970(const QDateTime& t)
{
    return double(t.toMSecsSinceEpoch()) / 1000.0;
}

// A plain decimal number: the whole text, C locale, finite.
std::optional<double> parseStamp(const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QList<QUrl> existing(const QList<QUrl>& urls, const FileOperations& fileOperations)
{
    QList<QUrl> kept;
    kept.reserve(urls.size());
    // The board is a file any program may write: only items a paste could move count.
    for (const QUrl& url : urls)
        if (const auto path = checkedSourcePath(url); path && fileOperations.exists(*path))
            kept.append(url);
    return kept;
}

} // namespace

CutPasteboard::CutPasteboard(std::shared_ptr<Platform::Pasteboards> pasteboards, QString boardName,
                             std::shared_ptr<Platform::Clock> clock, std::shared_ptr<FileOperations> fileOperations)
    : m_pasteboards(std::move(pasteboards))
    , m_boardName(std::move(boardName))
    , m_clock(std::move(clock))
    , m_fileOperations(std::move(fileOperations))
{
}

CutPasteboard CutPasteboard::shared(std::shared_ptr<Platform::Pasteboards> pasteboards,
                                    std::shared_ptr<Platform::Clock> clock)
{
    return CutPasteboard(std::move(pasteboards), sharedName, std::move(clock));
}

std::shared_ptr<Platform::Pasteboard> CutPasteboard::board() const
{
    return m_pasteboards->named(m_boardName);
}

void CutPasteboard::write(const QList<QUrl>& urls)
{
    if (urls.isEmpty())
        return;
    const QString stamp = QString::number(secondsSince1970(m_clock->now()), 'g', QLocale::FloatingPointShortest);
    // One text of the type for all items: a cut may name hundreds of thousands of files.
    static const QString fileURLType = QString::fromLatin1(Platform::Pasteboard::typeFileURL);
    QList<Platform::PasteboardItem> items;
    items.reserve(urls.size());
    for (const QUrl& url : urls) {
        Platform::PasteboardItem item;
        item.representations.append({fileURLType, url.toEncoded()});
        items.append(std::move(item));
    }
    items.first().setData(timestampType, stamp.toUtf8());
    board()->writeItems(items);
}

QList<QUrl> CutPasteboard::read(const QDateTime& now, const FileOperations& fileOperations)
{
    const auto pasteboard = board();
    const QList<Platform::PasteboardItem> items = pasteboard->items();
    std::optional<QByteArray> stampBytes;
    for (const auto& item : items) {
        if ((stampBytes = item.data(timestampType)))
            break;
    }
    if (!stampBytes)
        return {};
    const auto stamp = parseStamp(QString::fromUtf8(*stampBytes));
    if (!stamp)
        return {};
    // Exactly 1800 s old, or stamped in the future, still counts.
    if (secondsSince1970(now) - *stamp > expiry) {
        pasteboard->clearContents();
        return {};
    }
    static const QString fileURLType = QString::fromLatin1(Platform::Pasteboard::typeFileURL);
    QList<QUrl> urls;
    urls.reserve(items.size());
    for (const auto& item : items) {
        const auto bytes = item.data(fileURLType);
        if (!bytes)
            continue;
        const QUrl url = QUrl::fromEncoded(*bytes, QUrl::StrictMode);
        if (!url.isValid()) {
            urls.clear();
            break;
        }
        urls.append(url);
    }
    const QList<QUrl> kept = existing(urls, fileOperations);
    if (kept.isEmpty())
        pasteboard->clearContents();
    return kept;
}

void CutPasteboard::clear()
{
    board()->clearContents();
}

bool CutPasteboard::hasPendingCut()
{
    return !read(m_clock->now(), *m_fileOperations).isEmpty();
}

bool CutClipboard::Pending::isExpired(const QDateTime& now) const
{
    return double(cutAt.msecsTo(now)) / 1000.0 > CutPasteboard::expiry;
}

CutClipboard::CutClipboard(std::shared_ptr<FileOperations> fileOperations)
    : m_fileOperations(std::move(fileOperations))
{
}

void CutClipboard::cut(const QList<QUrl>& urls, const QDateTime& at)
{
    if (urls.isEmpty())
        return;
    QMutexLocker lock(&m_mutex);
    m_pending = Pending{urls, at};
}

void CutClipboard::clear()
{
    QMutexLocker lock(&m_mutex);
    m_pending.reset();
}

std::optional<CutClipboard::Pending> CutClipboard::current(const QDateTime& now)
{
    QMutexLocker lock(&m_mutex);
    if (!m_pending)
        return std::nullopt;
    if (m_pending->isExpired(now)) {
        m_pending.reset();
        return std::nullopt;
    }
    const QList<QUrl> kept = existing(m_pending->urls, *m_fileOperations);
    if (kept.isEmpty()) {
        m_pending.reset();
        return std::nullopt;
    }
    if (kept.size() != m_pending->urls.size())
        m_pending = Pending{kept, m_pending->cutAt};
    return m_pending;
}
