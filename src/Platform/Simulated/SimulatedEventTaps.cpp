#include "Platform/Simulated/SimulatedEventTaps.h"

#include <algorithm>
#include <chrono>

namespace Platform {

namespace {
thread_local bool t_draining = false;
}

SimulatedEventTaps::SimulatedEventTaps() : m_thread([this] { dispatchLoop(); }) {}

SimulatedEventTaps::~SimulatedEventTaps()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

std::expected<std::unique_ptr<EventTaps::Tap>, EventTaps::StartFailure>
SimulatedEventTaps::createTap(const Options& options, Handler handler)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_trusted)
            return std::unexpected(StartFailure::notPermitted);
        if (m_refusing)
            return std::unexpected(StartFailure::unavailable);
    }
    return m_chain.add(options, std::move(handler));
}

void SimulatedEventTaps::post(const TapEvent& event, Location location)
{
    bool synchronous;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({event, location, nullptr, std::this_thread::get_id()});
        ++m_posted;
        synchronous = m_synchronous;
    }
    m_changed.notify_all();
    if (synchronous && !t_draining)
        drain();
}

bool SimulatedEventTaps::canPostPixelScrolls() const
{
    std::lock_guard lock(m_mutex);
    return m_pixelScrolling;
}

QString SimulatedEventTaps::limitation() const
{
    std::lock_guard lock(m_mutex);
    if (!m_trusted)
        return QStringLiteral("The simulated session does not trust this process with input.");
    if (m_refusing)
        return QStringLiteral("The simulated session refuses event taps.");
    if (!m_pixelScrolling)
        return QStringLiteral("The simulated session cannot post pixel scrolls.");
    return {};
}

void SimulatedEventTaps::setTrusted(bool trusted)
{
    std::lock_guard lock(m_mutex);
    m_trusted = trusted;
}

void SimulatedEventTaps::setRefusing(bool refusing)
{
    std::lock_guard lock(m_mutex);
    m_refusing = refusing;
}

void SimulatedEventTaps::setPixelScrolling(bool available)
{
    std::lock_guard lock(m_mutex);
    m_pixelScrolling = available;
}

void SimulatedEventTaps::setSynchronous(bool synchronous)
{
    waitUntilIdle();
    {
        std::lock_guard lock(m_mutex);
        m_synchronous = synchronous;
    }
    m_chain.setSynchronous(synchronous);
    m_changed.notify_all();
}

bool SimulatedEventTaps::input(const TapEvent& event)
{
    Waiter waiter;
    bool synchronous;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({event, Location::hid, &waiter, std::this_thread::get_id()});
        synchronous = m_synchronous;
    }
    m_changed.notify_all();
    if (synchronous) {
        if (!t_draining)
            drain();
    } else {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return waiter.done; });
    }
    return waiter.reached;
}

bool SimulatedEventTaps::waitUntilIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_queue.empty() && m_busy == 0; });
}

void SimulatedEventTaps::disable(const Tap* tap, TapEvent::Type notice)
{
    m_chain.disable(tap, notice);
}

QList<TapEvent> SimulatedEventTaps::delivered() const
{
    std::lock_guard lock(m_mutex);
    return m_delivered;
}

void SimulatedEventTaps::clearDelivered()
{
    std::lock_guard lock(m_mutex);
    m_delivered.clear();
}

int SimulatedEventTaps::posted() const
{
    std::lock_guard lock(m_mutex);
    return m_posted;
}

void SimulatedEventTaps::process(Entry& entry)
{
    const bool reached = m_chain.run(entry.event, entry.location);
    std::lock_guard lock(m_mutex);
    if (reached)
        m_delivered.append(entry.event);
    if (entry.waiter) {
        entry.waiter->reached = reached;
        entry.waiter->done = true;
    }
    --m_busy;
    m_changed.notify_all();
}

void SimulatedEventTaps::dispatchLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || (!m_synchronous && !m_queue.empty()); });
        if (m_stopping)
            return;
        Entry entry = m_queue.front();
        m_queue.pop_front();
        ++m_busy;
        lock.unlock();
        process(entry);
        lock.lock();
    }
}

// Only what this thread put in: another thread's events are left to that thread, which drains
// them itself, so that every handler runs on the thread its event came from.
void SimulatedEventTaps::drain()
{
    std::lock_guard drainLock(m_syncMutex);
    t_draining = true;
    const std::thread::id self = std::this_thread::get_id();
    for (;;) {
        Entry entry;
        {
            std::lock_guard lock(m_mutex);
            const auto own = std::find_if(m_queue.begin(), m_queue.end(), [&](const Entry& e) { return e.from == self; });
            if (own == m_queue.end())
                break;
            entry = *own;
            m_queue.erase(own);
            ++m_busy;
        }
        process(entry);
    }
    t_draining = false;
}

} // namespace Platform
