// The least a Qt tray application does before its icon shows: the peer of Ambrel's start-up.
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &app, &QApplication::quit);
    QSystemTrayIcon tray(QIcon::fromTheme(QStringLiteral("edit-cut")));
    tray.setContextMenu(&menu);
    tray.show();
    return app.exec();
}
