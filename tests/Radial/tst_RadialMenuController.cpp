#include "Platform/Simulated/SimulatedEventMonitors.h"
#include "Platform/Simulated/SimulatedEventTaps.h"
#include "Platform/Simulated/SimulatedKeyboardState.h"
#include "Platform/Simulated/SimulatedScreens.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "Radial/RadialMenuController.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>

using Platform::TapEvent;
using Type = TapEvent::Type;
using Key = Platform::KeyboardState::Key;
Q_DECLARE_METATYPE(TapEvent)

namespace {

TapEvent middle(Type type, QPointF at)
{
    TapEvent e;
    e.type = type;
    e.location = at;
    e.button = 2;
    return e;
}

TapEvent wheel(double lines, double sideways = 0)
{
    TapEvent e;
    e.type = Type::scrollWheel;
    e.lineDeltaY = lines;
    e.lineDeltaX = sideways;
    return e;
}

TapEvent left()
{
    TapEvent e;
    e.type = Type::leftMouseDown;
    return e;
}

// The controller on the simulated chain with three running applications, one screen of 1440 x 900
// and a clock that moves only when told (the hold timer polls it).
struct Fixture {
    std::shared_ptr<Platform::SimulatedEventTaps> taps = std::make_shared<Platform::SimulatedEventTaps>();
    std::shared_ptr<Platform::SimulatedWorkspace> workspace = std::make_shared<Platform::SimulatedWorkspace>();
    std::shared_ptr<Platform::SimulatedWindowList> windows = std::make_shared<Platform::SimulatedWindowList>();
    std::shared_ptr<Platform::SimulatedScreens> screens = std::make_shared<Platform::SimulatedScreens>();
    std::shared_ptr<Platform::SimulatedEventMonitors> monitors = std::make_shared<Platform::SimulatedEventMonitors>();
    std::shared_ptr<Platform::SimulatedKeyboardState> keyboard = std::make_shared<Platform::SimulatedKeyboardState>();
    std::shared_ptr<std::atomic<double>> clock = std::make_shared<std::atomic<double>>(1000.0);
    std::unique_ptr<RadialMenuController> controller;
    QList<RadialItem> launched;

    explicit Fixture(RadialSettings settings = enabled())
    {
        workspace->setRunning({{QStringLiteral("org.example.Alpha"), QStringLiteral("Alpha"), {}, 11},
                               {QStringLiteral("org.example.Beta"), QStringLiteral("Beta"), {}, 12},
                               {QStringLiteral("org.example.Gamma"), QStringLiteral("Gamma"), {}, 13},
                               {QStringLiteral("com.corvish.ambrel"), QStringLiteral("Ambrel"), {}, 14}});
        controller = std::make_unique<RadialMenuController>(
            RadialMenuController::Environment{.taps = taps,
                                              .workspace = workspace,
                                              .windows = windows,
                                              .screens = screens,
                                              .monitors = monitors,
                                              .keyboard = keyboard,
                                              .ownBundleIdentifier = QStringLiteral("com.corvish.ambrel"),
                                              .now = [c = clock] { return c->load(); }},
            RadialSettings());
        controller->onLaunch = [this](const RadialItem& item) { launched.append(item); };
        controller->apply(settings);
    }
    ~Fixture() { controller.reset(); }

    static RadialSettings enabled()
    {
        RadialSettings s;
        s.isEnabled = true;
        return s;
    }
    void advance(double seconds) { clock->store(clock->load() + seconds); }
    // Lets the main thread run what the tap handed it.
    void settle()
    {
        taps->waitUntilIdle();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    bool press(QPointF at = {100, 100})
    {
        const bool reached = taps->input(middle(Type::otherMouseDown, at));
        settle();
        return reached;
    }
    bool release(QPointF at = {100, 100})
    {
        const bool reached = taps->input(middle(Type::otherMouseUp, at));
        settle();
        return reached;
    }
    bool openByHolding(QPointF at = {100, 100})
    {
        press(at);
        advance(0.2);
        return QTest::qWaitFor([&] { return controller->isRingShown(); }, 3000);
    }
    // Frames of the ring's clock, each 1/120 s later on the clock.
    void frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            advance(1.0 / 120);
            controller->tick();
        }
    }
    QList<TapEvent> replayed() const
    {
        QList<TapEvent> out;
        for (const auto& e : taps->delivered())
            if (e.userData == MouseButtonTap::ownershipMarker)
                out.append(e);
        return out;
    }
};

} // namespace

