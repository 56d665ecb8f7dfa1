#pragma once

#include "Platform/EventMonitors.h"

#include <QObject>

namespace Platform {

// Synthetic key presses sent to whichever application has the keyboard focus.
class Keystrokes : public QObject {
    Q_OBJECT
public:
    // Keys by their ANSI virtual key codes.
    enum class Key : quint16 {
        c = 8,
        v = 9,
    };

    using QObject::QObject;

    virtual bool isAvailable() const = 0;
    // Presses and releases one key with exactly `modifiers` held (keys the user holds do not
    // combine with it); `ModifierFlags::command` stands for this desktop's shortcut modifier, so
    // command+c is the system's copy and command+v its paste (Control+C and Control+V here).
    // The events are marked as this application's own, so no event monitor sees them. Returns
    // at once, before the focused application has reacted; false when nothing could be posted.
    virtual bool post(Key key, ModifierFlags modifiers) = 0;
};

} // namespace Platform
