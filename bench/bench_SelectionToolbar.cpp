// From a selecting mouse-up to the toolbar on screen (the fixed settle wait set to zero, so what
// is measured is the gate, the capture and the panel), the gate's own cost per mouse-up, and
// beside them a context menu popping up: what a user would otherwise open on a selection.
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedEventMonitors.h"
#include "Platform/Simulated/SimulatedTextApplication.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "Selection/SelectionMonitor.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Platform;

namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "bench_SelectionToolbar";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

struct Desktop {
    QTemporaryDir root;
    Services services = makeSimulatedServices(Folders::under(root.path()));
    std::unique_ptr<SimulatedTextApplication> editor;
    std::unique_ptr<SelectionMonitor> monitor;

    SimulatedEventMonitors& input() { return static_cast<SimulatedEventMonitors&>(*services.eventMonitors); }

    Desktop()
    {
        application();
        auto& windows = static_cast<SimulatedWindowList&>(*services.windowList);
        windows.setWindows({{1, QRectF(0, 0, 1440, 900), -2147483623, 1, "Desktop"}});
        editor = std::make_unique<SimulatedTextApplication>(
            SimulatedTextApplication::Desktop{static_cast<SimulatedAccessibility*>(services.accessibility.get()),
                                              static_cast<SimulatedKeystrokes*>(services.keystrokes.get()),
                                              services.pasteboards.get(),
                                              static_cast<SimulatedWorkspace*>(services.workspace.get()), &windows},
            SimulatedTextApplication::Options{});
        editor->setText("The sum is 12*(3+4) today.", {0, 0});
        editor->select("12*(3+4)");
        editor->setSelectionBounds(QRectF(180, 200, 70, 18));
        editor->bringToFront();
        SelectionMonitor::Timings timings;
        timings.settle = std::chrono::milliseconds(0);
        monitor = std::make_unique<SelectionMonitor>(services, timings);
        monitor->start();
    }

    void select()
    {
        input().postGlobal({.type = leftMouseDown, .location = {150, 700}, .clickCount = 1});
        input().postGlobal({.type = leftMouseDragged, .location = {230, 700}});
        input().postGlobal({.type = leftMouseUp, .location = {230, 700}, .clickCount = 1});
    }
};

void BM_MouseUpToToolbarShown(benchmark::State& state)
{
    Desktop d;
    for (auto _ : state) {
        d.select();
        while (!d.monitor->panel().isVisible())
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        state.PauseTiming();
        d.monitor->dismiss();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MouseUpToToolbarShown)->Unit(benchmark::kMillisecond);

void BM_GatePerMouseUp(benchmark::State& state)
{
    Desktop d;
    for (auto _ : state) {
        state.PauseTiming();
        d.input().postGlobal({.type = leftMouseDown, .location = {150, 700}, .clickCount = 1});
        d.input().postGlobal({.type = leftMouseDragged, .location = {230, 700}});
        state.ResumeTiming();
        d.input().postGlobal({.type = leftMouseUp, .location = {230, 700}, .clickCount = 1});
        benchmark::DoNotOptimize(d.monitor->isCapturePending());
    }
}
BENCHMARK(BM_GatePerMouseUp)->Unit(benchmark::kMicrosecond);

void BM_ContextMenuShown(benchmark::State& state)
{
    application();
    for (auto _ : state) {
        QMenu menu;
        for (const char* title : {"Copy", "Search the Web", "Translate", "Calculate", "Open Link"})
            menu.addAction(QString::fromLatin1(title));
        menu.popup(QPoint(200, 700));
        while (!menu.isVisible())
            QCoreApplication::processEvents();
        benchmark::DoNotOptimize(menu.geometry());
    }
}
BENCHMARK(BM_ContextMenuShown)->Unit(benchmark::kMillisecond);

} // namespace
