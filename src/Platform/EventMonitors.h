#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWindow>

#include <functional>
#include <optional>

namespace Platform {

// The modifier keys held, as bits. The four named keys use the same values as
// SelectionGate::Modifiers, so a raw value passes between them unchanged. On this desktop
// command is the Super (Windows) key and function is any key that the system maps to Mode_switch
// or a vendor "Fn" key; a keyboard that reports no such key simply never sets the bit.
struct ModifierFlags {
    quint64 rawValue = 0;

    static constexpr quint64 shift = 0x20000;
    static constexpr quint64 control = 0x40000;
    static constexpr quint64 option = 0x80000; // Alt
    static constexpr quint64 command = 0x100000;
    static constexpr quint64 function = 0x800000;

    constexpr bool has(quint64 bit) const { return (rawValue & bit) == bit; }
    bool operator==(const ModifierFlags&) const = default;
};

// Kinds of input events that monitors can watch. Masks are OR-ed bits.
enum EventType : quint32 {
    leftMouseDown = 1u << 0,
    leftMouseUp = 1u << 1,
    rightMouseDown = 1u << 2,
    otherMouseDown = 1u << 3, // middle and further buttons
    leftMouseDragged = 1u << 4,
    keyDown = 1u << 5,
    scrollWheel = 1u << 6,
};
using EventMask = quint32;

// One input event as a monitor sees it.
struct InputEvent {
    EventType type = leftMouseDown;
    // Global position of the pointer when the event happened, in screen coordinates: origin at
    // the bottom left of the primary screen, y up (the Screens service's coordinates).
    QPointF location;
    // 1 for a single click, 2 for a double click and so on (mouse down and up); 0 otherwise.
    int clickCount = 0;
    ModifierFlags modifiers;
    // Local monitors only: the window of this application the event went to; null when it went
    // to none (or for global monitors).
    QPointer<QWindow> window;
};

// Watches the user's input: global monitors see the events sent to other applications, local
// monitors those sent to this application's own windows. Monitors only look: they can neither
// change nor swallow an event. Handlers are called on the main thread, in the order the events
// happened. Events this application posts itself (Keystrokes) are never delivered to monitors.
class EventMonitors : public QObject {
    Q_OBJECT
public:
    using Token = quint64;
    using Handler = std::function<void(const InputEvent&)>;

    using QObject::QObject;

    // Whether this session can watch input at all; when false every add answers nothing.
    virtual bool isAvailable() const = 0;
    // Installs a monitor for the events of `mask`; answers its token (never 0), or nothing when
    // the system refuses.
    virtual std::optional<Token> addGlobalMonitor(EventMask mask, Handler handler) = 0;
    virtual std::optional<Token> addLocalMonitor(EventMask mask, Handler handler) = 0;
    // Removes a monitor; an unknown or already removed token is ignored. A removed monitor's
    // handler is not called again, even for an event already queued.
    virtual void removeMonitor(Token token) = 0;

    // The pointer's position now, in screen coordinates (origin bottom left, y up); inside a global
    // monitor's handler, where it was at that event (and the modifiers likewise).
    virtual QPointF pointerLocation() const = 0;
    // The modifier keys held now.
    virtual ModifierFlags modifierFlags() const = 0;
};

} // namespace Platform
