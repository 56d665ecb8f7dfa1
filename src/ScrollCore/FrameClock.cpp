#include "ScrollCore/FrameClock.h"

#include "Platform/TapChain.h"

#include <QString>

#include <algorithm>
#include <chrono>

#include <sched.h>

using Clock = std::chrono::steady_clock;

namespace {
// How long before a deadline the clock wakes: twice the latest lateness of a wake-up, between these
// bounds, easing back down while wake-ups come on time.
constexpr Clock::duration shortestMargin = std::chrono::microseconds(250);
constexpr Clock::duration longestMargin = std::chrono::microseconds(2000);
}

FrameClock::FrameClock(Tick tick) : m_tick(std::move(tick)), m_thread([this] { loop(); }) {}

FrameClock::~FrameClock()
{
    {
        std::lock_guard lock(m_mutex);
        m_quitting = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

double FrameClock::now()
{
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

void FrameClock::start(double interval)
{
    {
        std::lock_guard lock(m_mutex);
        m_wanted = true;
        if (m_running)
            return;
        m_interval = interval;
        m_running = true;
    }
    m_changed.notify_all();
}

void FrameClock::stop()
{
    std::unique_lock lock(m_mutex);
    m_running = false;
    m_wanted = false;
    m_changed.notify_all();
    if (std::this_thread::get_id() != m_thread.get_id())
        m_changed.wait(lock, [&] { return !m_ticking; });
}

bool FrameClock::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

void FrameClock::loop()
{
    Platform::prepareInputThread(QStringLiteral("com.corvish.scroll-frames"));
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_quitting || m_running; });
        if (m_quitting)
            return;
        auto deadline = Clock::now();
        Clock::duration margin = std::chrono::microseconds(1000);
        while (m_running && !m_quitting) {
            const auto interval = std::max<Clock::duration>(
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_interval)),
                std::chrono::milliseconds(1));
            // Sleeps until shortly before the deadline unless stopped meanwhile, then yields until it:
            // a thread woken from sleep on a busy machine may wait for a core longer than a frame's
            // tolerance, one already running does not. The margin is spent only while animating.
            const auto wake = deadline - margin;
            if (m_changed.wait_until(lock, wake, [&] { return !m_running || m_quitting; }))
                break;
            const auto woke = Clock::now();
            margin = std::clamp(std::max(2 * (woke - wake) + shortestMargin, margin - margin / 32), shortestMargin,
                                longestMargin);
            if (woke < deadline) {
                lock.unlock();
                while (Clock::now() < deadline)
                    sched_yield();
                lock.lock();
                if (!m_running || m_quitting)
                    break;
            }
            m_wanted = false;
            m_ticking = true;
            lock.unlock();
            const bool more = m_tick(now());
            lock.lock();
            m_ticking = false;
            m_changed.notify_all();
            if (!more && !m_wanted)
                m_running = false;
            deadline += interval;
            // Frames missed by a late tick are skipped, not caught up in a burst, and the next one
            // keeps the beat.
            if (const auto now = Clock::now(); deadline <= now)
                deadline += interval * ((now - deadline) / interval + 1);
        }
    }
}
