#pragma once

#include "Platform/EventTaps.h"

#include <QStringList>

#include <memory>

namespace Platform {

// The ordered taps of one event stream and the threads their handlers run on; both event-tap
// services walk their events through one of these. Thread-safe.
class TapChain {
public:
    TapChain();
    ~TapChain();
    TapChain(const TapChain&) = delete;
    TapChain& operator=(const TapChain&) = delete;

    // Inserts the tap in its place (see EventTaps) and starts its thread.
    std::unique_ptr<EventTaps::Tap> add(const EventTaps::Options& options, EventTaps::Handler handler);

    // Shows the event to every enabled tap that watches it, from `entry` on, in order, each on its
    // own thread; a replacement goes on to the next tap. Returns false when a tap swallowed it.
    bool run(TapEvent& event, EventTaps::Location entry);

    // Switches the tap's handling off and tells it why on its thread (`notice` is one of the
    // tapDisabled types). Does nothing for a tap that is gone.
    void disable(const EventTaps::Tap* tap, TapEvent::Type notice);

    // Handlers run on the calling thread of run() rather than on their own (for tests that step
    // through the chain).
    void setSynchronous(bool synchronous);

    // The thread names of the taps in chain order.
    QStringList order() const;
    // The name of the tap whose handler runs on this thread now; empty elsewhere.
    static QString currentTapName();

    struct Core;

private:
    std::shared_ptr<Core> m_core;
};

// Names the calling thread for the system's tools (its last dotted part, within their limit) and
// asks for prompt wake-ups: real-time scheduling where this process may use it, else a short
// time slice; no timer slack.
void prepareInputThread(const QString& name);

} // namespace Platform
