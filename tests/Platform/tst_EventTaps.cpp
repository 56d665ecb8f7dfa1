#include "Platform/Simulated/SimulatedEventTaps.h"
#include "Platform/TapChain.h"

#include <QDeadlineTimer>
#include <QSemaphore>
#include <QThread>
#include <QTest>

#include <atomic>
#include <thread>

using namespace Platform;
using Type = TapEvent::Type;
using Outcome = EventTaps::Outcome;

Q_DECLARE_METATYPE(EventTaps::Outcome)

namespace {

constexpr quint64 wheelMask = EventTaps::maskOf({Type::scrollWheel});
constexpr quint64 mouseMask = EventTaps::maskOf({Type::otherMouseDown, Type::otherMouseUp, Type::otherMouseDragged,
                                                 Type::scrollWheel, Type::leftMouseDown, Type::rightMouseDown});

TapEvent wheel(double lines, qint64 userData = 0)
{
    TapEvent event;
    event.type = Type::scrollWheel;
    event.lineDeltaY = lines;
    event.userData = userData;
    return event;
}

EventTaps::Options options(const QString& name, EventTaps::Precedence precedence, quint64 mask = wheelMask,
                           EventTaps::Location location = EventTaps::Location::session)
{
    return {.threadName = name, .location = location, .precedence = precedence, .mask = mask};
}

// What one tap saw, from its own thread.
struct Seen {
    std::mutex mutex;
    QList<TapEvent> events;
    QStringList threads;
    void add(const TapEvent& event)
    {
        std::lock_guard lock(mutex);
        events << event;
        threads << TapChain::currentTapName();
    }
    QList<TapEvent> all()
    {
        std::lock_guard lock(mutex);
        return events;
    }
};

} // namespace

class TestEventTaps : public QObject {
    Q_OBJECT
private slots:
    void chainOrder_data();
    void chainOrder();
    void outcomes_data();
    void outcomes();
    void handlersRunOnTheirThreads_data();
    void handlersRunOnTheirThreads();
    void synchronousHandlersRunWhereTheirEventCameFrom();
    void masksAndLocations();
    void postsFromAHandlerComeBackMarked();
    void refusedStarts_data();
    void refusedStarts();
    void disabledTapIsToldAndSkipped();
    void removalWaitsForTheHandlerInFlight();
};

// Each letter creates a tap: r radial menu, s smooth scrolling, h a hid-level scroll tap.
void TestEventTaps::chainOrder_data()
{
    QTest::addColumn<QString>("created");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("radial first") << "rs" << QStringList{"r1", "s2"};
    QTest::newRow("scroll switched on after the radial menu") << "sr" << QStringList{"r2", "s1"};
    QTest::newRow("equals: newest first") << "ss" << QStringList{"s2", "s1"};
    QTest::newRow("scroll restarted around a radial tap") << "srs" << QStringList{"r2", "s3", "s1"};
    QTest::newRow("hid before session") << "rh" << QStringList{"h2", "r1"};
}

void TestEventTaps::chainOrder()
{
    QFETCH(QString, created);
    QFETCH(QStringList, expected);
    SimulatedEventTaps taps;
    std::vector<std::unique_ptr<EventTaps::Tap>> held;
    std::mutex mutex;
    QStringList seen;
    int n = 0;
    for (QChar c : created) {
        const QString name = QString(c) + QString::number(++n);
        const auto precedence = c == u'r' ? EventTaps::Precedence::radialMenu : EventTaps::Precedence::smoothScrolling;
        const auto location = c == u'h' ? EventTaps::Location::hid : EventTaps::Location::session;
        auto tap = taps.createTap(options(name, precedence, wheelMask, location), [&, name](TapEvent&) {
            std::lock_guard lock(mutex);
            seen << name;
            return Outcome::pass;
        });
        QVERIFY(tap.has_value());
        held.push_back(std::move(*tap));
    }
    QVERIFY(taps.input(wheel(1)));
    QCOMPARE(taps.order(), expected);
    QCOMPARE(seen, expected);
}

