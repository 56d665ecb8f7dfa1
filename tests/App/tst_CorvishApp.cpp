#include "AppFixture.h"

#include "App/CorvishApp.h"
#include "Launch/TrayIcon.h"
#include "Settings/GeneralSettingsView.h"
#include "Settings/ManualLink.h"
#include "System/InterfaceLanguage.h"

#include <QFrame>
#include <QGroupBox>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class CorvishAppTest : public QObject {
    Q_OBJECT
private slots:
    void menuIsReachableWithOrWithoutTray();
    void takesOverTheIconTheLaunchShows();
    void menuFollowsTheModel();
    void iconsDifferByBadge();
    void closingTheWindowKeepsItReachable();
    void aSwitchThatCouldNotBeSavedShowsWhatIsStored();
    void theAISectionsLookLikeThePagesOwn();
    void trayMenuOpensBesideItsIcon_data();
    void trayMenuOpensBesideItsIcon();
    void alertButtonsInTheInterfaceLanguage();
};

namespace {
QAction* item(QMenu* menu, const QString& key)
{
    for (QAction* a : menu->actions())
        if (a->objectName() == key)
            return a;
    return nullptr;
}
} // namespace

void CorvishAppTest::menuIsReachableWithOrWithoutTray()
{
    AppFixture f;
    auto model = f.makeModel();
    CorvishApp app(*model);
    app.show();
    if (app.usesTray()) {
        QVERIFY(!app.fallbackWindow());
    } else {
        QVERIFY(app.fallbackWindow());
        auto* button = app.fallbackWindow()->findChild<QPushButton*>("menuButton");
        QVERIFY(button);
        QCOMPARE(button->menu(), app.menu());
    }
    QVERIFY(item(app.menu(), "menu.quit"));
    QVERIFY(item(app.menu(), "menu.finderMenu"));
    QVERIFY(item(app.menu(), "menu.settings")->isEnabled());
    QVERIFY(item(app.menu(), "menu.quit")->isEnabled());
}

void CorvishAppTest::takesOverTheIconTheLaunchShows()
{
    AppFixture f;
    auto model = f.makeModel();
    // Onboarded with permissions missing: the model's icon carries the badge, the launch's not.
    model->setHasCompletedOnboarding(true);
    QVERIFY(model->menuBarSymbol().contains(u"badge"));
    QPointer<QSystemTrayIcon> shown = new QSystemTrayIcon(TrayIcon::icon(TrayIcon::plainSymbol));
    {
        CorvishApp app(*model);
        app.show(shown);
        QVERIFY(app.usesTray());
        QVERIFY(!app.fallbackWindow());
        QCOMPARE(shown->parent(), &app);
        // A plain tray would open a menu handed to it at the pointer; the menu is opened beside
        // the icon instead. Only a status-notifier host, where the session has one, is handed it.
        QCOMPARE(shown->contextMenu(), CorvishApp::trayHostShowsMenu() ? app.menu() : nullptr);
        QCOMPARE(shown->icon().pixmap(64).toImage(), TrayIcon::icon(model->menuBarSymbol()).pixmap(64).toImage());
        QVERIFY(item(app.menu(), "menu.quit"));
    }
    QVERIFY(!shown); // ended with the scenes
}

void CorvishAppTest::menuFollowsTheModel()
{
    AppFixture f;
    auto model = f.makeModel();
    CorvishApp app(*model);
    QVERIFY(item(app.menu(), "menu.finderMenu")->isChecked());
    model->setFinderMenuEnabled(false);
    QVERIFY(!item(app.menu(), "menu.finderMenu")->isChecked());
    // After onboarding, each missing permission leads the menu.
    model->setHasCompletedOnboarding(true);
    QCOMPARE(app.menu()->actions().first()->objectName(), titleKey(Permission::finderExtension));
    f.permissions().setFinderExtensionEnabled(true);
    f.permissions().setAccessibilityTrusted(true);
    model->permissions().refresh();
    QCOMPARE(app.menu()->actions().first()->objectName(), QStringLiteral("menu.finderMenu"));
    // Switching the toolbar from the menu writes the setting and re-syncs.
    item(app.menu(), "menu.selectionToolbar")->trigger();
    QCOMPARE(f.defaults().boolValue("selection.autoShow"), std::optional(false));
    QVERIFY(!model->selectionToolbarWanted());
}

void CorvishAppTest::iconsDifferByBadge()
{
    const QImage plain = TrayIcon::icon("cursorarrow.click.2").pixmap(64).toImage();
    const QImage badge = TrayIcon::icon("cursorarrow.click.badge.clock").pixmap(64).toImage();
    QVERIFY(!plain.isNull());
    QVERIFY(plain != badge);
}

void CorvishAppTest::closingTheWindowKeepsItReachable()
{
    AppFixture f;
    auto model = f.makeModel();
    CorvishApp app(*model);
    app.show();
    QVERIFY(!app.usesTray()); // offscreen: no tray, so the fallback window
    QWidget* window = app.fallbackWindow();
    QVERIFY(window->isVisible());
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QCOMPARE(app.fallbackWindow(), window); // hidden, not gone
    app.reopen();
    QVERIFY(window->isVisible());
}

