#include "ScrollCore/ScrollAnimator.h"
#include "ScrollCore/ScrollDecision.h"
#include "ScrollCore/ScrollEventPoster.h"
#include "ScrollCore/ScrollEventTap.h"
#include "Platform/Simulated/SimulatedEventTaps.h"
#include "ScrollFixture.h"

#include <QTest>

#include <cmath>
#include <limits>

using Platform::TapEvent;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}

class TestScrollDecision : public QObject {
    Q_OBJECT
private slots:
    void decide_data();
    void decide();
    void wheelEventFromTap_data();
    void wheelEventFromTap();
    void diagnostics();
    void animatorAdd_data();
    void animatorAdd();
    void animatorAdvance();
    void posterRemainder_data();
    void posterRemainder();
    void postedEventIsOursAndNotAWheel();
};

// The whole input space of the decision, in the order its tests run.
void TestScrollDecision::decide_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("app");       // empty: none known
    QTest::addColumn<quint64>("flags");
    QTest::addColumn<QList<double>>("event"); // lineY, lineX, pixelY, continuous, phase, momentum, ours
    QTest::addColumn<QString>("reason");      // empty: transform
    QTest::addColumn<QList<double>>("impulse"); // vertical, horizontal, animated

    const QList<double> wheel1{1, 0, 0, 0, 0, 0, 0};
    const QList<double> none;
    const quint64 cmd = TapEvent::commandMask, opt = TapEvent::optionMask, ctl = TapEvent::controlMask,
                  sft = TapEvent::shiftMask;

    QTest::newRow("ours even when off") << "off" << "" << quint64(0) << QList<double>{1, 0, 0, 0, 0, 0, 1} << "selfGenerated" << none;
    QTest::newRow("off") << "off" << "" << quint64(0) << wheel1 << "disabled" << none;
    QTest::newRow("empty touchpad event is empty") << "" << "" << quint64(0) << QList<double>{0, 0, 0, 1, 1, 0, 0} << "empty" << none;
    QTest::newRow("continuous") << "" << "" << quint64(0) << QList<double>{0, 0, 12, 1, 0, 0, 0} << "notAWheel" << none;
    QTest::newRow("scroll phase") << "" << "" << quint64(0) << QList<double>{1, 0, 0, 0, 1, 0, 0} << "notAWheel" << none;
    QTest::newRow("momentum phase") << "" << "" << quint64(0) << QList<double>{1, 0, 0, 0, 0, 2, 0} << "notAWheel" << none;
    QTest::newRow("app off") << "app=a.b.C:off" << "a.b.C" << quint64(0) << wheel1 << "disabledForApp" << none;
    QTest::newRow("app off, another app") << "app=a.b.C:off" << "a.b.D" << quint64(0) << wheel1 << "" << QList<double>{48, 0, 1};
    QTest::newRow("no app: global") << "app=a.b.C:off" << "" << quint64(0) << wheel1 << "" << QList<double>{48, 0, 1};
    QTest::newRow("passThrough held") << "shift=passThrough" << "" << sft << wheel1 << "modifierHeld" << none;
    QTest::newRow("passThrough beats dash") << "control=passThrough" << "" << (ctl | opt) << wheel1 << "modifierHeld" << none;
    QTest::newRow("windowsLike line") << "" << "" << quint64(0) << wheel1 << "" << QList<double>{48, 0, 1};
    QTest::newRow("smooth preset, down") << "smooth" << "" << quint64(0) << QList<double>{-2, 0, 0, 0, 0, 0, 0} << "" << QList<double>{-124, 0, 1};
    QTest::newRow("system preset: minimum step") << "system" << "" << quint64(0) << wheel1 << "" << QList<double>{10, 0, 1};
    QTest::newRow("pixel deltas are not used") << "" << "" << quint64(0) << QList<double>{1, 0, 999, 0, 0, 0, 0} << "" << QList<double>{48, 0, 1};
    QTest::newRow("nothing to change") << "vFlat" << "" << quint64(0) << wheel1 << "noAxisEnabled" << none;
    QTest::newRow("horizontal not smoothed") << "" << "" << quint64(0) << QList<double>{0, 1, 0, 0, 0, 0, 0} << "noAxisEnabled" << none;
    QTest::newRow("flat but reversed") << "vFlat vRev" << "" << quint64(0) << wheel1 << "" << QList<double>{-48, 0, 0};
    QTest::newRow("flat but faster") << "vFlat vSpeed=2" << "" << quint64(0) << wheel1 << "" << QList<double>{96, 0, 0};
    QTest::newRow("flat with dash") << "vFlat" << "" << opt << wheel1 << "" << QList<double>{144, 0, 0};
    QTest::newRow("dash then precise") << "command=precise" << "" << (cmd | opt) << wheel1 << "" << QList<double>{48 * 3.0 * 0.35, 0, 1};
    QTest::newRow("none held changes nothing") << "" << "" << cmd << wheel1 << "" << QList<double>{48, 0, 1};
    QTest::newRow("flip: vertical to horizontal") << "control=flipAxis hSpeed=0.5" << "" << ctl << QList<double>{2, 0, 0, 0, 0, 0, 0} << "" << QList<double>{0, 48, 0};
    QTest::newRow("flip, reversed horizontally") << "control=flipAxis hRev" << "" << ctl << QList<double>{2, 1, 0, 0, 0, 0, 0} << "" << QList<double>{0, -144, 0};
    QTest::newRow("flip onto a smoothed axis") << "control=flipAxis hSmooth" << "" << ctl << wheel1 << "" << QList<double>{0, 48, 1};
    QTest::newRow("speed 0 on the moving axis") << "vSpeed=0" << "" << quint64(0) << wheel1 << "empty" << none;
    QTest::newRow("custom app profile") << "app=a.b.C:custom smooth" << "a.b.C" << quint64(0) << wheel1 << "" << QList<double>{48, 0, 1};
    QTest::newRow("custom step clamped") << "step=1000" << "" << quint64(0) << wheel1 << "" << QList<double>{200, 0, 1};
    QTest::newRow("NaN lines") << "" << "" << quint64(0) << QList<double>{kNaN, 0, 0, 0, 0, 0, 0} << "empty" << none;
    QTest::newRow("infinite lines") << "" << "" << quint64(0) << QList<double>{kInf, 0, 0, 0, 0, 0, 0} << "empty" << none;
    QTest::newRow("huge lines are still a distance") << "" << "" << quint64(0) << QList<double>{1e12, 0, 0, 0, 0, 0, 0} << "" << QList<double>{48e12, 0, 1};
}

