// A process that dies with a request in hand, one that quits with requests in hand, and two that
// run at once: the file manager's requests go through a queue folder, the pending cut lies in a
// file, and the application is killed (SIGKILL) while it records a cut it has read, or asked to
// quit while it does. A request is performed once, in its place, by whichever process serves the
// queue; a lost cut never lets a paste move the files of an older cut in its place.
//
// The application's side runs in a child process: this test executable started again with
// --serve <root> [--hold | --hold-until-go], serving the queue below <root> until it is killed or
// told "quit" on its input; "notify" there stands for the extension's notification.
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
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

namespace {

// Named pasteboards in files below a folder, as on the desktop, so that a cut outlives the
// process. A held write says so and stops, the process in the middle of recording: for good, or
// until the file `go` exists.
class FilePasteboards final : public Platform::Pasteboards {
public:
    enum class Hold { none, forEver, untilGo };
    FilePasteboards(QString folder, Hold hold = Hold::none, QString go = {})
        : m_folder(std::move(folder)), m_hold(hold), m_go(std::move(go))
    {
    }
    std::shared_ptr<Platform::Pasteboard> general() override { return m_general; }
    std::shared_ptr<Platform::Pasteboard> named(const QString& name) override
    {
        auto board = std::make_shared<Platform::FilePasteboard>(m_folder + u'/' + name + QStringLiteral(".json"));
        if (m_hold == Hold::none)
            return board;
        return std::make_shared<Held>(board, m_hold == Hold::untilGo ? m_go : QString());
    }

private:
    class Held final : public Platform::Pasteboard {
    public:
        Held(std::shared_ptr<Platform::Pasteboard> board, QString go) : m_board(std::move(board)), m_go(std::move(go)) {}
        qint64 changeCount() const override { return m_board->changeCount(); }
        QList<Platform::PasteboardItem> items() const override { return m_board->items(); }
        qint64 writeItems(const QList<Platform::PasteboardItem>& items) override
        {
            std::puts("recording");
            std::fflush(stdout);
            if (m_go.isEmpty())
                for (;;)
                    ::pause();
            const QDeadlineTimer deadline(120000);
            while (!QFile::exists(m_go) && !deadline.hasExpired())
                QThread::msleep(10);
            return m_board->writeItems(items);
        }

    private:
        std::shared_ptr<Platform::Pasteboard> m_board;
        QString m_go;
    };

