#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

namespace Platform {

// Screens in global screen coordinates: origin at the bottom left of the primary screen, y up.
struct ScreenInfo {
    QRectF frame;
    QRectF visibleFrame;  // without menu bar and docks
    double refreshRate = 0; // 0 when the screen does not say
    bool operator==(const ScreenInfo&) const = default;
};

class Screens {
public:
    virtual ~Screens() = default;
    virtual QList<ScreenInfo> screens() const = 0; // the primary screen first
    virtual QPointF pointerLocation() const = 0;
};

} // namespace Platform
