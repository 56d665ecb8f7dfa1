// Moving and copying 10,000 small files selected one by one, as a paste does, next to mv and cp -a
// given the same 10,000 names in the same run, on tmpfs (/dev/shm) and on the disk that holds
// the build folder (ext4 here). The argument picks the volume: 0 tmpfs, 1 disk. copyFiles and
// moveFiles run in this process; pasteFiles is the whole paste of a cut in this process, as the
// application runs it: the cut read from its pasteboard file, each file found and moved.
// copyFilesAsProgram and moveFilesAsProgram are measured as cp and mv are, the whole operation
// from the list of paths: this program started again with --copy-once or --move-once and the
// same names, which it turns into the URLs a paste hands over; that includes starting a Qt
// program. cpu_ms is the processor time of the work, or of the programs started for it, which
// varies less than the time on the clock on a loaded machine. The disk's write-back of one run can
// fall on the next, so compare medians of interleaved runs:
//   bench_Transfer --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true

#include "LocalActions/Finder/CutPasteboard.h"
#include "LocalActions/Finder/FinderActionCatalog.h"
#include "LocalActions/Finder/FinderActionExecutor.h"
#include "LocalActions/Transfers/TransferOperation.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedPasteboards.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

namespace {

constexpr int fileCount = 10000;

struct Folders {
    QTemporaryDir root;
    QString from = root.filePath(QStringLiteral("from"));
    QString to = root.filePath(QStringLiteral("to"));
    QList<QUrl> sources;

    explicit Folders(const QString& base)
        : root(base + QStringLiteral("/bench-transfer-XXXXXX"))
    {
        QDir().mkpath(from);
        QDir().mkpath(to);
        const QByteArray body(200, 'x');
        for (int i = 0; i < fileCount; ++i) {
            const QString path = QDir(from).filePath(QStringLiteral("file %1.txt").arg(i));
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(body);
            sources << QUrl::fromLocalFile(path);
        }
    }

    void emptyDestination()
    {
        QDir(to).removeRecursively();
        QDir().mkpath(to);
    }

    void moveBack()
    {
        const QStringList names = QDir(to).entryList(QDir::Files);
        for (const QString& name : names)
            QFile::rename(QDir(to).filePath(name), QDir(from).filePath(name));
    }