void TestScrollDecision::decide()
{
    QFETCH(QString, settings);
    QFETCH(QString, app);
    QFETCH(quint64, flags);
    QFETCH(QList<double>, event);
    QFETCH(QString, reason);
    QFETCH(QList<double>, impulse);
    const ScrollSettings s = scrollSettings(settings);
    const ScrollWheelEvent e(event[0], event[1], event[2], 0, event[3] != 0, qint64(event[4]), qint64(event[5]), event[6] != 0);
    const auto decision = ScrollPolicy::decide(e, s, app.isEmpty() ? nullptr : &app, ScrollModifierSet::active(flags));
    if (!reason.isEmpty()) {
        QVERIFY(decision.passThrough);
        QCOMPARE(toRaw(*decision.passThrough), reason);
        return;
    }
    QVERIFY(decision.isTransform());
    QCOMPARE(decision.impulse.vertical, impulse[0]);
    QCOMPARE(decision.impulse.horizontal, impulse[1]);
    QCOMPARE(decision.impulse.isAnimated, impulse[2] != 0);
}

void TestScrollDecision::wheelEventFromTap_data()
{
    QTest::addColumn<qint64>("userData");
    QTest::addColumn<bool>("ours");
    QTest::newRow("marker") << ScrollEventTap::ownershipMarker << true;
    QTest::newRow("zero") << qint64(0) << false;
    QTest::newRow("the radial menu's marker") << qint64(0x414D4252454C52) << false;
}

