#pragma once

#include <QList>
#include <QUrl>

#include <functional>

class QObject;
class QSystemTrayIcon;

// What the executable hands to the application module it loads once the tray icon shows: the
// start a user sees first is only the icon, and everything else loads behind it.
struct AppLaunch {
    // Shown already; the application takes it over. Null where the session has no tray.
    QSystemTrayIcon* tray = nullptr;
    // The files and URLs this launch was given.
    QList<QUrl> opened;
    // Hands what later launches send to these while `receiver` lives, starting with what came
    // while the application was loading.
    std::function<void(QObject* receiver, std::function<void(const QList<QUrl>&)> urlsReceived,
                       std::function<void()> showRequested)>
        deliver;
};

namespace AppModule {
// The entry points of the application module (a library beside the executable).
inline constexpr auto runApplication = "ambrelRunApplication"; // int (AppLaunch&), with the application object made
inline constexpr auto runJavaScriptHelper = "ambrelRunJavaScriptHelper"; // int (), before any application object
} // namespace AppModule
