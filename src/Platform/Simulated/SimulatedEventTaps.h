#pragma once

#include "Platform/EventTaps.h"
#include "Platform/TapChain.h"

#include <QList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace Platform {

// The tap chain in memory. Events travel through it on a thread of its own, one after the other,
// with each handler running on its tap's thread while the chain waits for its answer; what comes
// out at the end is logged as delivered to the applications.
class SimulatedEventTaps final : public EventTaps {
public:
    SimulatedEventTaps();
    ~SimulatedEventTaps() override;

    std::expected<std::unique_ptr<Tap>, StartFailure> createTap(const Options& options, Handler handler) override;
    void post(const TapEvent& event, Location location) override;
    bool canPostPixelScrolls() const override;
    QString limitation() const override;

    // Script
    // Untrusted: every new tap fails with notPermitted. Refusing: with unavailable.
    void setTrusted(bool trusted);
    void setRefusing(bool refusing);
    void setPixelScrolling(bool available);
    // Handlers run on the thread that puts the event in (input() or post()) instead of their own.
    void setSynchronous(bool synchronous);
    // The user's own input, entering at the hid location; waits until the chain is done with it
    // and returns whether it reached the applications. Not from a handler.
    bool input(const TapEvent& event);
    // Waits until every event put in so far has gone through the chain; false on time-out.
    bool waitUntilIdle(int timeoutMs = 5000);
    // The system switches the tap's handling off (a time-out or user input) and tells it so.
    void disable(const Tap* tap, TapEvent::Type notice = TapEvent::Type::tapDisabledByTimeout);

    // Record
    QList<TapEvent> delivered() const;
    void clearDelivered();
    QStringList order() const { return m_chain.order(); }
    int posted() const;

private:
    struct Waiter {
        bool reached = false;
        bool done = false;
    };
    struct Entry {
        TapEvent event;
        Location location;
        Waiter* waiter = nullptr; // input() waits on it
        std::thread::id from;     // the thread that put it in
    };
    void dispatchLoop();
    void drain();
    void process(Entry& entry);

    TapChain m_chain;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Entry> m_queue;
    QList<TapEvent> m_delivered;
    int m_posted = 0;
    int m_busy = 0;
    quint64 m_done = 0;
    bool m_trusted = true;
    bool m_refusing = false;
    bool m_pixelScrolling = true;
    bool m_synchronous = false;
    bool m_stopping = false;
    std::mutex m_syncMutex; // one synchronous drain at a time
    std::thread m_thread;
};

} // namespace Platform
