// Hot keys, running and frontmost applications and activation on a real X server.
#include "DesktopFixture.h"

#include "Platform/Desktop/DesktopHotKeys.h"
#include "Platform/Desktop/DesktopWindowList.h"
#include "Platform/Desktop/DesktopWorkspace.h"
#include "Platform/Desktop/EwmhWindows.h"
#include "Platform/Desktop/X11Connection.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace Platform;

Q_DECLARE_METATYPE(Platform::HotKeys::Identifier)

class tst_X11Services : public QObject {
    Q_OBJECT

    std::shared_ptr<X11Connection> m_x;
    QTemporaryDir m_apps;
    DesktopFixture m_fixture;

    void writeEntry(const QString& id, const QString& exec, const QString& startupWMClass = {})
    {
        QFile file(m_apps.filePath(id + QStringLiteral(".desktop")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray text = "[Desktop Entry]\nType=Application\nName=" + id.toUtf8() + "\nExec=" + exec.toUtf8() + "\n";
        if (!startupWMClass.isEmpty())
            text += "StartupWMClass=" + startupWMClass.toUtf8() + "\n";
        file.write(text);
    }

    // An xterm of the given class running a long sleep; its process id.
    qint64 startTerminal(const QString& className, const QProcessEnvironment& environment = {})
    {
        QProcess* terminal = m_fixture.start(QStringLiteral("xterm"), {QStringLiteral("-class"), className, QStringLiteral("-e"),
                                                                      QStringLiteral("sleep"), QStringLiteral("600")},
                                             environment);
        return terminal ? terminal->processId() : 0;
    }

    std::optional<EwmhWindows::Client> clientOf(qint64 pid)
    {
        EwmhWindows windows(m_x);
        for (const auto& client : windows.stacking())
            if (client.processID == pid)
                return client;
        return std::nullopt;
    }

    // The mapped clients bottom to top as the server has them now, read past any kept copy.
    using Seen = QList<QPair<EwmhWindows::XID, QRect>>;
    Seen serverStacking()
    {
        Seen out;
        EwmhWindows reader(m_x);
        for (const unsigned long window : m_x->cardinals(m_x->root(), "_NET_CLIENT_LIST_STACKING").value_or(QList<unsigned long>())) {
            XWindowAttributes attributes;
            bool ok = false;
            if (m_x->checked([&] { ok = XGetWindowAttributes(m_x->display(), window, &attributes) != 0; }) || !ok
                || attributes.map_state != IsViewable)
                continue;
            out.append({window, reader.frame(window).value_or(QRect())});
        }
        return out;
    }
    static Seen seen(const QList<EwmhWindows::Client>& clients)
    {
        Seen out;
        for (const auto& client : clients)
            out.append({client.window, client.frame});
        return out;
    }
    // The kept list must equal the server's right after the server's was read, with no turn of the
    // event loop between (a change landing in between only asks for another try).
    bool keptMatchesServer(EwmhWindows& windows)
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const Seen before = serverStacking();
            const Seen kept = seen(windows.stacking());
            if (before != serverStacking())
                continue;
            if (kept != before)
                qWarning() << "kept" << kept << "server" << before;
            return kept == before;
        }
        return false;
    }
    EwmhWindows::XID windowOf(qint64 pid)
    {
        const auto client = clientOf(pid);
        return client ? client->window : 0;
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<Platform::HotKeys::Identifier>();
        m_x = X11Connection::shared();
        QVERIFY2(m_x, "no X server");
        QVERIFY(m_apps.isValid());
        writeEntry(QStringLiteral("com.example.Launched"), QStringLiteral("/bin/false"));
        writeEntry(QStringLiteral("org.example.Classy"), QStringLiteral("/bin/false"), QStringLiteral("ClassyTerm"));
        writeEntry(QStringLiteral("org.example.Termy"), QStringLiteral("/bin/false"));
        writeEntry(QStringLiteral("org.example.Exec"), QStringLiteral("xterm -e sh"));
    }

    void cleanup() { m_fixture.stopAll(); }

