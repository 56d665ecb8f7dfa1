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

// Counts the presses of one button that reach a widget of ours.
class Presses final : public QObject {
public:
    explicit Presses(Qt::MouseButton button) : m_button(button) {}
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A quick second click reaches the widget as the second of a double click.
        const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
        if (press && watched->isWidgetType() && static_cast<QMouseEvent*>(event)->button() == m_button)
            ++count;
        return false;
    }

private:
    Qt::MouseButton m_button;
};

bool clickAt(const QPoint& point, int button)
{
    return DesktopFixture::xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
                                    QStringLiteral("click"), QString::number(button)});
}

QString describe(const QRect& r)
{
    return QDebug::toString(r);
}

} // namespace

class tst_TrayMenu : public QObject {
    Q_OBJECT
    DesktopFixture m_fixture;
    static constexpr int panelHeight = 32;
    static constexpr int panelWidth = 200;

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.start(QStringLiteral("trayer"),
                                {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                 QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                                 QStringLiteral("--width"), QString::number(panelWidth), QStringLiteral("--heighttype"),
                                 QStringLiteral("pixel"), QStringLiteral("--height"), QString::number(panelHeight)}));
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 20000);
    }

    void opensBesideTheIconAndTheIconClosesIt_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("left button") << 1;
        // A plain tray hands the right button to the icon's context menu, which would open at
        // the pointer, over the icon.
        QTest::newRow("right button") << 3;
    }

    // The menu opens beside the icon, not over it; a click on the icon while the menu is open
    // closes it and changes nothing (over the icon, that click landed on the menu's first switch).
    void opensBesideTheIconAndTheIconClosesIt()
    {
        QFETCH(int, button);
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

        Presses presses(button == 1 ? Qt::LeftButton : Qt::RightButton);
        qApp->installEventFilter(&presses);
        QMenu* menu = app.menu();
        const QRect icon = tray->geometry();
        // Clear of the icon, on the screen, below an icon at the top of the screen.
        const auto besideTheIcon = [&] {
            const QRect at = menu->geometry();
            return !at.intersects(icon) && screen.contains(at) && at.top() > icon.bottom();
        };
        const auto where = [&] {
            return QStringLiteral("menu %1, icon %2").arg(describe(menu->geometry()), describe(icon)).toLocal8Bit();
        };
        QVERIFY(clickAt(icon.center(), button));
        QTRY_VERIFY(menu->isVisible());
        QTRY_VERIFY(menu->geometry().height() > 50);
        QVERIFY2(besideTheIcon(), where().constData());
        if (const QString folder = qEnvironmentVariable("AMBREL_SCREENSHOT_DIR"); !folder.isEmpty()) {
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            menu->repaint();
            const QString name = QStringLiteral("/tray-menu-%1.png").arg(button == 1 ? "left" : "right");
            QVERIFY(!DesktopFixture::run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                                     folder + name})
                         .isNull());
        }

        const FinderMenuPreferences before = model->menuPreferences();
        const int pressed = presses.count;
        QVERIFY(clickAt(icon.center(), button));
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
        QVERIFY(clickAt(icon.center(), button));
        QTRY_VERIFY(menu->isVisible());
        QVERIFY2(besideTheIcon(), where().constData());
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        QTRY_VERIFY(!menu->isVisible());

        // Started again from the keyboard (a launcher, a terminal): the menu opens beside the icon
        // and answers the keys.
        app.reopen();
        QTRY_VERIFY(menu->isVisible());
        QTRY_VERIFY(menu->geometry().height() > 50);
        QVERIFY2(besideTheIcon(), where().constData());
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        QTRY_VERIFY(!menu->isVisible());
        QVERIFY(model->menuPreferences() == before);
        qApp->removeEventFilter(&presses);
    }
};

QTEST_MAIN(tst_TrayMenu)
#include "tst_TrayMenu.moc"