    QString m_folder;
    Hold m_hold;
    QString m_go;
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

QString goFile(const QString& root)
{
    return root + QStringLiteral("/go");
}

void say(const char* line)
{
    std::puts(line);
    std::fflush(stdout);
}

int serve(const QString& root, FilePasteboards::Hold hold)
{
    Platform::Services services = Platform::makeSimulatedServices(Platform::Folders::under(root));
    services.pasteboards = std::make_shared<FilePasteboards>(boardsFolder(root), hold, goFile(root));
    FinderActionHandler handler(services, std::make_shared<PrintedAlerts>());
    handler.startListening();
    // Says when everything queued at start is done, and again after each notification.
    bool announce = true;
    QTimer idle;
    QObject::connect(&idle, &QTimer::timeout, [&] {
        if (announce && handler.isIdle()) {
            announce = false;
            say("idle");
        }
    });
    idle.start(5);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray received;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[256];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        received.append(chunk, n);
        for (qsizetype end; (end = received.indexOf('\n')) >= 0; received.remove(0, end + 1)) {
            const QByteArray line = received.left(end);
            if (line == "notify") {
                handler.drainQueue();
                announce = true;
            } else if (line == "quit") {
                QCoreApplication::quit();
            }
        }
    });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { say("quitting"); });
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
        qsizetype seen = 0; // lines of the output already waited for
        // Waits until the child has printed this line once more; false when it ended first.
        bool waitFor(const QByteArray& line)
        {
            const QDeadlineTimer deadline(60000);
            while (!deadline.hasExpired()) {
                output += process->readAllStandardOutput();
                const QList<QByteArray> lines = output.split('\n');
                for (qsizetype i = seen; i + 1 < lines.size(); ++i) {
                    if (lines[i] == line) {
                        seen = i + 1;
                        return true;
                    }
                }
                if (process->state() == QProcess::NotRunning && !process->bytesAvailable())
                    return false;
                process->waitForReadyRead(100);
            }
            return false;
        }
        void tell(const QByteArray& line) { process->write(line + '\n'); }
        ~Child()
        {
            process->kill();
            process->waitForFinished();
        }
    };

    static std::unique_ptr<Child> start(const QString& root, FilePasteboards::Hold hold = FilePasteboards::Hold::none)
    {
        auto child = std::make_unique<Child>();
        QStringList arguments{QStringLiteral("--serve"), root};
        if (hold == FilePasteboards::Hold::forEver)
            arguments << QStringLiteral("--hold");
        if (hold == FilePasteboards::Hold::untilGo)
            arguments << QStringLiteral("--hold-until-go");
        child->process->start(QCoreApplication::applicationFilePath(), arguments);
        return child;
    }

    // The names in the queue folder.
    static QStringList queued(const Platform::Folders& folders)
    {
        return QDir(FinderActionHandoff::queueDirectory(folders)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                                          QDir::Name);
    }

    static QList<QUrl> pendingCut(const QString& root)
    {
        auto boards = std::make_shared<FilePasteboards>(boardsFolder(root));
        auto clock = std::make_shared<Platform::SystemClock>();
        return CutPasteboard(boards, CutPasteboard::sharedName, clock).read(clock->now(), DiskFileOperations());
    }

    static QList<QUrl> urls(const QStringList& paths)
    {
        QList<QUrl> list;
        for (const QString& path : paths)
            list << QUrl::fromLocalFile(path);
        return list;
    }

    static void write(const QString& path)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

    // Three files whose cut is pending, three newer ones beside them the user cuts next, and the
    // folder a paste goes into.
    struct TwoCuts {
        QTemporaryDir root;
        Platform::Folders folders = Platform::Folders::under(root.path());
        QString files = root.filePath(QStringLiteral("files"));
        QString destination = root.filePath(QStringLiteral("destination"));
        QStringList older, newer;
        bool ready = false;

        TwoCuts()
        {
            ready = QDir().mkpath(files) && QDir().mkpath(destination);
            for (int i = 0; i < 3; ++i) {
                older << files + QStringLiteral("/older %1.txt").arg(i);
                newer << files + QStringLiteral("/newer %1.txt").arg(i);
                for (const QString& path : {older.last(), newer.last()}) {
                    QFile f(path);
                    ready = ready && f.open(QIODevice::WriteOnly) && f.write("x") == 1;
                }
            }
            auto boards = std::make_shared<FilePasteboards>(boardsFolder(root.path()));
            CutPasteboard(boards, CutPasteboard::sharedName, std::make_shared<Platform::SystemClock>()).write(urls(older));
        }
    };

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
        // An older cut is pending; the user cuts other files.
        TwoCuts world;
        QVERIFY(world.ready);
        const auto& [root, folders, files, destination, older, newer, ready] = world;
        const QDateTime t0 = QDateTime::currentDateTimeUtc();
        QVERIFY(FinderActionHandoff::enqueue(request(QStringLiteral("finder.cut"), newer, files), folders, t0));

        // Killed while recording it, once or twice.
        for (int i = 0; i < kills; ++i) {
            auto held = start(root.path(), FilePasteboards::Hold::forEver);
            QVERIFY2(held->waitFor("recording"), held->output.constData());
            held->process->kill();
            QVERIFY(held->process->waitForFinished());
        }
        // Then the paste, into another folder.
        QVERIFY(FinderActionHandoff::enqueue(request(QStringLiteral("finder.paste"), {}, destination), folders,
                                             t0.addMSecs(1)));

        auto next = start(root.path());
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

    // Two instances of the same user, both listening: the one that serves the queue performs each
    // request; the other takes nothing in hand while it lives, and takes over when it dies.
    void aSecondInstanceLeavesTheQueueToTheOneServingIt()
    {
        QTemporaryDir root;
        const Platform::Folders folders = Platform::Folders::under(root.path());
        const QString files = root.filePath(QStringLiteral("files"));
        const QString made = root.filePath(QStringLiteral("made"));
        QVERIFY(QDir().mkpath(files) && QDir().mkpath(made));
        QStringList cut;
        for (int i = 0; i < 3; ++i) {
            cut << files + QStringLiteral("/cut %1.txt").arg(i);
            write(cut.last());
        }
        const QDateTime t0 = QDateTime::currentDateTimeUtc();
        QVERIFY(FinderActionHandoff::enqueue(request(QStringLiteral("finder.cut"), cut, files), folders, t0));
        for (int i = 1; i <= 2; ++i) {
            auto newFile = request(QStringLiteral("finder.newFile"), {}, made);
            newFile.baseName = QStringLiteral("untitled");
            QVERIFY(FinderActionHandoff::enqueue(newFile, folders, t0.addMSecs(i)));
        }

        // The first takes all three and stops while it records the cut.
        auto first = start(root.path(), FilePasteboards::Hold::forEver);
        QVERIFY2(first->waitFor("recording"), first->output.constData());
        auto second = start(root.path());
        QVERIFY2(second->waitFor("idle"), second->output.constData());
        QCOMPARE(QDir(made).entryList(QDir::Files), QStringList());
        const QStringList inHand = queued(folders);
        QCOMPARE(inHand.size(), 3);
        for (const QString& name : inHand)
            QVERIFY2(name.endsWith(QString::fromLatin1(FinderActionHandoff::claimedSuffix)), qPrintable(name));

        // It dies; the next notification is the second's to serve, without a restart.
        first->process->kill();
        QVERIFY(first->process->waitForFinished());
        second->tell("notify");
        QVERIFY2(second->waitFor("idle"), second->output.constData());
        QCOMPARE(QDir(made).entryList(QDir::Files, QDir::Name), (QStringList{"untitled 2.txt", "untitled.txt"}));
        QCOMPARE(pendingCut(root.path()), urls(cut));
        QCOMPARE(queued(folders), QStringList());
        QVERIFY2(!second->output.contains("alert"), second->output.constData());
    }

    // An instance at rest holds nothing: one that reads the queue only at its start (it has no
    // session bus to be told through) leaves the later requests to the one that is told of them.
    void anInstanceAtRestLeavesTheQueueToTheNext()
    {
        QTemporaryDir root;
        const Platform::Folders folders = Platform::Folders::under(root.path());
        const QString made = root.filePath(QStringLiteral("made"));
        QVERIFY(QDir().mkpath(made) && QDir().mkpath(FinderActionHandoff::queueDirectory(folders)));
        auto resting = start(root.path());
        QVERIFY2(resting->waitFor("idle"), resting->output.constData());

        auto newFile = request(QStringLiteral("finder.newFile"), {}, made);
        newFile.baseName = QStringLiteral("untitled");
        QVERIFY(FinderActionHandoff::enqueue(newFile, folders, QDateTime::currentDateTimeUtc()));
        auto told = start(root.path());
        QVERIFY2(told->waitFor("idle"), told->output.constData());
        QCOMPARE(QDir(made).entryList(QDir::Files), QStringList{"untitled.txt"});
        QCOMPARE(queued(folders), QStringList());

        // Told in its turn, the first finds nothing left to do.
        resting->tell("notify");
        QVERIFY2(resting->waitFor("idle"), resting->output.constData());
        QCOMPARE(QDir(made).entryList(QDir::Files), QStringList{"untitled.txt"});
    }

    // The user quits while a cut is recorded: the paste read with it has not begun, and goes back
    // to the queue under its own name, as often as that happens; it never counts as a death.
    void aQuitPutsBackWhatItHadNotBegun_data()
    {
        QTest::addColumn<int>("quits");
        QTest::newRow("quit once") << 1;
        QTest::newRow("quit twice") << 2;
    }
    void aQuitPutsBackWhatItHadNotBegun()
    {
        QFETCH(int, quits);
        TwoCuts world;
        QVERIFY(world.ready);
        const auto& [root, folders, files, destination, older, newer, ready] = world;
        const QDateTime t0 = QDateTime::currentDateTimeUtc();
        const auto paste = FinderActionHandoff::enqueue(request(QStringLiteral("finder.paste"), {}, destination), folders,
                                                        t0.addSecs(1));
        QVERIFY(paste);
        const QString pasteName = QFileInfo(*paste).fileName();

        for (int i = 0; i < quits; ++i) {
            // Each time the user cuts the newer files again, and quits while that is recorded.
            QVERIFY(FinderActionHandoff::enqueue(request(QStringLiteral("finder.cut"), newer, files), folders, t0.addMSecs(i)));
            QFile::remove(goFile(root.path()));
            auto quitting = start(root.path(), FilePasteboards::Hold::untilGo);
            QVERIFY2(quitting->waitFor("recording"), quitting->output.constData());
            quitting->tell("quit");
            QVERIFY2(quitting->waitFor("quitting"), quitting->output.constData());
            write(goFile(root.path())); // the cut under way finishes
            QVERIFY(quitting->process->waitForFinished(60000));
            QCOMPARE(quitting->process->exitStatus(), QProcess::NormalExit);
            QCOMPARE(quitting->process->exitCode(), 0);
            QCOMPARE(queued(folders), QStringList{pasteName});
        }

        auto next = start(root.path());
        QVERIFY2(next->waitFor("idle"), next->output.constData());
        QCOMPARE(QDir(destination).entryList(QDir::Files, QDir::Name), (QStringList{"newer 0.txt", "newer 1.txt", "newer 2.txt"}));
        QVERIFY2(!next->output.contains("alert"), next->output.constData());
        for (const QString& path : std::as_const(older))
            QVERIFY2(QFile::exists(path), qPrintable(path));
        QCOMPARE(queued(folders), QStringList());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() >= 3 && arguments[1] == u"--serve") {
        using Hold = FilePasteboards::Hold;
        return serve(arguments[2], arguments.contains(QStringLiteral("--hold"))             ? Hold::forEver
                                   : arguments.contains(QStringLiteral("--hold-until-go")) ? Hold::untilGo
                                                                                           : Hold::none);
    }
    FinderRestartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_FinderRestart.moc"