void TestEventTaps::outcomes_data()
{
    QTest::addColumn<Outcome>("first");
    QTest::addColumn<bool>("secondSees");
    QTest::addColumn<double>("deliveredLines"); // 0: nothing delivered
    QTest::newRow("pass") << Outcome::pass << true << 3.0;
    QTest::newRow("replace") << Outcome::replace << true << 7.0;
    QTest::newRow("swallow") << Outcome::swallow << false << 0.0;
}

void TestEventTaps::outcomes()
{
    QFETCH(Outcome, first);
    QFETCH(bool, secondSees);
    QFETCH(double, deliveredLines);
    SimulatedEventTaps taps;
    Seen second;
    auto a = taps.createTap(options("first", EventTaps::Precedence::radialMenu), [&](TapEvent& event) {
        event.lineDeltaY = 7; // ignored unless replacing
        return first;
    });
    auto b = taps.createTap(options("second", EventTaps::Precedence::smoothScrolling), [&](TapEvent& event) {
        second.add(event);
        return Outcome::pass;
    });
    QVERIFY(a && b);
    QCOMPARE(taps.input(wheel(3)), deliveredLines != 0);
    QCOMPARE(second.all().size(), secondSees ? 1 : 0);
    if (secondSees)
        QCOMPARE(second.all().front().lineDeltaY, deliveredLines);
    const auto delivered = taps.delivered();
    QCOMPARE(delivered.size(), deliveredLines != 0 ? 1 : 0);
    if (!delivered.isEmpty())
        QCOMPARE(delivered.front().lineDeltaY, deliveredLines);
}

void TestEventTaps::handlersRunOnTheirThreads_data()
{
    QTest::addColumn<bool>("synchronous");
    QTest::newRow("threads") << false;
    QTest::newRow("synchronous") << true;
}

void TestEventTaps::handlersRunOnTheirThreads()
{
    QFETCH(bool, synchronous);
    SimulatedEventTaps taps;
    taps.setSynchronous(synchronous);
    std::atomic<std::thread::id> handlerThread;
    Seen seen;
    auto tap = taps.createTap(options("com.corvish.scroll-tap", EventTaps::Precedence::smoothScrolling),
                              [&](TapEvent& event) {
                                  handlerThread = std::this_thread::get_id();
                                  seen.add(event);
                                  return Outcome::pass;
                              });
    QVERIFY(tap);
    QVERIFY(taps.input(wheel(1)));
    QCOMPARE(handlerThread.load() == std::this_thread::get_id(), synchronous);
    QCOMPARE(seen.threads, QStringList{"com.corvish.scroll-tap"});
    QCOMPARE(TapChain::currentTapName(), QString());
}

