#pragma once

#include "Platform/WindowList.h"

#include <memory>

namespace Platform {

class EwmhWindows;
class X11Connection;

// The window manager's client list (EWMH): frames with their decorations, the desktop layer
// below ordinary windows, docks above. Unavailable without an X11 session.
class DesktopWindowList final : public WindowList {
    Q_OBJECT
public:
    explicit DesktopWindowList(std::shared_ptr<X11Connection> connection, QObject* parent = nullptr);
    ~DesktopWindowList() override;

    bool isAvailable() const override { return m_windows != nullptr; }
    QList<WindowInfo> onScreenWindows(bool includeDesktopElements) const override;
    std::optional<WindowInfo> window(quint32 number) const override;

private:
    std::unique_ptr<EwmhWindows> m_windows;
    int m_changeListener = 0;
    bool m_changePosted = false;
};

} // namespace Platform
