#pragma once

#include "Platform/Screens.h"

namespace Platform {

// Qt's screens, converted at this boundary from y-down to y-up global coordinates.
class DesktopScreens final : public Screens {
public:
    QList<ScreenInfo> screens() const override;
    QPointF pointerLocation() const override;

    // y' = H - y, with H the primary screen's height; a rectangle's bottom edge becomes its origin.
    static QRectF toGlobal(const QRectF& qtRect, double primaryHeight);
    static QPointF toGlobal(const QPointF& qtPoint, double primaryHeight);
};

} // namespace Platform
