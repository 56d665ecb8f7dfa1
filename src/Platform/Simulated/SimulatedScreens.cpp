#include "Platform/Simulated/SimulatedScreens.h"

namespace Platform {

SimulatedScreens::SimulatedScreens()
    : m_screens{ScreenInfo{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875), 60}}
{
}

} // namespace Platform
