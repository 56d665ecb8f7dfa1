// A cut of 300,000 real files sent by the file manager, and its paste into another folder, as the
// application takes them: the request files in the queue, read and performed by the request
// handler, the cut recorded in its pasteboard file, the files moved. Measured in this process: the
// resident memory before the first cut and after each cut and paste (the goal: within 1.5 times
// what it was before), the peak while they run, the longest time the main thread did not get to
// run its event loop (the goal: never over 100 ms), and the quickest cycle of taking, touching and
// freeing 1 MiB and 4 MiB in a new thread's heap before the first request and after the last (the
// goal: as fast after as before). Beside them, in the same run, the least a program can do with
// the same requests: Python reads the cut's JSON and writes the list of paths, and says its own
// time and peak memory; find and xargs hand the 300,000 files to mv.
//
//   bench_FinderRequest --benchmark_counters_tabular=true

#include "App/AlertPresenter.h"
#include "App/FinderActionHandler.h"
#include "App/RequestMemory.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Telemetry/TelemetryClient.h"
#include "AllocationCycle.h"
#include "CutRequestFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int pathCount = 300000;

double residentMiB()
{
    return double(RequestMemory::residentBytes()) / (1024.0 * 1024.0);
}

// The high-water mark of resident memory since the last reset.
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return double(line.mid(6).trimmed().split(' ').value(0).toLongLong()) / 1024.0;
    return 0;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The named pasteboards in files, as on the desktop.
class FilePasteboards final : public Platform::Pasteboards {
public:
    explicit FilePasteboards(QString folder) : m_folder(std::move(folder)) {}
    std::shared_ptr<Platform::Pasteboard> general() override { return m_general; }
    std::shared_ptr<Platform::Pasteboard> named(const QString& name) override
    {
        return std::make_shared<Platform::FilePasteboard>(m_folder + u'/' + name + QStringLiteral(".json"));
    }

private:
    QString m_folder;
    std::shared_ptr<Platform::Pasteboard> m_general = std::make_shared<Platform::SimulatedPasteboard>();
};

class NoAlerts final : public AlertPresenter {
public:
    void showAlert(const QString&) override {}
    void alertSound() override {}
};

struct World {
    QTemporaryDir root;
    Platform::Services services = Platform::makeSimulatedServices(Platform::Folders::under(root.path()));
    std::unique_ptr<FinderActionHandler> handler;
    QString from = root.filePath(QStringLiteral("from"));
    QString to = root.filePath(QStringLiteral("to"));
    QString cut = root.filePath(QStringLiteral("cut.json"));
    QString paste = root.filePath(QStringLiteral("paste.json"));
    double cycleBefore = fastestCycleInANewHeap(1 << 20);
    double cycleFourBefore = fastestCycleInANewHeap(4 << 20);
    double before = 0;

    World()
    {
        services.pasteboards = std::make_shared<FilePasteboards>(root.filePath(QStringLiteral("boards")));
        handler = std::make_unique<FinderActionHandler>(services, std::make_shared<NoAlerts>());
        const QString small = root.filePath(QStringLiteral("small"));
        for (const QString& folder : {from, to, small})
            QDir().mkpath(folder);
        if (!makeNumberedFiles(from, pathCount) || !makeNumberedFiles(small, 100))
            std::fprintf(stderr, "the files could not be made\n");
        writeRequest(cut, "finder.cut", from, pathCount, from);
        writeRequest(paste, "finder.paste", from, 0, to);
        // Warmed up on a small cut and its paste, so that what the code itself needs is counted
        // before.
        const QString smallCut = root.filePath(QStringLiteral("small-cut.json"));
        const QString smallPaste = root.filePath(QStringLiteral("small-paste.json"));
        writeRequest(smallCut, "finder.cut", small, 100, small);
        writeRequest(smallPaste, "finder.paste", small, 0, root.path());
        perform(smallCut);
        perform(smallPaste);
        before = residentMiB();
    }

    // One request through the queue; answers the longest stretch the event loop did not run.
    double perform(const QString& requestFile)
    {
        const QString queue = FinderActionHandoff::queueDirectory(services.folders);
        QDir().mkpath(queue);
        QFile file(queue + u'/' + FinderActionHandoff::fileName(QDateTime::currentDateTimeUtc(), QUuid::createUuid()));
        QFile::copy(requestFile, file.fileName());

        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        ticker.start(1);
        handler->drainQueue();
        while (!handler->isIdle() || QFileInfo::exists(file.fileName()))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        longest = std::max(longest, clock.nsecsElapsed() - last);
        return double(longest) / 1e6;
    }

