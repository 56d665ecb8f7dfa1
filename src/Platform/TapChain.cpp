#include "Platform/TapChain.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

namespace {

thread_local const QString* t_currentTap = nullptr;

// One tap's handler and the thread it runs on. The thread takes one event at a time.
struct TapState {
    EventTaps::Options options;
    EventTaps::Handler handler;
    quint64 serial = 0;
    std::atomic<bool> enabled{true};

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    TapEvent* job = nullptr;
    EventTaps::Outcome result = EventTaps::Outcome::pass;
    bool removed = false;
    std::thread thread;

    void loop()
    {
        prepareInputThread(options.threadName);
        t_currentTap = &options.threadName;
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return job || removed; });
            if (!job)
                return;
            // The handler runs unlocked so that its owner may remove other taps meanwhile; removal
            // of this one waits for the answer below.
            TapEvent* event = job;
            lock.unlock();
            EventTaps::Outcome outcome = handler(*event);
            lock.lock();
            result = outcome;
            job = nullptr;
            finished.notify_all();
        }
    }

    // Runs the handler on the tap's thread and waits; a removed tap passes.
    EventTaps::Outcome call(TapEvent& event, bool synchronous)
    {
        if (synchronous) {
            std::unique_lock lock(mutex);
            if (removed)
                return EventTaps::Outcome::pass;
            // Held across the call, so that removal waits for it.
            const QString* previous = t_currentTap;
            t_currentTap = &options.threadName;
            EventTaps::Outcome outcome = handler(event);
            t_currentTap = previous;
            return outcome;
        }
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return !job || removed; });
        if (removed)
            return EventTaps::Outcome::pass;
        job = &event;
        wake.notify_all();
        finished.wait(lock, [&] { return !job; });
        return result;
    }

    void remove()
    {
        {
            std::unique_lock lock(mutex);
            // A handler in flight answers first.
            finished.wait(lock, [&] { return !job; });
            removed = true;
            wake.notify_all();
            finished.notify_all();
        }
        if (thread.joinable())
            thread.join();
    }
};

} // namespace

struct TapChain::Core {
    mutable std::mutex mutex;
    std::vector<std::shared_ptr<TapState>> taps; // in chain order
    quint64 nextSerial = 1;
    std::atomic<bool> synchronous{false};

    static bool before(const TapState& a, const TapState& b)
    {
        if (a.options.location != b.options.location)
            return a.options.location < b.options.location;
        if (a.options.precedence != b.options.precedence)
            return int(a.options.precedence) < int(b.options.precedence);
        return a.serial > b.serial; // head insertion among equals
    }

    std::vector<std::shared_ptr<TapState>> snapshot() const
    {
        std::lock_guard lock(mutex);
        return taps;
    }
};

namespace {

class ChainTap final : public EventTaps::Tap {
public:
    ChainTap(std::shared_ptr<TapChain::Core> core, std::shared_ptr<TapState> state)
        : m_core(std::move(core)), m_state(std::move(state)) {}
    ~ChainTap() override
    {
        {
            std::lock_guard lock(m_core->mutex);
            std::erase(m_core->taps, m_state);
        }
        m_state->remove();
    }
    void setEnabled(bool enabled) override { m_state->enabled = enabled; }
    bool isEnabled() const override { return m_state->enabled; }
    const TapState* state() const { return m_state.get(); }

private:
    std::shared_ptr<TapChain::Core> m_core;
    std::shared_ptr<TapState> m_state;
};

} // namespace

TapChain::TapChain() : m_core(std::make_shared<Core>()) {}
TapChain::~TapChain() = default;

std::unique_ptr<EventTaps::Tap> TapChain::add(const EventTaps::Options& options, EventTaps::Handler handler)
{
    auto state = std::make_shared<TapState>();
    state->options = options;
    state->handler = std::move(handler);
    state->thread = std::thread([raw = state.get()] { raw->loop(); });
    {
        std::lock_guard lock(m_core->mutex);
        state->serial = m_core->nextSerial++;
        auto at = std::find_if(m_core->taps.begin(), m_core->taps.end(),
                               [&](const auto& other) { return Core::before(*state, *other); });
        m_core->taps.insert(at, state);
    }
    return std::make_unique<ChainTap>(m_core, std::move(state));
}

bool TapChain::run(TapEvent& event, EventTaps::Location entry)
{
    const quint64 bit = quint8(event.type) < 64 ? quint64(1) << quint8(event.type) : 0;
    const bool synchronous = m_core->synchronous;
    for (const auto& tap : m_core->snapshot()) {
        if (tap->options.location < entry || !(tap->options.mask & bit) || !tap->enabled)
            continue;
        TapEvent shown = event;
        switch (tap->call(shown, synchronous)) {
        case EventTaps::Outcome::pass:
            break;
        case EventTaps::Outcome::replace:
            event = shown;
            break;
        case EventTaps::Outcome::swallow:
            return false;
        }
    }
    return true;
}

void TapChain::disable(const EventTaps::Tap* tap, TapEvent::Type notice)
{
    std::shared_ptr<TapState> state;
    {
        std::lock_guard lock(m_core->mutex);
        for (const auto& candidate : m_core->taps)
            if (candidate.get() == static_cast<const ChainTap*>(tap)->state())
                state = candidate;
    }
    if (!state)
        return;
    state->enabled = false;
    TapEvent event;
    event.type = notice;
    state->call(event, m_core->synchronous);
}

void TapChain::setSynchronous(bool synchronous)
{
    m_core->synchronous = synchronous;
}

QStringList TapChain::order() const
{
    QStringList names;
    for (const auto& tap : m_core->snapshot())
        names << tap->options.threadName;
    return names;
}

QString TapChain::currentTapName()
{
    return t_currentTap ? *t_currentTap : QString();
}

void prepareInputThread(const QString& name)
{
    const QString shortName = name.section(u'.', -1).left(15);
    pthread_setname_np(pthread_self(), shortName.toUtf8().constData());
    // Wake-ups at the deadline, not up to the default 50 µs after it.
    (void)prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // Real-time scheduling needs a privilege most sessions lack.
    sched_param parameter{};
    parameter.sched_priority = sched_get_priority_min(SCHED_RR);
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &parameter) == 0)
        return;
    // Without it, a short time slice, which any thread may ask for: on a busy machine the scheduler
    // then runs the thread soon after it wakes (within about 0.1 ms) rather than after the running
    // task's slice of several milliseconds. Kernels before 6.12 ignore the request.
    struct {
        quint32 size, policy;
        quint64 flags;
        qint32 nice;
        quint32 priority;
        quint64 runtime, deadline, period;
    } attributes{};
    attributes.size = sizeof attributes;
    attributes.policy = SCHED_OTHER;
    attributes.nice = getpriority(PRIO_PROCESS, 0);
    attributes.runtime = 100'000; // ns, the shortest slice the scheduler grants
    (void)syscall(SYS_sched_setattr, 0, &attributes, 0U);
}

} // namespace Platform
