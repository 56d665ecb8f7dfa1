#include "App/AppDelegate.h"
#include "App/AppModel.h"
#include "App/CorvishApp.h"
#include "App/DisplayFallback.h"
#include "App/SingleInstance.h"
#include "LocalActions/JavaScriptHelper.h"
#include "Platform/Desktop/DesktopApplicationEntry.h"
#include "Platform/IconTheme.h"
#include "Platform/Services.h"
#include "SecurityCore/ModuleStrings.h"
#include "SecurityCore/PrivacyLog.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    // The helper mode serves one JavaScript request and never starts the application.
    if (JavaScriptHelper::isRequested(argc, argv))
        return JavaScriptHelper::main();

    if (const auto unknown = Platform::unknownPlatformName()) {
        std::fprintf(stderr, "ambrel: AMBREL_PLATFORM=\"%s\" names no platform (\"simulated\" or \"desktop\")\n",
                     qPrintable(*unknown));
        return 2;
    }
    DisplayFallback::prepare();
    QApplication app(argc, argv);
    DisplayFallback::report();
    QApplication::setApplicationName(QStringLiteral("Ambrel"));
    QApplication::setApplicationVersion(QStringLiteral(AMBREL_VERSION));
    QApplication::setOrganizationDomain(QStringLiteral("corvish.com"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Before any window or menu looks up an icon: Qt keeps a theme as it was first read.
    Platform::IconTheme::settle();

    // A second launch hands its files and URLs to the running Ambrel and leaves.
    SingleInstance instance;
    const QList<QUrl> opened = SingleInstance::urlsFromArguments(QCoreApplication::arguments(), QDir::currentPath());
    if (instance.forwardToRunningInstance(opened))
        return 0;
    if (!instance.listen()) {
        // Another Ambrel started at the same moment: it takes our arguments.
        return instance.forwardToRunningInstance(opened, 3000) ? 0 : 1;
    }

    Platform::Services services = Platform::makeServicesFromEnvironment();
    ModuleStrings::setUserDefaults(services.userDefaults);
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
    scenes.show();
    // The tray icon first: what is left of the start reads the keychain.
    model.finishStart();

    QObject::connect(&instance, &SingleInstance::urlsReceived, &delegate, &AppDelegate::open);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    QObject::connect(&instance, &SingleInstance::showRequested, &scenes, &CorvishApp::reopen);
    QTimer::singleShot(0, &delegate, [&] {
        delegate.applicationDidFinishLaunching();
        if (!opened.isEmpty())
            delegate.open(opened);
        // What later launches handed over while we were starting, then whatever comes.
        instance.startDelivering();
    });

    const int status = app.exec();
    AppModel::setShared(nullptr);
    return status;
}
