#include "Platform/Simulated/SimulatedEventTaps.h"
#include "ScrollCore/ScrollEngine.h"
#include "ScrollFixture.h"

#include <QTest>

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

using Platform::EventTaps;
using Platform::SimulatedEventTaps;
using Platform::TapEvent;

Q_DECLARE_METATYPE(Platform::TapEvent)

namespace {

TapEvent wheel(double lines, quint64 flags = 0, QPointF at = {100, 100})
{
    TapEvent e;
    e.type = TapEvent::Type::scrollWheel;
    e.lineDeltaY = lines;
    e.flags = flags;
    e.location = at;
    return e;
}

double totalPixels(const QList<TapEvent>& events)
{
    double sum = 0;
    for (const auto& e : events)
        sum += e.pixelDeltaY;
    return sum;
}

// An engine on the simulated chain, its clock and application lookup under the test's hand.
struct Rig {
    std::shared_ptr<SimulatedEventTaps> taps = std::make_shared<SimulatedEventTaps>();
    std::atomic<double> now = 1000;
    std::atomic<int> lookups = 0;
    std::mutex mutex;
    std::optional<QString> under;
    std::unique_ptr<ScrollEngine> engine;

    explicit Rig(bool steppedFrames = true, QList<double> rates = {60})
    {
        ScrollEngine::Environment env;
        env.taps = taps;
        env.applicationUnder = [this](QPointF) {
            ++lookups;
            std::lock_guard lock(mutex);
            return under;
        };
        env.refreshRates = [rates] { return rates; };
        if (steppedFrames)
            env.now = [this] { return now.load(); };
        env.steppedFrames = steppedFrames;
        engine = std::make_unique<ScrollEngine>(env, ScrollSettings::defaults());
    }
    void setUnder(std::optional<QString> app)
    {
        std::lock_guard lock(mutex);
        under = std::move(app);
    }
    // Steps frames of 1/60 s until the animator rests.
    int runFrames()
    {
        int frames = 0;
        while (frames < 1000) {
            now = now + 1.0 / 60;
            ++frames;
            if (!engine->tick(now))
                break;
        }
        taps->waitUntilIdle();
        return frames;
    }
};

} // namespace

class TestScrollEngine : public QObject {
    Q_OBJECT
private slots:
    void enablingTwiceInstallsOneTap();
    void startFailures_data();
    void startFailures();
    void wheelStepBecomesFramesOfItsDistance();
    void passThroughReachesTheApplicationUnchanged_data();
    void passThroughReachesTheApplicationUnchanged();
    void notAnimatedIsPostedAtOnce();
    void postedFlagsLoseBoundModifiers();
    void changingApplicationDropsWhatWasOwed();
    void lateFrameIsClamped();
    void frameInterval_data();
    void frameInterval();
    void radialTapStaysInFront();
    void lookupIsCachedNearby();
    void floodThenStopLeavesNothingBehind();
    void aLateFrameSkipsToTheNextBeat();
    void lostPostingLetsTheWheelThrough();
};

void TestScrollEngine::enablingTwiceInstallsOneTap()
{
    Rig rig;
    rig.engine->apply(scrollSettings(""));
    rig.engine->apply(scrollSettings("smooth"));
    QVERIFY(rig.engine->isRunning());
    QCOMPARE(rig.taps->order(), QStringList{ScrollEventTap::threadName});
    rig.engine->apply(scrollSettings("off"));
    QVERIFY(!rig.engine->isRunning());
    QVERIFY(rig.taps->order().isEmpty());
    rig.engine->apply(scrollSettings("off"));
    rig.engine->stop();
    QVERIFY(!rig.engine->isRunning());
}

void TestScrollEngine::startFailures_data()
{
    QTest::addColumn<QString>("knob");
    QTest::addColumn<int>("failure");
    QTest::newRow("not trusted") << "trust" << int(EventTaps::StartFailure::notPermitted);
    QTest::newRow("refused") << "refuse" << int(EventTaps::StartFailure::unavailable);
    QTest::newRow("no pixel scrolling") << "pixels" << int(EventTaps::StartFailure::unavailable);
}

