#include "Platform/Desktop/DesktopEventTaps.h"
#include "Platform/Desktop/UinputScroller.h"

#include <QTest>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include <linux/uinput.h>

using namespace Platform;

namespace {

// Stands in for /dev/uinput: records the set-up requests and the events written, and fails on
// request.
class RecordingDevice final : public UinputScroller::Device {
public:
    struct Request {
        unsigned long request;
        std::uintptr_t argument;
        bool operator==(const Request&) const = default;
    };
    struct Event {
        int type, code, value;
        bool operator==(const Event&) const = default;
    };

    int openError = 0;        // errno for open
    unsigned long failing = 0; // a request that fails with EINVAL
    int writeError = 0;       // errno for every write
    QList<Request> requests;
    QList<Event> events;
    uinput_setup setup{};
    int opened = 0;
    QList<int> closed;

    int open() override
    {
        std::lock_guard lock(mutex);
        if (openError)
            return -openError;
        return 40 + opened++;
    }
    int control(int, unsigned long request, std::uintptr_t argument) override
    {
        std::lock_guard lock(mutex);
        if (request == UI_DEV_SETUP) {
            std::memcpy(&setup, reinterpret_cast<const void*>(argument), sizeof setup);
            argument = 0;
        }
        requests.append({request, argument});
        return request == failing ? -EINVAL : 0;
    }
    int write(int, const input_event& e) override
    {
        std::lock_guard lock(mutex);
        if (writeError)
            return -writeError;
        events.append({e.type, e.code, e.value});
        return 0;
    }
    void close(int fd) override
    {
        std::lock_guard lock(mutex);
        closed.append(fd);
    }
    QList<Event> take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(events, {});
    }
    std::mutex mutex;
};

using Events = QList<RecordingDevice::Event>;

RecordingDevice::Event wheel(int units) { return {EV_REL, REL_WHEEL_HI_RES, units}; }
RecordingDevice::Event notch(int n) { return {EV_REL, REL_WHEEL, n}; }
RecordingDevice::Event hwheel(int units) { return {EV_REL, REL_HWHEEL_HI_RES, units}; }
RecordingDevice::Event hnotch(int n) { return {EV_REL, REL_HWHEEL, n}; }
const RecordingDevice::Event report{EV_SYN, SYN_REPORT, 0};

} // namespace

Q_DECLARE_METATYPE(QList<QPointF>)

class UinputScrollerTest : public QObject {
    Q_OBJECT
private slots:
    void setsUpAWheelWithHighResolutionAxes();
    void openFailuresSayWhatIsMissing_data();
    void openFailuresSayWhatIsMissing();
    void eventsWritten_data();
    void eventsWritten();
    void aRefusedWriteClosesTheDevice();
    void theTapsFallBackWhenTheDeviceFails();
};

void UinputScrollerTest::setsUpAWheelWithHighResolutionAxes()
{
    auto device = std::make_shared<RecordingDevice>();
    {
        UinputScroller scroller(device);
        QString error;
        QVERIFY(scroller.open(&error));
        QVERIFY(error.isEmpty());
        QVERIFY(scroller.isOpen());
        QVERIFY(scroller.open()); // once
        QCOMPARE(device->opened, 1);
        using R = RecordingDevice::Request;
        QCOMPARE(device->requests, (QList<R>{{UI_SET_EVBIT, EV_REL}, {UI_SET_EVBIT, EV_SYN},
                                             {UI_SET_RELBIT, REL_WHEEL}, {UI_SET_RELBIT, REL_HWHEEL},
                                             {UI_SET_RELBIT, REL_WHEEL_HI_RES}, {UI_SET_RELBIT, REL_HWHEEL_HI_RES},
                                             {UI_DEV_SETUP, 0}, {UI_DEV_CREATE, 0}}));
        // Our events are recognised by this name when they come back from the X server.
        QCOMPARE(QString::fromUtf8(device->setup.name), UinputScroller::deviceName);
        QCOMPARE(device->setup.id.bustype, quint16(BUS_VIRTUAL));
        QVERIFY(device->closed.isEmpty());
    }
    // Gone with the scroller.
    QCOMPARE(device->requests.last(), (RecordingDevice::Request{UI_DEV_DESTROY, 0}));
    QCOMPARE(device->closed, QList<int>{40});
}

void UinputScrollerTest::openFailuresSayWhatIsMissing_data()
{
    QTest::addColumn<int>("openError");
    QTest::addColumn<unsigned long>("failing");
    QTest::addColumn<QString>("says");
    QTest::newRow("no uinput in the kernel") << ENOENT << 0UL << QStringLiteral("no /dev/uinput");
    QTest::newRow("no such device") << ENODEV << 0UL << QStringLiteral("uinput module is not loaded");
    QTest::newRow("not writable") << EACCES << 0UL << QStringLiteral("udev rule");
    QTest::newRow("not permitted") << EPERM << 0UL << QStringLiteral("not writable for this user");
    QTest::newRow("the device cannot be made") << 0 << (unsigned long)UI_DEV_CREATE << QStringLiteral("cannot be used");
    QTest::newRow("an axis is refused") << 0 << (unsigned long)UI_SET_RELBIT << QStringLiteral("cannot be used");
}

