#include "Platform/Desktop/DesktopKeyboardState.h"

#include "Platform/Desktop/X11Connection.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace Platform {

DesktopKeyboardState::DesktopKeyboardState(std::shared_ptr<X11Connection> connection) : m_x(std::move(connection)) {}

bool DesktopKeyboardState::isDown(Key key) const
{
    if (!m_x)
        return false;
    KeySym sym = XK_Escape;
    switch (key) {
    case Key::escape: sym = XK_Escape; break;
    case Key::returnKey: sym = XK_Return; break;
    case Key::keypadEnter: sym = XK_KP_Enter; break;
    }
    Display* display = m_x->display();
    const KeyCode code = XKeysymToKeycode(display, sym);
    if (!code)
        return false;
    char keys[32] = {};
    XQueryKeymap(display, keys);
    return keys[code / 8] & (1 << (code % 8));
}

} // namespace Platform
