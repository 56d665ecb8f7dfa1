// Apart from the services themselves, so that the executable checks the name before it loads any
// of them.
#include "Platform/Services.h"

namespace Platform {

std::optional<QString> unknownPlatformName()
{
    const QString name = qEnvironmentVariable("AMBREL_PLATFORM");
    if (name.isEmpty() || name == u"simulated" || name == u"desktop")
        return std::nullopt;
    return name;
}

} // namespace Platform