void UinputScrollerTest::openFailuresSayWhatIsMissing()
{
    QFETCH(int, openError);
    QFETCH(unsigned long, failing);
    QFETCH(QString, says);
    auto device = std::make_shared<RecordingDevice>();
    device->openError = openError;
    device->failing = failing;
    UinputScroller scroller(device);
    QString error;
    QVERIFY(!scroller.open(&error));
    QVERIFY2(error.contains(says), qPrintable(error));
    QVERIFY(!scroller.isOpen());
    if (!openError) {
        QCOMPARE(device->closed, QList<int>{40}); // a half-made device is not kept open
        QVERIFY(!device->requests.contains(RecordingDevice::Request{UI_DEV_CREATE, 0}) || failing == UI_DEV_CREATE);
    }
    QVERIFY(!scroller.scroll(48, 0)); // nothing to write to
    QVERIFY(device->events.isEmpty());
}

void UinputScrollerTest::eventsWritten_data()
{
    QTest::addColumn<QList<QPointF>>("scrolls"); // (vertical, horizontal) pixels, one call each
    QTest::addColumn<Events>("events");
    // 48 px is one notch of 120 high-resolution units; up is positive, left is positive.
    QTest::newRow("one notch up") << QList{QPointF(48, 0)} << Events{wheel(120), notch(1), report};
    QTest::newRow("one notch down") << QList{QPointF(-48, 0)} << Events{wheel(-120), notch(-1), report};
    QTest::newRow("halves make a notch at the second")
        << QList{QPointF(24, 0), QPointF(24, 0)} << Events{wheel(60), report, wheel(60), notch(1), report};
    QTest::newRow("fractions are carried")
        << QList{QPointF(0.3, 0), QPointF(0.3, 0)} << Events{wheel(1), report};
    QTest::newRow("left is the device's negative")
        << QList{QPointF(0, 48)} << Events{hwheel(-120), hnotch(-1), report};
    QTest::newRow("both axes in one report")
        << QList{QPointF(4.8, -4.8)} << Events{wheel(12), hwheel(12), report};
    QTest::newRow("turning back undoes the partial notch")
        << QList{QPointF(40, 0), QPointF(-40, 0), QPointF(48, 0)}
        << Events{wheel(100), report, wheel(-100), report, wheel(120), notch(1), report};
    QTest::newRow("not finite writes nothing")
        << QList{QPointF(qQNaN(), 0), QPointF(0, qInf()), QPointF(48, 0)} << Events{wheel(120), notch(1), report};
    QTest::newRow("an overflowing distance is dropped, the next is whole")
        << QList{QPointF(std::numeric_limits<double>::max(), 0), QPointF(48, 0)}
        << Events{wheel(120), notch(1), report};
    QTest::newRow("a huge distance is bounded")
        << QList{QPointF(1e12, 0)} << Events{wheel(1000000), notch(8333), report};
}

void UinputScrollerTest::eventsWritten()
{
    QFETCH(QList<QPointF>, scrolls);
    QFETCH(Events, events);
    auto device = std::make_shared<RecordingDevice>();
    UinputScroller scroller(device);
    QVERIFY(scroller.open());
    for (const QPointF& s : scrolls)
        QVERIFY(scroller.scroll(s.x(), s.y()));
    QCOMPARE(device->take(), events);
}

void UinputScrollerTest::aRefusedWriteClosesTheDevice()
{
    auto device = std::make_shared<RecordingDevice>();
    UinputScroller scroller(device);
    QVERIFY(scroller.open());
    device->writeError = ENODEV;
    QString error;
    QVERIFY(!scroller.scroll(48, 0, &error));
    QVERIFY2(error.contains(QStringLiteral("/dev/uinput")), qPrintable(error));
    QVERIFY(!scroller.isOpen());
    QCOMPARE(device->closed, QList<int>{40});
    device->writeError = 0;
    QVERIFY(scroller.open()); // made again, nothing owed from before
    QVERIFY(scroller.scroll(24, 0));
    QCOMPARE(device->take(), (Events{wheel(60), report}));
}

void UinputScrollerTest::theTapsFallBackWhenTheDeviceFails()
{
    auto device = std::make_shared<RecordingDevice>();
    device->openError = ENOENT;
    DesktopEventTaps taps(device);
    // No device: pixel scrolls cannot be posted, and the user is told why.
    QVERIFY(!taps.canPostPixelScrolls());
    QVERIFY(!taps.limitation().isEmpty());
    if (DesktopEventTaps::sessionProblem().isEmpty())
        QVERIFY2(taps.limitation().contains(QStringLiteral("/dev/uinput")), qPrintable(taps.limitation()));
    TapEvent scroll;
    scroll.type = TapEvent::Type::scrollWheel;
    scroll.pixelDeltaY = 48;
    taps.post(scroll, EventTaps::Location::session);
    QVERIFY(device->take().isEmpty());

    // Access given meanwhile: found again without a restart, not on every event.
    device->openError = 0;
    QTRY_VERIFY_WITH_TIMEOUT(taps.canPostPixelScrolls(), 5000);
    QCOMPARE(device->opened, 1);
    taps.post(scroll, EventTaps::Location::session);
    QCOMPARE(device->take(), (Events{wheel(120), notch(1), report}));

    // The device refuses a write: nothing is pretended, the reason is kept.
    device->writeError = EIO;
    taps.post(scroll, EventTaps::Location::session);
    device->writeError = ENOENT;
    device->openError = ENOENT;
    QVERIFY(!taps.canPostPixelScrolls());
    if (DesktopEventTaps::sessionProblem().isEmpty())
        QVERIFY2(!taps.limitation().isEmpty(), "no reason given");
}

QTEST_GUILESS_MAIN(UinputScrollerTest)
#include "tst_UinputScroller.moc"
