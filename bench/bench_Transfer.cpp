// Moving and copying 10,000 small files between two folders, item by item as a paste does, next
// to the same work done by cp -r and mv on the same files.

#include "LocalActions/TransferOperation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int fileCount = 10000;

struct Folders {
    QTemporaryDir root;
    QString from = root.filePath(QStringLiteral("from"));
    QString to = root.filePath(QStringLiteral("to"));
    QList<QUrl> sources;

    Folders()
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

Folders& folders()
{
    static Folders f;
    return f;
}

void copyFiles(benchmark::State& state)
{
    auto& f = folders();
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
    auto& f = folders();
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

void copyWithCp(benchmark::State& state)
{
    auto& f = folders();
    for (auto _ : state) {
        state.PauseTiming();
        f.emptyDestination();
        state.ResumeTiming();
        if (Folders::shell(QStringLiteral("cp -r '%1/.' '%2/'").arg(f.from, f.to)) != 0)
            state.SkipWithError("cp failed");
    }
    f.emptyDestination();
    state.SetItemsProcessed(state.iterations() * fileCount);
}

void moveWithMv(benchmark::State& state)
{
    auto& f = folders();
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

BENCHMARK(copyFiles)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(copyWithCp)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(moveFiles)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(moveWithMv)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