class TestRadialMenuController : public QObject {
    Q_OBJECT
private slots:
    void readsEvents_data()
    {
        QTest::addColumn<TapEvent>("event");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("lines");
        TapEvent trackpad = wheel(0);
        trackpad.isContinuous = true;
        trackpad.pixelDeltaY = 32;
        TapEvent ours = wheel(1);
        ours.userData = MouseButtonTap::scrollEngineMarker;
        TapEvent button3 = middle(Type::otherMouseDown, {});
        button3.button = 3;
        using K = MouseButtonTap::Event::Kind;
        QTest::newRow("trackpad 32 px is 2 lines") << trackpad << true << int(K::scrolled) << 2.0;
        QTest::newRow("a wheel click down") << wheel(-1) << true << int(K::scrolled) << -1.0;
        QTest::newRow("smooth scrolling's own post") << ours << false << 0 << 0.0;
        QTest::newRow("button 3 is not ours") << button3 << false << 0 << 0.0;
        QTest::newRow("middle down") << middle(Type::otherMouseDown, {}) << true << int(K::middleDown) << 0.0;
        QTest::newRow("middle drag") << middle(Type::otherMouseDragged, {}) << true << int(K::moved) << 0.0;
        QTest::newRow("left press") << left() << true << int(K::otherButton) << 0.0;
    }
    void readsEvents()
    {
        QFETCH(TapEvent, event);
        QFETCH(bool, read);
        QFETCH(int, kind);
        QFETCH(double, lines);
        const auto got = MouseButtonTap::read(event, 5.0);
        QCOMPARE(got.has_value(), read);
        if (read) {
            QCOMPARE(int(got->kind), kind);
            QCOMPARE(got->lines, lines);
        }
    }

    void plainClickIsReplayedOnce()
    {
        Fixture f;
        QVERIFY(f.controller->isRunning());
        QVERIFY(!f.press({100, 100}));
        QVERIFY(!f.release({100, 100}));
        QTRY_COMPARE(f.replayed().size(), 2);
        const auto r = f.replayed();
        QCOMPARE(r[0].type, Type::otherMouseDown);
        QCOMPARE(r[1].type, Type::otherMouseUp);
        QCOMPARE(r[0].button, 2);
        QCOMPARE(r[0].location, QPointF(100, 100)); // back in the taps' coordinates
        QCOMPARE(f.taps->delivered().size(), 2);     // nothing else reached the applications
        QVERIFY(f.controller->gesture().isIdle());
        f.advance(1);
        QTest::qWait(250);
        QVERIFY(!f.controller->isRingShown());
        QCOMPARE(f.replayed().size(), 2);
    }

    void holdOpensAroundThePress()
    {
        Fixture f;
        QSignalSpy shown(f.controller.get(), &RadialMenuController::ringShown);
        f.press({100, 100});
        QTest::qWait(250); // the hold timer has fired at least once: the clock has not moved
        QVERIFY(!f.controller->isRingShown());
        f.advance(0.18);
        QTRY_VERIFY(f.controller->isRingShown());
        QCOMPARE(shown.size(), 1);
        QCOMPARE(f.controller->origin(), QPointF(100, 800)); // y up on a 900 pt screen
        QStringList ids;
        for (const auto& e : f.controller->entries())
            ids << e.item.bundleIdentifier;
        QCOMPARE(ids, (QStringList{RadialItem::cancelIdentifier, "org.example.Alpha", "org.example.Beta",
                                   "org.example.Gamma"}));
        QVERIFY(f.controller->panel().isShown());
        // Released without a wheel step: nothing is launched, the release stays ours.
        QVERIFY(!f.release());
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(f.launched.isEmpty());
        QVERIFY(f.taps->delivered().isEmpty());
    }

    void dragOpens()
    {
        Fixture f;
        f.press({100, 100});
        QVERIFY(!f.taps->input(middle(Type::otherMouseDragged, {103, 103})));
        f.settle();
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(!f.taps->input(middle(Type::otherMouseDragged, {100, 106})));
        f.settle();
        QVERIFY(f.controller->isRingShown());
        QCOMPARE(f.controller->origin(), QPointF(100, 800));
        // Once open, drags change nothing but stay swallowed.
        QVERIFY(!f.taps->input(middle(Type::otherMouseDragged, {300, 300})));
        f.settle();
        QCOMPARE(f.controller->origin(), QPointF(100, 800));
    }