void TestScrollEngine::startFailures()
{
    QFETCH(QString, knob);
    QFETCH(int, failure);
    Rig rig;
    rig.taps->setTrusted(knob != u"trust");
    rig.taps->setRefusing(knob == u"refuse");
    rig.taps->setPixelScrolling(knob != u"pixels");
    PrivacyLog::Capture log;
    rig.engine->apply(scrollSettings(""));
    QVERIFY(!rig.engine->isRunning());
    QCOMPARE(int(*rig.engine->startFailure()), failure);
    QVERIFY(log.contains(QStringLiteral("Smooth scrolling could not start: ") + toRaw(*rig.engine->startFailure())));
    QVERIFY(rig.taps->order().isEmpty()); // nothing half-on
    QVERIFY(rig.taps->input(wheel(1)));   // the wheel is untouched

    rig.taps->setTrusted(true);
    rig.taps->setRefusing(false);
    rig.taps->setPixelScrolling(true);
    rig.engine->apply(scrollSettings(""));
    QVERIFY(rig.engine->isRunning());
    QVERIFY(!rig.engine->startFailure());
}

void TestScrollEngine::wheelStepBecomesFramesOfItsDistance()
{
    Rig rig(false); // the real frame clock
    rig.engine->apply(scrollSettings(""));
    QVERIFY(!rig.taps->input(wheel(1)));
    QTRY_VERIFY(!rig.engine->isAnimating());
    QVERIFY(rig.taps->waitUntilIdle());
    const auto delivered = rig.taps->delivered();
    QVERIFY(delivered.size() > 3); // paid out over frames, not in one go
    const double total = totalPixels(delivered);
    QVERIFY2(total >= 47 && total <= 48, qPrintable(QString::number(total)));
    for (const auto& e : delivered) {
        QCOMPARE(e.userData, ScrollEventTap::ownershipMarker);
        QVERIFY(e.isContinuous);
        QCOMPARE(e.lineDeltaY, 0.0);
    }
    // Every post came back through the tap and went by as our own.
    const auto d = rig.engine->diagnostics();
    QCOMPARE(d.transformed, 1);
    QCOMPARE(d.passed.value(PassThroughReason::selfGenerated), delivered.size());
}

void TestScrollEngine::passThroughReachesTheApplicationUnchanged_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("app");
    QTest::addColumn<TapEvent>("event");
    TapEvent trackpad = wheel(0);
    trackpad.pixelDeltaY = 7;
    trackpad.isContinuous = true;
    trackpad.scrollPhase = 1;
    QTest::newRow("trackpad") << "" << "" << trackpad;
    QTest::newRow("application off") << "app=org.example.Game:off" << "org.example.Game" << wheel(2);
    QTest::newRow("modifier bound to pass through") << "shift=passThrough" << "" << wheel(1, TapEvent::shiftMask);
    QTest::newRow("nothing to change") << "vFlat" << "" << wheel(-1);
    TapEvent notANumber = wheel(std::numeric_limits<double>::quiet_NaN());
    QTest::newRow("not a number") << "" << "" << notANumber;
}

void TestScrollEngine::passThroughReachesTheApplicationUnchanged()
{
    QFETCH(QString, settings);
    QFETCH(QString, app);
    QFETCH(TapEvent, event);
    Rig rig;
    if (!app.isEmpty())
        rig.setUnder(app);
    rig.engine->apply(scrollSettings(settings));
    QVERIFY(rig.taps->input(event));
    QVERIFY(rig.taps->waitUntilIdle());
    const auto delivered = rig.taps->delivered();
    QCOMPARE(delivered.size(), 1);
    const TapEvent& got = delivered.front();
    // Field by field, so that a NaN delta compares as being the same NaN.
    QCOMPARE(got.type, event.type);
    QCOMPARE(got.flags, event.flags);
    QCOMPARE(std::isnan(got.lineDeltaY), std::isnan(event.lineDeltaY));
    if (!std::isnan(event.lineDeltaY))
        QCOMPARE(got.lineDeltaY, event.lineDeltaY);
    QCOMPARE(got.pixelDeltaY, event.pixelDeltaY);
    QCOMPARE(got.userData, event.userData);
    QVERIFY(!rig.engine->isAnimating());
}

void TestScrollEngine::notAnimatedIsPostedAtOnce()
{
    Rig rig(false);
    rig.engine->apply(scrollSettings("vFlat vSpeed=2"));
    QVERIFY(!rig.taps->input(wheel(1)));
    // Posted by the handler before it answered, without the frame clock.
    QCOMPARE(rig.taps->posted(), 1);
    QVERIFY(!rig.engine->isAnimating());
    QVERIFY(rig.taps->waitUntilIdle());
    QCOMPARE(rig.taps->delivered().size(), 1);
    QCOMPARE(rig.taps->delivered().front().pixelDeltaY, 96.0);
}

