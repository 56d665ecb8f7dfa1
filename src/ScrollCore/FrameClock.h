#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Calls its tick at a steady interval on a thread of its own, against deadlines rather than
// sleeps (so lateness does not add up), while it runs; at rest the thread waits without waking.
// Each frame it sleeps to a margin before its deadline and yields the rest of the way, so a busy
// machine's late wake-ups do not reach the ticks.
class FrameClock {
public:
    // Gets the time (monotonic seconds) it runs at; returns false when nothing more is owed.
    using Tick = std::function<bool(double now)>;

    explicit FrameClock(Tick tick);
    ~FrameClock();
    FrameClock(const FrameClock&) = delete;
    FrameClock& operator=(const FrameClock&) = delete;

    // Starts at once (the first tick now) unless running; a start while a tick is deciding to stop
    // keeps the clock going.
    void start(double interval);
    // Stops and waits for a tick in flight, unless called from a tick.
    void stop();
    bool isRunning() const;
    // Monotonic seconds.
    static double now();

private:
    void loop();

    Tick m_tick;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_running = false;
    bool m_wanted = false;
    bool m_ticking = false;
    bool m_quitting = false;
    double m_interval = 1.0 / 60;
    std::thread m_thread;
};
