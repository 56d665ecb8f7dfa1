// The new-file hot key on the real desktop: the application's model on the desktop services, the
// system-wide key grabbed on the X server, a real file manager showing a folder, the key pressed
// through xdotool, and the file looked for on disk.
#include "DesktopFixture.h"

#include "App/AppModel.h"
#include "RefusingPort.h"
#include "Platform/Services.h"
#include "SecurityCore/ModuleStrings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace Platform;

class tst_NewFileHotKey : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    RefusingPort m_closedPort; // the model's version service: nothing leaves the machine
    Services m_services;
    std::unique_ptr<AppModel> m_model;
    DesktopFixture m_fixture;
    QProcess* m_fileManager = nullptr;
    QProcess* m_other = nullptr;
    QString m_folder;
    int m_alerts = 0;

    // Ctrl+Alt+N on this keyboard.
    const GlobalHotKey::Combination m_shortcut{.keyCode = 45,
                                               .modifiers = GlobalHotKey::Combination::command | GlobalHotKey::Combination::option};

    QStringList entries() const { return QDir(m_folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries); }

    // Brings the window with this exact title to the front and waits until the workspace says so.
    bool activate(const QString& title, qint64 pid)
    {
        if (!DesktopFixture::xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                                      QStringLiteral("^%1$").arg(title), QStringLiteral("windowactivate"),
                                      QStringLiteral("--sync")}))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            const auto front = m_services.workspace->frontmostApplication();
            if (front && front->processID == pid)
                return true;
            QTest::qWait(5);
        }
        return false;
    }

    bool pressShortcut()
    {
        const int alerts = m_alerts;
        const QStringList before = entries();
        if (!DesktopFixture::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+n")}))
            return false;
        // Either a file or the alert sound ends the press.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000 && m_alerts == alerts && entries() == before)
            QTest::qWait(5);
        return m_alerts != alerts || entries() != before;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_folder = m_root.filePath(QString::fromUtf8("Shown folder Überblick"));
        QVERIFY(QDir().mkpath(m_folder));
        m_services = makeDesktopServices(Folders::under(m_root.path()));
        ModuleStrings::setUserDefaults(m_services.userDefaults);
        const QString closed = QStringLiteral("http://127.0.0.1:%1").arg(m_closedPort.port());
        m_model = std::make_unique<AppModel>(m_services, AppModel::Hooks{.alertSound = [this] { ++m_alerts; },
                                                                         .telemetryService = closed,
                                                                         .updateEndpoint = QUrl(closed + "/api/version")});
        m_model->setNewFileShortcut(m_shortcut);
        QVERIFY2(!m_model->newFileShortcutRefused(), "the X server refused the grab");

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        m_fileManager = m_fixture.start(QStringLiteral("nautilus"), {QStringLiteral("--new-window"), m_folder}, environment);
        QVERIFY(m_fileManager);
        // The window is titled with the folder's name once it shows the folder.
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                                         QStringLiteral("^Shown folder"), QStringLiteral("getwindowpid")}));
        m_other = m_fixture.startTargetApp();
        QVERIFY(m_other);
    }

    void cleanupTestCase()
    {
        m_model.reset();
        m_fixture.stopAll();
    }

    void anotherApplicationInFrontOnlySounds()
    {
        QVERIFY(activate(QStringLiteral("Ambrel test target"), m_other->processId()));
        QVERIFY(pressShortcut());
        QCOMPARE(m_alerts, 1);
        QCOMPARE(entries(), QStringList());
    }

    void theFileManagersFrontWindowGetsTheFile()
    {
        QVERIFY(activate(QString::fromUtf8("Shown folder Überblick"), m_fileManager->processId()));
        // A file manager just started may take longer than the shortcut waits: the shortcut is
        // pressed once it answers which folder its front window shows.
        QTRY_COMPARE_WITH_TIMEOUT(m_services.finderWindows->frontWindowPath().value_or(QString()), m_folder, 30000);
        const int alerts = m_alerts;
        QVERIFY(pressShortcut());
        QCOMPARE(m_alerts, alerts);
        const QStringList made = entries();
        QCOMPARE(made.size(), 1);
        QVERIFY2(QFileInfo(QDir(m_folder).filePath(made.first())).isFile(), qPrintable(made.first()));
    }
};

QTEST_MAIN(tst_NewFileHotKey)
#include "tst_NewFileHotKey.moc"
