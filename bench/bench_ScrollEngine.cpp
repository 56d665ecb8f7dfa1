// Smooth scrolling's hot paths: the per-event work on the tap thread (decision and the engine's
// handling, with 20 and 200 per-application entries) with heap allocations per event, and the
// frame clock's jitter at 60 and 144 Hz beside a precise QTimer, the timer a Qt application would
// otherwise use, with the CPU each takes while ticking, and the engine's CPU once at rest.

#include "Platform/Simulated/SimulatedEventTaps.h"
#include "ScrollCore/FrameClock.h"
#include "ScrollCore/ScrollEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

// Only the calling thread's allocations count: the chain's own threads run beside it.
thread_local bool t_counting = false;
std::atomic<long> g_allocations = 0;

} // namespace

void* operator new(std::size_t size)
{
    if (t_counting)
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

using Clock = std::chrono::steady_clock;

// User and system time of the whole process, in microseconds.
double processCpuUs()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e6 + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec);
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size() - 1) + 0.5))];
}

ScrollSettings withApps(int count)
{
    ScrollSettings s = ScrollSettings::defaults();
    s.isEnabled = true;
    s.apps.clear();
    for (int i = 0; i < count; ++i)
        s.setMode(i % 2 ? ScrollAppMode::off() : ScrollAppMode::customised(s.global),
                  QStringLiteral("org.example.app%1").arg(i, 4, 10, QLatin1Char('0')));
    return s;
}

// One wheel step through the engine's handler, for an application without an entry of its own (the
// whole list is searched), timed one by one.
void BM_PerEvent(benchmark::State& state)
{
    auto taps = std::make_shared<Platform::SimulatedEventTaps>();
    ScrollEngine engine({.taps = taps, .steppedFrames = true}, ScrollSettings::defaults());
    engine.apply(withApps(int(state.range(0))));
    engine.setFrontmostApplication(QStringLiteral("org.example.zzz"));
    Platform::TapEvent event;
    event.type = Platform::TapEvent::Type::scrollWheel;
    event.lineDeltaY = 1;
    event.location = {100, 100};
    // Warm: the first target change retunes once.
    for (int i = 0; i < 100; ++i)
        engine.transform(event);

    std::vector<double> times;
    times.reserve(1 << 20);
    long events = 0;
    g_allocations = 0;
    for (auto _ : state) {
        t_counting = true;
        const auto start = Clock::now();
        const bool passed = engine.transform(event);
        const auto end = Clock::now();
        t_counting = false;
        benchmark::DoNotOptimize(passed);
        if (times.size() < times.capacity())
            times.push_back(std::chrono::duration<double, std::nano>(end - start).count());
        ++events;
        if (events % 64 == 0)
            engine.tick(FrameClock::now() + 1); // pay out, so that nothing grows without bound
    }
    state.counters["median_ns"] = percentile(times, 0.5);
    state.counters["p99_ns"] = percentile(times, 0.99);
    state.counters["allocs_per_event"] = double(g_allocations.load()) / double(events);
}
BENCHMARK(BM_PerEvent)->Arg(20)->Arg(200)->MinTime(1.0);

// The clock's ticks against the interval: how far each gap between two ticks is from it.
void reportGaps(benchmark::State& state, const std::vector<double>& ticks, double interval)
{
    std::vector<double> errors;
    for (size_t i = 1; i < ticks.size(); ++i)
        errors.push_back(std::abs((ticks[i] - ticks[i - 1]) - interval) * 1e6);
    state.counters["ticks"] = double(ticks.size());
    state.counters["jitter_p50_us"] = percentile(errors, 0.5);
    state.counters["jitter_p99_us"] = percentile(errors, 0.99);
    state.counters["jitter_max_us"] = errors.empty() ? 0 : *std::max_element(errors.begin(), errors.end());
}

void BM_FrameClockJitter(benchmark::State& state)
{
    const double interval = 1.0 / double(state.range(0));
    for (auto _ : state) {
        std::mutex mutex;
        std::vector<double> ticks;
        ticks.reserve(2000);
        const double end = FrameClock::now() + 5.0;
        FrameClock clock([&](double now) {
            std::lock_guard lock(mutex);
            ticks.push_back(now);
            return now < end;
        });
        const double cpuBefore = processCpuUs();
        clock.start(interval);
        while (clock.isRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // The share of one core the process took while the clock ran.
        state.counters["cpu_percent"] = (processCpuUs() - cpuBefore) / 5e4;
        reportGaps(state, ticks, interval);
    }
}
BENCHMARK(BM_FrameClockJitter)->Arg(60)->Arg(144)->Iterations(1)->Unit(benchmark::kMillisecond);

// What a Qt application would use instead: a precise timer on its event loop.
void BM_QTimerJitter(benchmark::State& state)
{
    const double interval = 1.0 / double(state.range(0));
    for (auto _ : state) {
        std::vector<double> ticks;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(std::chrono::milliseconds(qRound(interval * 1000)));
        const double end = FrameClock::now() + 5.0;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const double now = FrameClock::now();
            ticks.push_back(now);
            if (now >= end)
                QCoreApplication::quit();
        });
        const double cpuBefore = processCpuUs();
        timer.start();
        QCoreApplication::exec();
        state.counters["cpu_percent"] = (processCpuUs() - cpuBefore) / 5e4;
        reportGaps(state, ticks, interval);
    }
}
BENCHMARK(BM_QTimerJitter)->Arg(60)->Arg(144)->Iterations(1)->Unit(benchmark::kMillisecond);

// An engine that has scrolled and come to rest: the CPU its threads take over two seconds, and the
// frames its clock still ticks.
void BM_CpuAtRest(benchmark::State& state)
{
    for (auto _ : state) {
        auto taps = std::make_shared<Platform::SimulatedEventTaps>();
        ScrollEngine engine({.taps = taps}, ScrollSettings::defaults());
        ScrollSettings on = ScrollSettings::defaults();
        on.isEnabled = true;
        engine.apply(on);
        Platform::TapEvent event;
        event.lineDeltaY = 3;
        taps->input(event);
        while (engine.isAnimating())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        taps->waitUntilIdle();
        const int postedAtRest = taps->posted();
        rusage before{}, after{};
        const double cpuBefore = processCpuUs();
        getrusage(RUSAGE_SELF, &before);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        getrusage(RUSAGE_SELF, &after);
        state.counters["cpu_us_per_s"] = (processCpuUs() - cpuBefore) / 2;
        // Every wake-up of any thread of the process is a voluntary switch; the main thread's
        // sleep is one.
        state.counters["wakeups_per_s"] = double(after.ru_nvcsw - before.ru_nvcsw) / 2;
        state.counters["posts_at_rest"] = double(taps->posted() - postedAtRest);
    }
}
BENCHMARK(BM_CpuAtRest)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
