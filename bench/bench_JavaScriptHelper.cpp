// One JavaScript action end to end: start the helper (the application's own executable), send a
// small request, evaluate it, read the answer, reap the process. Next to it, the same small
// program through `node -e`, when node is installed.

#include "LocalActions/Runners/ChildProcess.h"
#include "LocalActions/Runners/JavaScriptRunner.h"

#include <QFileInfo>

#include <benchmark/benchmark.h>

namespace {

const QString ambrel = QStringLiteral(AMBREL_BINARY_DIR "/src/App/ambrel");

void helperRoundTrip(benchmark::State& state)
{
    const JavaScriptRunner runner(ambrel);
    for (auto _ : state) {
        const auto result = runner.run(QStringLiteral("input.split(' ').reverse().join(' ')"),
                                       QStringLiteral("one two three"));
        if (!result || *result != QLatin1String("three two one")) {
            state.SkipWithError("the helper did not answer");
            return;
        }
    }
}
BENCHMARK(helperRoundTrip)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void nodeRoundTrip(benchmark::State& state)
{
    if (!QFileInfo(QStringLiteral("/usr/bin/node")).isExecutable()) {
        state.SkipWithError("node is not installed");
        return;
    }
    ChildProcess::Options options;
    options.program = QStringLiteral("/usr/bin/node");
    options.arguments = {QStringLiteral("-e"),
                         QStringLiteral("process.stdout.write('one two three'.split(' ').reverse().join(' '))")};
    options.environment = {QStringLiteral("PATH=/usr/bin:/bin")};
    options.timeLimit = std::chrono::milliseconds(10000);
    for (auto _ : state) {
        const auto outcome = ChildProcess::run(options);
        if (!outcome || outcome->standardOutput != "three two one") {
            state.SkipWithError("node did not answer");
            return;
        }
    }
}
BENCHMARK(nodeRoundTrip)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
