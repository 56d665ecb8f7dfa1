// The tray icon's menu on a real X server with a panel that has a system tray.
#include "AppFixture.h"
#include "DesktopFixture.h"

#include "App/CorvishApp.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

// Counts the presses of the left button that reach a widget of ours.
class Presses final : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A quick second click reaches the widget as the second of a double click.
        const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
        if (press && watched->isWidgetType()
            && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            ++count;
        return false;
    }
};

bool clickAt(const QPoint& point)
{
    return DesktopFixture::xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
                                    QStringLiteral("click"), QStringLiteral("1")});
}

} // namespace

class tst_TrayMenu : public QObject {
    Q_OBJECT
    DesktopFixture m_fixture;

private slots:
    // The menu opens beside the icon, not over it; a click on the icon while the menu is open
    // closes it and changes nothing (before, that click landed on the menu's first switch).
    void opensBesideTheIconAndTheIconClosesIt()
    {
        constexpr int panelHeight = 32;
        constexpr int panelWidth = 200;
        QVERIFY(m_fixture.start(QStringLiteral("trayer"),
                                {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                 QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                                 QStringLiteral("--width"), QString::number(panelWidth), QStringLiteral("--heighttype"),
                                 QStringLiteral("pixel"), QStringLiteral("--height"), QString::number(panelHeight)}));
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 20000);

        AppFixture f;
        auto model = f.makeModel();
        CorvishApp app(*model);
        app.show();
        QSystemTrayIcon* tray = app.trayIcon();
        QVERIFY(tray);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        // Docked: inside the panel's strip at the top right.
        const auto docked = [&] {
            const QRect icon = tray->geometry();
            return !icon.isEmpty() && icon.top() < panelHeight && icon.left() >= screen.right() - panelWidth;
        };
        QTRY_VERIFY_WITH_TIMEOUT(docked(), 20000);
        // A first start shows the welcome guide: a window of ours is active, as when the user
        // comes back to the tray from it.
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeWindow(), 10000);

        Presses presses;
        qApp->installEventFilter(&presses);
        QMenu* menu = app.menu();
        const QRect icon = tray->geometry();
        QVERIFY(clickAt(icon.center()));
        QTRY_VERIFY(menu->isVisible());
        QTRY_VERIFY(menu->geometry().height() > 50);
        QVERIFY2(!menu->geometry().intersects(icon),
                 qPrintable(QStringLiteral("menu %1 over icon %2").arg(QDebug::toString(menu->geometry()), QDebug::toString(icon))));
        QVERIFY(screen.contains(menu->geometry()));
        QVERIFY(menu->geometry().top() > icon.bottom()); // below an icon at the top of the screen
        if (const QString folder = qEnvironmentVariable("AMBREL_SCREENSHOT_DIR"); !folder.isEmpty()) {
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            menu->repaint();
            QVERIFY(!DesktopFixture::run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                                     folder + QStringLiteral("/tray-menu.png")})
                         .isNull());
        }

        const FinderMenuPreferences before = model->menuPreferences();
        const int pressed = presses.count;
        QVERIFY(clickAt(icon.center()));
        QTRY_VERIFY(presses.count > pressed);
        QTRY_VERIFY(!menu->isVisible());
        // Whatever the press set off has run by now.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(!menu->isVisible());
        QVERIFY(model->menuPreferences() == before);
        QVERIFY(model->finderMenuEnabled());

        // The next click opens it again, and Escape closes it.
        QVERIFY(clickAt(icon.center()));
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        QTRY_VERIFY(!menu->isVisible());
        qApp->removeEventFilter(&presses);
    }
};

QTEST_MAIN(tst_TrayMenu)
#include "tst_TrayMenu.moc"
