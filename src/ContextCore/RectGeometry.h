#pragma once

#include <QPointF>
#include <QRectF>

// Rectangle tests with the platform's meaning rather than QRectF's: containment is half-open
// (min <= p < max, so the far edges are outside) and two rectangles intersect only when they
// overlap with a positive area. Rectangles with a negative width or height are normalised first.
namespace RectGeometry {

bool contains(const QRectF& rect, const QPointF& point);
bool intersects(const QRectF& a, const QRectF& b);

} // namespace RectGeometry