void TestScrollEngine::postedFlagsLoseBoundModifiers()
{
    Rig rig;
    rig.engine->apply(scrollSettings("vFlat"));
    const quint64 held = TapEvent::optionMask | TapEvent::commandMask | 0x1; // dash, none, another bit
    QVERIFY(!rig.taps->input(wheel(1, held)));
    QVERIFY(rig.taps->waitUntilIdle());
    QCOMPARE(rig.taps->delivered().size(), 1);
    QCOMPARE(rig.taps->delivered().front().flags, TapEvent::commandMask | 0x1);
    QCOMPARE(rig.taps->delivered().front().pixelDeltaY, 144.0);
}

void TestScrollEngine::changingApplicationDropsWhatWasOwed()
{
    Rig rig;
    rig.setUnder(QStringLiteral("org.example.A"));
    rig.engine->apply(scrollSettings("app=org.example.B:custom smooth"));
    QVERIFY(!rig.taps->input(wheel(10))); // 620 px owed in A, on the global smooth profile
    rig.now = rig.now + 1.0 / 60;
    rig.engine->tick(rig.now);
    QVERIFY(rig.taps->waitUntilIdle());
    const double paidInA = totalPixels(rig.taps->delivered());
    QVERIFY(paidInA > 0 && paidInA < 620);
    rig.taps->clearDelivered();

    rig.setUnder(QStringLiteral("org.example.B"));
    rig.now = rig.now + 1.0; // past the lookup cache
    QVERIFY(!rig.taps->input(wheel(1)));
    const int frames = rig.runFrames();
    const double paidInB = totalPixels(rig.taps->delivered());
    QVERIFY2(paidInB >= 47 && paidInB <= 48, qPrintable(QString::number(paidInB)));
    // B runs on its own tuning (windowsLike, copied before the global profile became smooth):
    // everything is paid within its 0.24 s.
    QVERIFY2(frames <= 16, qPrintable(QString::number(frames)));
}

void TestScrollEngine::lateFrameIsClamped()
{
    Rig rig;
    rig.engine->apply(scrollSettings(""));
    QVERIFY(!rig.taps->input(wheel(1)));
    // Five seconds late counts as 0.1 s: the ease-out pays 48 * (1 - 0.72^6), not the whole step.
    rig.now = rig.now + 5;
    QVERIFY(rig.engine->tick(rig.now));
    QVERIFY(rig.taps->waitUntilIdle());
    QCOMPARE(totalPixels(rig.taps->delivered()), std::trunc(48 * (1 - std::pow(0.72, 6))));
}

void TestScrollEngine::frameInterval_data()
{
    QTest::addColumn<QList<double>>("rates");
    QTest::addColumn<double>("interval");
    QTest::newRow("no screen") << QList<double>{} << 1.0 / 60;
    QTest::newRow("60 Hz") << QList<double>{60, 59.94} << 1.0 / 60;
    QTest::newRow("unknown rate") << QList<double>{0} << 1.0 / 60;
    QTest::newRow("60 and 144 Hz") << QList<double>{60, 144} << 1.0 / 144;
    QTest::newRow("61 Hz") << QList<double>{61} << 1.0 / 61;
    QTest::newRow("not a number") << QList<double>{std::numeric_limits<double>::quiet_NaN(), 75} << 1.0 / 75;
}

void TestScrollEngine::frameInterval()
{
    QFETCH(QList<double>, rates);
    QFETCH(double, interval);
    QCOMPARE(ScrollEngine::frameInterval(rates), interval);
}

// An open ring takes the wheel; smooth scrolling switched on afterwards must not get in front.
void TestScrollEngine::radialTapStaysInFront()
{
    Rig rig;
    std::atomic<int> ringSteps = 0;
    auto ring = rig.taps->createTap({.threadName = QStringLiteral("com.corvish.mouse-tap"),
                                     .precedence = EventTaps::Precedence::radialMenu,
                                     .mask = EventTaps::maskOf({TapEvent::Type::scrollWheel, TapEvent::Type::otherMouseDown})},
                                    [&](TapEvent&) {
                                        ++ringSteps;
                                        return EventTaps::Outcome::swallow;
                                    });
    QVERIFY(ring);
    rig.engine->apply(scrollSettings(""));
    QVERIFY(!rig.taps->input(wheel(1)));
    QVERIFY(rig.taps->waitUntilIdle());
    QCOMPARE(ringSteps.load(), 1);
    QCOMPARE(rig.engine->diagnostics(), ScrollDiagnostics{});
    QVERIFY(rig.taps->delivered().isEmpty());
    QCOMPARE(rig.taps->order(), (QStringList{"com.corvish.mouse-tap", ScrollEventTap::threadName}));
}

