#include "Platform/Simulated/SimulatedWindowList.h"

namespace Platform {

QList<WindowInfo> SimulatedWindowList::onScreenWindows(bool includeDesktopElements) const
{
    QList<WindowInfo> out;
    for (const auto& w : m_windows)
        if (includeDesktopElements || w.layer >= 0)
            out << w;
    return out;
}

std::optional<WindowInfo> SimulatedWindowList::window(quint32 number) const
{
    for (const auto& w : m_windows)
        if (w.number == number)
            return w;
    return std::nullopt;
}

void SimulatedWindowList::moveWindow(quint32 number, QPointF origin)
{
    for (auto& w : m_windows)
        if (w.number == number)
            w.bounds.moveTopLeft(origin);
}

} // namespace Platform
