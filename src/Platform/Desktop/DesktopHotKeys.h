#pragma once

#include "Platform/HotKeys.h"

#include <QMap>

#include <memory>

namespace Platform {

class X11Connection;

// System-wide hot keys as passive key grabs on the X root window. Each combination is grabbed
// four times, with and without NumLock and CapsLock, so that those locks never hide a press.
// Command is the Control key here, option Alt, control the Super key. Without an X11 session
// every registration is refused with statusUnavailable; a combination another client holds
// is refused with statusTaken.
class DesktopHotKeys final : public HotKeys {
    Q_OBJECT
public:
    explicit DesktopHotKeys(std::shared_ptr<X11Connection> connection, QObject* parent = nullptr);
    ~DesktopHotKeys() override;

    std::expected<Reference, int> registerHotKey(quint32 keyCode, quint32 modifiers, Identifier identifier) override;
    void unregisterHotKey(Reference reference) override;

    // The X keysym of a key by its virtual code; none for a key without one.
    static std::optional<unsigned long> keysym(quint32 keyCode);

private:
    struct Grab {
        unsigned keycode = 0;
        unsigned mask = 0;
        Identifier identifier;
    };
    void ungrab(const Grab& grab);
    unsigned lockMasks() const;
    void handleKeyPress(unsigned keycode, unsigned state);

    std::shared_ptr<X11Connection> m_x;
    int m_listener = 0;
    QMap<Reference, Grab> m_grabs;
    Reference m_next = 1;
};

} // namespace Platform
