#pragma once

#include "Platform/WindowList.h"

namespace Platform {

// A list of windows, front to back, that tests set and move.
class SimulatedWindowList final : public WindowList {
    Q_OBJECT
public:
    using WindowList::WindowList;

    bool isAvailable() const override { return true; }
    QList<WindowInfo> onScreenWindows(bool includeDesktopElements) const override;
    std::optional<WindowInfo> window(quint32 number) const override;

    // Script
    void setWindows(QList<WindowInfo> windows) { m_windows = std::move(windows); }
    // Moves a window's frame, as a drag by its title bar does.
    void moveWindow(quint32 number, QPointF origin);

private:
    QList<WindowInfo> m_windows;
};

} // namespace Platform
