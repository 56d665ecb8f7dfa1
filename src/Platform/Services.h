#pragma once

#include "Platform/ArchiveExtractor.h"
#include "Platform/Accessibility.h"
#include "Platform/Clock.h"
#include "Platform/CodeSignature.h"
#include "Platform/DistributedNotifications.h"
#include "Platform/EventTaps.h"
#include "Platform/EventMonitors.h"
#include "Platform/FinderWindows.h"
#include "Platform/Folders.h"
#include "Platform/HotKeys.h"
#include "Platform/Keychain.h"
#include "Platform/KeyboardState.h"
#include "Platform/Keystrokes.h"
#include "Platform/LoginItem.h"
#include "Platform/Pasteboard.h"
#include "Platform/Permissions.h"
#include "Platform/Screens.h"
#include "Platform/SystemInfo.h"
#include "Platform/UserDefaults.h"
#include "Platform/WindowList.h"
#include "Platform/Workspace.h"

#include <memory>
#include <optional>

namespace Platform {

// One of each platform service. The application model and every service receive this (or the
// parts they need) when they are made; nothing reaches a global.
struct Services {
    Folders folders;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<UserDefaults> userDefaults;
    std::shared_ptr<Keychain> keychain;
    std::shared_ptr<Pasteboards> pasteboards;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Screens> screens;
    std::shared_ptr<DistributedNotifications> notifications;
    std::shared_ptr<HotKeys> hotKeys;
    std::shared_ptr<LoginItem> loginItem;
    std::shared_ptr<Permissions> permissions;
    std::shared_ptr<FinderWindows> finderWindows;
    std::shared_ptr<SystemInfo> systemInfo;
    std::shared_ptr<ArchiveExtractor> archiveExtractor;
    std::shared_ptr<CodeSignature> codeSignature;
    std::shared_ptr<EventTaps> eventTaps;
    std::shared_ptr<Accessibility> accessibility;
    std::shared_ptr<EventMonitors> eventMonitors;
    std::shared_ptr<Keystrokes> keystrokes;
    std::shared_ptr<WindowList> windowList;
    std::shared_ptr<KeyboardState> keyboardState;
};

// The real services of this system, storing under the given folders.
Services makeDesktopServices(const Folders& folders = Folders::standard());
// In-memory services; files still go below the given folders.
Services makeSimulatedServices(const Folders& folders);
// The desktop set, or the simulated one when AMBREL_PLATFORM=simulated.
Services makeServicesFromEnvironment();
// The value of AMBREL_PLATFORM when it names no set ("simulated", "desktop", or unset/empty for
// the desktop); the application refuses to start on it rather than guess.
std::optional<QString> unknownPlatformName();

} // namespace Platform
