#include "LocalActions/JavaScriptHelper.h"
#include "Platform/Services.h"
#include "SecurityCore/ModuleStrings.h"
#include "SecurityCore/PrivacyLog.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace {

QIcon trayIcon()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x3b, 0x6e, 0xd8));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(4, 4, 56, 56), 14, 14);
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 46), QPointF(32, 16));
    p.drawLine(QPointF(32, 16), QPointF(44, 46));
    p.drawLine(QPointF(25, 35), QPointF(39, 35));
    return QIcon(pixmap);
}

} // namespace

int main(int argc, char** argv)
{
    // The helper mode serves one JavaScript request and never starts the application.
    if (JavaScriptHelper::isRequested(argc, argv))
        return JavaScriptHelper::main();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ambrel"));
    QApplication::setOrganizationDomain(QStringLiteral("corvish.com"));
    QApplication::setQuitOnLastWindowClosed(false);

    Platform::Services services = Platform::makeServicesFromEnvironment();
    ModuleStrings::setUserDefaults(services.userDefaults);
    PrivacyLog::logger(QStringLiteral("App")).info(QStringLiteral("Ambrel started"));

    QMenu menu;
    QAction* quit = menu.addAction(QStringLiteral("Quit Ambrel"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    QObject::connect(quit, &QAction::triggered, &app, &QApplication::quit);

    QSystemTrayIcon tray(trayIcon());
    tray.setToolTip(QStringLiteral("Ambrel"));
    tray.setContextMenu(&menu);
    tray.show();

    return app.exec();
}
