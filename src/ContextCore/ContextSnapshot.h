#pragma once

#include "ContextCore/ContextKind.h"

#include <QDateTime>
#include <QList>
#include <QRectF>
#include <QString>
#include <QUrl>

#include <optional>

// One captured selection, handed from the capturing side to the arrangement and to the actions.
// It lives in memory only: never stored, encoded or sent to another process.
struct ContextSnapshot {
    // Older than this, a snapshot is not acted on.
    static constexpr double defaultMaxAge = 30.0;

    QString sourceBundleID;               // the application the selection was made in
    ContextKind kind = ContextKind::finderEmpty;
    std::optional<QString> selectedText;  // absent for file selections
    QList<QUrl> selectedFileURLs;         // in the capturing side's order; empty for text
    std::optional<QUrl> targetDirectoryURL;
    bool isEditable = false;
    bool isSecure = false;
    // Global screen coordinates, origin at the bottom left of the primary screen, y up.
    std::optional<QRectF> anchorRect;
    QDateTime capturedAt;

    // Strictly older than `maxAge` seconds at `now`; a capture time after `now` is never stale.
    bool isStale(const QDateTime& now, double maxAge) const;
    // Nothing runs on a secure selection.
    bool allowsAnyAction() const;
    // There is something an AI action can work on: non-blank text, or at least one file.
    bool allowsAIAction() const;

    bool operator==(const ContextSnapshot&) const = default;
};
