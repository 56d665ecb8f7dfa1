#include "ContextCore/RectGeometry.h"

#include <algorithm>

namespace RectGeometry {

bool contains(const QRectF& rect, const QPointF& point)
{
    const QRectF r = rect.normalized();
    return r.left() <= point.x() && point.x() < r.left() + r.width()
        && r.top() <= point.y() && point.y() < r.top() + r.height();
}

bool intersects(const QRectF& a, const QRectF& b)
{
    const QRectF r = a.normalized();
    const QRectF s = b.normalized();
    const double left = std::max(r.left(), s.left());
    const double right = std::min(r.left() + r.width(), s.left() + s.width());
    const double bottom = std::max(r.top(), s.top());
    const double top = std::min(r.top() + r.height(), s.top() + s.height());
    return left < right && bottom < top;
}

} // namespace RectGeometry
