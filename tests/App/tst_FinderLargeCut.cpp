// A cut of a great many files from the file manager, and its paste: the application keeps
// answering while it records the cut, gives the memory each took back once it is done, and leaves
// the allocator as fast for later work as it was.
#include "App/FinderActionHandler.h"
#include "LocalActions/Finder/CutPasteboard.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Telemetry/TelemetryClient.h"
#include "AllocationCycle.h"
#include "CutRequestFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <malloc.h>
#include <unistd.h>

namespace {

// Named pasteboards in files, as on the desktop; while `held` is set a write waits for it to be
// released (at most 10 s).
class FilePasteboards final : public Platform::Pasteboards {
public:
    explicit FilePasteboards(QString folder) : m_folder(std::move(folder)) {}
    std::shared_ptr<Platform::Pasteboard> general() override { return m_general; }
    std::shared_ptr<Platform::Pasteboard> named(const QString& name) override
    {
        return std::make_shared<Board>(m_folder + u'/' + name + QStringLiteral(".json"), m_gate);
    }

    struct Gate {
        std::atomic<bool> held = false;
        std::atomic<bool> waiting = false; // a write is held at the gate
        QSemaphore entered;
        QSemaphore release;
    };
    std::shared_ptr<Gate> gate() const { return m_gate; }

private:
    class Board final : public Platform::Pasteboard {
    public:
        Board(const QString& path, std::shared_ptr<Gate> gate) : m_file(path), m_gate(std::move(gate)) {}
        qint64 changeCount() const override { return m_file.changeCount(); }
        QList<Platform::PasteboardItem> items() const override { return m_file.items(); }
        qint64 writeItems(const QList<Platform::PasteboardItem>& items) override
        {
            if (m_gate->held) {
                m_gate->waiting = true;
                m_gate->entered.release();
                m_gate->release.tryAcquire(1, 10000);
                m_gate->waiting = false;
            }
            return m_file.writeItems(items);
        }

    private:
        Platform::FilePasteboard m_file;
        std::shared_ptr<Gate> m_gate;
    };

    QString m_folder;
    std::shared_ptr<Gate> m_gate = std::make_shared<Gate>();
    std::shared_ptr<Platform::Pasteboard> m_general = std::make_shared<Platform::SimulatedPasteboard>();
};

class NoAlerts final : public AlertPresenter {
public:
    void showAlert(const QString&) override {}
    void alertSound() override {}
};

// A cut of `count` files in the queue.
void queueCut(const Platform::Folders& folders, int count)
{
    const QString queue = FinderActionHandoff::queueDirectory(folders);
    QDir().mkpath(queue);
    QVERIFY(writeCutRequest(queue + u'/' + FinderActionHandoff::fileName(QDateTime::currentDateTimeUtc(), QUuid::createUuid()), count));
}

// A request of `actionID` in the queue, as writeRequest writes it.
void queueRequest(const Platform::Folders& folders, const char* actionID, const QString& folder, int count,
                  const QString& directory)
{
    const QString queue = FinderActionHandoff::queueDirectory(folders);
    QDir().mkpath(queue);
    QVERIFY(writeRequest(queue + u'/' + FinderActionHandoff::fileName(QDateTime::currentDateTimeUtc(), QUuid::createUuid()),
                         actionID, folder, count, directory));
}

QList<QByteArray> statusLines()
{
    QFile status(QStringLiteral("/proc/self/status"));
    return status.open(QIODevice::ReadOnly) ? status.readAll().split('\n') : QList<QByteArray>();
}

// Resident memory now, and its high-water mark since the last reset, in MiB.
double statusMiB(const char* field)
{
    for (const QByteArray& line : statusLines())
        if (line.startsWith(field))
            return double(line.mid(qsizetype(strlen(field))).trimmed().split(' ').value(0).toLongLong()) / 1024.0;
    return 0;
}

struct World {
    QTemporaryDir root;
    Platform::Services services = Platform::makeSimulatedServices(Platform::Folders::under(root.path()));
    std::shared_ptr<FilePasteboards> boards = std::make_shared<FilePasteboards>(root.filePath(QStringLiteral("boards")));
    std::unique_ptr<FinderActionHandler> handler;

    World()
    {
        services.pasteboards = boards;
        handler = std::make_unique<FinderActionHandler>(services, std::make_shared<NoAlerts>());
    }
    bool done() const { return handler->isIdle() && QDir(FinderActionHandoff::queueDirectory(services.folders)).isEmpty(); }
    qsizetype cutSize() const { return services.pasteboards->named(CutPasteboard::sharedName)->items().size(); }
};

} // namespace

