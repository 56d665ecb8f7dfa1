#include "Selection/PasteboardGuard.h"

namespace PasteboardGuard {

bool Snapshot::isEmpty() const
{
    for (const auto& item : items)
        if (!item.isEmpty())
            return false;
    return true;
}

Snapshot snapshot(const Platform::Pasteboard& pasteboard)
{
    Snapshot s;
    for (const auto& item : pasteboard.items())
        s.items.append(item.representations);
    return s;
}

namespace {
// A pasteboard that took a write counts it; one that refused keeps its count.
bool write(Platform::Pasteboard& pasteboard, const QList<Platform::PasteboardItem>& items)
{
    const qint64 before = pasteboard.changeCount();
    return pasteboard.writeItems(items) != before;
}
} // namespace

bool clear(Platform::Pasteboard& pasteboard)
{
    return write(pasteboard, {});
}

bool setString(Platform::Pasteboard& pasteboard, const QString& text)
{
    if (!clear(pasteboard))
        return false;
    Platform::PasteboardItem item;
    item.setData(QString::fromLatin1(Platform::Pasteboard::typeString), text.toUtf8());
    return write(pasteboard, {item});
}

bool restore(const Snapshot& snapshot, Platform::Pasteboard& pasteboard)
{
    const bool cleared = clear(pasteboard);
    if (snapshot.isEmpty())
        return cleared;
    QList<Platform::PasteboardItem> items;
    for (const auto& saved : snapshot.items) {
        Platform::PasteboardItem item;
        for (const auto& [type, bytes] : saved)
            item.setData(type, bytes);
        items.append(item);
    }
    return write(pasteboard, items);
}

} // namespace PasteboardGuard