void CorvishAppTest::aSwitchThatCouldNotBeSavedShowsWhatIsStored()
{
    AppFixture f;
    auto model = f.makeModel();
    CorvishApp app(*model);
    f.defaults().refusesSaves = true; // a read-only configuration folder

    item(app.menu(), "menu.scroll")->trigger();
    QTRY_VERIFY(!item(app.menu(), "menu.scroll")->isChecked());
    QVERIFY(!model->scrollEnabled());

    QVERIFY(item(app.menu(), "menu.finderMenu")->isChecked());
    item(app.menu(), "menu.finderMenu")->trigger();
    QTRY_VERIFY(item(app.menu(), "menu.finderMenu")->isChecked());
    QVERIFY(model->finderMenuEnabled());

    // Once saving works again, the switch holds.
    f.defaults().refusesSaves = false;
    item(app.menu(), "menu.scroll")->trigger();
    QCoreApplication::processEvents();
    QVERIFY(model->scrollEnabled());
    QVERIFY(item(app.menu(), "menu.scroll")->isChecked());
}

void CorvishAppTest::theAISectionsLookLikeThePagesOwn()
{
    AppFixture f;
    auto model = f.makeModel();
    CorvishApp app(*model);
    app.openSettings();
    QWidget* page = app.settingsWindow()->general();
    QVERIFY(page);
    QTRY_VERIFY(page->isVisible());
    auto* ai = page->findChild<QWidget*>("aiProviderSections");
    QVERIFY(ai);
    QVERIFY(ai->findChildren<QGroupBox*>().isEmpty());
    // The service's title carries the manual's link, as the permissions' does.
    auto* link = ai->findChild<ManualLink*>();
    QVERIFY(link);
    QCOMPARE(link->topic(), ManualLink::Topic::ai);

    // The frames stand where the page's other frames stand, drawn as they are.
    auto* startup = page->findChild<QFrame*>("section");
    auto* service = ai->findChild<QFrame*>("serviceSection");
    auto* language = ai->findChild<QFrame*>("languageSection");
    QVERIFY(startup && service && language);
    QWidget* content = startup->parentWidget();
    for (QFrame* frame : {service, language}) {
        const QRect placed(frame->mapTo(content, QPoint(0, 0)), frame->size());
        QCOMPARE(placed.left(), startup->geometry().left());
        QCOMPARE(placed.width(), startup->width());
        QCOMPARE(frame->frameShape(), startup->frameShape());
        QCOMPARE(frame->autoFillBackground(), startup->autoFillBackground());
        QCOMPARE(frame->backgroundRole(), startup->backgroundRole());
    }
    // With no outcome beside it, the connection test is a button of its own width.
    auto* test = ai->findChild<QPushButton*>("test");
    QVERIFY(test);
    QVERIFY(!ai->findChild<QWidget*>("connectionStatus")->isVisible());
    QCOMPARE(test->width(), test->sizeHint().width());
}

void CorvishAppTest::trayMenuOpensBesideItsIcon_data()
{
    QTest::addColumn<QRect>("icon");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("expected");
    const QRect wide(0, 0, 1600, 900);
    const QRect low(0, 0, 1600, 200);
    // The menu is 519 by 180.
    QTest::newRow("panel at the top, icon at the right end") << QRect(1577, 1, 22, 26) << wide << QPoint(1081, 27);
    QTest::newRow("panel at the top, icon at the left end") << QRect(0, 0, 24, 24) << wide << QPoint(0, 24);
    QTest::newRow("panel at the bottom") << QRect(800, 870, 22, 26) << wide << QPoint(800, 690);
    QTest::newRow("no room above or below: to its right") << QRect(2, 90, 22, 26) << low << QPoint(24, 20);
    QTest::newRow("no room but to its left") << QRect(1577, 90, 22, 26) << low << QPoint(1058, 20);
    QTest::newRow("second screen to the right") << QRect(1777, 1, 22, 26) << QRect(1600, 0, 1280, 1024)
                                                << QPoint(1777, 27);
}

void CorvishAppTest::trayMenuOpensBesideItsIcon()
{
    QFETCH(QRect, icon);
    QFETCH(QRect, screen);
    QFETCH(QPoint, expected);
    const QSize menu(519, 180);
    const QPoint at = CorvishApp::trayMenuPosition(icon, menu, screen);
    QCOMPARE(at, expected);
    QVERIFY(!QRect(at, menu).intersects(icon));
    QVERIFY(screen.contains(QRect(at, menu)));
}

// Qt's own standard buttons follow the interface language too.
void CorvishAppTest::alertButtonsInTheInterfaceLanguage()
{
    QVERIFY(loadToolkitTranslations(QStringLiteral("zh-Hans")));
    QString ok;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ok = box->button(QMessageBox::Ok)->text();
            box->accept();
        }
    });
    poll.start(10);
    DesktopAlertPresenter().showAlert(QStringLiteral("Ambrel"));
    loadToolkitTranslations(QStringLiteral("en"));
    QCOMPARE(ok, QString::fromUtf8("确定"));
}

QTEST_MAIN(CorvishAppTest)
#include "tst_CorvishApp.moc"
