#include "Platform/Desktop/DesktopKeystrokes.h"

#include "Platform/Desktop/X11Connection.h"

#include <QDeadlineTimer>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace Platform {

DesktopKeystrokes::DesktopKeystrokes(std::shared_ptr<X11Connection> connection, QObject* parent)
    : Keystrokes(parent)
    , m_x(std::move(connection))
{
    int event = 0, error = 0, major = 0, minor = 0;
    m_available = m_x && XTestQueryExtension(m_x->display(), &event, &error, &major, &minor);
}

QList<unsigned char> DesktopKeystrokes::heldModifierKeys() const
{
    QList<unsigned char> out;
    if (!m_x)
        return out;
    char keys[32] = {};
    XQueryKeymap(m_x->display(), keys);
    XModifierKeymap* map = XGetModifierMapping(m_x->display());
    if (!map)
        return out;
    // CapsLock and NumLock latch rather than being held down: they are left alone.
    const KeyCode numLock = XKeysymToKeycode(m_x->display(), XK_Num_Lock);
    for (int modifier = 0; modifier < 8; ++modifier) {
        if (modifier == LockMapIndex)
            continue;
        for (int k = 0; k < map->max_keypermod; ++k) {
            const KeyCode code = map->modifiermap[modifier * map->max_keypermod + k];
            if (code && code != numLock && (keys[code / 8] & (1 << (code % 8))) && !out.contains(code))
                out.append(code);
        }
    }
    XFreeModifiermap(map);
    return out;
}

bool DesktopKeystrokes::post(Key key, ModifierFlags modifiers)
{
    if (!m_available)
        return false;
    Display* display = m_x->display();
    const KeySym sym = key == Key::c ? XK_c : XK_v;
    const KeyCode code = XKeysymToKeycode(display, sym);
    if (!code)
        return false;
    QList<KeyCode> ours;
    auto add = [&](KeySym modifier) {
        const KeyCode c = XKeysymToKeycode(display, modifier);
        if (c && !ours.contains(c))
            ours.append(c);
    };
    if (modifiers.has(ModifierFlags::command) || modifiers.has(ModifierFlags::control))
        add(XK_Control_L);
    if (modifiers.has(ModifierFlags::shift))
        add(XK_Shift_L);
    if (modifiers.has(ModifierFlags::option))
        add(XK_Alt_L);

    // A short, bounded wait for the user's own modifiers to come up.
    const QDeadlineTimer deadline(modifierWait);
    QList<unsigned char> held = heldModifierKeys();
    while (!held.isEmpty() && !deadline.hasExpired()) {
        QThread::msleep(5);
        held = heldModifierKeys();
    }

    for (unsigned char k : std::as_const(held))
        XTestFakeKeyEvent(display, k, False, CurrentTime);
    for (KeyCode k : std::as_const(ours))
        XTestFakeKeyEvent(display, k, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    for (auto it = ours.crbegin(); it != ours.crend(); ++it)
        XTestFakeKeyEvent(display, *it, False, CurrentTime);
    // The user's keys are still down: the server should think so again.
    for (unsigned char k : std::as_const(held))
        XTestFakeKeyEvent(display, k, True, CurrentTime);
    QList<int> presses;
    for (KeyCode k : std::as_const(ours))
        presses.append(k);
    presses.append(code);
    for (unsigned char k : std::as_const(held))
        presses.append(k);
    m_x->noteOwnKeyPresses(presses);
    XFlush(display);
    return true;
}

} // namespace Platform
