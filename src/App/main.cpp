// The executable shows the tray icon with no more than a plain Qt tray application loads, then
// loads the application module beside it, which takes the icon over.
#include "Launch/AppLaunch.h"
#include "Launch/DisplayFallback.h"
#include "Launch/SingleInstance.h"
#include "Launch/TrayIcon.h"
#include "LocalActions/Runners/JavaScriptHelper.h"
#include "Platform/IconTheme.h"
#include "Platform/OnDemandModule.h"
#include "Platform/Services.h"

#include <QApplication>
#include <QDir>
#include <QLibrary>
#include <QSystemTrayIcon>

#include <cstdio>

namespace {

// An entry point of the application module; null, with the reason told, when it cannot be loaded.
QFunctionPointer appModule(const char* entry)
{
    const QString path =
        Platform::onDemandModulePath(QStringLiteral(AMBREL_APP_MODULE_NAME), QStringLiteral(AMBREL_APP_MODULE));
    QLibrary library(path);
    const QFunctionPointer f = path.isEmpty() ? nullptr : library.resolve(entry);
    if (!f)
        std::fprintf(stderr, "ambrel: the application module %s could not be loaded: %s\n", AMBREL_APP_MODULE_NAME,
                     path.isEmpty() ? "it is not beside the executable" : qPrintable(library.errorString()));
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    // The helper mode serves one JavaScript request and never starts the application.
    if (JavaScriptHelper::isRequested(argc, argv)) {
        const auto run = reinterpret_cast<int (*)()>(appModule(AppModule::runJavaScriptHelper));
        return run ? run() : 1;
    }

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

    AppLaunch launch;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        launch.tray = new QSystemTrayIcon(TrayIcon::icon(QString::fromLatin1(TrayIcon::plainSymbol)));
        launch.tray->setToolTip(QStringLiteral("Ambrel"));
        launch.tray->show();
    }
    launch.opened = opened;
    launch.deliver = [&instance](QObject* receiver, std::function<void(const QList<QUrl>&)> urlsReceived,
                                 std::function<void()> showRequested) {
        QObject::connect(&instance, &SingleInstance::urlsReceived, receiver, std::move(urlsReceived));
        QObject::connect(&instance, &SingleInstance::showRequested, receiver, std::move(showRequested));
        instance.startDelivering();
    };
    const auto run = reinterpret_cast<int (*)(AppLaunch&)>(appModule(AppModule::runApplication));
    if (!run) {
        delete launch.tray;
        return 1;
    }
    return run(launch);
}
