#pragma once

#include "Platform/Keystrokes.h"

#include <QList>

#include <memory>

namespace Platform {

class X11Connection;

// Synthetic key presses through the XTest extension. Modifiers the user holds would join ours (a
// held Alt turns Control+C into Control+Alt+C), so a press first waits a moment for the user to
// let go of them; keys still held then are lifted around our press and put back after it.
// Command is Control here, the desktop's shortcut modifier. Our own presses are dispatched at
// once with the connection marked, so the event monitors leave them out.
class DesktopKeystrokes final : public Keystrokes {
    Q_OBJECT
public:
    static constexpr int modifierWait = 250; // milliseconds

    explicit DesktopKeystrokes(std::shared_ptr<X11Connection> connection, QObject* parent = nullptr);

    bool isAvailable() const override { return m_available; }
    bool post(Key key, ModifierFlags modifiers) override;

    // The modifier keys down right now.
    QList<unsigned char> heldModifierKeys() const;

private:
    std::shared_ptr<X11Connection> m_x;
    bool m_available = false;
};

} // namespace Platform
