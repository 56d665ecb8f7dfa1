#include "Radial/MouseButtonTap.h"

using Platform::EventTaps;
using Platform::TapEvent;
using Type = TapEvent::Type;

MouseButtonTap::MouseButtonTap(std::shared_ptr<EventTaps> taps, Handler handler, Now now)
    : m_taps(std::move(taps))
    , m_handler(std::move(handler))
    , m_now(std::move(now))
    , m_logger(PrivacyLog::logger(QStringLiteral("MouseButtonTap")))
{
}

MouseButtonTap::~MouseButtonTap()
{
    stop();
}

std::expected<void, MouseButtonTap::StartFailure> MouseButtonTap::start()
{
    if (m_tap)
        return {};
    auto tap = m_taps->createTap({.threadName = threadName,
                                  .location = EventTaps::Location::session,
                                  .precedence = EventTaps::Precedence::radialMenu,
                                  .mask = watchedEvents},
                                 [this](TapEvent& event) { return handle(event); });
    if (!tap) {
        if (tap.error() == StartFailure::unavailable) {
            const QString why = m_taps->limitation();
            m_logger.error(why.isEmpty() ? QStringLiteral("Could not create the mouse button tap")
                                         : QStringLiteral("Could not create the mouse button tap: %1").arg(why));
        }
        return std::unexpected(tap.error());
    }
    m_raw = tap->get();
    m_tap = std::move(*tap);
    m_logger.info(QStringLiteral("Mouse button tap started"));
    return {};
}

void MouseButtonTap::stop()
{
    if (!m_tap)
        return;
    m_tap.reset(); // waits for a handler in flight and gives the buttons back
    m_raw = nullptr;
    m_logger.info(QStringLiteral("Mouse button tap stopped"));
}

std::optional<MouseButtonTap::Event> MouseButtonTap::read(const TapEvent& e, double now)
{
    using Kind = Event::Kind;
    switch (e.type) {
    case Type::leftMouseDown:
    case Type::rightMouseDown:
        return Event{.kind = Kind::otherButton, .point = e.location};
    case Type::scrollWheel: {
        if (e.userData == scrollEngineMarker || e.userData == ownershipMarker)
            return std::nullopt;
        const double lines = e.isContinuous ? e.pixelDeltaY * 0.0625 : e.lineDeltaY;
        return Event{.kind = Kind::scrolled, .point = e.location, .lines = lines, .isContinuous = e.isContinuous};
    }
    case Type::otherMouseDown:
        if (e.button != 2)
            return std::nullopt;
        return Event{.kind = Kind::middleDown, .point = e.location, .time = now};
    case Type::otherMouseUp:
        if (e.button != 2)
            return std::nullopt;
        return Event{.kind = Kind::middleUp, .point = e.location};
    case Type::otherMouseDragged:
        if (e.button != 2)
            return std::nullopt;
        return Event{.kind = Kind::moved, .point = e.location};
    default:
        return std::nullopt;
    }
}

EventTaps::Outcome MouseButtonTap::handle(TapEvent& event)
{
    if (event.type == Type::tapDisabledByTimeout || event.type == Type::tapDisabledByUserInput) {
        m_logger.error(QStringLiteral("Mouse tap was disabled (%1); re-enabling").arg(uint(event.type)));
        if (m_raw)
            m_raw->setEnabled(true);
        return EventTaps::Outcome::pass;
    }
    if (event.userData == ownershipMarker)
        return EventTaps::Outcome::pass;
    const auto read = MouseButtonTap::read(event, event.type == Type::otherMouseDown ? m_now() : 0.0);
    if (!read)
        return EventTaps::Outcome::pass;
    return m_handler(*read) == Outcome::swallow ? EventTaps::Outcome::swallow : EventTaps::Outcome::pass;
}

void MiddleClickReplayer::replayClick(QPointF at, quint64 flags)
{
    TapEvent down;
    down.type = Type::otherMouseDown;
    down.location = at;
    down.flags = flags;
    down.button = 2;
    down.userData = MouseButtonTap::ownershipMarker;
    TapEvent up = down;
    up.type = Type::otherMouseUp;
    m_taps->post(down, EventTaps::Location::hid);
    m_taps->post(up, EventTaps::Location::hid);
}
