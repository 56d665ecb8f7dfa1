#pragma once

#include "ScrollCore/FrameClock.h"
#include "ScrollCore/ScrollAnimator.h"
#include "ScrollCore/ScrollDecision.h"
#include "ScrollCore/ScrollEventPoster.h"
#include "ScrollCore/ScrollEventTap.h"
#include "SecurityCore/PrivacyLog.h"

#include <QPointF>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Smooth scrolling: holds the settings, runs the scroll tap while they are enabled, decides every
// wheel event on the tap thread, pays animated impulses out on the frame clock's thread and posts
// the pixel scrolls. The settings the tap thread reads are an immutable snapshot swapped whole on
// apply, so the per-event path copies and allocates nothing. apply(), start(), stop() and the
// getters run on the main thread.
class ScrollEngine {
public:
    struct Environment {
        std::shared_ptr<Platform::EventTaps> taps;
        // The application of the window under a point (top-left global coordinates), if known. Called
        // on the tap thread; answers without waiting for another thread.
        std::function<std::optional<QString>(QPointF)> applicationUnder;
        // The screens' refresh rates (0 where a screen does not say). Called on the main thread.
        std::function<QList<double>()> refreshRates;
        // Monotonic seconds; the frame clock's own by default.
        std::function<double()> now;
        // Frames come only from calls of tick(), never from the clock (tests step through them).
        bool steppedFrames = false;
        // The taps can no longer post pixel scrolls while running (the device went away); called
        // once on the tap thread, which lets the wheel through from then on. The owner answers on
        // its own thread with postingLost().
        std::function<void()> postingLost;
    };

    ScrollEngine(Environment environment, const ScrollSettings& settings);
    ~ScrollEngine();

    void apply(const ScrollSettings& settings);
    void start();
    void stop();
    // Stops, keeping `unavailable` for the page, after the taps lost their posting; the next apply
    // with smooth scrolling on tries again.
    void postingLost();

    bool isRunning() const;
    ScrollDiagnostics diagnostics() const;
    std::optional<ScrollEventTap::StartFailure> startFailure() const { return m_startFailure; }
    ScrollSettings settings() const;
    // Where the window under the pointer says nothing: the application in front. Any thread.
    void setFrontmostApplication(const std::optional<QString>& bundleIdentifier);
    bool isAnimating() const { return m_clock.isRunning(); }

    // 1/60 s unless the fastest screen runs at 61 Hz or more, then one of its frames.
    static double frameInterval(const QList<double>& refreshRates);

    // The tap's handler: true lets the event through. On the tap thread.
    bool transform(Platform::TapEvent& event);
    // One frame at `now`; false once nothing is owed. On the frame thread.
    bool tick(double now);

private:
    struct Snapshot {
        ScrollSettings settings;
    };
    std::optional<QString> targetBundleIdentifier(QPointF point);

    Environment m_env;
    PrivacyLog::Logger m_logger;
    ScrollEventPoster m_poster;

    mutable std::mutex m_mutex; // guards what follows, up to the clock
    std::shared_ptr<const Snapshot> m_snapshot;
    std::unique_ptr<ScrollEventTap> m_tap;
    ScrollAnimator m_animator;
    double m_lastFrame = 0;
    quint64 m_pendingFlags = 0;
    std::optional<QString> m_lastTarget;
    double m_lastResolve = -1e9;
    QPointF m_lastLocation;
    std::optional<QString> m_lastResolved;
    std::optional<QString> m_frontmost;
    int m_transformed = 0;
    std::array<int, 8> m_passed{};
    double m_frameInterval = 1.0 / 60;

    std::atomic<bool> m_lostPosting = false;
    std::optional<ScrollEventTap::StartFailure> m_startFailure;
    FrameClock m_clock; // last, so destroyed first: its thread ends before the rest goes
};