// The scroll engine posts its frames from a clock thread while the user's input comes in on the
// main thread; in synchronous mode each event is still handled on the thread that put it in (a
// handler run elsewhere would ask the main thread, blocked in input(), for the window list).
void TestEventTaps::synchronousHandlersRunWhereTheirEventCameFrom()
{
    constexpr qint64 fromMain = 1, fromClock = 2;
    SimulatedEventTaps taps;
    taps.setSynchronous(true);
    const std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<int> mainEventsElsewhere = 0, clockEventsElsewhere = 0, clockEvents = 0;
    std::thread::id clockThread;
    auto tap = taps.createTap(options("scroll", EventTaps::Precedence::smoothScrolling), [&](TapEvent& event) {
        const std::thread::id here = std::this_thread::get_id();
        if (event.userData == fromMain && here != mainThread)
            ++mainEventsElsewhere;
        if (event.userData == fromClock) {
            if (here != clockThread)
                ++clockEventsElsewhere;
            ++clockEvents;
            // A handler that takes its time keeps the clock thread in the chain, so the main
            // thread's events arrive while it is there.
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        return Outcome::pass;
    });
    QVERIFY(tap);
    std::atomic<bool> stop = false;
    QSemaphore clockRunning;
    std::thread clock([&] {
        clockThread = std::this_thread::get_id();
        clockRunning.release();
        while (!stop)
            taps.post(wheel(1, fromClock), EventTaps::Location::session);
    });
    clockRunning.acquire();
    // Until both threads have put in many events, however the machine schedules them.
    const QDeadlineTimer patience(30'000);
    int inputs = 0;
    while ((inputs < 500 || clockEvents < 200) && !patience.hasExpired()) {
        QVERIFY(taps.input(wheel(1, fromMain)));
        ++inputs;
    }
    stop = true;
    clock.join();
    QVERIFY(clockEvents >= 200);
    QCOMPARE(mainEventsElsewhere.load(), 0);
    QCOMPARE(clockEventsElsewhere.load(), 0);
}

void TestEventTaps::masksAndLocations()
{
    SimulatedEventTaps taps;
    Seen hidTap, wheelOnly, buttons;
    auto h = taps.createTap(options("hid", EventTaps::Precedence::smoothScrolling, wheelMask, EventTaps::Location::hid),
                            [&](TapEvent& e) { hidTap.add(e); return Outcome::pass; });
    auto w = taps.createTap(options("wheel", EventTaps::Precedence::smoothScrolling),
                            [&](TapEvent& e) { wheelOnly.add(e); return Outcome::pass; });
    auto m = taps.createTap(options("mouse", EventTaps::Precedence::radialMenu, mouseMask),
                            [&](TapEvent& e) { buttons.add(e); return Outcome::pass; });
    QVERIFY(h && w && m);

    TapEvent middle;
    middle.type = Type::otherMouseDown;
    middle.button = 2;
    QVERIFY(taps.input(middle));
    QVERIFY(taps.input(wheel(1)));
    taps.post(wheel(2, 42), EventTaps::Location::session); // not seen at hid
    taps.post(wheel(3, 43), EventTaps::Location::hid);
    QVERIFY(taps.waitUntilIdle());

    QCOMPARE(hidTap.all().size(), 2);
    QCOMPARE(hidTap.all().at(1).userData, 43);
    QCOMPARE(wheelOnly.all().size(), 3);
    QCOMPARE(buttons.all().size(), 4);
    QCOMPARE(buttons.all().front().type, Type::otherMouseDown);
    QCOMPARE(taps.delivered().size(), 4);
    QCOMPARE(taps.posted(), 2);
}

// The scroll engine swallows a wheel step and posts its replacement from the handler; the post
// must not wait for the chain (that would deadlock the tap's own thread) and must come back
// through the tap with its marker so that the tap lets it go.
void TestEventTaps::postsFromAHandlerComeBackMarked()
{
    constexpr qint64 marker = 0x414D4252454C;
    SimulatedEventTaps taps;
    Seen seen;
    auto tap = taps.createTap(options("scroll", EventTaps::Precedence::smoothScrolling), [&](TapEvent& event) {
        seen.add(event);
        if (event.userData == marker)
            return Outcome::pass;
        TapEvent pixels = event;
        pixels.lineDeltaY = 0;
        pixels.pixelDeltaY = event.lineDeltaY * 48;
        pixels.isContinuous = true;
        pixels.userData = marker;
        taps.post(pixels, EventTaps::Location::session);
        return Outcome::swallow;
    });
    QVERIFY(tap);
    QVERIFY(!taps.input(wheel(1)));
    QVERIFY(taps.waitUntilIdle());
    const auto delivered = taps.delivered();
    QCOMPARE(delivered.size(), 1);
    QCOMPARE(delivered.front().pixelDeltaY, 48.0);
    QCOMPARE(delivered.front().userData, marker);
    QCOMPARE(seen.all().size(), 2);
}

void TestEventTaps::refusedStarts_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<bool>("refusing");
    QTest::addColumn<int>("failure"); // -1: started
    QTest::newRow("trusted") << true << false << -1;
    QTest::newRow("not trusted") << false << false << int(EventTaps::StartFailure::notPermitted);
    QTest::newRow("refused") << true << true << int(EventTaps::StartFailure::unavailable);
    QTest::newRow("trust is asked first") << false << true << int(EventTaps::StartFailure::notPermitted);
}

void TestEventTaps::refusedStarts()
{
    QFETCH(bool, trusted);
    QFETCH(bool, refusing);
    QFETCH(int, failure);
    SimulatedEventTaps taps;
    taps.setTrusted(trusted);
    taps.setRefusing(refusing);
    auto tap = taps.createTap(options("t", EventTaps::Precedence::smoothScrolling), [](TapEvent&) {
        return Outcome::swallow;
    });
    QCOMPARE(tap.has_value() ? -1 : int(tap.error()), failure);
    QCOMPARE(taps.limitation().isEmpty(), failure == -1);
    // A refused tap takes no part in the chain.
    QCOMPARE(taps.input(wheel(1)), failure != -1);
}

void TestEventTaps::disabledTapIsToldAndSkipped()
{
    SimulatedEventTaps taps;
    Seen seen;
    std::atomic<bool> reenable = false;
    EventTaps::Tap* self = nullptr;
    auto tap = taps.createTap(options("t", EventTaps::Precedence::smoothScrolling), [&](TapEvent& event) {
        seen.add(event);
        if (event.type == Type::tapDisabledByTimeout && reenable)
            self->setEnabled(true);
        return Outcome::swallow;
    });
    QVERIFY(tap);
    self = tap->get();
    taps.disable(self);
    QCOMPARE(seen.all().size(), 1);
    QCOMPARE(seen.all().front().type, Type::tapDisabledByTimeout);
    QCOMPARE(seen.threads.front(), QStringLiteral("t"));
    QVERIFY(!self->isEnabled());
    QVERIFY(taps.input(wheel(1))); // skipped while disabled
    QCOMPARE(seen.all().size(), 1);

    reenable = true;
    taps.disable(self, Type::tapDisabledByUserInput);
    QVERIFY(!self->isEnabled()); // a user-input notice is not the handler's cue here
    taps.disable(self);
    QVERIFY(self->isEnabled());
    QVERIFY(!taps.input(wheel(1)));
}

void TestEventTaps::removalWaitsForTheHandlerInFlight()
{
    SimulatedEventTaps taps;
    QSemaphore entered, release;
    std::atomic<int> calls = 0;
    std::atomic<bool> removed = false;
    std::atomic<bool> removedBeforeAnswer = false;
    auto tap = taps.createTap(options("slow", EventTaps::Precedence::smoothScrolling), [&](TapEvent&) {
        ++calls;
        entered.release();
        release.acquire();
        removedBeforeAnswer = removed.load();
        return Outcome::swallow;
    });
    QVERIFY(tap);
    taps.post(wheel(1), EventTaps::Location::session);
    QVERIFY(entered.tryAcquire(1, 5000));
    std::thread remover([&] {
        tap->reset();
        removed = true;
    });
    // Time for the remover to get in; it must then wait for the handler's answer.
    QThread::msleep(20);
    release.release();
    remover.join();
    QVERIFY(!removedBeforeAnswer);
    taps.post(wheel(2), EventTaps::Location::session);
    QVERIFY(taps.waitUntilIdle());
    QCOMPARE(calls.load(), 1);
    QCOMPARE(taps.delivered().size(), 1);
    QCOMPARE(taps.delivered().front().lineDeltaY, 2.0);
}

QTEST_GUILESS_MAIN(TestEventTaps)
#include "tst_EventTaps.moc"
