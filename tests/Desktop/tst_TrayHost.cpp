// The tray menu where the desktop's tray is a status-notifier host on the session bus (a panel
// that draws the icons of its items and their menus itself): the menu must reach the host, which
// may offer no other way to open it.
#include "AppFixture.h"
#include "DesktopFixture.h"

#include "App/CorvishApp.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QIcon>
#include <QMenu>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

// The labels of a menu layout as the bus carries it, (ia{sv}av), depth first.
void collectLabels(const QDBusArgument& layout, QStringList& labels)
{
    int id = 0;
    QVariantMap properties;
    layout.beginStructure();
    layout >> id >> properties;
    if (properties.contains(QStringLiteral("label")))
        labels << properties.value(QStringLiteral("label")).toString();
    layout.beginArray();
    while (!layout.atEnd()) {
        QDBusVariant child;
        layout >> child;
        collectLabels(qvariant_cast<QDBusArgument>(child.variant()), labels);
    }
    layout.endArray();
    layout.endStructure();
}

QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    // The icon is served by this very process: its events go on while the answer is awaited.
    return QDBusConnection::sessionBus().call(message, QDBus::BlockWithGui, 10000);
}

} // namespace

class tst_TrayHost : public QObject {
    Q_OBJECT
    DesktopFixture m_fixture;

private slots:
    void theHostIsHandedTheMenu()
    {
        // Before the process's first tray icon: Qt asks once whether a host is there.
        QProcess* watcher = m_fixture.start(QStringLiteral(AMBREL_TEST_SOURCE_DIR "/status-notifier-watcher.py"), {}, {}, "ready");
        QVERIFY(watcher);
        QVERIFY(CorvishApp::trayHostShowsMenu());
        QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());

        AppFixture f;
        auto model = f.makeModel();
        CorvishApp app(*model);
        // As at a launch: the icon shows before the application takes it over with its menu.
        auto* shown = new QSystemTrayIcon(QIcon::fromTheme(QStringLiteral("folder")));
        shown->show();
        app.show(shown);
        QVERIFY(app.usesTray());
        QCOMPARE(app.trayIcon()->contextMenu(), app.menu());

        // The icon registers with the host, and its menu is on the bus with the menu's entries.
        const QRegularExpression registered(QStringLiteral("^registered (\\S+)$"), QRegularExpression::MultilineOption);
        QTRY_VERIFY_WITH_TIMEOUT(registered.match(QString::fromUtf8(m_fixture.output(watcher))).hasMatch(), 20000);
        const QString item = registered.match(QString::fromUtf8(m_fixture.output(watcher))).captured(1);
        const QDBusMessage menuPath = call(item, QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("Get"), {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Menu")});
        QVERIFY2(menuPath.type() == QDBusMessage::ReplyMessage, qPrintable(menuPath.errorMessage()));
        const QString path = qvariant_cast<QDBusObjectPath>(qvariant_cast<QDBusVariant>(menuPath.arguments().value(0)).variant()).path();
        QVERIFY2(path.startsWith(u'/') && path != u"/NO_DBUSMENU", qPrintable(path));
        const QDBusMessage layout = call(item, path, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"),
                                         {0, -1, QStringList()});
        QVERIFY2(layout.type() == QDBusMessage::ReplyMessage, qPrintable(layout.errorMessage()));
        QStringList labels;
        collectLabels(qvariant_cast<QDBusArgument>(layout.arguments().value(1)), labels);
        for (const char* key : {"menu.finderMenu", "menu.settings", "menu.quit"}) {
            QAction* action = nullptr;
            for (QAction* a : app.menu()->actions())
                if (a->objectName() == QLatin1String(key))
                    action = a;
            QVERIFY(action);
            QVERIFY2(labels.contains(action->text()), qPrintable(labels.join(u'|')));
        }

        // A host that learnt of the icon before it had a menu asks the icon to show one.
        QMenu* menu = app.menu();
        QVERIFY(!menu->isVisible());
        const QDBusMessage asked = call(item, QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.kde.StatusNotifierItem"),
                                        QStringLiteral("ContextMenu"), {100, 10});
        QVERIFY2(asked.type() == QDBusMessage::ReplyMessage, qPrintable(asked.errorMessage()));
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
    }
};

QTEST_MAIN(tst_TrayHost)
#include "tst_TrayHost.moc"
