// Preloaded into a tray application under measure: the process ends once its tray icon is shown
// and carries its menu, whichever comes last, so its running time is its start-up to a tray icon
// that answers a click.
#include <QSystemTrayIcon>

#include <unistd.h>

namespace {
bool shown = false;
bool withMenu = false;
} // namespace

bool QSystemTrayIcon::isSystemTrayAvailable()
{
    return true;
}

void QSystemTrayIcon::setVisible(bool visible)
{
    shown = shown || visible;
    if (shown && withMenu)
        ::_exit(0);
}

void QSystemTrayIcon::setContextMenu(QMenu* menu)
{
    withMenu = withMenu || menu;
    if (shown && withMenu)
        ::_exit(0);
}
