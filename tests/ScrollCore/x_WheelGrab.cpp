// On a real X server (run by tests/XSession/x-session): the wheel grab passes and swallows as its
// tap decides, seen by an X client that counts the wheel presses it receives; and smooth scrolling
// without a writable /dev/uinput reports itself unavailable and leaves the wheel alone.

#include "Platform/Desktop/DesktopEventTaps.h"
#include "Platform/Desktop/UinputScroller.h"
#include "ScrollCore/ScrollEngine.h"

#include <QElapsedTimer>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <atomic>
#include <mutex>

#include <poll.h>

using Platform::DesktopEventTaps;
using Platform::EventTaps;
using Platform::TapEvent;

namespace {

// A mapped window under the pointer that counts the wheel buttons pressed on it.
class WheelCounter {
public:
    WheelCounter()
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return;
        const int screen = DefaultScreen(m_display);
        // Placed where it is asked to be, without the window manager's say: a wheel that missed it
        // would reach the desktop, where the window manager switches workspaces.
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = WhitePixel(m_display, screen);
        attributes.event_mask = ButtonPressMask | StructureNotifyMask;
        m_window = XCreateWindow(m_display, RootWindow(m_display, screen), 100, 100, 300, 300, 0, CopyFromParent,
                                 InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask,
                                 &attributes);
        XMapWindow(m_display, m_window);
        XFlush(m_display);
    }
    ~WheelCounter()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool isOpen() const { return m_display != nullptr; }

    // Waits until the condition holds on the counts, reading events as they come.
    bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            while (XPending(m_display)) {
                XEvent e;
                XNextEvent(m_display, &e);
                if (e.type == MapNotify)
                    mapped = true;
                if (e.type == ButtonPress && e.xbutton.button >= 4 && e.xbutton.button <= 7)
                    ++presses[e.xbutton.button];
            }
            if (condition())
                return true;
            const qint64 left = timeoutMs - timer.elapsed();
            if (left <= 0)
                return false;
            pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
            ::poll(&fd, 1, int(std::min<qint64>(left, 100)));
        }
    }

    // Reads every event the server sent before now: what the last case left on its way.
    void settle()
    {
        XSync(m_display, False);
        waitFor([] { return true; }, 0);
    }

    bool mapped = false;
    int presses[8] = {};

private:
    Display* m_display = nullptr;
    Window m_window = 0;
};

// The user's hand: XTest presses from a connection of its own.
class Hand {
public:
    Hand() : m_display(XOpenDisplay(nullptr)) {}
    ~Hand()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    void moveTo(int x, int y)
    {
        XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
        XSync(m_display, False);
    }
    void wheel(int button)
    {
        XTestFakeButtonEvent(m_display, unsigned(button), True, CurrentTime);
        XTestFakeButtonEvent(m_display, unsigned(button), False, CurrentTime);
        XSync(m_display, False);
    }

private:
    Display* m_display;
};

} // namespace

class TestWheelGrab : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void grabPassesAndSwallowsAsDecided();
    void removedTapLeavesTheWheelAlone();
    void engineWithoutUinputIsUnavailable();

private:
    std::unique_ptr<WheelCounter> m_counter;
    Hand m_hand;
};

void TestWheelGrab::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "runs inside tests/XSession/x-session");
    m_counter = std::make_unique<WheelCounter>();
    QVERIFY(m_counter->isOpen());
    QVERIFY(m_counter->waitFor([&] { return m_counter->mapped; }));
    m_hand.moveTo(250, 250);
    // The counter receives the wheel once the pointer is over it.
    m_hand.wheel(5);
    QVERIFY(m_counter->waitFor([&] { return m_counter->presses[5] == 1; }));
    m_counter->presses[5] = 0;
}

// Each case starts from no presses counted, with nothing left on its way.
void TestWheelGrab::init()
{
    m_counter->settle();
    std::fill(std::begin(m_counter->presses), std::end(m_counter->presses), 0);
}