void TestScrollDecision::wheelEventFromTap()
{
    QFETCH(qint64, userData);
    QFETCH(bool, ours);
    TapEvent tap;
    tap.lineDeltaY = 3;
    tap.userData = userData;
    const ScrollWheelEvent e(tap, ScrollEventTap::ownershipMarker);
    QCOMPARE(e.isOurs, ours);
    QCOMPARE(e.lineDeltaY, 3.0);
    QCOMPARE(e.lineDeltaX, 0.0);
    QVERIFY(e.isFromWheel());
    QVERIFY(!e.isEmpty());
    QVERIFY(!ScrollWheelEvent(kNaN, 0, 0, 0, false, 0, 0, false).isEmpty());
}

void TestScrollDecision::diagnostics()
{
    ScrollDiagnostics d;
    QCOMPARE(d.summary(), QStringLiteral("transformed=0"));
    QVERIFY(!d.dominantReason());
    for (int i = 0; i < 5; ++i)
        d.record(ScrollDecision::passing(PassThroughReason::selfGenerated));
    QVERIFY(!d.dominantReason()); // our own events do not count
    for (int i = 0; i < 2; ++i)
        d.record(ScrollDecision::transform({1, 0, true}));
    for (int i = 0; i < 7; ++i)
        d.record(ScrollDecision::passing(PassThroughReason::notAWheel));
    d.record(ScrollDecision::passing(PassThroughReason::empty));
    QCOMPARE(d.dominantReason(), PassThroughReason::notAWheel);
    QCOMPARE(d.summary(), QStringLiteral("transformed=2 notAWheel=7 selfGenerated=5 empty=1"));
    QCOMPARE(fromRaw<PassThroughReason>(QStringLiteral("excludedApp")), PassThroughReason::excludedApp);
    QVERIFY(!fromRaw<PassThroughReason>(QStringLiteral("Empty")));
}

void TestScrollDecision::animatorAdd_data()
{
    QTest::addColumn<double>("owed");
    QTest::addColumn<double>("added");
    QTest::addColumn<double>("expected");
    QTest::newRow("same way") << 12.0 << 30.0 << 42.0;
    QTest::newRow("turning back drops the rest") << 12.0 << -30.0 << -30.0;
    QTest::newRow("turning forward") << -5.0 << 30.0 << 30.0;
    QTest::newRow("zero keeps it") << 12.0 << 0.0 << 12.0;
    QTest::newRow("NaN ignored") << 12.0 << kNaN << 12.0;
    QTest::newRow("infinity ignored") << 12.0 << kInf << 12.0;
}

void TestScrollDecision::animatorAdd()
{
    QFETCH(double, owed);
    QFETCH(double, added);
    QFETCH(double, expected);
    ScrollAnimator a(tuningOf(ScrollPreset::windowsLike));
    a.owedVertical = owed;
    a.owedHorizontal = owed;
    a.elapsed = 0.2;
    a.add({added, 0, true});
    QCOMPARE(a.owedVertical, expected);
    QCOMPARE(a.owedHorizontal, owed);
    QCOMPARE(a.elapsed, 0.0);
}

