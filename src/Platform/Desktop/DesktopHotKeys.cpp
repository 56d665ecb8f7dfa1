#include "Platform/Desktop/DesktopHotKeys.h"

namespace Platform {

std::expected<HotKeys::Reference, int> DesktopHotKeys::registerHotKey(quint32, quint32, Identifier)
{
    return std::unexpected(int(statusUnavailable));
}

void DesktopHotKeys::unregisterHotKey(Reference)
{
}

} // namespace Platform
