#pragma once

#include "Platform/Screens.h"

#include <QPointF>

#include <optional>

// The screen questions of the toolbar and the capture, in screen coordinates (origin at the
// bottom left of the primary screen, y up).
namespace ScreenGeometry {

// The height of the primary screen's frame; none without screens.
std::optional<double> primaryHeight(const Platform::Screens& screens);
// The first screen whose frame contains the point (half-open).
std::optional<Platform::ScreenInfo> screenContaining(const Platform::Screens& screens, const QPointF& point);
std::optional<Platform::ScreenInfo> screenUnderPointer(const Platform::Screens& screens);

// Top-left (window-list) coordinates and screen coordinates turn into each other the same way.
inline QPointF flipped(const QPointF& p, double primaryHeight) { return {p.x(), primaryHeight - p.y()}; }
inline QRectF flipped(const QRectF& r, double primaryHeight)
{
    return {r.x(), primaryHeight - r.y() - r.height(), r.width(), r.height()};
}

} // namespace ScreenGeometry