class FinderLargeCutTest : public QObject {
    Q_OBJECT
private slots:
    // Work after a large cut takes, touches and frees blocks as fast as before it: the allocator
    // keeps adapting to what the program does. Measured in a thread's heap, which gives its top
    // back only past the threshold the allocator adapted.
    void laterWorkAllocatesAsFastAfterALargeCut()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer brings an allocator of its own");
#endif
        World w;
        const double before = fastestCycleInANewHeap(1 << 20);
        const double beforeFour = fastestCycleInANewHeap(4 << 20);
        queueCut(w.services.folders, 100000);
        w.handler->drainQueue();
        QTRY_VERIFY_WITH_TIMEOUT(w.done(), 120000);
        QCOMPARE(w.cutSize(), 100000);
        const double after = fastestCycleInANewHeap(1 << 20);
        const double afterFour = fastestCycleInANewHeap(4 << 20);
        const QString figures = QStringLiteral("1 MiB: %1 us before, %2 us after; 4 MiB: %3 us before, %4 us after")
                                    .arg(before)
                                    .arg(after)
                                    .arg(beforeFour)
                                    .arg(afterFour);
        // Slowed, a cycle gives its pages back and faults them in again each time: about a
        // thousand times as long.
        QVERIFY2(after <= 20 * before + 50, qPrintable(figures));
        QVERIFY2(afterFour <= 20 * beforeFour + 200, qPrintable(figures));
    }

    void theApplicationAnswersWhileACutIsRecorded()
    {
        World w;
        queueCut(w.services.folders, 1000);
        w.boards->gate()->held = true;
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(1);
        w.handler->drainQueue();
        QTRY_VERIFY_WITH_TIMEOUT(w.boards->gate()->entered.available() > 0, 10000);
        // The cut is being recorded; the event loop runs all the same.
        const int before = ticks;
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= before + 3 && w.boards->gate()->waiting, 5000);
        QVERIFY(!w.handler->isIdle());
        w.boards->gate()->release.release();
        QTRY_VERIFY_WITH_TIMEOUT(w.done(), 10000);
        QCOMPARE(w.cutSize(), 1000);
    }

    void memoryGoesBackAfterALargeCut()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer keeps freed memory for itself");
#endif
        World w;
        // Once small, so that what the code itself needs is there before.
        queueCut(w.services.folders, 10);
        w.handler->drainQueue();
        QTRY_VERIFY(w.done());
        queueCut(w.services.folders, 100000);
        const double before = statusMiB("VmRSS:");
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        QVERIFY(clear.open(QIODevice::WriteOnly) && clear.write("5") == 1); // resets the high-water mark
        clear.close();
        w.handler->drainQueue();
        QTRY_VERIFY_WITH_TIMEOUT(w.done(), 120000);
        const double after = statusMiB("VmRSS:");
        const double peak = statusMiB("VmHWM:");
        QCOMPARE(w.cutSize(), 100000);
        // Given back, not kept by the allocator for the rest of the process's life.
        QVERIFY2(after <= 1.5 * before, qPrintable(QStringLiteral("%1 MiB before, %2 MiB after").arg(before).arg(after)));
        // The paths are not copied over and over on the way: about 85 MiB for them at the most.
        QVERIFY2(peak - before < 150, qPrintable(QStringLiteral("%1 MiB before, %2 MiB at the peak").arg(before).arg(peak)));
    }

    void memoryGoesBackAfterALargePaste()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer keeps freed memory for itself");
#endif
        World w;
        constexpr int count = 100000;
        const QDir root(w.root.path());
        const auto folder = [&](const char* name) { return root.filePath(QString::fromLatin1(name)); };
        for (const char* name : {"small", "small-to", "from", "to"})
            QVERIFY(root.mkpath(QString::fromLatin1(name)));
        QVERIFY(makeNumberedFiles(folder("small"), 10));
        QVERIFY(makeNumberedFiles(folder("from"), count));
        const auto perform = [&](const char* action, const char* from, int n, const char* into) {
            queueRequest(w.services.folders, action, folder(from), n, folder(into));
            w.handler->drainQueue();
            return QTest::qWaitFor([&] { return w.done(); }, 120000);
        };
        // Once small, so that what the code itself needs is there before; what earlier tests left
        // free is not counted.
        QVERIFY(perform("finder.cut", "small", 10, "small"));
        QVERIFY(perform("finder.paste", "small", 0, "small-to"));
        QCOMPARE(QDir(folder("small-to")).entryList(QDir::Files).size(), 10);
        ::malloc_trim(0);

        const double before = statusMiB("VmRSS:");
        QVERIFY(perform("finder.cut", "from", count, "from"));
        const double afterCut = statusMiB("VmRSS:");
        QVERIFY(perform("finder.paste", "from", 0, "to"));
        const double afterPaste = statusMiB("VmRSS:");
        // Every file arrived, none stayed behind.
        QCOMPARE(QDir(folder("to")).entryList(QDir::Files).size(), count);
        QVERIFY(QDir(folder("from")).isEmpty());
        const QString figures = QStringLiteral("%1 MiB before, %2 MiB after the cut, %3 MiB after the paste")
                                    .arg(before)
                                    .arg(afterCut)
                                    .arg(afterPaste);
        QVERIFY2(afterCut <= 1.5 * before, qPrintable(figures));
        QVERIFY2(afterPaste <= 1.5 * before, qPrintable(figures));
    }
};

QTEST_GUILESS_MAIN(FinderLargeCutTest)
#include "tst_FinderLargeCut.moc"