    // The files pasted go back where they were cut, for the next round.
    bool moveBack() const
    {
        const QByteArray into = QFile::encodeName(from) + '/';
        const QByteArray out = QFile::encodeName(to) + '/';
        int moved = 0;
        for (const QString& name : QDir(to).entryList(QDir::Files)) {
            const QByteArray file = QFile::encodeName(name);
            moved += ::rename((out + file).constData(), (into + file).constData()) == 0 ? 1 : 0;
        }
        return moved == pathCount;
    }
};

World& world()
{
    static World w;
    return w;
}

void setMemoryCounters(benchmark::State& state, double after, double peak, double longest)
{
    const World& w = world();
    state.counters["rss_before_MiB"] = w.before;
    state.counters["rss_after_MiB"] = after;
    state.counters["after_over_before"] = after / w.before;
    state.counters["peak_MiB"] = peak;
    state.counters["longest_block_ms"] = longest;
}

void oursCut300k(benchmark::State& state)
{
    World& w = world();
    double after = 0;
    double longest = 0;
    double peak = 0;
    for (auto _ : state) {
        resetPeak();
        const auto start = std::chrono::steady_clock::now();
        longest = std::max(longest, w.perform(w.cut));
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        after = std::max(after, residentMiB());
        peak = std::max(peak, peakMiB());
    }
    // The cut was recorded: every file on the pasteboard (its file URL in base64 and its type,
    // over 70 bytes).
    const QString board = w.root.filePath(QStringLiteral("boards/com.corvish.cut.json"));
    if (QFileInfo(board).size() < qint64(pathCount) * 70)
        state.SkipWithError("the cut was not recorded");
    setMemoryCounters(state, after, peak, longest);
}

void oursPaste300k(benchmark::State& state)
{
    World& w = world();
    double after = 0;
    double longest = 0;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.perform(w.cut);
        state.ResumeTiming();
        resetPeak();
        const auto start = std::chrono::steady_clock::now();
        longest = std::max(longest, w.perform(w.paste));
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        after = std::max(after, residentMiB());
        peak = std::max(peak, peakMiB());
        state.PauseTiming();
        if (!w.moveBack())
            state.SkipWithError("the files were not all moved");
        state.ResumeTiming();
    }
    setMemoryCounters(state, after, peak, longest);
    state.counters["cycle_1MiB_before_us"] = w.cycleBefore;
    state.counters["cycle_1MiB_after_us"] = fastestCycleInANewHeap(1 << 20);
    state.counters["cycle_4MiB_before_us"] = w.cycleFourBefore;
    state.counters["cycle_4MiB_after_us"] = fastestCycleInANewHeap(4 << 20);
}

// The same files handed to mv by find and xargs, as one would in a terminal.
void mvPaste300k(benchmark::State& state)
{
    World& w = world();
    for (auto _ : state) {
        if (std::system(QFile::encodeName(QStringLiteral("find '%1' -type f -print0 | xargs -0 mv -t '%2'").arg(w.from, w.to))
                            .constData())
            != 0)
            state.SkipWithError("mv failed");
        state.PauseTiming();
        if (!w.moveBack())
            state.SkipWithError("the files were not all moved");
        state.ResumeTiming();
    }
}

// The same request read and its paths written out by Python, which reports its own figures.
void pythonCut300k(benchmark::State& state)
{
    World& w = world();
    const QString input = w.cut;
    const QString script = QStringLiteral(
        "import json, sys, time\n"
        "t = time.monotonic()\n"
        "r = json.load(open(sys.argv[1]))\n"
        "open(sys.argv[2], 'w').write('\\n'.join('file://' + p for p in r['selectedPaths']))\n"
        "d = time.monotonic() - t\n"
        // Not ru_maxrss: that keeps the peak of the process it was forked from, this one.
        "print(d, next(l.split()[1] for l in open('/proc/self/status') if l.startswith('VmHWM:')))\n");
    double peak = 0;
    for (auto _ : state) {
        QProcess python;
        python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, input, w.root.filePath(QStringLiteral("list"))});
        if (!python.waitForFinished(120000) || python.exitCode() != 0) {
            state.SkipWithError("python3 failed");
            return;
        }
        const QList<QByteArray> figures = python.readAllStandardOutput().trimmed().split(' ');
        state.SetIterationTime(figures.value(0).toDouble());
        peak = std::max(peak, figures.value(1).toDouble() / 1024.0);
    }
    state.counters["peak_MiB"] = peak;
}

} // namespace

BENCHMARK(oursCut300k)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(pythonCut300k)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(oursPaste300k)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(mvPaste300k)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
