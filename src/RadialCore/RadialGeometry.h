#pragma once

#include "RadialCore/RadialSettings.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <numbers>

// Which way a semicircle opens.
enum class RadialFacing { up, down, left, right };
inline constexpr std::array<RadialFacing, 4> radialFacingCases{RadialFacing::up, RadialFacing::down, RadialFacing::left,
                                                               RadialFacing::right};
QString toRaw(RadialFacing facing);
double centreAngle(RadialFacing facing);

// The arithmetic of the ring. Angles are radians counter-clockwise from the positive x axis with y
// up; positions along the ring are in items (2.5 is half-way between items 2 and 3).
namespace RadialGeometry {

// The arc a semicircle's visible items span.
inline constexpr double semicircleSweep = 0.9 * std::numbers::pi;

struct Placement {
    int index = 0;
    double angle = 0;
    double distanceFromSelection = 0; // in items, >= 0
    double opacity = 1;               // fades items beyond a semicircle's visible arc

    QPointF offset(double radius) const;
    double emphasis() const;
    bool operator==(const Placement&) const = default;
};

struct Layout {
    double radius = 0;
    double itemSize = 0;
    bool operator==(const Layout&) const = default;
};

// Centre and frame in screen coordinates (origin bottom left, y up).
RadialFacing facing(QPointF centre, const QRectF& visibleFrame, double radius);
// The ring's radius and item size: the ring grows when even minimum-size items would overlap.
Layout layout(double preferred, int count, RadialShape shape, int visibleCount, double idealItemSize,
              double minimumItemSize);
QList<Placement> placements(int count, double position, RadialShape shape, int visibleCount, RadialFacing facing);
// The offset brought into [-count/2, count/2] round a circle of `count` items; 0 without items.
double wrappedOffset(double value, int count);

} // namespace RadialGeometry
