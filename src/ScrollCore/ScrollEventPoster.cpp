#include "ScrollCore/ScrollEventPoster.h"

#include "Platform/EventTaps.h"
#include "ScrollCore/ScrollEventTap.h"

#include <cmath>
#include <limits>

ScrollEventPoster::ScrollEventPoster(std::shared_ptr<Platform::EventTaps> taps) : m_taps(std::move(taps)) {}

qint32 ScrollEventPoster::wholePixels(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (value <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(value); // truncates toward zero
}

void ScrollEventPoster::post(const ScrollImpulse& impulse, quint64 flags)
{
    Platform::TapEvent event;
    {
        std::lock_guard lock(m_mutex);
        m_vertical += impulse.vertical;
        m_horizontal += impulse.horizontal;
        // A remainder that is no longer a number would never pay out again.
        if (!std::isfinite(m_vertical))
            m_vertical = 0;
        if (!std::isfinite(m_horizontal))
            m_horizontal = 0;
        const qint32 vertical = wholePixels(m_vertical);
        const qint32 horizontal = wholePixels(m_horizontal);
        if (vertical == 0 && horizontal == 0)
            return;
        m_vertical -= vertical;
        m_horizontal -= horizontal;
        event.type = Platform::TapEvent::Type::scrollWheel;
        event.pixelDeltaY = vertical;
        event.pixelDeltaX = horizontal;
        event.isContinuous = true;
        event.userData = ScrollEventTap::ownershipMarker;
        event.flags = flags;
        // Posted under the lock so that posts leave in the order their pixels were taken.
        m_taps->post(event, Platform::EventTaps::Location::session);
    }
}

void ScrollEventPoster::reset()
{
    std::lock_guard lock(m_mutex);
    m_vertical = m_horizontal = 0;
}

std::pair<double, double> ScrollEventPoster::remainder() const
{
    std::lock_guard lock(m_mutex);
    return {m_vertical, m_horizontal};
}