void TestScrollDecision::animatorAdvance()
{
    ScrollAnimator a(tuningOf(ScrollPreset::windowsLike));
    a.add({100, -100, true});
    auto frame = a.advance(1.0 / 60);
    QCOMPARE(frame.vertical, 28.0);
    QCOMPARE(frame.horizontal, -28.0);
    QCOMPARE(a.owedVertical, 72.0);
    // Frame-rate independent: two frames of 1/120 s pay what one of 1/60 s does.
    ScrollAnimator b(tuningOf(ScrollPreset::windowsLike));
    b.add({100, 0, true});
    const double paid = b.advance(1.0 / 120).vertical + b.advance(1.0 / 120).vertical;
    QVERIFY(std::abs(paid - 28.0) < 1e-9);
    // Past the duration the whole rest is paid.
    frame = a.advance(0.3);
    QCOMPARE(frame.vertical, 72.0);
    QVERIFY(a.isResting());
    // At rest: nothing, and crumbs are dropped.
    a.owedVertical = 0.09;
    a.owedHorizontal = -0.05;
    const double elapsed = a.elapsed;
    frame = a.advance(1.0 / 60);
    QCOMPARE(frame, (ScrollImpulse{0, 0, false}));
    QCOMPARE(a.owedVertical, 0.0);
    QCOMPARE(a.owedHorizontal, 0.0);
    QCOMPARE(a.elapsed, elapsed);
    // A rate that pays everything at once.
    ScrollAnimator c(ScrollTuning{10, 1.0, 1.5});
    c.add({5, 0, true});
    QCOMPARE(c.advance(1.0 / 144).vertical, 5.0);
    QVERIFY(c.isResting());
}

void TestScrollDecision::posterRemainder_data()
{
    QTest::addColumn<QList<double>>("posts");
    QTest::addColumn<QList<double>>("posted");
    QTest::addColumn<double>("left");
    QTest::newRow("fractions add up") << QList<double>{0.4, 0.4, 0.4} << QList<double>{1} << 0.2;
    QTest::newRow("negative truncates toward zero") << QList<double>{-1.5} << QList<double>{-1} << -0.5;
    QTest::newRow("beyond 32 bits saturates") << QList<double>{1e12} << QList<double>{2147483647} << 1e12 - 2147483647;
    QTest::newRow("below 32 bits saturates") << QList<double>{-1e12} << QList<double>{-2147483648.0} << -1e12 + 2147483648.0;
    QTest::newRow("NaN drops the remainder") << QList<double>{0.7, kNaN, 0.6} << QList<double>{} << 0.6;
    QTest::newRow("infinity drops the remainder") << QList<double>{kInf, 2.5} << QList<double>{2} << 0.5;
}

void TestScrollDecision::posterRemainder()
{
    QFETCH(QList<double>, posts);
    QFETCH(QList<double>, posted);
    QFETCH(double, left);
    auto taps = std::make_shared<Platform::SimulatedEventTaps>();
    taps->setSynchronous(true);
    ScrollEventPoster poster(taps);
    for (double p : posts)
        poster.post({p, 0, true}, 0);
    QList<double> out;
    for (const auto& e : taps->delivered())
        out << e.pixelDeltaY;
    QCOMPARE(out, posted);
    QVERIFY(std::abs(poster.remainder().first - left) < 1e-6);
    poster.reset();
    QCOMPARE(poster.remainder(), (std::pair<double, double>{0, 0}));
}

void TestScrollDecision::postedEventIsOursAndNotAWheel()
{
    auto taps = std::make_shared<Platform::SimulatedEventTaps>();
    taps->setSynchronous(true);
    ScrollEventPoster poster(taps);
    poster.post({3.5, -2.25, true}, TapEvent::shiftMask);
    QCOMPARE(taps->delivered().size(), 1);
    const TapEvent e = taps->delivered().front();
    QCOMPARE(e.type, TapEvent::Type::scrollWheel);
    QCOMPARE(e.pixelDeltaY, 3.0);
    QCOMPARE(e.pixelDeltaX, -2.0);
    QCOMPARE(e.lineDeltaY, 0.0);
    QCOMPARE(e.flags, TapEvent::shiftMask);
    const ScrollWheelEvent wheel(e, ScrollEventTap::ownershipMarker);
    QVERIFY(wheel.isOurs);
    QVERIFY(!wheel.isFromWheel());
}

QTEST_GUILESS_MAIN(TestScrollDecision)
#include "tst_ScrollDecision.moc"
