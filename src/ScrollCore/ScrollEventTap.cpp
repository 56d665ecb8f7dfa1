#include "ScrollCore/ScrollEventTap.h"

using Platform::EventTaps;
using Platform::TapEvent;

ScrollEventTap::ScrollEventTap(std::shared_ptr<EventTaps> taps, Handler handler)
    : m_taps(std::move(taps)), m_handler(std::move(handler)), m_logger(PrivacyLog::logger(QStringLiteral("ScrollEventTap")))
{
}

ScrollEventTap::~ScrollEventTap()
{
    stop();
}

std::expected<void, ScrollEventTap::StartFailure> ScrollEventTap::start()
{
    if (m_tap)
        return {};
    if (!m_taps->canPostPixelScrolls()) {
        m_logger.error(QStringLiteral("Could not create the scroll event tap: %1").arg(m_taps->limitation()));
        return std::unexpected(StartFailure::unavailable);
    }
    auto tap = m_taps->createTap({.threadName = threadName,
                                  .location = EventTaps::Location::session,
                                  .precedence = EventTaps::Precedence::smoothScrolling,
                                  .mask = EventTaps::maskOf({TapEvent::Type::scrollWheel})},
                                 [this](TapEvent& event) { return handle(event); });
    if (!tap) {
        if (tap.error() == StartFailure::unavailable)
            m_logger.error(QStringLiteral("Could not create the scroll event tap"));
        return std::unexpected(tap.error());
    }
    m_raw = tap->get();
    m_tap = std::move(*tap);
    m_logger.info(QStringLiteral("Scroll event tap started"));
    return {};
}

void ScrollEventTap::stop()
{
    if (!m_tap)
        return;
    m_tap.reset(); // waits for a handler in flight
    m_raw = nullptr;
    m_logger.info(QStringLiteral("Scroll event tap stopped"));
}

EventTaps::Outcome ScrollEventTap::handle(TapEvent& event)
{
    switch (event.type) {
    case TapEvent::Type::tapDisabledByTimeout:
    case TapEvent::Type::tapDisabledByUserInput:
        m_logger.error(QStringLiteral("Scroll tap was disabled (%1); re-enabling").arg(uint(event.type)));
        if (m_raw)
            m_raw->setEnabled(true);
        return EventTaps::Outcome::pass;
    case TapEvent::Type::scrollWheel:
        return m_handler(event) ? EventTaps::Outcome::pass : EventTaps::Outcome::swallow;
    default:
        return EventTaps::Outcome::pass;
    }
}

QString toRaw(EventTaps::StartFailure failure)
{
    return failure == EventTaps::StartFailure::notPermitted ? QStringLiteral("notPermitted")
                                                            : QStringLiteral("unavailable");
}