    void hotKeyPressIsDelivered_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::newRow("no lock") << QString();
        QTest::newRow("NumLock on") << QStringLiteral("Num_Lock");
        QTest::newRow("CapsLock on") << QStringLiteral("Caps_Lock");
    }

    void hotKeyPressIsDelivered()
    {
        QFETCH(QString, lock);
        DesktopHotKeys hotKeys(m_x);
        QSignalSpy pressed(&hotKeys, &HotKeys::pressed);
        const HotKeys::Identifier identifier{0x5A514B59, 1};
        // Control+Shift+N: command and shift.
        const auto reference = hotKeys.registerHotKey(45, 0x100 | 0x200, identifier);
        QVERIFY(reference.has_value());
        if (!lock.isEmpty())
            QVERIFY(DesktopFixture::xdotool({QStringLiteral("key"), lock}));
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+n")}));
        if (!lock.isEmpty())
            QVERIFY(DesktopFixture::xdotool({QStringLiteral("key"), lock}));
        QTRY_COMPARE(pressed.size(), 1);
        QCOMPARE(pressed.first().first().value<HotKeys::Identifier>(), identifier);
        hotKeys.unregisterHotKey(*reference);
    }

    void unregisteredHotKeyStaysQuiet()
    {
        DesktopHotKeys hotKeys(m_x);
        QSignalSpy pressed(&hotKeys, &HotKeys::pressed);
        const auto first = hotKeys.registerHotKey(45, 0x100 | 0x800, {1, 1}); // Control+Alt+N
        const auto second = hotKeys.registerHotKey(11, 0x100 | 0x800, {1, 2}); // Control+Alt+B
        QVERIFY(first && second);
        hotKeys.unregisterHotKey(*first);
        // The server handles the presses in order: once the second arrives, the first would have.
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+n"), QStringLiteral("ctrl+alt+b")}));
        QTRY_COMPARE(pressed.size(), 1);
        QCOMPARE(pressed.first().first().value<HotKeys::Identifier>().id, 2u);
        hotKeys.unregisterHotKey(*second);
    }

    void hotKeyHeldByAnotherClientIsRefused()
    {
        Display* other = XOpenDisplay(nullptr);
        QVERIFY(other);
        const KeyCode k = XKeysymToKeycode(other, XK_k);
        XGrabKey(other, k, ControlMask | Mod1Mask | LockMask, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
        XSync(other, False);

        DesktopHotKeys hotKeys(m_x);
        const auto refused = hotKeys.registerHotKey(40, 0x100 | 0x800, {1, 3}); // Control+Alt+K
        QVERIFY(!refused.has_value());
        QCOMPARE(refused.error(), int(HotKeys::statusTaken));

        // Nothing of the refused registration stays grabbed: another client gets the variants.
        static int probeErrors = 0;
        probeErrors = 0;
        auto* previous = XSetErrorHandler([](Display*, XErrorEvent*) -> int {
            ++probeErrors;
            return 0;
        });
        Display* probe = XOpenDisplay(nullptr);
        QVERIFY(probe);
        for (unsigned locks : {0u, unsigned(Mod2Mask), unsigned(LockMask | Mod2Mask)})
            XGrabKey(probe, k, ControlMask | Mod1Mask | locks, DefaultRootWindow(probe), False, GrabModeAsync, GrabModeAsync);
        XSync(probe, False);
        XSetErrorHandler(previous);
        QCOMPARE(probeErrors, 0);
        XCloseDisplay(probe);
        XCloseDisplay(other);
        // And once the others are gone, we get it.
        const auto accepted = hotKeys.registerHotKey(40, 0x100 | 0x800, {1, 3});
        QVERIFY(accepted.has_value());
        hotKeys.unregisterHotKey(*accepted);
    }

    void applicationOfAWindow_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<bool>("launchedFromEntry");
        QTest::addColumn<QString>("expected");
        QTest::newRow("launched from an entry") << QStringLiteral("Zzz") << true << QStringLiteral("com.example.Launched");
        QTest::newRow("entry names the class") << QStringLiteral("ClassyTerm") << false << QStringLiteral("org.example.Classy");
        QTest::newRow("entry id ends in the class") << QStringLiteral("termy") << false << QStringLiteral("org.example.Termy");
        QTest::newRow("entry runs the executable") << QStringLiteral("Unrelated") << false << QStringLiteral("org.example.Exec");
    }

    void applicationOfAWindow()
    {
        QFETCH(QString, className);
        QFETCH(bool, launchedFromEntry);
        QFETCH(QString, expected);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (launchedFromEntry)
            environment.insert(QStringLiteral("GIO_LAUNCHED_DESKTOP_FILE"), m_apps.filePath(expected + QStringLiteral(".desktop")));
        const qint64 pid = startTerminal(className, environment);
        QVERIFY(pid > 0);
        DesktopWorkspace workspace({m_apps.path()}, m_x);
        QTRY_VERIFY(clientOf(pid).has_value());
        QTRY_COMPARE(workspace.frontmostApplication().value_or(ApplicationInfo()).processID, pid);
        const ApplicationInfo front = *workspace.frontmostApplication();
        QCOMPARE(front.bundleIdentifier, expected);
        QCOMPARE(front.bundleURL, QUrl::fromLocalFile(m_apps.filePath(expected + QStringLiteral(".desktop"))));
        bool listed = false;
        for (const auto& app : workspace.runningApplications())
            listed = listed || (app.processID == pid && app.bundleIdentifier == expected);
        QVERIFY(listed);
    }

    // The window list is kept between lookups; moves, raises, hiding, closing and new windows must
    // show in the very next lookup, and a lookup while nothing changed reads nothing again.
    void keptWindowListFollowsTheServer()
    {
        EwmhWindows windows(m_x);
        DesktopWindowList list(m_x);
        QSignalSpy changed(&list, &WindowList::windowsChanged);
        const qint64 first = startTerminal(QStringLiteral("KeptOne"));
        const qint64 second = startTerminal(QStringLiteral("KeptTwo"));
        QTRY_VERIFY(windowOf(first) && windowOf(second));
        const auto one = windowOf(first), two = windowOf(second);
        const auto stackedLast = [&](EwmhWindows::XID window) {
            const Seen now = serverStacking();
            return !now.isEmpty() && now.last().first == window;
        };
        const auto frameOf = [&](EwmhWindows::XID window) {
            for (const auto& [w, frame] : serverStacking())
                if (w == window)
                    return frame;
            return QRect();
        };
        QVERIFY(keptMatchesServer(windows));
        const auto readsNothing = [&] {
            const int before = windows.windowsRead();
            windows.stacking();
            windows.activeWindow();
            return windows.windowsRead() == before;
        };
        QTRY_VERIFY(readsNothing());

        const auto id = [](EwmhWindows::XID window) { return QString::number(window); };
        changed.clear();
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("windowmove"), id(one), QStringLiteral("211"), QStringLiteral("173")}));
        QTRY_VERIFY(!changed.isEmpty()); // watchers of the list hear it too
        QTRY_VERIFY(frameOf(one).left() <= 211 && frameOf(one).right() > 211
                    && frameOf(one).top() <= 173 && frameOf(one).bottom() > 173);
        QVERIFY(keptMatchesServer(windows));

        const QSize size = frameOf(one).size();
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("windowsize"), id(one), QStringLiteral("700"), QStringLiteral("150")}));
        QTRY_VERIFY(frameOf(one).width() > size.width() && frameOf(one).height() < size.height());
        QVERIFY(keptMatchesServer(windows));

        for (const auto window : {one, two, one}) {
            QVERIFY(windows.activate(window));
            QTRY_VERIFY(stackedLast(window));
            QVERIFY(keptMatchesServer(windows));
            QTRY_COMPARE(m_x->windowProperty(m_x->root(), "_NET_ACTIVE_WINDOW").value_or(0), window);
            QCOMPARE(windows.activeWindow().value_or(0), window);
        }

        QVERIFY(DesktopFixture::xdotool({QStringLiteral("windowminimize"), id(two)}));
        QTRY_VERIFY(frameOf(two).isNull());
        QVERIFY(keptMatchesServer(windows));
        QVERIFY(!windows.client(two));
        QVERIFY(windows.client(two, /*mappedOnly=*/false));

        const qint64 third = startTerminal(QStringLiteral("KeptThree"));
        QTRY_VERIFY(stackedLast(windowOf(third)));
        QVERIFY(keptMatchesServer(windows));

        QVERIFY(DesktopFixture::xdotool({QStringLiteral("windowclose"), id(one)}));
        QTRY_VERIFY(frameOf(one).isNull() && !m_x->cardinals(m_x->root(), "_NET_CLIENT_LIST_STACKING")->contains(one));
        QVERIFY(keptMatchesServer(windows));
        QTRY_VERIFY(!windows.client(one, /*mappedOnly=*/false));
        QTRY_VERIFY(readsNothing());
    }

    void applicationWithoutEntryHasItsClassAsName()
    {
        QProcess* app = m_fixture.startTargetApp();
        QVERIFY(app);
        DesktopWorkspace workspace({m_apps.path()}, m_x);
        QTRY_COMPARE(workspace.frontmostApplication().value_or(ApplicationInfo()).processID, app->processId());
        const ApplicationInfo front = *workspace.frontmostApplication();
        QCOMPARE(front.bundleIdentifier, QString());
        QVERIFY(!front.name.isEmpty());
    }

    void activationOfAnotherApplication()
    {
        DesktopWorkspace workspace({m_apps.path()}, m_x);
        QSignalSpy activated(&workspace, &Workspace::applicationActivated);
        auto lastActivated = [&] {
            return activated.isEmpty() ? QString() : activated.last().first().value<ApplicationInfo>().bundleIdentifier;
        };
        const qint64 classy = startTerminal(QStringLiteral("ClassyTerm"));
        QTRY_COMPARE(lastActivated(), QStringLiteral("org.example.Classy"));
        const qint64 termy = startTerminal(QStringLiteral("Termy"));
        QTRY_COMPARE(lastActivated(), QStringLiteral("org.example.Termy"));
        QCOMPARE(workspace.frontmostApplication().value_or(ApplicationInfo()).processID, termy);

        QVERIFY(workspace.activate(QStringLiteral("org.example.Classy")));
        QTRY_COMPARE(lastActivated(), QStringLiteral("org.example.Classy"));
        QCOMPARE(workspace.frontmostApplication().value_or(ApplicationInfo()).processID, classy);
        // Each report is a change of application, never the same one twice.
        for (qsizetype i = 1; i < activated.size(); ++i)
            QVERIFY(activated.at(i).first().value<ApplicationInfo>().processID
                    != activated.at(i - 1).first().value<ApplicationInfo>().processID);

        QVERIFY(!workspace.activate(QStringLiteral("org.example.NotRunning")));
    }

    // An application whose every window is minimised still runs (the ring offers it), and
    // activating it brings its window back on screen and to the front.
    void minimisedApplicationIsRunningAndComesBack()
    {
        DesktopWorkspace workspace({m_apps.path()}, m_x);
        EwmhWindows windows(m_x);
        const qint64 classy = startTerminal(QStringLiteral("ClassyTerm"));
        const qint64 termy = startTerminal(QStringLiteral("Termy"));
        QTRY_VERIFY(windowOf(classy) && windowOf(termy));
        const auto window = windowOf(classy);
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("windowminimize"), QString::number(window)}));
        QTRY_VERIFY(!windows.client(window));
        QTRY_VERIFY(m_x->windowProperty(m_x->root(), "_NET_ACTIVE_WINDOW").value_or(0) != window);
        const auto running = [&](const QString& id) {
            for (const auto& app : workspace.runningApplications())
                if (app.bundleIdentifier == id)
                    return app.processID;
            return qint64(0);
        };
        QCOMPARE(running(QStringLiteral("org.example.Classy")), classy);
        QCOMPARE(running(QStringLiteral("org.example.Termy")), termy);

        QVERIFY(workspace.activate(QStringLiteral("org.example.Classy")));
        QTRY_VERIFY(windows.client(window));
        QTRY_COMPARE(m_x->windowProperty(m_x->root(), "_NET_ACTIVE_WINDOW").value_or(0), window);
        QTRY_COMPARE(workspace.frontmostApplication().value_or(ApplicationInfo()).processID, classy);
    }
};

QTEST_MAIN(tst_X11Services)
#include "tst_X11Services.moc"
