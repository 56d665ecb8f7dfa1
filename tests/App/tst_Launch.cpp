// The application executable started as a user starts it, with the display and the platform
// variables it finds.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString ambrel = QStringLiteral(AMBREL_BINARY_DIR "/src/App/ambrel");

// An X display number no server listens on.
QString silentDisplay()
{
    for (int n = 900; n < 1000; ++n) {
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) && !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return QStringLiteral(":%1").arg(n);
    }
    return {};
}

} // namespace

class LaunchTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_home;

    // A private home and runtime folder, on the simulated services, with nothing of this
    // process's display variables.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment e;
        e.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        e.insert(QStringLiteral("HOME"), m_home->path());
        e.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->filePath(QStringLiteral("runtime")));
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral("config")));
        e.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath(QStringLiteral("data")));
        e.insert(QStringLiteral("AMBREL_PLATFORM"), QStringLiteral("simulated"));
        return e;
    }

private slots:
    void init()
    {
        m_home.emplace();
        QVERIFY(QDir(m_home->path()).mkdir(QStringLiteral("runtime")));
        QVERIFY(QFile::setPermissions(m_home->filePath(QStringLiteral("runtime")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void withoutAUsableDisplayItRunsOffscreenAndSaysSo_data()
    {
        QTest::addColumn<QString>("display"); // empty: unset
        QTest::addColumn<QString>("said");
        QTest::newRow("a display that does not answer") << silentDisplay() << "does not answer";
        QTest::newRow("no display") << "" << "no display found";
    }
    void withoutAUsableDisplayItRunsOffscreenAndSaysSo()
    {
        QFETCH(QString, display);
        QFETCH(QString, said);
        QProcessEnvironment e = environment();
        if (!display.isEmpty())
            e.insert(QStringLiteral("DISPLAY"), display);
        QProcess app;
        app.setProcessEnvironment(e);
        app.start(ambrel, {});
        QVERIFY2(app.waitForStarted(), qPrintable(app.errorString()));
        QByteArray err;
        // It says so, and goes on running (Qt's own way out would be an abort).
        QTRY_VERIFY_WITH_TIMEOUT((err += app.readAllStandardError()).contains(said.toUtf8()), 30000);
        QVERIFY2(err.contains("offscreen"), err.constData());
        QCOMPARE(app.state(), QProcess::Running);
        app.kill();
        QVERIFY(app.waitForFinished(10000));
        QCOMPARE(app.exitStatus(), QProcess::CrashExit); // our kill, not an abort of its own
    }

    void anUnknownPlatformIsRefused_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::newRow("misspelt") << "simulatd";
        QTest::newRow("other case") << "Simulated";
    }
    void anUnknownPlatformIsRefused()
    {
        QFETCH(QString, platform);
        QProcessEnvironment e = environment();
        e.insert(QStringLiteral("AMBREL_PLATFORM"), platform);
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess app;
        app.setProcessEnvironment(e);
        app.start(ambrel, {});
        QVERIFY(app.waitForFinished(30000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 2);
        const QByteArray err = app.readAllStandardError();
        QVERIFY2(err.contains("AMBREL_PLATFORM") && err.contains(platform.toUtf8()), err.constData());
        // It ended before taking the single-instance socket: nothing was left in the runtime folder.
        QVERIFY(QDir(m_home->filePath(QStringLiteral("runtime"))).isEmpty());
    }
};

QTEST_GUILESS_MAIN(LaunchTest)
#include "tst_Launch.moc"
