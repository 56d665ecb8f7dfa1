#pragma once

#include <QPointF>

#include <variant>

// What a press of the middle button means: a plain click for the application below, or a gesture
// that opens the ring (held long enough, or dragged far enough, whichever comes first). A value
// without timers: the controller feeds it events and ticks and acts on the outcomes.
struct RadialGesture {
    struct Idle {
        bool operator==(const Idle&) const = default;
    };
    struct Pending {
        double since = 0; // press time, on the clock of tick()
        QPointF origin;
        bool operator==(const Pending&) const = default;
    };
    struct Open {
        QPointF origin;
        bool operator==(const Open&) const = default;
    };
    // Open after the release, waiting for a click on an item.
    struct AwaitingClick {
        QPointF origin;
        bool operator==(const AwaitingClick&) const = default;
    };
    using State = std::variant<Idle, Pending, Open, AwaitingClick>;

    struct Outcome {
        enum class Kind { open, passThroughClick, hold, commit, cancel, ignore };
        Kind kind = Kind::ignore;
        QPointF origin; // open and passThroughClick
        static Outcome of(Kind kind, QPointF origin = {}) { return {kind, origin}; }
        bool operator==(const Outcome&) const = default;
    };

    // Clock readings a nanosecond apart count as equal, so a tick exactly at the threshold opens
    // even when the subtraction rounds just below it.
    static constexpr double timeTolerance = 1e-9;

    State state = Idle{};
    double holdThreshold = 0.18;
    double movementThreshold = 6.0;

    RadialGesture(double hold, double movement) : holdThreshold(hold), movementThreshold(movement) {}

    bool isOpen() const { return std::holds_alternative<Open>(state) || std::holds_alternative<AwaitingClick>(state); }
    bool isAwaitingClick() const { return std::holds_alternative<AwaitingClick>(state); }
    bool isPending() const { return std::holds_alternative<Pending>(state); }
    bool isIdle() const { return std::holds_alternative<Idle>(state); }

    // Whatever the state: an eligible press starts over as pending, an ineligible one goes idle.
    Outcome buttonDown(QPointF at, double time, bool isEligible);
    Outcome pointerMoved(QPointF to);
    Outcome tick(double now);
    Outcome buttonUp(bool hasSelection);
    // An open ring waits for a click from now on.
    void holdOpen();
    void abort() { state = Idle{}; }

    bool operator==(const RadialGesture&) const = default;
};
