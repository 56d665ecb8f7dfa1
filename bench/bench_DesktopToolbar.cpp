// From the mouse-up of a real drag-selection to the selection toolbar's window on screen, on the
// real desktop services, in a Qt line edit and a GTK entry; the fixed settle wait after the
// mouse-up is taken off. Beside it, in the same session, what a user would otherwise open on a
// selection: the application's own context menu, from the right-button press to its window
// mapped. Both rows are timed on one X connection: the button's raw event and the window's
// map notification come in the server's order on it, stamped as they arrive. Run inside an X session:
//   tests/XSession/x-session -- build/bench/bench_DesktopToolbar

#include "Platform/Desktop/AtSpiClient.h"
#include "Platform/Desktop/X11Connection.h"
#include "Platform/Services.h"
#include "Selection/SelectionMonitor.h"
#include "Selection/SelectionToolbarView.h"

#include "DesktopTargets.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Platform;

namespace {

const QString lineText = QStringLiteral("12*(3+4) and some more text");

struct Session {
    QTemporaryDir root;
    Services services = makeDesktopServices(Folders::under(root.path()));
    std::unique_ptr<SelectionMonitor> monitor;
    std::optional<AtSpiClient> atspi;
    std::unique_ptr<DesktopTargets> targets;

    Session()
    {
        services.permissions->promptForAccessibility();
        atspi = AtSpiClient::connect(3000);
        targets = std::make_unique<DesktopTargets>(lineText);
        monitor = std::make_unique<SelectionMonitor>(services);
        monitor->start();
    }
    ~Session() { monitor.reset(); }

    // The focused text field of a process, waiting (bounded) for it to show up on the bus.
    std::optional<AtSpiClient::Element> field(qint64 pid)
    {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (auto app = atspi->application(pid))
                if (auto f = atspi->focused(*app))
                    return f;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return std::nullopt;
    }
};

// Made on first use and ended by main while the application still runs: the monitor, its
// windows and the target processes must not outlive it.
std::unique_ptr<Session> theSession;

Session& session()
{
    if (!theSession)
        theSession = std::make_unique<Session>();
    return *theSession;
}

// Brings the window to the front and waits until the toolbar has heard of it: a late notice of
// the switch would dismiss the first selection.
void activate(Session& s, const char* title, qint64 pid)
{
    const auto front = s.services.workspace->frontmostApplication();
    if (front && front->processID == pid)
        return;
    bool heard = false;
    QObject context;
    QObject::connect(s.services.workspace.get(), &Workspace::applicationActivated, &context,
                     [&](const ApplicationInfo& app) { heard = heard || app.processID == pid; });
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                                                  QStringLiteral("^%1$").arg(QLatin1String(title)),
                                                  QStringLiteral("windowactivate"), QStringLiteral("--sync")});
    const QDeadlineTimer deadline(10000);
    while (!heard && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

// Stamps, on the shared X connection, each raw press or release of one button and each mapped
// override-redirect window (menus), on a clock of its own.
struct ButtonClock {
    std::shared_ptr<X11Connection> x = X11Connection::shared();
    QElapsedTimer clock;
    int opcode = 0;
    int listener = 0;
    qint64 buttonAt = -1;
    qint64 mappedAt = -1;

    ButtonClock(int evtype, int button)
    {
        clock.start();
        int event = 0, error = 0;
        if (!XQueryExtension(x->display(), "XInputExtension", &opcode, &event, &error))
            return;
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, evtype);
        XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
        XISelectEvents(x->display(), x->root(), &mask, 1);
        x->selectRootEvents(SubstructureNotifyMask);
        XFlush(x->display());
        listener = x->addListener([this, evtype, button](const XEvent& e) {
            if (e.type == GenericEvent && e.xcookie.extension == opcode && e.xcookie.evtype == evtype && e.xcookie.data
                && static_cast<const XIRawEvent*>(e.xcookie.data)->detail == button && buttonAt < 0)
                buttonAt = clock.nsecsElapsed();
            else if (e.type == MapNotify && e.xmap.override_redirect && buttonAt >= 0 && mappedAt < 0)
                mappedAt = clock.nsecsElapsed();
        });
    }
    ~ButtonClock()
    {
        x->removeListener(listener);
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
        XISelectEvents(x->display(), x->root(), &mask, 1);
        XFlush(x->display());
    }
    void reset() { buttonAt = mappedAt = -1; }
};

