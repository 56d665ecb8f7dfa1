// The radial menu's hot paths: the tap thread's decision for a middle press (with the exclusion
// test walking 50 windows), for a drag step and for a wheel step while the ring is open; and one
// frame of the ring (model and painting of 12 items into an offscreen image), beside painting the
// same 12 icons with plain QPainter calls, the least any ring drawn with Qt must do.

#include "Platform/Simulated/SimulatedEventMonitors.h"
#include "Platform/Simulated/SimulatedEventTaps.h"
#include "Platform/Simulated/SimulatedKeyboardState.h"
#include "Platform/Simulated/SimulatedScreens.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "Radial/RadialMenuController.h"
#include "RadialCore/RadialItemSource.h"

#include <QApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {

struct Rig {
    std::shared_ptr<Platform::SimulatedEventTaps> taps = std::make_shared<Platform::SimulatedEventTaps>();
    std::shared_ptr<Platform::SimulatedWorkspace> workspace = std::make_shared<Platform::SimulatedWorkspace>();
    std::shared_ptr<Platform::SimulatedWindowList> windows = std::make_shared<Platform::SimulatedWindowList>();
    std::shared_ptr<Platform::SimulatedScreens> screens = std::make_shared<Platform::SimulatedScreens>();
    std::unique_ptr<RadialMenuController> controller;

    Rig()
    {
        QList<Platform::ApplicationInfo> running;
        QList<Platform::WindowInfo> list;
        for (int i = 0; i < 50; ++i) {
            running.append({QStringLiteral("org.example.App%1").arg(i), QStringLiteral("App %1").arg(i), {}, 100 + i});
            // The press lands on the last window only: the test walks all 50.
            list.append({quint32(i + 1), QRectF(i < 49 ? 2000 + i : 0, 0, 500, 500), 0, 100 + i, {}});
        }
        workspace->setRunning(running);
        windows->setWindows(list);
        controller = std::make_unique<RadialMenuController>(
            RadialMenuController::Environment{.taps = taps,
                                              .workspace = workspace,
                                              .windows = windows,
                                              .screens = screens,
                                              .monitors = std::make_shared<Platform::SimulatedEventMonitors>(),
                                              .keyboard = std::make_shared<Platform::SimulatedKeyboardState>()},
            RadialSettings());
        RadialSettings s;
        s.isEnabled = true;
        s.holdThreshold = 0.6;
        controller->apply(s);
    }
};

Rig& rig()
{
    static Rig r;
    return r;
}

void drain(benchmark::State& state)
{
    state.PauseTiming();
    QCoreApplication::processEvents();
    state.ResumeTiming();
}

} // namespace

static void BM_MiddlePressWithExclusionTest(benchmark::State& state)
{
    auto& r = rig();
    const MouseButtonTap::Event press{.kind = MouseButtonTap::Event::Kind::middleDown, .point = {100, 100}, .time = 1};
    const MouseButtonTap::Event release{.kind = MouseButtonTap::Event::Kind::middleUp, .point = {100, 100}};
    long n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(r.controller->handle(press));
        state.PauseTiming();
        r.controller->handle(release);
        if (++n % 256 == 0)
            QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    QCoreApplication::processEvents();
    r.taps->waitUntilIdle();
}
BENCHMARK(BM_MiddlePressWithExclusionTest);

static void BM_DragAndWheelWhileTracking(benchmark::State& state)
{
    auto& r = rig();
    const bool wheel = state.range(0) == 1;
    r.controller->handle({.kind = MouseButtonTap::Event::Kind::middleDown, .point = {100, 100}, .time = 1});
    QCoreApplication::processEvents();
    // Open the ring by dragging far enough, so that wheel steps are taken.
    r.controller->handle({.kind = MouseButtonTap::Event::Kind::moved, .point = {100, 200}});
    QCoreApplication::processEvents();
    const MouseButtonTap::Event event = wheel ? MouseButtonTap::Event{.kind = MouseButtonTap::Event::Kind::scrolled, .lines = -1}
                                              : MouseButtonTap::Event{.kind = MouseButtonTap::Event::Kind::moved, .point = {101, 201}};
    long n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(r.controller->handle(event));
        if (++n % 256 == 0)
            drain(state);
    }
    r.controller->handle({.kind = MouseButtonTap::Event::Kind::middleUp});
    QCoreApplication::processEvents();
    state.SetLabel(wheel ? "wheel step" : "drag step");
}
BENCHMARK(BM_DragAndWheelWhileTracking)->Arg(0)->Arg(1);

namespace {

QList<RadialEntry> twelve()
{
    QList<RadialEntry> entries{{RadialItem::cancel(), {}}};
    QPixmap pixmap(128, 128);
    for (int i = 1; i < 12; ++i) {
        pixmap.fill(QColor::fromHsv(i * 30, 180, 220));
        entries.append({{QStringLiteral("org.example.App%1").arg(i), QStringLiteral("App %1").arg(i), false}, QIcon(pixmap.copy())});
    }
    return entries;
}

} // namespace

// One frame as the ring's clock makes it: advance the spring and the opening, place the items,
// build the view and paint it.
static void BM_RingFrame(benchmark::State& state)
{
    const auto entries = twelve();
    QImage image(800, 800, QImage::Format_ARGB32_Premultiplied);
    RadialSelection selection(12, RadialShape::circle, 12, 0);
    RadialPresentation presentation;
    const auto layout = RadialGeometry::layout(92, 12, RadialShape::circle, 12, RadialMenuController::idealItemSize,
                                               RadialMenuController::minimumItemSize);
    int frame = 0;
    for (auto _ : state) {
        if (frame++ % 60 == 0) { // keep it moving: a wheel step now and then, an opening restarted
            selection.move(-1);
            presentation = {};
        }
        presentation.advance(1.0 / 120);
        selection.advance(1.0 / 120);
        RadialMenuView view;
        view.entries = entries;
        view.placements = RadialGeometry::placements(12, selection.position, RadialShape::circle, 12, RadialFacing::up);
        view.centre = {400, 400};
        view.radius = layout.radius;
        view.selectedIndex = selection.selectedIndex();
        view.showsLabel = true;
        view.height = 800;
        view.presentation = presentation;
        view.iconSize = layout.itemSize / RadialMenuController::cellFactor;
        image.fill(Qt::transparent);
        QPainter painter(&image);
        view.paint(painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_RingFrame)->Unit(benchmark::kMicrosecond);

// The peer: the same 12 icons drawn in a circle with nothing but QPainter::drawPixmap.
static void BM_PlainTwelveIcons(benchmark::State& state)
{
    const auto entries = twelve();
    QImage image(800, 800, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (int i = 0; i < entries.size(); ++i) {
            const double a = std::numbers::pi / 2 - i * 2 * std::numbers::pi / 12;
            const QRectF r(400 + 150 * std::cos(a) - 24, 400 - 150 * std::sin(a) - 24, 48, 48);
            if (!entries[i].icon.isNull())
                painter.drawPixmap(r.toRect(), entries[i].icon.pixmap(48, 48));
        }
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PlainTwelveIcons)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
