// From a selecting mouse-up to the toolbar on screen (the fixed settle wait set to zero, so what
// is measured is the gate, the capture and the panel), with the shipped actions alone and with
// 2,000 imported ones; the gate's own cost per mouse-up; the card of a huge script output; and
// beside them a context menu popping up: what a user would otherwise open on a selection. Every
// iteration ends with the dismissed views deleted, as the event loop would, so the figures do not
// grow with the iteration count.
#include "AI/AIViewModel.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedEventMonitors.h"
#include "Platform/Simulated/SimulatedTextApplication.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "Selection/AIResultView.h"
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

// Imported plug-in actions on text, as a large action library gives them.
QList<AIActionTemplate> importedActions(int count)
{
    QList<AIActionTemplate> actions;
    const QStringList symbols{"sparkles", "wand.and.sparkles", "text.append", "globe", "doc.text"};
    for (int i = 0; i < count; ++i)
        actions << AIActionTemplate::make(QStringLiteral("ai.custom.%1").arg(i, 8, 16, QLatin1Char('0')).toUpper(),
                                          QStringLiteral("Imported action %1").arg(i), symbols.at(i % symbols.size()),
                                          QStringLiteral("Be brief."), QStringLiteral("{{selection}}"),
                                          ContextKindSet{ContextKind::selectedText, ContextKind::editableText},
                                          OutputBehavior::replaceable, false, ActionScope::text);
    return actions;
}

// Deletes what `deleteLater` left, as returning to the event loop does.
void deleteDismissed()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct Desktop {
    QTemporaryDir root;
    Services services = makeSimulatedServices(Folders::under(root.path()));
    std::unique_ptr<SimulatedTextApplication> editor;
    std::unique_ptr<AIViewModel> ai;
    std::unique_ptr<SelectionMonitor> monitor;

    SimulatedEventMonitors& input() { return static_cast<SimulatedEventMonitors&>(*services.eventMonitors); }

    explicit Desktop(int imported = 0)
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
        if (imported > 0) {
            ai = std::make_unique<AIViewModel>(AIViewModel::Dependencies{
                .userDefaults = services.userDefaults, .keychain = services.keychain, .workspace = services.workspace});
            ai->setCustomActions(importedActions(imported));
            monitor->setAI(ai.get());
        }
        monitor->start();
    }

    void select()
    {
        input().postGlobal({.type = leftMouseDown, .location = {150, 700}, .clickCount = 1});
        input().postGlobal({.type = leftMouseDragged, .location = {230, 700}});
        input().postGlobal({.type = leftMouseUp, .location = {230, 700}, .clickCount = 1});
    }
};

// The argument: how many imported actions there are beside the shipped ones.
void BM_MouseUpToToolbarShown(benchmark::State& state)
{
    Desktop d(int(state.range(0)));
    for (auto _ : state) {
        d.select();
        while (!d.monitor->panel().isVisible())
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        state.PauseTiming();
        d.monitor->dismiss();
        deleteDismissed();
        state.ResumeTiming();
    }
    state.counters["panelChildren"] = double(d.monitor->panel().children().size());
}
BENCHMARK(BM_MouseUpToToolbarShown)->ArgName("imported")->Arg(0)->Arg(2000)->Unit(benchmark::kMillisecond);

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

// The card of a script that printed 100 MB, of which the runner keeps 4 MiB: from the finished
// run to the card on screen.
void BM_ScriptCardShown(benchmark::State& state)
{
    Desktop d;
    QString output;
    const QString line = QString(79, u'a') + u'\n';
    while (output.size() < 4 * 1024 * 1024)
        output += line;
    for (auto _ : state) {
        AIRun run(QStringLiteral("Dump"));
        run.setOutput(output);
        run.setStreaming(false);
        d.monitor->panel().show(new AIResultView(&run, true, {}, {}), QRectF(180, 200, 70, 18), std::nullopt,
                                ToolbarPanel::Shape::card);
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(d.monitor->panel().size());
        state.PauseTiming();
        d.monitor->panel().dismiss();
        deleteDismissed();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ScriptCardShown)->Unit(benchmark::kMillisecond);

// The peer: built and popped up like the toolbar, and like it closed and deleted untimed.
void BM_ContextMenuShown(benchmark::State& state)
{
    application();
    for (auto _ : state) {
        auto menu = std::make_unique<QMenu>();
        for (const char* title : {"Copy", "Search the Web", "Translate", "Calculate", "Open Link"})
            menu->addAction(QString::fromLatin1(title));
        menu->popup(QPoint(200, 700));
        while (!menu->isVisible())
            QCoreApplication::processEvents();
        benchmark::DoNotOptimize(menu->geometry());
        state.PauseTiming();
        menu.reset();
        deleteDismissed();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ContextMenuShown)->Unit(benchmark::kMillisecond);

} // namespace
