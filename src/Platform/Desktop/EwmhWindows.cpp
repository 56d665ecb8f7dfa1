#include "Platform/Desktop/EwmhWindows.h"

#include "Platform/Desktop/X11Connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace Platform {

EwmhWindows::EwmhWindows(std::shared_ptr<X11Connection> connection)
    : m_x(std::move(connection))
{
}

QList<EwmhWindows::Client> EwmhWindows::stacking()
{
    QList<Client> out;
    const auto windows = m_x->cardinals(m_x->root(), "_NET_CLIENT_LIST_STACKING");
    if (!windows)
        return out;
    for (const unsigned long window : *windows)
        if (auto c = client(window))
            out.append(*c);
    return out;
}

std::optional<EwmhWindows::Client> EwmhWindows::client(XID window, bool mappedOnly)
{
    XWindowAttributes attributes;
    bool ok = false;
    if (m_x->checked([&] { ok = XGetWindowAttributes(m_x->display(), window, &attributes) != 0; }) || !ok)
        return std::nullopt; // gone meanwhile
    if (mappedOnly && attributes.map_state != IsViewable)
        return std::nullopt;
    Client c;
    c.window = window;
    if (const auto pid = m_x->cardinals(window, "_NET_WM_PID"); pid && !pid->isEmpty())
        c.processID = qint64(pid->first());
    if (const auto wmClass = m_x->bytes(window, "WM_CLASS")) {
        const QList<QByteArray> parts = wmClass->split('\0');
        c.instance = parts.value(0);
        c.className = parts.value(1);
    }
    if (const auto types = m_x->cardinals(window, "_NET_WM_WINDOW_TYPE")) {
        c.desktop = types->contains(m_x->atom("_NET_WM_WINDOW_TYPE_DESKTOP"));
        c.dock = types->contains(m_x->atom("_NET_WM_WINDOW_TYPE_DOCK"));
    }
    c.frame = frame(window).value_or(QRect());
    return c;
}

std::optional<EwmhWindows::XID> EwmhWindows::activeWindow()
{
    const auto active = m_x->windowProperty(m_x->root(), "_NET_ACTIVE_WINDOW");
    if (!active || *active == None)
        return std::nullopt;
    return active;
}

std::optional<QRect> EwmhWindows::frame(XID window)
{
    Display* display = m_x->display();
    XWindowAttributes attributes;
    int x = 0, y = 0;
    Window child = None;
    bool ok = false;
    const int error = m_x->checked([&] {
        ok = XGetWindowAttributes(display, window, &attributes)
            && XTranslateCoordinates(display, window, m_x->root(), 0, 0, &x, &y, &child);
    });
    if (error || !ok)
        return std::nullopt;
    QRect rect(x - attributes.border_width, y - attributes.border_width, attributes.width + 2 * attributes.border_width,
               attributes.height + 2 * attributes.border_width);
    // left, right, top, bottom decorations the window manager added around the client.
    if (const auto extents = m_x->cardinals(window, "_NET_FRAME_EXTENTS"); extents && extents->size() == 4)
        rect.adjust(-int((*extents)[0]), -int((*extents)[2]), int((*extents)[1]), int((*extents)[3]));
    return rect;
}

bool EwmhWindows::activate(XID window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m_x->atom("_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // source: a pager, acting for the user
    event.xclient.data.l[1] = CurrentTime;
    const int error = m_x->checked([&] {
        XSendEvent(m_x->display(), m_x->root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    });
    return error == 0;
}

} // namespace Platform