    void wheelMovesAndReleaseCommits()
    {
        Fixture f;
        QVERIFY(f.taps->input(wheel(1))); // no ring: the wheel belongs to the applications
        QVERIFY(f.openByHolding());
        f.taps->clearDelivered();
        QVERIFY(!f.taps->input(wheel(-1)));
        f.settle();
        QCOMPARE(f.controller->selection().target, 1.0);
        QVERIFY(f.controller->hasChosen());
        QVERIFY(!f.taps->input(wheel(-1)));
        f.settle();
        QCOMPARE(f.controller->selection().selectedIndex(), 2);
        QVERIFY(!f.release());
        QTRY_COMPARE(f.launched.size(), 1);
        QCOMPARE(f.launched[0].bundleIdentifier, QStringLiteral("org.example.Beta"));
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(f.taps->delivered().isEmpty());
        QVERIFY(f.taps->input(wheel(1))); // closed: the wheel is free again
    }

    void zeroLineScrollIsNoChoice()
    {
        Fixture f;
        QVERIFY(f.openByHolding());
        QVERIFY(!f.taps->input(wheel(0, 1))); // a tilt sideways: swallowed, moves nothing
        f.settle();
        QVERIFY(!f.controller->hasChosen());
        f.release();
        QVERIFY(f.launched.isEmpty());
    }

    void committingTheCancelItemLaunchesNothing()
    {
        Fixture f;
        QVERIFY(f.openByHolding());
        f.taps->input(wheel(-1));
        f.taps->input(wheel(1));
        f.settle();
        QCOMPARE(f.controller->selection().selectedIndex(), 0);
        f.release();
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(f.launched.isEmpty());
    }

