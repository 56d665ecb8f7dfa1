// Moving and copying 10,000 small files selected one by one, as a paste does, next to mv and cp -a
// given the same 10,000 names in the same run, on tmpfs (/dev/shm) and on the disk that holds
// the build folder (ext4 here). The argument picks the volume: 0 tmpfs, 1 disk. copyFiles and
// moveFiles run in this process; copyFilesAsProgram is measured as cp is, the whole operation
// from the list of paths: this program started again with --copy-once and the same names, which
// it turns into the URLs a paste hands over. The disk's write-back of one run can fall on the
// next, so compare medians of interleaved runs:
//   bench_Transfer --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true

#include "LocalActions/TransferOperation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

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
    for (auto _ : state) {
        const auto result = transfer.perform(TransferOperation::Mode::move, f.sources, QUrl::fromLocalFile(f.to),
                                             ConflictResolution::keepBoth);
        if (result.moved.size() != fileCount)
            state.SkipWithError("move incomplete");
        state.PauseTiming();
        f.moveBack();
        state.ResumeTiming();
    }
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
    for (auto _ : state) {
        if (Folders::shell(QStringLiteral("cd '%1' && mv -- * '%2/'").arg(f.from, f.to)) != 0)
            state.SkipWithError("mv failed");
        state.PauseTiming();
        f.moveBack();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * fileCount);
}

} // namespace

// A paste as one program: the paths given, copied into the folder; 0 when every item arrived.
int copyOnce(int argc, char** argv)
{
    QList<QUrl> sources;
    sources.reserve(argc - 3);
    for (int i = 3; i < argc; ++i)
        sources << QUrl::fromLocalFile(QFile::decodeName(argv[i]));
    const auto result = TransferOperation().perform(TransferOperation::Mode::copy, sources,
                                                    QUrl::fromLocalFile(QFile::decodeName(argv[2])),
                                                    ConflictResolution::keepBoth);
    return result.isCompleteSuccess() ? 0 : 1;
}

BENCHMARK(copyFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(copyFilesAsProgram)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(copyWithCp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(moveFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(moveWithMv)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--copy-once") == 0)
        return copyOnce(argc, argv);
    self = QFile::decodeName(argv[0]);
    self = QFileInfo(self).absoluteFilePath();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
