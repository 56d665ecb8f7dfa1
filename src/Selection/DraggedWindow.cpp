#include "Selection/DraggedWindow.h"

#include "ContextCore/RectGeometry.h"
#include "Selection/ScreenGeometry.h"

#include <cmath>

namespace {
bool readable(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}
} // namespace

std::optional<DraggedWindow::Found> DraggedWindow::window(const Platform::WindowList& list,
                                                          std::optional<double> primaryHeight, const QPointF& point)
{
    if (!primaryHeight)
        return std::nullopt;
    const QPointF p = ScreenGeometry::flipped(point, *primaryHeight);
    for (const auto& w : list.onScreenWindows(false)) {
        if (w.layer != 0 || w.number == 0 || !readable(w.bounds) || !RectGeometry::contains(w.bounds, p))
            continue;
        return Found{w.number, w.bounds};
    }
    return std::nullopt;
}

std::optional<QRectF> DraggedWindow::frame(const Platform::WindowList& list, quint32 number)
{
    auto w = list.window(number);
    if (!w || w->number != number || !readable(w->bounds))
        return std::nullopt;
    return w->bounds;
}

QList<SelectionGate::Surface> DraggedWindow::onScreenSurfaces(const Platform::WindowList& list)
{
    QList<SelectionGate::Surface> out;
    for (const auto& w : list.onScreenWindows(true))
        if (readable(w.bounds))
            out.append({w.bounds, w.layer});
    return out;
}
