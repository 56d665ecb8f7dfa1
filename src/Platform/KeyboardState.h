#pragma once

#include <QObject>

namespace Platform {

// Which keys are held down now, read from the system's keyboard state (not from events, so the
// keys still reach the focused application).
class KeyboardState {
public:
    // Keys by their ANSI virtual key codes.
    enum class Key : quint16 {
        returnKey = 36,
        escape = 53,
        keypadEnter = 76,
    };

    virtual ~KeyboardState() = default;
    virtual bool isAvailable() const = 0;
    virtual bool isDown(Key key) const = 0;
};

} // namespace Platform
