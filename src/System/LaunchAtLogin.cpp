#include "System/LaunchAtLogin.h"

#include "Platform/LoginItem.h"
#include "SecurityCore/PrivacyLog.h"

namespace LaunchAtLogin {

bool set(Platform::LoginItem& loginItem, bool enabled)
{
    using Status = Platform::LoginItem::Status;
    const bool isEnabled = loginItem.status() == Status::enabled;
    if (enabled == isEnabled)
        return true;
    const auto result = enabled ? loginItem.registerMainApp() : loginItem.unregisterMainApp();
    if (!result) {
        PrivacyLog::logger(QStringLiteral("LaunchAtLogin"))
            .error(QStringLiteral("Login item change refused: %1").arg(result.error()));
        return false;
    }
    return true;
}

} // namespace LaunchAtLogin
