#pragma once

#include "Platform/Pasteboard.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// A complete copy of a pasteboard's items, and putting it back.
namespace PasteboardGuard {

struct Snapshot {
    // Each item's types with their bytes, in the item's own order.
    QList<QList<QPair<QString, QByteArray>>> items;
    bool isEmpty() const;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const Platform::Pasteboard& pasteboard);
// Clears the pasteboard and writes the saved items in one write. True when the pasteboard holds
// them again (an empty snapshot leaves it empty, which counts).
bool restore(const Snapshot& snapshot, Platform::Pasteboard& pasteboard);
// Clears the pasteboard; false when it refused.
bool clear(Platform::Pasteboard& pasteboard);
// Clears the pasteboard and sets one plain-text string; false when it refused.
bool setString(Platform::Pasteboard& pasteboard, const QString& text);

} // namespace PasteboardGuard
