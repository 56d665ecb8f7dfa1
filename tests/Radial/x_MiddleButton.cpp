// On a real X server (run by tests/XSession/x-session, with openbox): the radial menu on the desktop
// services. xdotool drives the real pointer: a hold opens the ring's window around the pointer, wheel
// steps move the selection, the release brings the chosen application to the front; a plain middle
// click still pastes the PRIMARY selection into a Qt, a GTK and a terminal target exactly once; over
// an excluded application's window, whatever is in front, a hold stays a plain click; and once the
// tap is gone no grab is left.

#include "../Desktop/DesktopFixture.h"
#include "Platform/Services.h"
#include "Radial/RadialMenuController.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

namespace {

QString writeEntry(const QString& id, const QString& name)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/applications");
    QDir().mkpath(folder);
    const QString path = folder + u'/' + id + QStringLiteral(".desktop");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=/bin/true\nIcon=utilities-terminal\n")
                   .arg(name)
                   .toUtf8());
    return path;
}

QByteArray activeWindow()
{
    return DesktopFixture::run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed();
}

QByteArray windowNamed(const QString& name)
{
    return DesktopFixture::run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), name})
        .trimmed()
        .split('\n')
        .value(0);
}

bool isViewable(WId window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XWindowAttributes attributes{};
    const bool ok = XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
    XCloseDisplay(display);
    return ok;
}

bool xdotool(const QString& line)
{
    return DesktopFixture::xdotool(line.split(u' '));
}

} // namespace

class RadialOnX : public QObject {
    Q_OBJECT
private:
    DesktopFixture m_fixture;
    QProcess* m_left = nullptr;
    QProcess* m_right = nullptr;
    QProcess* m_gtk = nullptr;
    Platform::Services m_services;
    std::shared_ptr<Platform::ApplicationsOnScreen> m_onScreen;
    std::unique_ptr<RadialMenuController> m_controller;
    QList<RadialItem> m_launched;

    QProcess* startTarget(const QString& id, const QString& title)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("GIO_LAUNCHED_DESKTOP_FILE"), writeEntry(id, title));
        return m_fixture.start(QStringLiteral(AMBREL_TARGET_APP), {QStringLiteral("--title"), title}, environment, "ready");
    }

    void setPrimary(const QByteArray& text)
    {
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("primary"), QStringLiteral("-i")});
        QVERIFY(xclip.waitForStarted());
        xclip.write(text);
        xclip.closeWriteChannel();
        QVERIFY(xclip.waitForFinished(10000)); // it stays behind, in the background, as the owner
        QTRY_COMPARE(DesktopFixture::run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("primary"),
                                                                  QStringLiteral("-o")}),
                     text);
    }

    // Whether `line` came from the process exactly once, checked after a later marker line.
    void expectOnce(QProcess* process, const QByteArray& line, const QString& typeAfter, const QByteArray& marker)
    {
        QVERIFY2(m_fixture.waitForLine(process, line), m_fixture.output(process).constData());
        QVERIFY(xdotool(QStringLiteral("type --delay 0 ") + typeAfter));
        QVERIFY2(m_fixture.waitForLine(process, marker), m_fixture.output(process).constData());
        QCOMPARE(m_fixture.output(process).count(line + '\n'), 1);
    }

    RadialSettings settings(bool enabled = true)
    {
        RadialSettings s;
        s.isEnabled = enabled;
        s.holdThreshold = 0.25;
        return s;
    }

