#include "Platform/Services.h"

#include "Platform/Desktop/DesktopKeychain.h"
#include "Platform/Desktop/DesktopNotifications.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Desktop/DesktopScreens.h"
#include "Platform/Desktop/DesktopSystemInfo.h"
#include "Platform/Desktop/DesktopUserDefaults.h"
#include "Platform/Desktop/DesktopWorkspace.h"
#include "Platform/Simulated/SimulatedKeychain.h"
#include "Platform/Simulated/SimulatedNotifications.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Platform/Simulated/SimulatedScreens.h"
#include "Platform/Simulated/SimulatedSystemInfo.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "Platform/Simulated/SimulatedWorkspace.h"

namespace Platform {

Services makeDesktopServices(const Folders& folders)
{
    return {
        .folders = folders,
        .clock = std::make_shared<SystemClock>(),
        .userDefaults = std::make_shared<DesktopUserDefaults>(folders.configHome + QStringLiteral("/ambrel/defaults.ini")),
        .keychain = std::make_shared<DesktopKeychain>(),
        .pasteboards = std::make_shared<DesktopPasteboards>(folders.appData + QStringLiteral("/pasteboards")),
        .workspace = std::make_shared<DesktopWorkspace>(),
        .screens = std::make_shared<DesktopScreens>(),
        .notifications = std::make_shared<DesktopNotifications>(),
        .systemInfo = std::make_shared<DesktopSystemInfo>(DesktopSystemInfo::fromEnvironment()),
    };
}

Services makeSimulatedServices(const Folders& folders)
{
    return {
        .folders = folders,
        .clock = std::make_shared<SystemClock>(),
        .userDefaults = std::make_shared<SimulatedUserDefaults>(),
        .keychain = std::make_shared<SimulatedKeychain>(),
        .pasteboards = std::make_shared<SimulatedPasteboards>(),
        .workspace = std::make_shared<SimulatedWorkspace>(),
        .screens = std::make_shared<SimulatedScreens>(),
        .notifications = std::make_shared<SimulatedNotifications>(),
        .systemInfo = std::make_shared<SimulatedSystemInfo>(),
    };
}

Services makeServicesFromEnvironment()
{
    if (qEnvironmentVariable("AMBREL_PLATFORM") == u"simulated")
        return makeSimulatedServices(Folders::standard());
    return makeDesktopServices();
}

} // namespace Platform
