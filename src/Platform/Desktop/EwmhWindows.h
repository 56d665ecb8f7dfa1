#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

namespace Platform {

class X11Connection;

// The top-level windows a window manager lists for pagers and task bars: their stacking order,
// the active one, their owners and their frames on screen. What was read is kept (shared by every
// instance on one connection) and read again only for what the server's notices say changed, so a
// lookup while nothing moved costs no round trip.
class EwmhWindows {
public:
    using XID = unsigned long;

    struct Client {
        XID window = 0;
        qint64 processID = 0;   // from _NET_WM_PID; 0 when the client does not say
        QByteArray instance;    // WM_CLASS, first part ("xterm")
        QByteArray className;   // WM_CLASS, second part ("XTerm")
        QRect frame;            // with the decorations, top-left coordinates of the root window
        bool desktop = false;   // the desktop layer (_NET_WM_WINDOW_TYPE_DESKTOP)
        bool dock = false;      // panels and docks
        bool mapped = false;    // on screen now: not minimised, not on another desktop
        bool operator==(const Client&) const = default;
    };

    explicit EwmhWindows(std::shared_ptr<X11Connection> connection);
    ~EwmhWindows();

    // Mapped clients from the bottom of the stack to the top.
    QList<Client> stacking();
    // Every client the window manager manages, mapped or not (minimised, on another desktop), from
    // the bottom of the stack to the top.
    QList<Client> clients();
    // One window; by default only while it is mapped.
    std::optional<Client> client(XID window, bool mappedOnly = true);
    std::optional<XID> activeWindow();
    // Read from the server, never from what is kept.
    std::optional<QRect> frame(XID window);
    // Asks the window manager to raise and focus the window, as a task bar would.
    bool activate(XID window);

    X11Connection& connection() const { return *m_x; }

    // How many windows were read from the server since the connection opened (all instances).
    int windowsRead() const;
    // Called when the server reports a change to something kept, as its event is dispatched.
    int addChangeListener(std::function<void()> listener);
    void removeChangeListener(int id);

    struct Cache;

private:
    std::optional<Client> kept(XID window, bool mappedOnly);
    QList<Client> listed(bool mappedOnly);
    std::optional<Client> read(XID window, bool& viewable, XID& topLevel);

    std::shared_ptr<X11Connection> m_x;
    std::shared_ptr<Cache> m_cache;
};

} // namespace Platform