void TestScrollEngine::lookupIsCachedNearby()
{
    Rig rig;
    rig.setUnder(QStringLiteral("org.example.A"));
    rig.engine->apply(scrollSettings("vFlat vSpeed=2"));
    auto step = [&](double dt, QPointF at) {
        rig.now = rig.now + dt;
        rig.taps->input(wheel(1, 0, at));
    };
    step(0, {100, 100});
    step(0.1, {105, 95});
    QCOMPARE(rig.lookups.load(), 1);
    step(0.05, {114, 95}); // 9 points away
    QCOMPARE(rig.lookups.load(), 2);
    step(0.25, {114, 95}); // later than 0.2 s
    QCOMPARE(rig.lookups.load(), 3);
    // A lookup that found nothing is not served from the cache.
    rig.setUnder(std::nullopt);
    step(0.3, {114, 95});
    step(0.01, {114, 95});
    QCOMPARE(rig.lookups.load(), 5);
}

void TestScrollEngine::floodThenStopLeavesNothingBehind()
{
    Rig rig(false, {144});
    rig.engine->apply(scrollSettings("smooth"));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < 300; ++i) {
        rig.taps->post(wheel(i % 7 == 0 ? nan : (i % 2 ? 3 : -2)), EventTaps::Location::hid);
        if (i % 50 == 0)
            rig.taps->post(wheel(1e15), EventTaps::Location::hid);
    }
    QTRY_VERIFY(rig.taps->posted() > 306 + 10); // frames are being posted beside the flood
    rig.engine->stop();
    const int postedAtStop = rig.taps->posted();
    QVERIFY(!rig.engine->isAnimating());
    QVERIFY(rig.taps->waitUntilIdle());
    // Whatever was still on its way passes through untouched now; nothing new is posted.
    QCOMPARE(rig.taps->posted(), postedAtStop);
    QVERIFY(rig.taps->order().isEmpty());
    rig.taps->clearDelivered();
    QVERIFY(rig.taps->input(wheel(1)));
    QCOMPARE(rig.taps->posted(), postedAtStop);
}

void TestScrollEngine::aLateFrameSkipsToTheNextBeat()
{
    // The first frame overruns by one and a half intervals: the next comes on the beat after it,
    // not at once (a frame right behind a late one moves nothing on screen).
    constexpr double interval = 0.1;
    std::mutex mutex;
    std::vector<double> starts;
    FrameClock clock([&](double now) {
        std::lock_guard lock(mutex);
        starts.push_back(now);
        if (starts.size() == 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        return starts.size() < 3;
    });
    clock.start(interval);
    QTRY_VERIFY_WITH_TIMEOUT(!clock.isRunning(), 10000);
    std::lock_guard lock(mutex);
    QCOMPARE(starts.size(), size_t(3));
    QVERIFY2(starts[1] - starts[0] >= 3 * interval - 0.005, qPrintable(QString::number(starts[1] - starts[0])));
    QVERIFY(starts[2] - starts[1] >= interval - 0.005);
}

void TestScrollEngine::lostPostingLetsTheWheelThrough()
{
    // The device that posts pixel scrolls goes away while smooth scrolling runs.
    std::atomic<int> told = 0;
    auto taps = std::make_shared<SimulatedEventTaps>();
    ScrollEngine::Environment env;
    env.taps = taps;
    env.steppedFrames = true;
    env.postingLost = [&] { ++told; };
    ScrollEngine engine(env, ScrollSettings::defaults());
    engine.apply(scrollSettings(""));
    QVERIFY(engine.isRunning());
    QVERIFY(!taps->input(wheel(1)));
    taps->setPixelScrolling(false);
    const TapEvent step = wheel(1);
    for (int i = 0; i < 3; ++i)
        QVERIFY(taps->input(step)); // the user's wheel keeps working, untouched
    QCOMPARE(told.load(), 1);       // told once
    engine.postingLost();           // the owner's answer, on its thread
    QVERIFY(!engine.isRunning());
    QCOMPARE(engine.startFailure(), std::optional(EventTaps::StartFailure::unavailable));
    QVERIFY(taps->order().isEmpty());
    // Switched on again once posting works: runs, and would tell again.
    taps->setPixelScrolling(true);
    engine.apply(scrollSettings(""));
    QVERIFY(engine.isRunning());
    QVERIFY(!engine.startFailure());
    taps->setPixelScrolling(false);
    QVERIFY(taps->input(step));
    QCOMPARE(told.load(), 2);
}

QTEST_GUILESS_MAIN(TestScrollEngine)
#include "tst_ScrollEngine.moc"
