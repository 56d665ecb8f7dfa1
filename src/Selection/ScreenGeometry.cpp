#include "Selection/ScreenGeometry.h"

#include "ContextCore/RectGeometry.h"
#include "ContextCore/ToolbarPlacement.h"

namespace ScreenGeometry {

std::optional<double> primaryHeight(const Platform::Screens& screens)
{
    QList<QRectF> frames;
    for (const auto& s : screens.screens())
        frames << s.frame;
    if (auto primary = ToolbarPlacement::primaryFrame(frames))
        return primary->height();
    return std::nullopt;
}

std::optional<Platform::ScreenInfo> screenContaining(const Platform::Screens& screens, const QPointF& point)
{
    for (const auto& s : screens.screens())
        if (RectGeometry::contains(s.frame, point))
            return s;
    return std::nullopt;
}

std::optional<Platform::ScreenInfo> screenUnderPointer(const Platform::Screens& screens)
{
    return screenContaining(screens, screens.pointerLocation());
}

} // namespace ScreenGeometry
