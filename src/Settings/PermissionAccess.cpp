#include "Settings/PermissionAccess.h"

#include "System/AppStrings.h"
#include "System/PermissionMonitor.h"

namespace PermissionAccess {

Platform::Permissions::Consent consent(Permission permission)
{
    switch (permission) {
    case Permission::finderExtension: return Platform::Permissions::Consent::finderExtension;
    case Permission::accessibility: return Platform::Permissions::Consent::accessibility;
    case Permission::inputMonitoring: return Platform::Permissions::Consent::inputMonitoring;
    }
    return Platform::Permissions::Consent::accessibility;
}

QString steps(Permission permission, const Platform::Permissions::Guidance& guidance)
{
    if (guidance.steps.isEmpty())
        return {};
    const QString text = AppStrings::string(QStringLiteral("permission.") + toRaw(permission)
                                            + QStringLiteral(".steps.") + guidance.steps);
    return text.contains(u"%1") ? text.arg(guidance.argument) : text;
}

QString request(Permission permission, PermissionMonitor& monitor, Platform::Permissions& platform)
{
    const auto guidance = platform.guidance(consent(permission));
    if (guidance.grantsItself) {
        switch (permission) {
        case Permission::accessibility: monitor.requestAccessibility(); break;
        case Permission::inputMonitoring: monitor.requestInputMonitoring(); break;
        case Permission::finderExtension: break;
        }
        monitor.refresh();
        if (monitor.isGranted(permission))
            return {};
    }
    return steps(permission, guidance);
}

} // namespace PermissionAccess
