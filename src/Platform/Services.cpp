#include "Platform/Services.h"

#include "Platform/Desktop/DesktopArchiveExtractor.h"
#include "Platform/Desktop/DesktopCodeSignature.h"
#include "Platform/Desktop/DesktopEventTaps.h"
#include "Platform/Desktop/DesktopAccessibility.h"
#include "Platform/Desktop/DesktopEventMonitors.h"
#include "Platform/Desktop/DesktopFinderWindows.h"
#include "Platform/Desktop/DesktopHotKeys.h"
#include "Platform/Desktop/DesktopKeychain.h"
#include "Platform/Desktop/DesktopKeyboardState.h"
#include "Platform/Desktop/DesktopKeystrokes.h"
#include "Platform/Desktop/DesktopLoginItem.h"
#include "Platform/Desktop/DesktopNotifications.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Desktop/DesktopPermissions.h"
#include "Platform/Desktop/DesktopScreens.h"
#include "Platform/Desktop/DesktopSystemInfo.h"
#include "Platform/Desktop/DesktopUserDefaults.h"
#include "Platform/Desktop/DesktopWindowList.h"
#include "Platform/Desktop/DesktopWorkspace.h"
#include "Platform/Simulated/SimulatedArchiveExtractor.h"
#include "Platform/Simulated/SimulatedCodeSignature.h"
#include "Platform/Simulated/SimulatedEventTaps.h"
#include "Platform/Desktop/X11Connection.h"
#include "Platform/Simulated/SimulatedAccessibility.h"
#include "Platform/Simulated/SimulatedEventMonitors.h"
#include "Platform/Simulated/SimulatedFinderWindows.h"
#include "Platform/Simulated/SimulatedHotKeys.h"
#include "Platform/Simulated/SimulatedKeystrokes.h"
#include "Platform/Simulated/SimulatedKeychain.h"
#include "Platform/Simulated/SimulatedKeyboardState.h"
#include "Platform/Simulated/SimulatedLoginItem.h"
#include "Platform/Simulated/SimulatedNotifications.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Platform/Simulated/SimulatedPermissions.h"
#include "Platform/Simulated/SimulatedScreens.h"
#include "Platform/Simulated/SimulatedSystemInfo.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "Platform/Unavailable.h"

#include <QStandardPaths>

namespace Platform {

Services makeDesktopServices(const Folders& folders)
{
    const auto x11 = X11Connection::shared();
    return {
        .folders = folders,
        .clock = std::make_shared<SystemClock>(),
        .userDefaults = std::make_shared<DesktopUserDefaults>(folders.configHome + QStringLiteral("/ambrel/defaults.ini")),
        .keychain = std::make_shared<DesktopKeychain>(),
        .pasteboards = std::make_shared<DesktopPasteboards>(folders.appData + QStringLiteral("/pasteboards")),
        .workspace = std::make_shared<DesktopWorkspace>(
            QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation), x11),
        .screens = std::make_shared<DesktopScreens>(),
        .notifications = std::make_shared<DesktopNotifications>(),
        .hotKeys = std::make_shared<DesktopHotKeys>(x11),
        .loginItem = std::make_shared<DesktopLoginItem>(folders.configHome + QStringLiteral("/autostart")),
        .permissions = std::make_shared<DesktopPermissions>(folders.extensionContainer, x11 != nullptr),
        .finderWindows = std::make_shared<DesktopFinderWindows>(x11),
        .systemInfo = std::make_shared<DesktopSystemInfo>(DesktopSystemInfo::fromEnvironment()),
        .archiveExtractor = std::make_shared<DesktopArchiveExtractor>(),
        .codeSignature = std::make_shared<DesktopCodeSignature>(),
        .eventTaps = std::make_shared<DesktopEventTaps>(),
        .accessibility = std::make_shared<DesktopAccessibility>(x11),
        .eventMonitors = std::make_shared<DesktopEventMonitors>(x11),
        .keystrokes = std::make_shared<DesktopKeystrokes>(x11),
        .windowList = std::make_shared<DesktopWindowList>(x11),
        .keyboardState = std::make_shared<DesktopKeyboardState>(x11),
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
        .hotKeys = std::make_shared<SimulatedHotKeys>(),
        .loginItem = std::make_shared<SimulatedLoginItem>(),
        .permissions = std::make_shared<SimulatedPermissions>(),
        .finderWindows = std::make_shared<SimulatedFinderWindows>(),
        .systemInfo = std::make_shared<SimulatedSystemInfo>(),
        .archiveExtractor = std::make_shared<SimulatedArchiveExtractor>(),
        .codeSignature = std::make_shared<SimulatedCodeSignature>(),
        .eventTaps = std::make_shared<SimulatedEventTaps>(),
        .accessibility = std::make_shared<SimulatedAccessibility>(),
        .eventMonitors = std::make_shared<SimulatedEventMonitors>(),
        .keystrokes = std::make_shared<SimulatedKeystrokes>(),
        .windowList = std::make_shared<SimulatedWindowList>(),
        .keyboardState = std::make_shared<SimulatedKeyboardState>(),
    };
}

Services makeServicesFromEnvironment()
{
    if (qEnvironmentVariable("AMBREL_PLATFORM") == u"simulated")
        return makeSimulatedServices(Folders::standard());
    return makeDesktopServices();
}

} // namespace Platform
