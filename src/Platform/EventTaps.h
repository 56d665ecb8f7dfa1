#pragma once

#include <QPointF>
#include <QString>

#include <expected>
#include <functional>
#include <initializer_list>
#include <memory>

namespace Platform {

// One input event as the taps see it. Points are global, with the origin at the top left of the
// primary screen and y downwards (the X root window's own coordinates); convert with y' = H - y
// where the rest of the application works with y upwards.
struct TapEvent {
    // The raw values are the bit positions in an event mask (see EventTaps::maskOf).
    enum class Type : quint8 {
        leftMouseDown = 1,
        rightMouseDown = 3,
        scrollWheel = 22,
        otherMouseDown = 25,
        otherMouseUp = 26,
        otherMouseDragged = 27,
        // Told to a tap whose handling the system switched off (it took too long, or the user's
        // input did); the tap is left disabled until it enables itself again.
        tapDisabledByTimeout = 62,
        tapDisabledByUserInput = 63,
    };

    // Modifier keys held, as bits of `flags`. Super counts as command, Alt as option.
    static constexpr quint64 commandMask = 0x100000;
    static constexpr quint64 optionMask = 0x80000;
    static constexpr quint64 controlMask = 0x40000;
    static constexpr quint64 shiftMask = 0x20000;

    Type type = Type::scrollWheel;
    QPointF location;
    quint64 flags = 0;
    // Mouse buttons: 0 left, 1 right, 2 middle, 3 and up the others.
    int button = 0;

    // Scroll wheel: whole lines (positive: up, and left on the horizontal axis), pixels, and how the
    // device scrolls. Continuous devices (touchpads, our own pixel posts) set `isContinuous`.
    double lineDeltaY = 0;
    double lineDeltaX = 0;
    double pixelDeltaY = 0;
    double pixelDeltaX = 0;
    bool isContinuous = false;
    qint64 scrollPhase = 0;
    qint64 momentumPhase = 0;

    // The ownership marker: 0 for the user's own input; for an event we posted, the marker it was
    // posted with. A tap recognises its own synthetic events by it.
    qint64 userData = 0;

    bool operator==(const TapEvent&) const = default;
};

// A chain of taps on the input stream before it reaches the applications. Each tap watches a set
// of event types and answers for every event it is shown: pass it on unchanged, replace it (the
// changed event goes on), or swallow it (nothing after the tap sees it, no application gets it).
//
// Order: events enter the chain at a location; hid comes before session. Within one location the
// taps with the lower precedence see an event first, whatever order they were created in; taps of
// equal precedence are inserted at the head, so the one created last sees an event first. The
// radial menu's tap always comes before the smooth-scrolling tap, so wheel steps meant for an open
// ring never reach the scroll engine.
//
// Threads: every tap runs its handler on a thread of its own, named at creation, one event at a
// time. The handler must answer quickly and touch only thread-safe state. An event passes through
// the chain one tap at a time: the next tap sees it only once the previous one has answered.
// Destroying a Tap removes it from the chain and waits for a handler in flight; after that its
// handler is never called again. Destroy a Tap from any thread but its own.
//
// Synthetic events: post() puts an event into the chain at a location, behind what is already on
// its way; taps at that location and after it see it, with its `userData` as given. post() never
// waits for the chain, so a handler may post.
class EventTaps {
public:
    enum class Location { hid, session };
    enum class Precedence : int { radialMenu = 0, smoothScrolling = 1 };
    enum class Outcome { pass, replace, swallow };
    enum class StartFailure {
        notPermitted, // this process may not watch the user's input
        unavailable,  // the system refused the tap, or this session cannot offer it
    };

    // Modifies the event in place when answering replace; its changes are ignored on pass.
    using Handler = std::function<Outcome(TapEvent& event)>;

    struct Options {
        QString threadName;
        Location location = Location::session;
        Precedence precedence = Precedence::smoothScrolling;
        quint64 mask = 0;
    };

    // An installed tap. Enabled once created.
    class Tap {
    public:
        virtual ~Tap() = default;
        virtual void setEnabled(bool enabled) = 0;
        virtual bool isEnabled() const = 0;
    };

    // The mask of the given types; the disabling notices reach every tap whatever its mask.
    static constexpr quint64 maskOf(std::initializer_list<TapEvent::Type> types)
    {
        quint64 mask = 0;
        for (auto type : types)
            mask |= quint64(1) << quint8(type);
        return mask;
    }

    virtual ~EventTaps() = default;

    virtual std::expected<std::unique_ptr<Tap>, StartFailure> createTap(const Options& options, Handler handler) = 0;
    virtual void post(const TapEvent& event, Location location) = 0;
    // Whether post() can deliver scroll events in pixels here (not only whole wheel lines).
    virtual bool canPostPixelScrolls() const = 0;
    // What is missing for taps or pixel scrolling, in a sentence for the log; empty when nothing is.
    virtual QString limitation() const = 0;
};

} // namespace Platform
