// A process that dies with a request in hand: the file manager's requests go through a queue
// folder, the pending cut lies in a file, and the application is killed (SIGKILL) while it records
// a cut it has read. The next start must perform that cut, or say that it was lost, and never let
// a paste move the files of an older cut in its place.
//
// The application's side runs in a child process: this test executable started again with
// --serve <root> [--hold], serving the queue below <root> until it is killed or ends.
#include "App/FinderActionHandler.h"
#include "LocalActions/Finder/CutPasteboard.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "LocalActions/LocalActionsStrings.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Telemetry/TelemetryClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

namespace {

// Named pasteboards in files below a folder, as on the desktop, so that a cut outlives the
// process; `hold` makes every write stop for good once it has said so, the process in the middle
// of recording.
class FilePasteboards final : public Platform::Pasteboards {
public:
    FilePasteboards(QString folder, bool hold) : m_folder(std::move(folder)), m_hold(hold) {}
    std::shared_ptr<Platform::Pasteboard> general() override { return m_general; }
    std::shared_ptr<Platform::Pasteboard> named(const QString& name) override
    {
        auto board = std::make_shared<Platform::FilePasteboard>(m_folder + u'/' + name + QStringLiteral(".json"));
        if (!m_hold)
            return board;
        return std::make_shared<Held>(board);
    }

private:
    class Held final : public Platform::Pasteboard {
    public:
        explicit Held(std::shared_ptr<Platform::Pasteboard> board) : m_board(std::move(board)) {}
        qint64 changeCount() const override { return m_board->changeCount(); }
        QList<Platform::PasteboardItem> items() const override { return m_board->items(); }
        qint64 writeItems(const QList<Platform::PasteboardItem>&) override
        {
            std::puts("recording");
            std::fflush(stdout);
            for (;;)
                ::pause();
        }

    private:
        std::shared_ptr<Platform::Pasteboard> m_board;
    };

    QString m_folder;
    bool m_hold;
    std::shared_ptr<Platform::Pasteboard> m_general = std::make_shared<Platform::SimulatedPasteboard>();
};

QString boardsFolder(const QString& root)
{
    return root + QStringLiteral("/boards");
}

class PrintedAlerts final : public AlertPresenter {
public:
    void showAlert(const QString& message) override
    {
        std::printf("alert %s\n", message.toUtf8().constData());
        std::fflush(stdout);
    }
    void alertSound() override {}
};

int serve(const QString& root, bool hold)
{
    Platform::Services services = Platform::makeSimulatedServices(Platform::Folders::under(root));
    services.pasteboards = std::make_shared<FilePasteboards>(boardsFolder(root), hold);
    FinderActionHandler handler(services, std::make_shared<PrintedAlerts>());
    handler.startListening();
    // Says once when everything queued at start is done.
    QTimer idle;
    QObject::connect(&idle, &QTimer::timeout, [&] {
        if (handler.isIdle()) {
            idle.stop();
            std::puts("idle");
            std::fflush(stdout);
        }
    });
    idle.start(5);
    return QCoreApplication::exec();
}

FinderActionRequest request(const QString& actionID, const QStringList& paths, const QString& folder)
{
    FinderActionRequest r;
    r.actionID = actionID;
    r.selectedPaths = paths;
    r.directoryPath = folder;
    return r;
}

} // namespace

class FinderRestartTest : public QObject {
    Q_OBJECT

    struct Child {
        std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
        QByteArray output;
        // Waits until the child has printed this line; false when it ended first.
        bool waitFor(const QByteArray& line)
        {
            const QDeadlineTimer deadline(60000);
            while (!deadline.hasExpired()) {
                output += process->readAllStandardOutput();
                if (output.split('\n').contains(line))
                    return true;
                if (process->state() == QProcess::NotRunning && !process->bytesAvailable())
                    return false;
                process->waitForReadyRead(100);
            }
            return false;
        }
        ~Child()
        {
            process->kill();
            process->waitForFinished();
        }
    };

    static std::unique_ptr<Child> start(const QString& root, bool hold)
    {
        auto child = std::make_unique<Child>();
        QStringList arguments{QStringLiteral("--serve"), root};
        if (hold)
            arguments << QStringLiteral("--hold");
        child->process->start(QCoreApplication::applicationFilePath(), arguments);
        return child;
    }

    static void write(const QString& path)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

private slots:
    void aCutInHandWhenKilled_data()
    {
        QTest::addColumn<int>("kills");
        QTest::newRow("killed once: performed at the next start") << 1;
        QTest::newRow("killed at it twice: dropped and said so") << 2;
    }
    void aCutInHandWhenKilled()
    {
        QFETCH(int, kills);
        QTemporaryDir root;
        const Platform::Folders folders = Platform::Folders::under(root.path());
        const QString files = root.filePath(QStringLiteral("files"));
        const QString destination = root.filePath(QStringLiteral("destination"));
        QVERIFY(QDir().mkpath(files) && QDir().mkpath(destination));
        QStringList older, newer;
        for (int i = 0; i < 3; ++i) {
            older << files + QStringLiteral("/older %1.txt").arg(i);
            newer << files + QStringLiteral("/newer %1.txt").arg(i);
            write(older.last());
            write(newer.last());
        }

        // An older cut is pending; the user cuts other files.
        auto boards = std::make_shared<FilePasteboards>(boardsFolder(root.path()), false);
        auto clock = std::make_shared<Platform::SystemClock>();
        QList<QUrl> olderURLs;
        for (const QString& path : std::as_const(older))
            olderURLs << QUrl::fromLocalFile(path);
        CutPasteboard(boards, CutPasteboard::sharedName, clock).write(olderURLs);
        const QDateTime t0 = QDateTime::currentDateTimeUtc();
        QVERIFY(FinderActionHandoff::enqueue(request(QStringLiteral("finder.cut"), newer, files), folders, t0));

        // Killed while recording it, once or twice.
        for (int i = 0; i < kills; ++i) {
            auto held = start(root.path(), true);
            QVERIFY2(held->waitFor("recording"), held->output.constData());
            held->process->kill();
            QVERIFY(held->process->waitForFinished());
        }
        // Then the paste, into another folder.
        QVERIFY(FinderActionHandoff::enqueue(request(QStringLiteral("finder.paste"), {}, destination), folders,
                                             t0.addMSecs(1)));

        auto next = start(root.path(), false);
        QVERIFY2(next->waitFor("idle"), next->output.constData());
        const QStringList pasted = QDir(destination).entryList(QDir::Files, QDir::Name);
        if (kills == 1) {
            QCOMPARE(pasted, (QStringList{"newer 0.txt", "newer 1.txt", "newer 2.txt"}));
            QVERIFY(!next->output.contains("alert"));
        } else {
            // Never the older cut in its place: nothing is pasted, and the user is told.
            QCOMPARE(pasted, QStringList());
            QVERIFY2(next->output.contains("alert " + LocalActionsStrings::string("finder.error.requestUnreadable").toUtf8()),
                     next->output.constData());
        }
        for (const QString& path : std::as_const(older))
            QVERIFY2(QFile::exists(path), qPrintable(path));
        // Nothing is left in the queue for a later start.
        QCOMPARE(QDir(FinderActionHandoff::queueDirectory(folders)).entryList(QDir::Files), QStringList());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() >= 3 && arguments[1] == u"--serve")
        return serve(arguments[2], arguments.contains(QStringLiteral("--hold")));
    FinderRestartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_FinderRestart.moc"
