#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

// Where the floating selection toolbar and its button hint go. Every rectangle and point is in
// screen coordinates with the origin at the bottom left of the primary screen and y upward, so a
// rectangle's minimum y is its bottom edge.
namespace ToolbarPlacement {

// Between the selection and the toolbar, and kept from every edge of the visible frame.
inline constexpr double gap = 8;
// Between the toolbar and the hint.
inline constexpr double hintGap = 4;

// The bits of a window's collection behaviour across Spaces.
struct SpacesBehaviour {
    quint64 rawValue = 0;

    static constexpr quint64 canJoinAllSpacesBit = 1;
    static constexpr quint64 moveToActiveSpaceBit = 2;
    static constexpr quint64 managedBit = 4;
    static constexpr quint64 transientBit = 8;
    static constexpr quint64 stationaryBit = 16;

    constexpr bool has(quint64 bit) const { return (rawValue & bit) != 0; }
    bool operator==(const SpacesBehaviour&) const = default;
};

// The toolbar's origin (bottom-left corner): centred below the selection, above it when there
// is no room below, then kept inside the visible frame.
QPointF origin(const QRectF& anchor, const QSizeF& size, const QRectF& visibleFrame);
// The hint's origin: centred under the hovered button (x of `button` measured from the toolbar's
// left edge), above the toolbar when there is no room below, then kept inside the visible frame.
QPointF hintOrigin(const QRectF& button, const QRectF& barFrame, const QSizeF& size, const QRectF& visibleFrame);
// The first screen that overlaps `rect`, else the first that contains its origin (a rectangle of
// zero size overlaps nothing), else `fallback`.
QRectF screenFrame(const QRectF& rect, const QList<QRectF>& screens, const QRectF& fallback);
// The screen at origin (0, 0), else the first one; none for no screens.
std::optional<QRectF> primaryFrame(const QList<QRectF>& screens);
bool followsTheUserAcrossSpaces(SpacesBehaviour behaviour);

} // namespace ToolbarPlacement