private slots:
    void initTestCase()
    {
        m_left = startTarget(QStringLiteral("org.example.Left"), QStringLiteral("Left target"));
        QVERIFY(m_left);
        QVERIFY(xdotool(QStringLiteral("search --sync --name Left.target windowmove --sync 40 40")));
        m_right = startTarget(QStringLiteral("org.example.Right"), QStringLiteral("Right target"));
        QVERIFY(m_right);
        QVERIFY(xdotool(QStringLiteral("search --sync --name Right.target windowmove --sync 700 40")));
        m_gtk = m_fixture.startGtkEntry(QString());
        QVERIFY(m_gtk);
        m_services = Platform::makeDesktopServices();
        auto environment = RadialMenuController::Environment::of(m_services, QStringLiteral("com.corvish.ambrel"));
        m_onScreen = std::make_shared<Platform::ApplicationsOnScreen>(m_services.windowList, m_services.workspace);
        environment.onScreen = m_onScreen;
        m_controller = std::make_unique<RadialMenuController>(std::move(environment), RadialSettings());
        m_controller->onLaunch = [this](const RadialItem& item) {
            m_launched.append(item);
            m_services.workspace->activate(item.bundleIdentifier);
        };
        m_controller->apply(settings());
        QVERIFY(m_controller->isRunning());
    }

    void holdOpensWheelMovesReleaseActivates()
    {
        const QByteArray left = windowNamed(QStringLiteral("Left target"));
        const QByteArray right = windowNamed(QStringLiteral("Right target"));
        QVERIFY(!left.isEmpty() && !right.isEmpty());
        QVERIFY(xdotool(QStringLiteral("windowactivate --sync ") + QString::fromLatin1(left)));
        QTRY_COMPARE(activeWindow(), left);
        m_launched.clear();
        QVERIFY(xdotool(QStringLiteral("mousemove --sync 300 500 mousedown 2")));
        QTRY_VERIFY_WITH_TIMEOUT(m_controller->isRingShown(), 15000);
        RadialPanel& panel = m_controller->panel();
        QTRY_VERIFY(isViewable(panel.winId()));
        // Around the pointer: the ring's centre is where the button went down.
        const QPointF centre = panel.mapToGlobal(QPointF(panel.view().centre.x(), panel.view().height - panel.view().centre.y()));
        QVERIFY2(std::abs(centre.x() - 300) <= 1 && std::abs(centre.y() - 500) <= 1,
                 qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
        QVERIFY(panel.geometry().contains(QPoint(300, 500)));
        QStringList ids;
        for (const auto& entry : m_controller->entries())
            ids << entry.item.bundleIdentifier;
        const int rightIndex = int(ids.indexOf(QStringLiteral("org.example.Right")));
        QVERIFY2(rightIndex > 0, qPrintable(ids.join(u' ')));
        for (int i = 0; i < rightIndex; ++i)
            QVERIFY(xdotool(QStringLiteral("click 5")));
        QTRY_COMPARE(m_controller->selection().selectedIndex(), std::optional<int>(rightIndex));
        QVERIFY(xdotool(QStringLiteral("mouseup 2")));
        QTRY_VERIFY_WITH_TIMEOUT(!m_controller->isRingShown(), 15000);
        QCOMPARE(m_launched.size(), 1);
        QCOMPARE(m_launched[0].bundleIdentifier, QStringLiteral("org.example.Right"));
        QTRY_COMPARE(activeWindow(), right);
        QTRY_VERIFY(!isViewable(panel.winId()));
    }

    void plainClickPastesPrimaryOnce_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QPoint>("at");
        QTest::newRow("Qt line edit") << "qt" << QPoint(0, 0);
        QTest::newRow("GTK entry") << "gtk" << QPoint(0, 0);
    }
    void plainClickPastesPrimaryOnce()
    {
        QFETCH(QString, target);
        const bool qt = target == u"qt";
        QProcess* process = qt ? m_left : m_gtk;
        const QByteArray window = windowNamed(qt ? QStringLiteral("Left target") : QStringLiteral("Ambrel GTK target"));
        QVERIFY(!window.isEmpty());
        QVERIFY(xdotool(QStringLiteral("windowactivate --sync ") + QString::fromLatin1(window)));
        // The first field of either window.
        const QString into = QStringLiteral("mousemove --window %1 --sync %2 %3").arg(QString::fromLatin1(window)).arg(qt ? 200 : 150).arg(qt ? 22 : 20);
        QVERIFY(xdotool(into));
        QVERIFY(xdotool(QStringLiteral("click 1 key ctrl+a BackSpace")));
        const QByteArray word = "pasted" + target.toLatin1();
        setPrimary(word);
        // The pointer stays where it is (moving it there again would wait for a motion that never comes).
        QVERIFY(xdotool(QStringLiteral("click 2")));
        expectOnce(process, (qt ? "line: " : "entry: ") + word, QStringLiteral("Z"), (qt ? "line: " : "entry: ") + word + 'Z');
        QVERIFY(!m_controller->isRingShown());
    }

    void plainClickPastesIntoTheTerminal()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("typed"));
        QProcess* xterm = m_fixture.start(
            QStringLiteral("xterm"),
            {QStringLiteral("-geometry"), QStringLiteral("60x8+40+400"), QStringLiteral("-title"), QStringLiteral("Radial terminal"),
             QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("cat > ") + out});
        QVERIFY(xterm);
        QVERIFY(xdotool(QStringLiteral("search --sync --name Radial.terminal windowactivate --sync")));
        setPrimary("fromprimary\n");
        QVERIFY(xdotool(QStringLiteral("search --name Radial.terminal mousemove --window %1 --sync 60 40 click 2")));
        // The pasted line reaches the program behind the terminal, then what is typed after it.
        QTRY_VERIFY_WITH_TIMEOUT(QFile(out).size() >= qint64(strlen("fromprimary\n")), 10000);
        QVERIFY(xdotool(QStringLiteral("type --delay 0 end")));
        QVERIFY(xdotool(QStringLiteral("key Return")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile(out).size() >= qint64(strlen("fromprimary\nend\n")), 10000);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("fromprimary\nend\n"));
        xterm->kill();
    }

    // Our replayed clicks are told from the user's: after plain clicks, a hold is a hold again and
    // its release closes the ring (it is not taken for the echo of a replayed release).
    void holdAfterPlainClicks()
    {
        m_launched.clear();
        QVERIFY(xdotool(QStringLiteral("mousemove --sync 640 600 mousedown 2")));
        QTRY_VERIFY_WITH_TIMEOUT(m_controller->isRingShown(), 15000);
        QVERIFY(xdotool(QStringLiteral("mouseup 2")));
        QTRY_VERIFY2_WITH_TIMEOUT(!m_controller->isRingShown(),
                     qPrintable(QStringLiteral("gesture state %1").arg(m_controller->gesture().state.index())),
                                  15000);
        QVERIFY(m_launched.isEmpty());
        QVERIFY(m_controller->gesture().isIdle());
    }

    // The window under the pointer decides, not the application in front: over an excluded
    // application's window a hold is a plain middle click, and the ring stays closed.
    void anExcludedWindowUnderThePointerKeepsItsClick()
    {
        const QByteArray left = windowNamed(QStringLiteral("Left target"));
        const QByteArray right = windowNamed(QStringLiteral("Right target"));
        QVERIFY(!left.isEmpty() && !right.isEmpty());
        QVERIFY(xdotool(QStringLiteral("windowactivate --sync ") + QString::fromLatin1(left)));
        const QString into = QStringLiteral("mousemove --window %1 --sync 200 22").arg(QString::fromLatin1(left));
        QVERIFY(xdotool(into + QStringLiteral(" click 1 key ctrl+a BackSpace")));
        QVERIFY(xdotool(QStringLiteral("windowactivate --sync ") + QString::fromLatin1(right)));
        QTRY_COMPARE(activeWindow(), right);
        // The windows as the tap thread will read them: the right target in front.
        QTRY_COMPARE(m_onScreen->current()->frontmost, std::optional<QString>(QStringLiteral("org.example.Right")));
        RadialSettings s = settings();
        s.exclude(QStringLiteral("org.example.Left"));
        m_controller->apply(s);
        QVERIFY(m_controller->isRunning());
        setPrimary("excludedhold");
        // The pointer is still over the left window's field.
        QSignalSpy shown(m_controller.get(), &RadialMenuController::ringShown);
        QVERIFY(xdotool(QStringLiteral("mousedown 2")));
        // Held past the hold threshold, with the main thread free to open the ring: it stays closed.
        QTest::qWait(int(s.holdThreshold * 2000));
        QCOMPARE(shown.size(), 0);
        QVERIFY(xdotool(QStringLiteral("mouseup 2")));
        QVERIFY2(m_fixture.waitForLine(m_left, "line: excludedhold"), m_fixture.output(m_left).constData());
        QCOMPARE(shown.size(), 0);
        QVERIFY(m_controller->gesture().isIdle());
        m_controller->apply(settings());
        QVERIFY(xdotool(QStringLiteral("mousemove --sync 640 600")));
    }

    void noGrabLeftOnceTheTapIsGone()
    {
        m_controller->apply(settings(false));
        QVERIFY(!m_controller->isRunning());
        m_controller.reset();
        m_onScreen.reset();
        m_services = {};
        const QByteArray window = windowNamed(QStringLiteral("Left target"));
        QVERIFY(xdotool(QStringLiteral("windowactivate --sync ") + QString::fromLatin1(window)));
        const QString into = QStringLiteral("mousemove --window %1 --sync 200 22").arg(QString::fromLatin1(window));
        QVERIFY(xdotool(into + QStringLiteral(" click 1 key ctrl+a BackSpace")));
        setPrimary("afterquit");
        // Held as long as a gesture would need: nothing takes it any more.
        QVERIFY(xdotool(QStringLiteral("mousedown 2 sleep 0.4 mouseup 2")));
        expectOnce(m_left, "line: afterquit", QStringLiteral("Q"), "line: afterquitQ");
    }

    void cleanupTestCase()
    {
        m_controller.reset();
        m_fixture.stopAll();
    }
};

QTEST_MAIN(RadialOnX)
#include "x_MiddleButton.moc"
