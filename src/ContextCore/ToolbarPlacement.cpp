#include "ContextCore/ToolbarPlacement.h"

#include "ContextCore/RectGeometry.h"

#include <algorithm>

namespace ToolbarPlacement {

namespace {

// Keeps a window of `extent` inside [low, high) with the margin on both sides; a window that does
// not fit sits at the low margin.
double clamped(double value, double extent, double low, double high)
{
    const double lower = low + gap;
    const double upper = high - extent - gap;
    if (upper > lower)
        return std::min(std::max(value, lower), upper);
    return lower;
}

QPointF placed(double x, double y, const QSizeF& size, const QRectF& visibleFrame)
{
    const QRectF frame = visibleFrame.normalized();
    return {clamped(x, size.width(), frame.left(), frame.left() + frame.width()),
            clamped(y, size.height(), frame.top(), frame.top() + frame.height())};
}

} // namespace

QPointF origin(const QRectF& anchor, const QSizeF& size, const QRectF& visibleFrame)
{
    const QRectF a = anchor.normalized();
    const double x = a.center().x() - size.width() * 0.5;
    double y = a.top() - size.height() - gap; // QRectF's top() is the minimum y: the bottom edge here
    if (visibleFrame.normalized().top() > y)
        y = a.top() + a.height() + gap;
    return placed(x, y, size, visibleFrame);
}

QPointF hintOrigin(const QRectF& button, const QRectF& barFrame, const QSizeF& size, const QRectF& visibleFrame)
{
    const QRectF bar = barFrame.normalized();
    const double x = bar.left() + button.normalized().center().x() - size.width() * 0.5;
    double y = bar.top() - size.height() - hintGap;
    if (visibleFrame.normalized().top() > y)
        y = bar.top() + bar.height() + hintGap;
    return placed(x, y, size, visibleFrame);
}

QRectF screenFrame(const QRectF& rect, const QList<QRectF>& screens, const QRectF& fallback)
{
    for (const QRectF& screen : screens) {
        if (RectGeometry::intersects(screen, rect))
            return screen;
    }
    const QPointF corner = rect.normalized().topLeft(); // minimum x and y
    for (const QRectF& screen : screens) {
        if (RectGeometry::contains(screen, corner))
            return screen;
    }
    return fallback;
}

std::optional<QRectF> primaryFrame(const QList<QRectF>& screens)
{
    for (const QRectF& screen : screens) {
        if (screen.x() == 0 && screen.y() == 0)
            return screen;
    }
    if (screens.isEmpty())
        return std::nullopt;
    return screens.first();
}

bool followsTheUserAcrossSpaces(SpacesBehaviour behaviour)
{
    using B = SpacesBehaviour;
    const int exclusive = int(behaviour.has(B::managedBit)) + int(behaviour.has(B::transientBit))
                        + int(behaviour.has(B::stationaryBit));
    return behaviour.has(B::canJoinAllSpacesBit) && !behaviour.has(B::stationaryBit) && exclusive <= 1;
}

} // namespace ToolbarPlacement
