#pragma once

#include "Platform/EventTaps.h"
#include "SecurityCore/PrivacyLog.h"

#include <memory>

// The scroll-wheel tap of smooth scrolling: hands every wheel event to its handler on the thread
// "com.corvish.scroll-tap" and lets it through or swallows it as the handler answers. It sits behind
// the radial menu's tap whatever order they start in. Start and stop on the main thread.
class ScrollEventTap {
public:
    // The marker in the user data of every scroll event smooth scrolling posts.
    static constexpr qint64 ownershipMarker = 0x414D4252454C;
    static inline const QString threadName = QStringLiteral("com.corvish.scroll-tap");

    using StartFailure = Platform::EventTaps::StartFailure;
    // Either let the event through (normally as it came) or swallow it.
    using Handler = std::function<bool(Platform::TapEvent& event)>; // true: deliver

    ScrollEventTap(std::shared_ptr<Platform::EventTaps> taps, Handler handler);
    ~ScrollEventTap();

    bool isRunning() const { return m_tap != nullptr; }
    // Fails with unavailable also where posted pixel scrolls could not replace what it swallows.
    std::expected<void, StartFailure> start();
    // Waits for a handler in flight; nothing reaches the handler afterwards.
    void stop();

private:
    Platform::EventTaps::Outcome handle(Platform::TapEvent& event);

    std::shared_ptr<Platform::EventTaps> m_taps;
    Handler m_handler;
    PrivacyLog::Logger m_logger;
    std::unique_ptr<Platform::EventTaps::Tap> m_tap;
    Platform::EventTaps::Tap* m_raw = nullptr; // read on the tap thread to re-enable
};

QString toRaw(Platform::EventTaps::StartFailure failure);
