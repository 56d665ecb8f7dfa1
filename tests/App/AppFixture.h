#pragma once

#include "App/AlertPresenter.h"
#include "App/AppModel.h"
#include "LocalActions/Finder/FinderActionRequest.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedFinderWindows.h"
#include "Platform/Simulated/SimulatedHotKeys.h"
#include "Platform/Simulated/SimulatedKeychain.h"
#include "Platform/Simulated/SimulatedLoginItem.h"
#include "Platform/Simulated/SimulatedNotifications.h"
#include "Platform/Simulated/SimulatedPermissions.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "RefusingPort.h"
#include "SecurityCore/ModuleStrings.h"
#include "System/PollTimer.h"

#include <QTemporaryDir>

// Records what the application would show.
// A file-manager request for an action on files in a folder.
inline FinderActionRequest finderRequest(const QString& actionID, const QStringList& paths, const QString& directory)
{
    FinderActionRequest r;
    r.actionID = actionID;
    r.selectedPaths = paths;
    r.directoryPath = directory;
    return r;
}

class RecordingAlerts final : public AlertPresenter {
public:
    void showAlert(const QString& message) override { alerts << message; }
    void alertSound() override { ++sounds; }
    QStringList alerts;
    int sounds = 0;
};

// Simulated services below a temporary folder, with typed handles to script them.
struct AppFixture {
    QTemporaryDir root;
    Platform::Services services = Platform::makeSimulatedServices(Platform::Folders::under(root.path()));
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    // Nothing a test does may leave the machine: the version service and the usage-report service
    // are a loopback port that refuses every connection.
    RefusingPort closedPort;

    Platform::SimulatedUserDefaults& defaults() { return static_cast<Platform::SimulatedUserDefaults&>(*services.userDefaults); }
    Platform::SimulatedPermissions& permissions() { return static_cast<Platform::SimulatedPermissions&>(*services.permissions); }
    Platform::SimulatedHotKeys& hotKeys() { return static_cast<Platform::SimulatedHotKeys&>(*services.hotKeys); }
    Platform::SimulatedWorkspace& workspace() { return static_cast<Platform::SimulatedWorkspace&>(*services.workspace); }
    Platform::SimulatedFinderWindows& finderWindows() { return static_cast<Platform::SimulatedFinderWindows&>(*services.finderWindows); }
    Platform::SimulatedLoginItem& loginItem() { return static_cast<Platform::SimulatedLoginItem&>(*services.loginItem); }
    Platform::SimulatedKeychain& keychain() { return static_cast<Platform::SimulatedKeychain&>(*services.keychain); }
    Platform::SimulatedNotifications& notifications() { return static_cast<Platform::SimulatedNotifications&>(*services.notifications); }

    std::unique_ptr<AppModel> makeModel(QUrl signInKeyExchange = {})
    {
        ModuleStrings::setUserDefaults(services.userDefaults);
        AppModel::Hooks hooks = offline(AppModel::Hooks{.alertSound = [a = alerts] { a->alertSound(); },
                                                         .signInKeyExchange = std::move(signInKeyExchange)});
        return std::make_unique<AppModel>(services, std::move(hooks), std::make_unique<ManualPollTimer>());
    }

    // The hooks with every service of the model that is not given a server of the test's own
    // pointed at the closed port.
    AppModel::Hooks offline(AppModel::Hooks hooks) const
    {
        const QString closed = QStringLiteral("http://127.0.0.1:%1").arg(closedPort.port());
        if (hooks.telemetryService.isEmpty())
            hooks.telemetryService = closed;
        if (hooks.updateEndpoint.isEmpty())
            hooks.updateEndpoint = QUrl(closed + QStringLiteral("/api/version"));
        return hooks;
    }

    QString sharedFile() const { return services.folders.extensionContainer + QStringLiteral("/finder-menu-preferences.json"); }
};