    void excludedAndDisabledAreUntouched_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("underPointer");
        QTest::addColumn<bool>("frontmost");
        QTest::newRow("disabled") << false << false << false;
        QTest::newRow("excluded window under the pointer") << true << true << false;
        QTest::newRow("excluded frontmost, no window under the pointer") << true << false << true;
    }
    void excludedAndDisabledAreUntouched()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, underPointer);
        QFETCH(bool, frontmost);
        RadialSettings s;
        s.isEnabled = enabled;
        s.exclude(QStringLiteral("org.example.Beta"));
        Fixture f(RadialSettings{});
        if (underPointer)
            f.windows->setWindows({{1, QRectF(50, 50, 200, 200), 0, 12, QStringLiteral("beta")},
                                   {2, QRectF(0, 0, 1440, 900), 0, 11, QStringLiteral("alpha")}});
        if (frontmost)
            f.workspace->setFrontmost(Platform::ApplicationInfo{QStringLiteral("org.example.Beta"), {}, {}, 12});
        f.controller->apply(s);
        QVERIFY(f.press({100, 100}));
        f.advance(1);
        QTest::qWait(220);
        QVERIFY(f.release({100, 100}));
        QVERIFY(!f.controller->isRingShown());
        QCOMPARE(f.taps->delivered().size(), 2);
        QVERIFY(f.replayed().isEmpty());
        // Elsewhere (another application's window), the menu works.
        if (underPointer) {
            QVERIFY(!f.press({400, 400}));
            QVERIFY(!f.release({400, 400}));
            QTRY_COMPARE(f.replayed().size(), 2);
        }
    }

    void otherButtonCancelsAndTheReleaseIsSwallowedOnce()
    {
        Fixture f;
        QVERIFY(f.openByHolding());
        QVERIFY(f.taps->input(left())); // the left press itself reaches the application
        f.settle();
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(!f.release()); // the held middle button's release is ours
        QVERIFY(f.replayed().isEmpty());
        // The next ordinary click keeps both halves.
        f.taps->clearDelivered();
        QVERIFY(!f.press({200, 200}));
        QVERIFY(!f.release({200, 200}));
        QTRY_COMPARE(f.replayed().size(), 2);
    }

    void otherButtonWhilePendingCancels()
    {
        Fixture f;
        f.press();
        QVERIFY(f.taps->input(left()));
        f.settle();
        f.advance(1);
        QTest::qWait(220);
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(!f.release());
        QVERIFY(f.replayed().isEmpty());
    }

    void escapeCancelsAndSwallowsTheRelease()
    {
        Fixture f;
        QVERIFY(f.openByHolding());
        f.keyboard->press(Key::escape);
        QTRY_VERIFY(!f.controller->isRingShown());
        f.keyboard->release(Key::escape);
        QVERIFY(!f.release());
        QVERIFY(f.taps->delivered().isEmpty());
    }

    // Escape while a click is awaited: the button is already up, so the next click must keep its
    // release and no ring may open by itself.
    void escapeWhileAwaitingAClickLeavesTheNextClickWhole()
    {
        RadialSettings s = Fixture::enabled();
        s.confirmation = RadialConfirmation::onClick;
        Fixture f(s);
        QVERIFY(f.openByHolding());
        f.release();
        QVERIFY(f.controller->gesture().isAwaitingClick());
        QVERIFY(f.controller->isRingShown());
        f.keyboard->press(Key::escape);
        QTRY_VERIFY(!f.controller->isRingShown());
        f.keyboard->release(Key::escape);
        QVERIFY(!f.press({300, 300}));
        QVERIFY(!f.release({300, 300}));
        QTRY_COMPARE(f.replayed().size(), 2);
        f.advance(1);
        QTest::qWait(250);
        QVERIFY(!f.controller->isRingShown());
    }

    void returnCommitsOnlyAfterAChoice()
    {
        Fixture f;
        QVERIFY(f.openByHolding());
        f.keyboard->press(Key::returnKey);
        QTest::qWait(60);
        QVERIFY(f.controller->isRingShown());
        f.keyboard->release(Key::returnKey);
        f.taps->input(wheel(-1));
        f.settle();
        f.keyboard->press(Key::keypadEnter);
        QTRY_COMPARE(f.launched.size(), 1);
        f.keyboard->release(Key::keypadEnter);
        QCOMPARE(f.launched[0].bundleIdentifier, QStringLiteral("org.example.Alpha"));
        QVERIFY(!f.release()); // the release of the held button is swallowed and does nothing
        QCOMPARE(f.launched.size(), 1);
        QVERIFY(f.taps->delivered().isEmpty());
    }

    void clickToConfirm()
    {
        RadialSettings s = Fixture::enabled();
        s.confirmation = RadialConfirmation::onClick;
        Fixture f(s);
        QVERIFY(f.openByHolding());
        // Let the ring finish opening and come to rest before the release.
        f.frames(60);
        QVERIFY(f.controller->panel().view().presentation.isComplete());
        QVERIFY(f.controller->selection().isResting());
        QVERIFY(f.controller->panel().view().onTap == nullptr);
        f.release();
        QVERIFY(f.controller->isRingShown());
        QVERIFY(!f.controller->panel().ignoresMouseEvents());
        // The resting ring was drawn again at once: its items answer a click right away.
        QVERIFY(f.controller->panel().view().onTap != nullptr);
        f.controller->panel().view().onTap(2);
        QCOMPARE(f.launched.size(), 1);
        QCOMPARE(f.launched[0].bundleIdentifier, QStringLiteral("org.example.Beta"));
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(f.controller->panel().ignoresMouseEvents());
    }

    void clickToConfirmCancels_data()
    {
        QTest::addColumn<bool>("onPanel");
        QTest::newRow("click on the panel, not on an item") << true;
        QTest::newRow("click elsewhere on the screen") << false;
    }
    void clickToConfirmCancels()
    {
        QFETCH(bool, onPanel);
        RadialSettings s = Fixture::enabled();
        s.confirmation = RadialConfirmation::onClick;
        Fixture f(s);
        QVERIFY(f.openByHolding());
        f.taps->input(wheel(-1));
        f.settle();
        f.release();
        QVERIFY(f.controller->gesture().isAwaitingClick());
        // A click on an item is recognised where the item stands.
        const QPointF item = f.controller->origin() + QPointF(f.controller->effectiveRadius(), 0);
        QVERIFY(f.controller->isOverAnItem(item));
        if (onPanel)
            f.controller->panel().onClick(std::nullopt);
        else
            f.monitors->postGlobal({.type = Platform::leftMouseDown, .location = {1400, 50}});
        QTRY_VERIFY(!f.controller->isRingShown());
        QVERIFY(f.launched.isEmpty());
        // The next click is whole.
        QVERIFY(!f.press());
        QVERIFY(!f.release());
        QTRY_COMPARE(f.replayed().size(), 2);
    }

    void newPressWhileAwaitingAClick()
    {
        RadialSettings s = Fixture::enabled();
        s.confirmation = RadialConfirmation::onClick;
        Fixture f(s);
        QVERIFY(f.openByHolding({100, 100}));
        f.release();
        QVERIFY(!f.press({500, 500}));
        QVERIFY(f.controller->gesture().isPending());
        QVERIFY(!f.release({500, 500}));
        QVERIFY(!f.controller->isRingShown());
        QTRY_COMPARE(f.replayed().size(), 2);
        QCOMPARE(f.replayed()[0].location, QPointF(500, 500));
    }

    void applyingWhileShownClosesTheRing()
    {
        Fixture f;
        QVERIFY(f.openByHolding());
        RadialSettings s = Fixture::enabled();
        s.radius = 150;
        f.controller->apply(s);
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(f.taps->input(wheel(1))); // the wheel is not kept any more
        QVERIFY(!f.release());            // the held button's release is still ours
        QVERIFY(f.replayed().isEmpty());
        f.controller->apply(s);
        QVERIFY(f.controller->isRunning()); // the same settings again: still one running tap
        QCOMPARE(f.taps->order().size(), 1);
    }

    void disablingStopsTheTap()
    {
        Fixture f;
        QVERIFY(f.openByHolding());
        f.controller->apply(RadialSettings());
        QVERIFY(!f.controller->isRunning());
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(f.taps->order().isEmpty());
        QVERIFY(f.taps->input(middle(Type::otherMouseUp, {})));
    }

    void startFailures()
    {
        Fixture f(RadialSettings{});
        QSignalSpy changed(f.controller.get(), &RadialMenuController::startFailureChanged);
        f.taps->setTrusted(false);
        f.controller->apply(Fixture::enabled());
        QCOMPARE(f.controller->startFailure(), MouseButtonTap::StartFailure::notPermitted);
        f.taps->setTrusted(true);
        f.taps->setRefusing(true);
        f.controller->apply(Fixture::enabled());
        QCOMPARE(f.controller->startFailure(), MouseButtonTap::StartFailure::unavailable);
        QVERIFY(!f.controller->isRunning());
        QVERIFY(f.taps->input(middle(Type::otherMouseDown, {}))); // nothing is taken without a tap
        f.taps->setRefusing(false);
        f.controller->apply(Fixture::enabled());
        QCOMPARE(f.controller->startFailure(), std::nullopt);
        QVERIFY(f.controller->isRunning());
        QCOMPARE(changed.size(), 3);
    }

    void noItemsNoRing()
    {
        RadialSettings s = Fixture::enabled();
        s.hasCancelItem = false;
        s.fillsFromRecentApps = false;
        Fixture f(s);
        f.press();
        f.advance(1);
        QTest::qWait(250);
        QVERIFY(!f.controller->isRingShown());
        QVERIFY(f.controller->gesture().isIdle());
        QVERIFY(f.release()); // tracking ended: the release goes to the application
    }

    void radialTapBeforeScrollTap()
    {
        Fixture f;
        QCOMPARE(f.taps->order().first(), MouseButtonTap::threadName);
    }

    void floodOfPressesNeverSticks()
    {
        Fixture f;
        for (int i = 0; i < 40; ++i) {
            f.taps->input(middle(Type::otherMouseDown, {100.0 + i, 100}));
            if (i % 3 == 0)
                f.taps->input(left());
            f.taps->input(middle(Type::otherMouseUp, {100.0 + i, 100}));
        }
        f.settle();
        QTRY_VERIFY(f.controller->gesture().isIdle());
        f.advance(1);
        QTest::qWait(250);
        QVERIFY(!f.controller->isRingShown());
        // Every click not cancelled by a left press is replayed once, whole.
        const auto r = f.replayed();
        QCOMPARE(r.size() % 2, 0);
        QCOMPARE(r.size(), 2 * (40 - 14));
        QVERIFY(f.taps->input(wheel(1)));
        f.controller.reset();
        QVERIFY(f.taps->order().isEmpty());
    }

    void viewLooks()
    {
        Fixture f;
        QVERIFY(f.openByHolding());
        f.frames(60);
        RadialMenuView view = f.controller->makeView();
        QVERIFY(view.presentation.isComplete());
        const auto looks = view.looks();
        QCOMPARE(looks.size(), 4);
        QCOMPARE(looks[0].emphasis, 1.0);
        QCOMPARE(looks[0].scale, 1.0);
        // Item 0 stands at the top: r points above the centre on screen.
        QCOMPARE(looks[0].centre, QPointF(view.centre.x(), view.height - view.centre.y() - view.radius));
        QVERIFY(looks[1].scale < 0.67);
        QVERIFY(!view.label()); // no choice yet
        view.showsLabel = true;
        QCOMPARE(*view.label(), QStringLiteral("Cancel"));
        view.selectedIndex = 1;
        QCOMPARE(*view.label(), QStringLiteral("Alpha"));
        view.selectedIndex = 9;
        QVERIFY(!view.label());
        QCOMPARE(view.itemAt(looks[2].centre), 2);
        QCOMPARE(view.itemAt(QPointF(view.centre.x(), view.height - view.centre.y())), std::nullopt);
        // A placement faded out is neither drawn nor clickable.
        view.placements[2].opacity = 0.01;
        QCOMPARE(view.looks().size(), 3);
        QCOMPARE(view.itemAt(looks[2].centre), std::nullopt);
    }
};

QTEST_MAIN(TestRadialMenuController)
#include "tst_RadialMenuController.moc"
