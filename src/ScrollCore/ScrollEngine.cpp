#include "ScrollCore/ScrollEngine.h"

#include <algorithm>
#include <cmath>

using Platform::TapEvent;

ScrollEngine::ScrollEngine(Environment environment, const ScrollSettings& settings)
    : m_env(std::move(environment)), m_logger(PrivacyLog::logger(QStringLiteral("ScrollEngine"))),
      m_poster(m_env.taps), m_snapshot(std::make_shared<Snapshot>(Snapshot{settings})),
      m_animator(settings.global.tuning()), m_clock([this](double now) { return tick(now); })
{
    if (!m_env.now)
        m_env.now = &FrameClock::now;
}

ScrollEngine::~ScrollEngine()
{
    stop();
}

double ScrollEngine::frameInterval(const QList<double>& refreshRates)
{
    double fastest = 0;
    for (double rate : refreshRates)
        if (std::isfinite(rate))
            fastest = std::max(fastest, rate);
    return fastest < 61 ? 1.0 / 60 : 1.0 / fastest;
}

void ScrollEngine::apply(const ScrollSettings& settings)
{
    auto snapshot = std::make_shared<const Snapshot>(Snapshot{settings});
    const double interval = frameInterval(m_env.refreshRates ? m_env.refreshRates() : QList<double>{});
    bool running;
    {
        std::lock_guard lock(m_mutex);
        m_snapshot = std::move(snapshot);
        m_animator.retune(settings.global.tuning());
        m_frameInterval = interval;
        running = m_tap != nullptr;
    }
    if (!settings.isEnabled && running)
        stop();
    else if (settings.isEnabled && !running)
        start();
}

void ScrollEngine::start()
{
    ScrollEventTap* tap;
    {
        std::lock_guard lock(m_mutex);
        if (m_tap)
            return;
        m_tap = std::make_unique<ScrollEventTap>(m_env.taps, [this](TapEvent& event) { return transform(event); });
        tap = m_tap.get();
    }
    m_lostPosting = false;
    auto started = tap->start();
    if (started) {
        m_startFailure.reset();
        return;
    }
    m_startFailure = started.error();
    std::unique_ptr<ScrollEventTap> failed;
    {
        std::lock_guard lock(m_mutex);
        failed = std::move(m_tap);
    }
    m_logger.error(QStringLiteral("Smooth scrolling could not start: %1").arg(toRaw(started.error())));
}

void ScrollEngine::stop()
{
    std::unique_ptr<ScrollEventTap> tap;
    {
        std::lock_guard lock(m_mutex);
        tap = std::move(m_tap);
        m_animator.cancel();
    }
    tap.reset();    // waits for a handler in flight
    m_clock.stop(); // waits for a frame in flight
    m_poster.reset();
}

void ScrollEngine::postingLost()
{
    stop();
    m_startFailure = ScrollEventTap::StartFailure::unavailable;
    m_logger.error(QStringLiteral("Smooth scrolling stopped: pixel scrolls can no longer be posted: %1")
                       .arg(m_env.taps->limitation()));
}

bool ScrollEngine::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_tap && m_tap->isRunning();
}

ScrollDiagnostics ScrollEngine::diagnostics() const
{
    std::lock_guard lock(m_mutex);
    ScrollDiagnostics d;
    d.transformed = m_transformed;
    for (auto reason : passThroughReasonCases)
        if (int n = m_passed[size_t(reason)])
            d.passed.insert(reason, n);
    return d;
}

ScrollSettings ScrollEngine::settings() const
{
    std::lock_guard lock(m_mutex);
    return m_snapshot->settings;
}

void ScrollEngine::setFrontmostApplication(const std::optional<QString>& bundleIdentifier)
{
    std::lock_guard lock(m_mutex);
    m_frontmost = bundleIdentifier;
}

std::optional<QString> ScrollEngine::targetBundleIdentifier(QPointF point)
{
    if (!m_env.applicationUnder) {
        std::lock_guard lock(m_mutex);
        return m_frontmost;
    }
    const double now = m_env.now();
    {
        std::lock_guard lock(m_mutex);
        if (now - m_lastResolve < 0.2 && std::abs(point.x() - m_lastLocation.x()) < 8
            && std::abs(point.y() - m_lastLocation.y()) < 8 && m_lastResolved)
            return m_lastResolved;
    }
    std::optional<QString> result = m_env.applicationUnder(point);
    std::lock_guard lock(m_mutex);
    if (!result)
        result = m_frontmost;
    m_lastResolve = now;
    m_lastLocation = point;
    m_lastResolved = result;
    return result;
}

bool ScrollEngine::transform(TapEvent& event)
{
    const ScrollWheelEvent wheel(event, ScrollEventTap::ownershipMarker);
    // A wheel step swallowed now would be lost: the user's own scrolling goes through untouched.
    if (!wheel.isOurs && !m_env.taps->canPostPixelScrolls()) {
        if (!m_lostPosting.exchange(true) && m_env.postingLost)
            m_env.postingLost();
        return true;
    }
    const ScrollModifierSet modifiers = ScrollModifierSet::active(event.flags);
    std::shared_ptr<const Snapshot> snapshot;
    {
        std::lock_guard lock(m_mutex);
        snapshot = m_snapshot;
    }
    const ScrollSettings& settings = snapshot->settings;
    // Our own posts pass whatever is under the pointer; they need no lookup.
    const std::optional<QString> target = wheel.isOurs ? std::nullopt : targetBundleIdentifier(event.location);
    const ScrollDecision decision =
        ScrollPolicy::decide(wheel, settings, target ? &*target : nullptr, modifiers);
    {
        std::lock_guard lock(m_mutex);
        if (decision.passThrough)
            ++m_passed[size_t(*decision.passThrough)];
        else
            ++m_transformed;
    }
    if (decision.passThrough)
        return true;

    quint64 flags = event.flags;
    for (ScrollModifier m : scrollModifierCases)
        if (modifiers.contains(m) && settings.modifiers.action(m) != ScrollModifierAction::none)
            flags &= ~flagMask(m);

    const ScrollImpulse& impulse = decision.impulse;
    double interval;
    {
        std::lock_guard lock(m_mutex);
        if (target != m_lastTarget) {
            m_animator.cancel();
            m_poster.reset();
            m_lastTarget = target;
            if (const ScrollProfile* profile = settings.profile(target ? &*target : nullptr))
                m_animator.retune(profile->tuning());
        }
        m_pendingFlags = flags;
        if (impulse.isAnimated) {
            m_animator.add(impulse);
            if (!m_clock.isRunning())
                m_lastFrame = m_env.now();
        }
        interval = m_frameInterval;
    }
    if (impulse.isAnimated) {
        if (!m_env.steppedFrames)
            m_clock.start(interval);
    }
    else
        m_poster.post(impulse, flags);
    return false;
}

bool ScrollEngine::tick(double now)
{
    ScrollImpulse frame;
    bool resting;
    quint64 flags;
    {
        std::lock_guard lock(m_mutex);
        const double dt = std::clamp(now - m_lastFrame, 0.001, 0.1);
        m_lastFrame = now;
        frame = m_animator.advance(dt);
        resting = m_animator.isResting();
        flags = m_pendingFlags;
    }
    if (frame.vertical != 0 || frame.horizontal != 0)
        m_poster.post(frame, flags);
    if (resting) {
        m_poster.reset();
        return false;
    }
    return true;
}