void TestWheelGrab::grabPassesAndSwallowsAsDecided()
{
    DesktopEventTaps taps;
    std::mutex mutex;
    QList<TapEvent> seen;
    std::atomic<bool> wrongThread = false;
    auto tap = taps.createTap({.threadName = QStringLiteral("com.corvish.scroll-tap"),
                               .mask = EventTaps::maskOf({TapEvent::Type::scrollWheel})},
                              [&](TapEvent& event) {
                                  if (Platform::TapChain::currentTapName() != u"com.corvish.scroll-tap")
                                      wrongThread = true;
                                  std::lock_guard lock(mutex);
                                  seen << event;
                                  // Up is swallowed, everything else passes.
                                  return event.lineDeltaY > 0 ? EventTaps::Outcome::swallow : EventTaps::Outcome::pass;
                              });
    QVERIFY(tap.has_value());

    for (int button : {4, 5, 4, 4, 6, 5, 7, 5})
        m_hand.wheel(button);
    // The last press is a passed one, so by the time it arrives every earlier one was decided.
    QVERIFY(m_counter->waitFor([&] { return m_counter->presses[5] == 3; }));
    QCOMPARE(m_counter->presses[4], 0);
    QCOMPARE(m_counter->presses[6], 1);
    QCOMPARE(m_counter->presses[7], 1);
    QVERIFY(!wrongThread);
    std::lock_guard lock(mutex);
    QCOMPARE(seen.size(), 8);
    QCOMPARE(seen[0].lineDeltaY, 1.0);
    QCOMPARE(seen[1].lineDeltaY, -1.0);
    QCOMPARE(seen[4].lineDeltaX, 1.0);
    QCOMPARE(seen[6].lineDeltaX, -1.0);
    QCOMPARE(seen[0].location, QPointF(250, 250));
    QCOMPARE(seen[0].userData, 0);
}

void TestWheelGrab::removedTapLeavesTheWheelAlone()
{
    DesktopEventTaps taps;
    std::atomic<int> calls = 0;
    auto tap = taps.createTap({.threadName = QStringLiteral("t"), .mask = EventTaps::maskOf({TapEvent::Type::scrollWheel})},
                              [&](TapEvent&) {
                                  ++calls;
                                  return EventTaps::Outcome::swallow;
                              });
    QVERIFY(tap.has_value());
    m_hand.wheel(5);
    // Removed once it has decided (a tap removed before that lets the press through).
    QVERIFY(m_counter->waitFor([&] { return calls == 1; }));
    tap->reset();
    m_hand.wheel(4);
    m_hand.wheel(5);
    QVERIFY(m_counter->waitFor([&] { return m_counter->presses[5] == 1; }));
    QCOMPARE(m_counter->presses[4], 1);
    QCOMPARE(calls.load(), 1);
}

void TestWheelGrab::engineWithoutUinputIsUnavailable()
{
    if (Platform::UinputScroller::isWritable())
        QSKIP("/dev/uinput is writable here: smooth scrolling can start");
    auto taps = std::make_shared<DesktopEventTaps>();
    ScrollEngine engine({.taps = taps}, ScrollSettings::defaults());
    ScrollSettings on = ScrollSettings::defaults();
    on.isEnabled = true;
    engine.apply(on);
    QVERIFY(!engine.isRunning());
    QCOMPARE(engine.startFailure(), EventTaps::StartFailure::unavailable);
    QVERIFY(taps->limitation().contains(QStringLiteral("/dev/uinput")));
    m_hand.wheel(4);
    m_hand.wheel(5);
    QVERIFY(m_counter->waitFor([&] { return m_counter->presses[5] == 1; }));
    QCOMPARE(m_counter->presses[4], 1);
    QCOMPARE(engine.diagnostics(), ScrollDiagnostics{});
}

QTEST_GUILESS_MAIN(TestWheelGrab)
#include "x_WheelGrab.moc"
