#include "Platform/Desktop/DesktopEventTaps.h"

namespace Platform {

std::expected<std::unique_ptr<EventTaps::Tap>, EventTaps::StartFailure>
DesktopEventTaps::createTap(const Options&, Handler)
{
    return std::unexpected(StartFailure::unavailable);
}

void DesktopEventTaps::post(const TapEvent&, Location) {}

QString DesktopEventTaps::limitation() const
{
    return QStringLiteral("This build cannot intercept mouse input on this desktop yet.");
}

} // namespace Platform
