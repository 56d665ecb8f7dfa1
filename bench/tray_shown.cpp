// Preloaded into a tray application under measure: the session offers a tray, and the process
// ends the moment its icon is shown, so its running time is its start-up to the tray icon.
#include <QSystemTrayIcon>

#include <unistd.h>

bool QSystemTrayIcon::isSystemTrayAvailable()
{
    return true;
}

void QSystemTrayIcon::setVisible(bool visible)
{
    if (visible)
        ::_exit(0);
}