    static int shell(const QString& command)
    {
        return std::system(QFile::encodeName(command).constData());
    }
};

// The processor time, user and system, of this process (RUSAGE_SELF) or of its children that
// have ended (RUSAGE_CHILDREN), in milliseconds: under load it varies less than the time on the
// clock.
double cpuMs(int who)
{
    struct rusage usage;
    ::getrusage(who, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void setCpuCounter(benchmark::State& state, double totalMs)
{
    state.counters["cpu_ms"] = benchmark::Counter(totalMs, benchmark::Counter::kAvgIterations);
}

Folders& folders(const benchmark::State& state)
{
    static Folders tmpfs(QStringLiteral("/dev/shm"));
    static Folders disk(QStringLiteral(AMBREL_BINARY_DIR));
    return state.range(0) == 0 ? tmpfs : disk;
}

void copyFiles(benchmark::State& state)
{
    auto& f = folders(state);
    const TransferOperation transfer;
    for (auto _ : state) {
        state.PauseTiming();
        f.emptyDestination();
        state.ResumeTiming();
        const auto result = transfer.perform(TransferOperation::Mode::copy, f.sources, QUrl::fromLocalFile(f.to),
                                             ConflictResolution::keepBoth);
        if (result.moved.size() != fileCount)
            state.SkipWithError("copy incomplete");
    }
    f.emptyDestination();
    state.SetItemsProcessed(state.iterations() * fileCount);
}

void moveFiles(benchmark::State& state)
{
    auto& f = folders(state);
    const TransferOperation transfer;
    double cpu = 0;
    for (auto _ : state) {
        const double start = cpuMs(RUSAGE_SELF);
        const auto result = transfer.perform(TransferOperation::Mode::move, f.sources, QUrl::fromLocalFile(f.to),
                                             ConflictResolution::keepBoth);
        cpu += cpuMs(RUSAGE_SELF) - start;
        if (result.moved.size() != fileCount)
            state.SkipWithError("move incomplete");
        state.PauseTiming();
        f.moveBack();
        state.ResumeTiming();
    }
    setCpuCounter(state, cpu);
    state.SetItemsProcessed(state.iterations() * fileCount);
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

// A paste as the file manager asks for it: the cut of the 10,000 files recorded beforehand, then
// read from its pasteboard file, each file found and moved by the executor.
void pasteFiles(benchmark::State& state)
{
    auto& f = folders(state);
    Platform::Services services = Platform::makeSimulatedServices(Platform::Folders::under(f.root.path()));
    services.pasteboards = std::make_shared<FilePasteboards>(f.root.filePath(QStringLiteral("boards")));
    FinderActionExecutor executor(CutPasteboard::shared(services.pasteboards, services.clock), services);
    ContextSnapshot snapshot;
    snapshot.targetDirectoryURL = QUrl::fromLocalFile(f.to);
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CutPasteboard::shared(services.pasteboards, services.clock).write(f.sources);
        state.ResumeTiming();
        const double start = cpuMs(RUSAGE_SELF);
        const auto outcome = executor.perform(FinderActionCatalog::paste(), snapshot, std::nullopt, std::nullopt, QString());
        cpu += cpuMs(RUSAGE_SELF) - start;
        const auto* transferred = std::get_if<FinderActionExecutor::Transferred>(&outcome);
        if (!transferred || transferred->result.moved.size() != fileCount)
            state.SkipWithError("paste incomplete");
        state.PauseTiming();
        f.moveBack();
        state.ResumeTiming();
    }
    setCpuCounter(state, cpu);
    state.SetItemsProcessed(state.iterations() * fileCount);
}

QString self;

// The same list of names for both programs, expanded by the shell.
void copyFilesAsProgram(benchmark::State& state)
{
    auto& f = folders(state);
    for (auto _ : state) {
        state.PauseTiming();
        f.emptyDestination();
        state.ResumeTiming();
        if (Folders::shell(QStringLiteral("'%1' --copy-once '%2' '%3'/*").arg(self, f.to, f.from)) != 0)
            state.SkipWithError("copy incomplete");
    }
    f.emptyDestination();
    state.SetItemsProcessed(state.iterations() * fileCount);
}

// A paste of the cut files as one program, as mv is measured: this program started again with
// --move-once and the names, which it turns into the URLs a paste hands over.
void moveFilesAsProgram(benchmark::State& state)
{
    auto& f = folders(state);
    double cpu = 0;
    for (auto _ : state) {
        const double start = cpuMs(RUSAGE_CHILDREN);
        if (Folders::shell(QStringLiteral("cd '%1' && '%2' --move-once '%3' *").arg(f.from, self, f.to)) != 0)
            state.SkipWithError("move incomplete");
        cpu += cpuMs(RUSAGE_CHILDREN) - start;
        state.PauseTiming();
        f.moveBack();
        state.ResumeTiming();
    }
    setCpuCounter(state, cpu);
    state.SetItemsProcessed(state.iterations() * fileCount);
}

void copyWithCp(benchmark::State& state)
{
    auto& f = folders(state);
    for (auto _ : state) {
        state.PauseTiming();
        f.emptyDestination();
        state.ResumeTiming();
        if (Folders::shell(QStringLiteral("cp -a -- '%1'/* '%2/'").arg(f.from, f.to)) != 0)
            state.SkipWithError("cp failed");
    }
    f.emptyDestination();
    state.SetItemsProcessed(state.iterations() * fileCount);
}

void moveWithMv(benchmark::State& state)
{
    auto& f = folders(state);
    double cpu = 0;
    for (auto _ : state) {
        const double start = cpuMs(RUSAGE_CHILDREN);
        if (Folders::shell(QStringLiteral("cd '%1' && mv -- * '%2/'").arg(f.from, f.to)) != 0)
            state.SkipWithError("mv failed");
        cpu += cpuMs(RUSAGE_CHILDREN) - start;
        state.PauseTiming();
        f.moveBack();
        state.ResumeTiming();
    }
    setCpuCounter(state, cpu);
    state.SetItemsProcessed(state.iterations() * fileCount);
}

} // namespace

// A paste as one program: the paths given (relative to the working folder, as the shell names
// them), copied or moved into the folder; 0 when every item arrived.
int transferOnce(TransferOperation::Mode mode, int argc, char** argv)
{
    QList<QUrl> sources;
    sources.reserve(argc - 3);
    const QString here = QDir::currentPath() + u'/';
    for (int i = 3; i < argc; ++i) {
        const QString name = QFile::decodeName(argv[i]);
        sources << QUrl::fromLocalFile(name.startsWith(u'/') ? name : here + name);
    }
    const auto result = TransferOperation().perform(mode, sources, QUrl::fromLocalFile(QFile::decodeName(argv[2])),
                                                    ConflictResolution::keepBoth);
    return result.isCompleteSuccess() ? 0 : 1;
}

BENCHMARK(copyFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(copyFilesAsProgram)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(copyWithCp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(moveFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(pasteFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(moveFilesAsProgram)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(moveWithMv)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--copy-once") == 0)
        return transferOnce(TransferOperation::Mode::copy, argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--move-once") == 0)
        return transferOnce(TransferOperation::Mode::move, argc, argv);
    self = QFile::decodeName(argv[0]);
    self = QFileInfo(self).absoluteFilePath();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
