#pragma once

#include "Platform/Screens.h"

namespace Platform {

class SimulatedScreens final : public Screens {
public:
    // One 1440 x 900 screen with a 25 pt menu bar, until told otherwise.
    SimulatedScreens();
    QList<ScreenInfo> screens() const override { return m_screens; }
    QPointF pointerLocation() const override { return m_pointer; }

    void setScreens(QList<ScreenInfo> s) { m_screens = std::move(s); }
    void setPointerLocation(QPointF p) { m_pointer = p; }

private:
    QList<ScreenInfo> m_screens;
    QPointF m_pointer;
};

} // namespace Platform