bool toolbarOnScreen(SelectionMonitor& monitor)
{
    auto& panel = monitor.panel();
    return panel.isVisible() && qobject_cast<SelectionToolbarView*>(panel.content()) && panel.windowHandle()
        && panel.windowHandle()->isExposed();
}

void toolbar(benchmark::State& state, qint64 pid, const char* title)
{
    Session& s = session();
    activate(s, title, pid);
    const auto field = s.field(pid);
    const auto first = field ? s.atspi->rangeExtents(*field, 0, 1) : std::nullopt;
    const auto last = field ? s.atspi->rangeExtents(*field, 7, 8) : std::nullopt;
    if (!first || !last) {
        state.SkipWithError("no text field");
        return;
    }
    ButtonClock up(XI_RawButtonRelease, 1);
    const double settle = 60.0;
    std::vector<double> samples;
    for (auto _ : state) {
        // A click elsewhere in the field dismisses the last toolbar.
        xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(last->right() + 40).arg(last->center().y()));
        while (s.monitor->panel().isVisible())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        up.reset();
        // Not waited for: the event loop runs while the gesture is played, as it would for a user.
        QProcess gesture;
        gesture.start(QStringLiteral("xdotool"),
                      QStringLiteral("mousemove %1 %2 mousedown 1 mousemove_relative 20 0 mousemove_relative 20 0 mousemove %3 %2 mouseup 1")
                          .arg(first->left() + 1)
                          .arg(first->center().y())
                          .arg(last->right() + 2)
                          .split(u' '));
        const QDeadlineTimer deadline(5000);
        while (!toolbarOnScreen(*s.monitor) && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const qint64 shownAt = up.clock.nsecsElapsed();
        gesture.waitForFinished();
        if (up.buttonAt < 0 || !toolbarOnScreen(*s.monitor)) {
            state.SkipWithError("no toolbar");
            break;
        }
        const double ms = double(shownAt - up.buttonAt) / 1e6 - settle;
        state.SetIterationTime(std::max(ms, 0.0) / 1e3);
        samples.push_back(ms);
    }
    report(state, samples);
}

// The application's own context menu on the same field: right press to the menu's window mapped.
void contextMenu(benchmark::State& state, qint64 pid, const char* title)
{
    Session& s = session();
    s.monitor->stop();
    activate(s, title, pid);
    const auto field = s.field(pid);
    const auto first = field ? s.atspi->rangeExtents(*field, 0, 1) : std::nullopt;
    if (!first) {
        state.SkipWithError("no text field");
        return;
    }
    ButtonClock press(XI_RawButtonPress, 3);
    std::vector<double> samples;
    for (auto _ : state) {
        press.reset();
        QProcess click;
        click.start(QStringLiteral("xdotool"),
                    QStringLiteral("mousemove %1 %2 click 3").arg(first->left() + 4).arg(first->center().y()).split(u' '));
        const QDeadlineTimer deadline(5000);
        while ((press.buttonAt < 0 || press.mappedAt < 0) && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (press.buttonAt < 0 || press.mappedAt < 0) {
            state.SkipWithError("no context menu");
            break;
        }
        click.waitForFinished();
        const double ms = double(press.mappedAt - press.buttonAt) / 1e6;
        state.SetIterationTime(ms / 1e3);
        samples.push_back(ms);
        xdotool(QStringLiteral("key Escape"));
    }
    s.monitor->start();
    report(state, samples);
}

void BM_ToolbarQtLineEdit(benchmark::State& state)
{
    toolbar(state, session().targets->qt->processId(), "Ambrel test target");
}

void BM_ToolbarGtkEntry(benchmark::State& state)
{
    toolbar(state, session().targets->gtk->processId(), "Ambrel GTK target");
}

void BM_ContextMenuQtLineEdit(benchmark::State& state)
{
    contextMenu(state, session().targets->qt->processId(), "Ambrel test target");
}

void BM_ContextMenuGtkEntry(benchmark::State& state)
{
    contextMenu(state, session().targets->gtk->processId(), "Ambrel GTK target");
}

} // namespace

BENCHMARK(BM_ToolbarQtLineEdit)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolbarGtkEntry)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContextMenuQtLineEdit)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContextMenuGtkEntry)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theSession.reset();
    return 0;
}
