// The hand-over across two processes on a real session bus: one process queues a request and
// posts the notification, the other hears it and drains the queue. The test runs itself under
// dbus-run-session, so it never touches the user's own bus.

#include "LocalActions/Finder/FinderActionHandoff.h"
#include "Platform/Desktop/DesktopNotifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

const QString observeFlag = QStringLiteral("--observe");
const QString sessionFlag = QStringLiteral("--session");

FinderActionRequest request()
{
    return {.actionID = QStringLiteral("finder.copyPath"),
            .terminalBundleID = QStringLiteral("org.example.term"),
            .selectedPaths = {QStringLiteral("/srv/shared/a.txt")},
            .directoryPath = QStringLiteral("/srv/shared"),
            .baseName = QStringLiteral("Untitled")};
}

void say(const QByteArray& line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

// Waits for the notification, then prints each drained request as one line of JSON, and how often
// the handler ran, and exits.
int observe(const QString& root)
{
    const Platform::Folders folders = Platform::Folders::under(root);
    Platform::DesktopNotifications notifications;
    // Made without a word to the bus (the application's start does not wait for it); Qt's own
    // session connection exists only once something asked for it.
    if (QDBusConnection(QStringLiteral("qt_default_session_bus")).isConnected())
        return 10;
    if (!notifications.isConnected())
        return 3;
    int calls = 0;
    QList<FinderActionRequest> drained;
    notifications.observe(QString::fromLatin1(FinderActionHandoff::notificationName), [&] {
        ++calls;
        drained += FinderActionHandoff::drain(folders);
        // Give a stray second delivery the chance to show before reporting.
        QTimer::singleShot(300, QCoreApplication::instance(), [&] {
            for (const auto& r : std::as_const(drained))
                say(encode(r));
            say("calls " + QByteArray::number(calls));
            QCoreApplication::instance()->exit(0);
        });
    });
    notifications.observe(QStringLiteral("com.corvish.unrelated"), [] { say("unrelated"); });
    QTimer::singleShot(10'000, QCoreApplication::instance(), [] { QCoreApplication::instance()->exit(2); });
    say("ready");
    return QCoreApplication::exec();
}

// Inside the private bus: starts the observer, queues a request, posts, and passes on what the
// observer printed and its exit status.
int post(const QString& root)
{
    QProcess observer;
    observer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    observer.start(QCoreApplication::applicationFilePath(), {observeFlag, root});
    if (!observer.waitForStarted(5000))
        return 4;
    QByteArray out;
    while (!out.contains("ready\n")) {
        if (!observer.waitForReadyRead(10'000))
            return 5;
        out += observer.readAllStandardOutput();
    }
    out.replace("ready\n", "");

    if (!FinderActionHandoff::enqueue(request(), Platform::Folders::under(root)))
        return 6;
    Platform::DesktopNotifications notifications;
    if (!notifications.isConnected())
        return 7;
    notifications.post(QStringLiteral("com.corvish.other")); // heard by nobody
    FinderActionHandoff::signal(notifications);

    if (!observer.waitForFinished(15'000)) {
        observer.kill();
        observer.waitForFinished();
        return 8;
    }
    out += observer.readAllStandardOutput();
    std::fputs(out.constData(), stdout);
    std::fflush(stdout);
    return observer.exitStatus() == QProcess::NormalExit ? observer.exitCode() : 9;
}

} // namespace

class FinderHandoffBusTest : public QObject {
    Q_OBJECT

private slots:
    void requestCrossesProcessesOverTheSessionBus()
    {
        const QString runner = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
        if (runner.isEmpty())
            QSKIP("dbus-run-session is not installed");
        QTemporaryDir root;
        QVERIFY(root.isValid());

        QProcess session;
        session.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        session.start(runner, {QStringLiteral("--"), QCoreApplication::applicationFilePath(), sessionFlag, root.path()});
        QVERIFY(session.waitForStarted());
        if (!session.waitForFinished(30'000)) {
            session.kill();
            session.waitForFinished();
            QFAIL("the bus session did not end");
        }
        const QByteArray out = session.readAllStandardOutput();
        QCOMPARE(session.exitStatus(), QProcess::NormalExit);
        QVERIFY2(session.exitCode() == 0, out.constData());
        const QList<QByteArray> lines = out.trimmed().split('\n');
        QCOMPARE(lines, (QList<QByteArray>{encode(request()), "calls 1"}));
        QVERIFY(QDir(FinderActionHandoff::queueDirectory(Platform::Folders::under(root.path()))).isEmpty());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == observeFlag)
        return observe(args[2]);
    if (args.size() == 3 && args[1] == sessionFlag)
        return post(args[2]);
    FinderHandoffBusTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_FinderHandoffBus.moc"
