// From the mouse-up of a real drag-selection to the selected text and its bounds read through
// the accessibility bus, in a Qt line edit and a GTK entry, beside reading the same selection the
// way a user's script would (`xclip -o -selection primary`). Run inside an X session:
//   tests/XSession/x-session -- build/bench/bench_DesktopSelection
// The selection is read the settle delay after the mouse-up, as the toolbar reads it; the delay is
// not part of the measured time.

#include "Platform/Accessibility.h"
#include "Platform/Desktop/DesktopAccessibility.h"
#include "Platform/Desktop/DesktopEventMonitors.h"
#include "Platform/Desktop/X11Connection.h"
#include "Platform/Desktop/AtSpiClient.h"
#include "Selection/SelectionMonitor.h"

#include "DesktopTargets.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

using namespace Platform;

namespace {

struct Session {
    std::shared_ptr<X11Connection> x = X11Connection::shared();
    std::unique_ptr<DesktopEventMonitors> monitors;
    std::unique_ptr<DesktopAccessibility> accessibility;
    std::unique_ptr<DesktopTargets> targets;

    Session()
    {
        AtSpiClient::setEnabled(true);
        monitors = std::make_unique<DesktopEventMonitors>(x);
        accessibility = std::make_unique<DesktopAccessibility>(x);
        targets = std::make_unique<DesktopTargets>(QStringLiteral("12*(3+4) and some more text"));
    }
};

// Made on first use and ended by main while the application still runs: the monitors and the
// target processes must not outlive it.
std::unique_ptr<Session> theSession;

Session& session()
{
    if (!theSession)
        theSession = std::make_unique<Session>();
    return *theSession;
}

// Window-manager placement: the Qt window at (100, 100), the GTK one at (100, 450); the text
// lies about 40 and 60 pixels below each frame's top.
void capture(benchmark::State& state, int windowTop, int fieldOffset)
{
    Session& s = session();
    QElapsedTimer clock;
    const qint64 settle = std::chrono::nanoseconds(SelectionMonitor::Timings{}.settle).count();
    qint64 upAt = -1;
    const auto token = s.monitors->addGlobalMonitor(leftMouseUp, [&](const InputEvent&) { upAt = clock.nsecsElapsed(); });
    const QString activate = QStringLiteral("mousemove 300 %1 click 1").arg(windowTop + fieldOffset);
    xdotool(activate);
    std::vector<double> samples;
    for (auto _ : state) {
        clock.start();
        upAt = -1;
        xdotool(QStringLiteral("mousemove 180 %1 mousedown 1 mousemove_relative 60 0 mouseup 1").arg(windowTop + fieldOffset));
        while (upAt < 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        // As the toolbar does: the application takes the selection in after the mouse-up, so it is
        // read a settle delay later, the event loop running meanwhile.
        const qint64 readAt = upAt + settle;
        while (clock.nsecsElapsed() < readAt) {
            QEventLoop wait;
            QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(std::chrono::nanoseconds(readAt - clock.nsecsElapsed())),
                               Qt::PreciseTimer, &wait, &QEventLoop::quit);
            wait.exec();
        }
        const qint64 start = clock.nsecsElapsed();
        const auto focused = s.accessibility->focusedElement();
        std::optional<QString> text;
        std::optional<QRectF> bounds;
        if (focused) {
            if (auto t = s.accessibility->stringAttribute(*focused, QStringLiteral("AXSelectedText")))
                text = *t;
            if (auto r = s.accessibility->rangeAttribute(*focused, QStringLiteral("AXSelectedTextRange")))
                if (auto b = s.accessibility->boundsForRange(*focused, *r))
                    bounds = *b;
        }
        const qint64 end = clock.nsecsElapsed();
        if (!text || text->isEmpty() || !bounds) {
            state.SkipWithError("no selection read");
            break;
        }
        state.SetIterationTime(double(end - start) / 1e9);
        samples.push_back(double(end - start) / 1e6);
    }
    if (token)
        s.monitors->removeMonitor(*token);
    report(state, samples);
}

void BM_QtLineEdit(benchmark::State& state)
{
    capture(state, 100, 41);
}

void BM_GtkEntry(benchmark::State& state)
{
    capture(state, 450, 59);
}

// What a user's script does to get the selection: the selection owner answers a second client.
void BM_XclipPrimary(benchmark::State& state)
{
    session();
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("primary")});
        xclip.waitForFinished();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        samples.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    report(state, samples);
}

} // namespace

BENCHMARK(BM_QtLineEdit)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GtkEntry)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XclipPrimary)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theSession.reset();
    return 0;
}
