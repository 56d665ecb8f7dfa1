// The application module's entry points: the executable loads this library once its tray icon
// shows (or at once in the helper mode) and runs the application from here.
#include "App/AppDelegate.h"
#include "App/AppModel.h"
#include "App/CorvishApp.h"
#include "Launch/AppLaunch.h"
#include "LocalActions/JavaScriptHelper.h"
#include "Platform/Desktop/DesktopApplicationEntry.h"
#include "Platform/Services.h"
#include "SecurityCore/ModuleStrings.h"
#include "SecurityCore/PrivacyLog.h"
#include "System/InterfaceLanguage.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

extern "C" __attribute__((visibility("default"))) int ambrelRunJavaScriptHelper()
{
    return JavaScriptHelper::main();
}

extern "C" __attribute__((visibility("default"))) int ambrelRunApplication(AppLaunch& launch)
{
    Platform::Services services = Platform::makeServicesFromEnvironment();
    ModuleStrings::setUserDefaults(services.userDefaults);
    loadToolkitTranslations(ModuleStrings::currentLanguage());
    if (qEnvironmentVariable("AMBREL_PLATFORM") != u"simulated") {
        // So that opened plug-in files and "corvish" addresses reach this executable.
        const auto entry = Platform::DesktopApplicationEntry(
                               QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                               .install();
        if (!entry)
            PrivacyLog::logger(QStringLiteral("AppDelegate")).error(QStringLiteral("The desktop entry was not written: %1").arg(PrivacyLog::redact(entry.error())));
    }

    auto alerts = std::make_shared<DesktopAlertPresenter>();
    // AMBREL_UPDATE_ENDPOINT points the update check at another version service (to try a release).
    AppModel model(services, AppModel::Hooks{.alertSound = [alerts] { alerts->alertSound(); },
                                             .telemetryService = {},
                                             .updateEndpoint = QUrl(qEnvironmentVariable("AMBREL_UPDATE_ENDPOINT")),
                                             .finishesStartLater = true});
    AppModel::setShared(&model);
    AppDelegate delegate(model, alerts);
    CorvishApp scenes(model);
    scenes.show(launch.tray);
    // The menu first: what is left of the start reads the keychain.
    model.finishStart();

    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    QTimer::singleShot(0, &delegate, [&] {
        delegate.applicationDidFinishLaunching();
        if (!launch.opened.isEmpty())
            delegate.open(launch.opened);
        // What later launches handed over while we were starting, then whatever comes.
        launch.deliver(&delegate, [&delegate](const QList<QUrl>& urls) { delegate.open(urls); },
                       [&scenes] { scenes.reopen(); });
    });

    const int status = QApplication::exec();
    AppModel::setShared(nullptr);
    return status;
}
