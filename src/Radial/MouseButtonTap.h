#pragma once

#include "Platform/EventTaps.h"
#include "SecurityCore/PrivacyLog.h"

#include <QPointF>

#include <expected>
#include <functional>
#include <memory>
#include <optional>

// The radial menu's tap on the mouse: middle button down, up and drag, the wheel, and left and
// right presses, each handed to the handler on the thread "com.corvish.mouse-tap", which lets the
// event through or swallows it. Our own replayed clicks and the smooth-scroll engine's posts pass
// untouched. Start and stop on the main thread.
class MouseButtonTap {
public:
    static constexpr qint64 ownershipMarker = 0x414D4252454C52;
    static constexpr qint64 scrollEngineMarker = 0x414D4252454C;
    static inline const QString threadName = QStringLiteral("com.corvish.mouse-tap");
    static constexpr quint64 watchedEvents = Platform::EventTaps::maskOf(
        {Platform::TapEvent::Type::leftMouseDown, Platform::TapEvent::Type::rightMouseDown,
         Platform::TapEvent::Type::scrollWheel, Platform::TapEvent::Type::otherMouseDown,
         Platform::TapEvent::Type::otherMouseUp, Platform::TapEvent::Type::otherMouseDragged});

    // Points are the taps' (origin top left, y down); `time` is read when the press is handled.
    struct Event {
        enum class Kind { middleDown, middleUp, moved, scrolled, otherButton };
        Kind kind = Kind::otherButton;
        QPointF point;
        double time = 0;
        double lines = 0; // scrolled: vertical, positive up
        bool isContinuous = false;
        bool operator==(const Event&) const = default;
    };
    enum class Outcome { deliverOriginal, swallow };
    using StartFailure = Platform::EventTaps::StartFailure;
    using Handler = std::function<Outcome(const Event&)>;
    using Now = std::function<double()>;

    MouseButtonTap(std::shared_ptr<Platform::EventTaps> taps, Handler handler, Now now);
    ~MouseButtonTap();

    bool isRunning() const { return m_tap != nullptr; }
    std::expected<void, StartFailure> start();
    // Waits for a handler in flight; nothing reaches the handler afterwards.
    void stop();

    // What the radial menu makes of an input event; none for what does not concern it.
    static std::optional<Event> read(const Platform::TapEvent& event, double now);

private:
    Platform::EventTaps::Outcome handle(Platform::TapEvent& event);

    std::shared_ptr<Platform::EventTaps> m_taps;
    Handler m_handler;
    Now m_now;
    PrivacyLog::Logger m_logger;
    std::unique_ptr<Platform::EventTaps::Tap> m_tap;
    Platform::EventTaps::Tap* m_raw = nullptr;
};

// Posts one plain middle click (down, then up) marked as ours, so the tap lets it through to the
// application below.
class MiddleClickReplayer {
public:
    explicit MiddleClickReplayer(std::shared_ptr<Platform::EventTaps> taps) : m_taps(std::move(taps)) {}
    // A point in the taps' coordinates (top left origin).
    void replayClick(QPointF at, quint64 flags = 0);

private:
    std::shared_ptr<Platform::EventTaps> m_taps;
};
