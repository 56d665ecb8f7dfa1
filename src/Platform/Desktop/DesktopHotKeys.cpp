#include "Platform/Desktop/DesktopHotKeys.h"

#include "Platform/Desktop/X11Connection.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace Platform {
namespace {

struct KeyCodeSym {
    quint32 code;
    unsigned long keysym;
};

// Virtual key codes (as stored in a combination) and the X keysyms of the same keys.
constexpr KeyCodeSym keys[] = {
    {0, XK_a},   {11, XK_b},  {8, XK_c},   {2, XK_d},   {14, XK_e},  {3, XK_f},   {5, XK_g},   {4, XK_h},
    {34, XK_i},  {38, XK_j},  {40, XK_k},  {37, XK_l},  {46, XK_m},  {45, XK_n},  {31, XK_o},  {35, XK_p},
    {12, XK_q},  {15, XK_r},  {1, XK_s},   {17, XK_t},  {32, XK_u},  {9, XK_v},   {13, XK_w},  {7, XK_x},
    {16, XK_y},  {6, XK_z},   {29, XK_0},  {18, XK_1},  {19, XK_2},  {20, XK_3},  {21, XK_4},  {23, XK_5},
    {22, XK_6},  {26, XK_7},  {28, XK_8},  {25, XK_9},  {49, XK_space}, {36, XK_Return}, {48, XK_Tab},
    {53, XK_Escape}, {123, XK_Left}, {124, XK_Right}, {125, XK_Down}, {126, XK_Up},
    {51, XK_BackSpace}, {117, XK_Delete},
    {122, XK_F1}, {120, XK_F2}, {99, XK_F3},  {118, XK_F4}, {96, XK_F5},  {97, XK_F6},  {98, XK_F7},
    {100, XK_F8}, {101, XK_F9}, {109, XK_F10}, {103, XK_F11}, {111, XK_F12},
};

constexpr quint32 command = 0x100, shift = 0x200, option = 0x800, control = 0x1000;

unsigned xMask(quint32 modifiers)
{
    unsigned mask = 0;
    if (modifiers & command)
        mask |= ControlMask;
    if (modifiers & shift)
        mask |= ShiftMask;
    if (modifiers & option)
        mask |= Mod1Mask;
    if (modifiers & control)
        mask |= Mod4Mask;
    return mask;
}

} // namespace

DesktopHotKeys::DesktopHotKeys(std::shared_ptr<X11Connection> connection, QObject* parent)
    : HotKeys(parent)
    , m_x(std::move(connection))
{
    if (m_x)
        m_listener = m_x->addListener([this](const XEvent& event) {
            if (event.type == KeyPress)
                handleKeyPress(event.xkey.keycode, event.xkey.state);
        });
}

DesktopHotKeys::~DesktopHotKeys()
{
    if (!m_x)
        return;
    for (const Grab& grab : std::as_const(m_grabs))
        ungrab(grab);
    m_x->removeListener(m_listener);
}

std::optional<unsigned long> DesktopHotKeys::keysym(quint32 keyCode)
{
    for (const auto& key : keys)
        if (key.code == keyCode)
            return key.keysym;
    return std::nullopt;
}

unsigned DesktopHotKeys::lockMasks() const
{
    // NumLock sits on whichever modifier the keyboard map gives it (usually Mod2).
    unsigned numLock = 0;
    Display* display = m_x->display();
    const KeyCode numLockCode = XKeysymToKeycode(display, XK_Num_Lock);
    if (XModifierKeymap* map = XGetModifierMapping(display)) {
        for (int modifier = 0; modifier < 8; ++modifier)
            for (int k = 0; k < map->max_keypermod; ++k)
                if (numLockCode && map->modifiermap[modifier * map->max_keypermod + k] == numLockCode)
                    numLock = 1u << modifier;
        XFreeModifiermap(map);
    }
    return numLock;
}

std::expected<HotKeys::Reference, int> DesktopHotKeys::registerHotKey(quint32 keyCode, quint32 modifiers,
                                                                      Identifier identifier)
{
    if (!m_x)
        return std::unexpected(int(statusUnavailable));
    const auto sym = keysym(keyCode);
    const KeyCode code = sym ? XKeysymToKeycode(m_x->display(), *sym) : 0;
    if (!code)
        return std::unexpected(int(statusUnavailable));
    const Grab grab{code, xMask(modifiers), identifier};
    const unsigned numLock = lockMasks();
    const int error = m_x->checked([&] {
        for (unsigned locks : {0u, unsigned(LockMask), numLock, unsigned(LockMask) | numLock})
            XGrabKey(m_x->display(), grab.keycode, grab.mask | locks, m_x->root(), False, GrabModeAsync, GrabModeAsync);
    });
    if (error) {
        // BadAccess: another client has grabbed the combination. Undo the variants we got.
        ungrab(grab);
        return std::unexpected(int(error == BadAccess ? statusTaken : statusUnavailable));
    }
    const Reference reference = m_next++;
    m_grabs.insert(reference, grab);
    return reference;
}

void DesktopHotKeys::ungrab(const Grab& grab)
{
    const unsigned numLock = lockMasks();
    m_x->checked([&] {
        for (unsigned locks : {0u, unsigned(LockMask), numLock, unsigned(LockMask) | numLock})
            XUngrabKey(m_x->display(), grab.keycode, grab.mask | locks, m_x->root());
    });
}

void DesktopHotKeys::unregisterHotKey(Reference reference)
{
    const auto it = m_grabs.find(reference);
    if (it == m_grabs.end())
        return;
    const Grab grab = *it;
    m_grabs.erase(it);
    // Another registration of the same keys keeps its grab.
    for (const Grab& other : std::as_const(m_grabs))
        if (other.keycode == grab.keycode && other.mask == grab.mask)
            return;
    ungrab(grab);
}

void DesktopHotKeys::handleKeyPress(unsigned keycode, unsigned state)
{
    const unsigned relevant = state & (ControlMask | ShiftMask | Mod1Mask | Mod4Mask);
    for (const Grab& grab : std::as_const(m_grabs)) {
        if (grab.keycode == keycode && grab.mask == relevant) {
            emit pressed(grab.identifier);
            return;
        }
    }
}

} // namespace Platform
