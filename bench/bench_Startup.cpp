// Start-up to the tray icon: Ambrel next to a minimal Qt tray application (minimal_tray), in the
// same run, measured the same way: each is started with tray_shown preloaded, which ends the
// process when its tray icon is shown, on the offscreen platform with a home of its own. Ambrel
// shows its icon before it loads the rest of itself, so it is also measured with tray_served,
// which waits for the icon to carry its menu as well.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string_view>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

namespace {

double runOnce(const QString& program, const char* preload, const QString& home)
{
    QList<QByteArray> env{"QT_QPA_PLATFORM=offscreen", "LD_PRELOAD=" + QByteArray(preload), "HOME=" + QFile::encodeName(home),
                          "XDG_CONFIG_HOME=" + QFile::encodeName(home) + "/config",
                          "XDG_DATA_HOME=" + QFile::encodeName(home) + "/data",
                          "XDG_RUNTIME_DIR=" + QFile::encodeName(home) + "/run",
                          "XDG_CACHE_HOME=" + QFile::encodeName(home) + "/cache", "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    QByteArray path = QFile::encodeName(program);
    char* argv[] = {path.data(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, path.constData(), nullptr, nullptr, argv, envp.data()) != 0)
        return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void startup(benchmark::State& state, const char* program, const char* preload)
{
    QTemporaryDir home;
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    QFile::setPermissions(home.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    runOnce(QString::fromLatin1(program), preload, home.path()); // the first start writes the settings
    for (auto _ : state) {
        const double seconds = runOnce(QString::fromLatin1(program), preload, home.path());
        if (seconds < 0) {
            state.SkipWithError("the program did not reach its tray icon");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

void ambrel(benchmark::State& state) { startup(state, AMBREL_EXECUTABLE, AMBREL_TRAY_SHOWN); }
void minimalTray(benchmark::State& state) { startup(state, AMBREL_MINIMAL_TRAY, AMBREL_TRAY_SHOWN); }
void ambrelWithMenu(benchmark::State& state) { startup(state, AMBREL_EXECUTABLE, AMBREL_TRAY_SERVED); }
void minimalTrayWithMenu(benchmark::State& state) { startup(state, AMBREL_MINIMAL_TRAY, AMBREL_TRAY_SERVED); }

} // namespace

BENCHMARK(ambrel)->Unit(benchmark::kMillisecond)->Iterations(30)->UseManualTime();
BENCHMARK(minimalTray)->Unit(benchmark::kMillisecond)->Iterations(30)->UseManualTime();
BENCHMARK(ambrelWithMenu)->Unit(benchmark::kMillisecond)->Iterations(30)->UseManualTime();
BENCHMARK(minimalTrayWithMenu)->Unit(benchmark::kMillisecond)->Iterations(30)->UseManualTime();

// Three repetitions unless the command line asks for another number. Compare with
// --benchmark_enable_random_interleaving=true, which alternates the repetitions so that a busy
// moment of the machine falls on all of them.
int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=3";
    const bool given = std::any_of(args.begin(), args.end(), [](const char* a) {
        return std::string_view(a).starts_with("--benchmark_repetitions");
    });
    if (!given)
        args.insert(args.begin() + 1, repetitions);
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
