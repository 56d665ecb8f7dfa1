#include "ScrollCore/FrameClock.h"

#include "Platform/TapChain.h"

#include <QString>

#include <algorithm>
#include <chrono>

using Clock = std::chrono::steady_clock;

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
        while (m_running && !m_quitting) {
            const auto interval = std::max<Clock::duration>(
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_interval)),
                std::chrono::milliseconds(1));
            // Sleeps until the deadline unless stopped meanwhile.
            if (m_changed.wait_until(lock, deadline, [&] { return !m_running || m_quitting; }))
                break;
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
