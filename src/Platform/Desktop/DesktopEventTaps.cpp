#include "Platform/Desktop/DesktopEventTaps.h"

#include <QByteArray>
#include <QList>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <deque>
#include <map>
#include <set>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace Platform {

using Type = TapEvent::Type;

namespace {

// The X buttons a mask asks to grab.
std::set<int> buttonsFor(quint64 mask)
{
    std::set<int> buttons;
    auto has = [&](Type t) { return mask & EventTaps::maskOf({t}); };
    if (has(Type::scrollWheel))
        buttons.insert({4, 5, 6, 7});
    if (has(Type::otherMouseDown) || has(Type::otherMouseUp) || has(Type::otherMouseDragged))
        buttons.insert({2, 8, 9});
    if (has(Type::leftMouseDown))
        buttons.insert(1);
    if (has(Type::rightMouseDown))
        buttons.insert(3);
    return buttons;
}

// Our button numbers (0 left, 1 right, 2 middle, 3 and up the others) and X's (1 left, 2 middle,
// 3 right, 4 to 7 the wheel, 8 and up the others).
int xButton(int button)
{
    switch (button) {
    case 0: return 1;
    case 1: return 3;
    case 2: return 2;
    default: return button + 5;
    }
}

int ourButton(int x)
{
    switch (x) {
    case 1: return 0;
    case 3: return 1;
    case 2: return 2;
    default: return x - 5;
    }
}

quint64 flagsOf(const XIModifierState& mods)
{
    quint64 flags = 0;
    const int m = mods.effective;
    if (m & ShiftMask)
        flags |= TapEvent::shiftMask;
    if (m & ControlMask)
        flags |= TapEvent::controlMask;
    if (m & Mod1Mask)
        flags |= TapEvent::optionMask;
    if (m & Mod4Mask)
        flags |= TapEvent::commandMask;
    return flags;
}

// What a wheel button scrolls: whole lines, positive up and left.
void wheelLines(int x, TapEvent& event)
{
    switch (x) {
    case 4: event.lineDeltaY = 1; break;
    case 5: event.lineDeltaY = -1; break;
    case 6: event.lineDeltaX = 1; break;
    case 7: event.lineDeltaX = -1; break;
    }
}

} // namespace

// The grabbing connection and its thread. Everything that touches the X connection runs on that
// thread; other threads hand it commands and wake it through a pipe.
struct DesktopEventTaps::Grabber {
    TapChain& chain;
    std::function<qint64()> pixelMarker;
    Display* display = nullptr;
    int xiOpcode = 0;
    int wake[2] = {-1, -1};
    std::thread thread;

    std::mutex mutex; // guards what follows
    std::condition_variable applied;
    std::multiset<int> wanted; // buttons of the installed taps, once per tap
    quint64 requested = 0;     // changes of `wanted` asked for, and made
    quint64 made = 0;
    struct Click {
        int xButton;
        bool press;
        qint64 userData;
    };
    std::deque<Click> toPost;
    bool quitting = false;

    // Grab thread only.
    std::set<int> grabbed;
    std::deque<Click> echoes; // posted, not yet seen back
    std::deque<Click> unechoed; // releases still to be posted that will not come back here
    std::map<int, int> deviceKinds; // source device: 0 someone's, 1 our wheel, 2 XTest
    std::set<int> held; // swallowed buttons still down

    explicit Grabber(TapChain& c) : chain(c) {}

    ~Grabber()
    {
        {
            std::lock_guard lock(mutex);
            quitting = true;
            applied.notify_all();
        }
        poke();
        if (thread.joinable())
            thread.join();
        if (display)
            XCloseDisplay(display);
        for (int fd : wake)
            if (fd >= 0)
                ::close(fd);
    }

    bool open()
    {
        display = XOpenDisplay(nullptr);
        if (!display)
            return false;
        int event, error;
        if (!XQueryExtension(display, "XInputExtension", &xiOpcode, &event, &error))
            return false;
        int major = 2, minor = 2;
        if (XIQueryVersion(display, &major, &minor) != Success || major < 2 || (major == 2 && minor < 2))
            return false;
        if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        thread = std::thread([this] { loop(); });
        return true;
    }

    void poke()
    {
        if (wake[1] >= 0) {
            const char c = 1;
            (void)::write(wake[1], &c, 1);
        }
    }

    // Returns once the grabs are in place (or after a second, should the server not answer).
    void changeButtons(const std::set<int>& buttons, bool add)
    {
        std::unique_lock lock(mutex);
        for (int b : buttons) {
            if (add)
                wanted.insert(b);
            else if (auto it = wanted.find(b); it != wanted.end())
                wanted.erase(it);
        }
        const quint64 mine = ++requested;
        poke();
        applied.wait_for(lock, std::chrono::seconds(1), [&] { return made >= mine || quitting; });
    }

    void click(int x, bool press, qint64 userData)
    {
        {
            std::lock_guard lock(mutex);
            toPost.push_back({x, press, userData});
        }
        poke();
    }

    void regrab(const std::set<int>& buttons)
    {
        const Window root = DefaultRootWindow(display);
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_ButtonPress);
        XISetMask(bits, XI_ButtonRelease);
        XISetMask(bits, XI_Motion);
        XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
        XIGrabModifiers any{int(XIAnyModifier), 0};
        for (int b : grabbed)
            if (!buttons.contains(b)) {
                XIGrabModifiers m = any;
                XIUngrabButton(display, XIAllMasterDevices, b, root, 1, &m);
            }
        for (int b : buttons)
            if (!grabbed.contains(b)) {
                XIGrabModifiers m = any;
                XIGrabButton(display, XIAllMasterDevices, b, root, None, XIGrabModeSync, XIGrabModeAsync, False,
                             &mask, 1, &m);
            }
        grabbed = buttons;
        XSync(display, False);
    }

    int kindOf(int source)
    {
        if (auto it = deviceKinds.find(source); it != deviceKinds.end())
            return it->second;
        int kind = 0;
        int count = 0;
        if (XIDeviceInfo* info = XIQueryDevice(display, source, &count)) {
            const QByteArray name(info->name);
            if (name == UinputScroller::deviceName.toUtf8())
                kind = 1;
            else if (name.contains("XTEST"))
                kind = 2;
            XIFreeDeviceInfo(info);
        }
        deviceKinds[source] = kind;
        return kind;
    }

    qint64 markerOf(const XIDeviceEvent& e, bool press)
    {
        switch (kindOf(e.sourceid)) {
        case 1:
            return pixelMarker();
        case 2:
            for (auto it = echoes.begin(); it != echoes.end(); ++it)
                if (it->xButton == e.detail && it->press == press) {
                    const qint64 marker = it->userData;
                    echoes.erase(it);
                    return marker;
                }
            return 0;
        default:
            return 0;
        }
    }

    void handle(const XIDeviceEvent& e)
    {
        TapEvent event;
        event.location = QPointF(e.root_x, e.root_y);
        event.flags = flagsOf(e.mods);
        const int x = e.detail;
        switch (e.evtype) {
        case XI_ButtonPress: {
            event.userData = markerOf(e, true);
            if (x >= 4 && x <= 7) {
                event.type = Type::scrollWheel;
                wheelLines(x, event);
            } else {
                event.type = x == 1 ? Type::leftMouseDown : x == 3 ? Type::rightMouseDown : Type::otherMouseDown;
                event.button = ourButton(x);
            }
            const TapEvent original = event;
            const bool reached = chain.run(event, Location::hid);
            if (reached && event == original) {
                XIAllowEvents(display, e.deviceid, XIReplayDevice, e.time);
                // A posted press that goes on to the application takes its release along: that
                // release never comes back here, so its echo must not wait for (and mark) a later
                // release of the user's.
                if (event.userData != 0 && kindOf(e.sourceid) == 2 && !forgetEcho(x, false, event.userData))
                    unechoed.push_back({x, false, event.userData}); // not posted yet
                return;
            }
            XIAllowEvents(display, e.deviceid, XIAsyncDevice, e.time);
            if (x < 4 || x > 7)
                held.insert(x);
            if (reached)
                replace(event);
            return;
        }
        case XI_ButtonRelease: {
            // Only the releases of presses we kept reach us; a wheel's release means nothing.
            if (!held.erase(x) || x == 1 || x == 3)
                return;
            event.type = Type::otherMouseUp;
            event.button = ourButton(x);
            event.userData = markerOf(e, false);
            if (chain.run(event, Location::hid))
                replace(event);
            return;
        }
        case XI_Motion: {
            if (!held.contains(2) && !held.contains(8) && !held.contains(9))
                return;
            event.type = Type::otherMouseDragged;
            event.button = held.contains(2) ? 2 : ourButton(*held.rbegin());
            chain.run(event, Location::hid);
            return;
        }
        }
    }

    static bool take(std::deque<Click>& list, int x, bool press, qint64 userData)
    {
        for (auto it = list.begin(); it != list.end(); ++it)
            if (it->xButton == x && it->press == press && it->userData == userData) {
                list.erase(it);
                return true;
            }
        return false;
    }
    bool forgetEcho(int x, bool press, qint64 userData) { return take(echoes, x, press, userData); }

    // What a tap put in place of a kept event reaches the applications as a synthetic one.
    void replace(const TapEvent& event)
    {
        switch (event.type) {
        case Type::scrollWheel:
            postLines(event);
            break;
        case Type::otherMouseDown:
        case Type::otherMouseUp:
        case Type::leftMouseDown:
        case Type::rightMouseDown:
            fakeButton(xButton(event.button), event.type != Type::otherMouseUp, event.userData);
            break;
        default:
            break;
        }
        XFlush(display);
    }

    void postLines(const TapEvent& event)
    {
        auto clicks = [&](double lines, int positive, int negative) {
            const int n = std::isfinite(lines) ? int(std::min(std::abs(lines), 100.0)) : 0;
            for (int i = 0; i < n; ++i) {
                fakeButton(lines > 0 ? positive : negative, true, event.userData);
                fakeButton(lines > 0 ? positive : negative, false, event.userData);
            }
        };
        clicks(event.lineDeltaY, 4, 5);
        clicks(event.lineDeltaX, 6, 7);
    }

    void fakeButton(int x, bool press, qint64 userData)
    {
        // The release of a posted press that went on to the application follows it there.
        if (userData != 0 && !(!press && take(unechoed, x, press, userData)))
            echoes.push_back({x, press, userData});
        while (unechoed.size() > 64)
            unechoed.pop_front();
        while (echoes.size() > 64) // an echo that never came back
            echoes.pop_front();
        XTestFakeButtonEvent(display, unsigned(x), press, CurrentTime);
    }

    void loop()
    {
        prepareInputThread(QStringLiteral("com.corvish.x-grab"));
        const int xfd = ConnectionNumber(display);
        for (;;) {
            std::set<int> buttons;
            quint64 asked;
            std::deque<Click> clicks;
            {
                std::lock_guard lock(mutex);
                if (quitting)
                    break;
                asked = requested;
                buttons = std::set<int>(wanted.begin(), wanted.end());
                clicks.swap(toPost);
            }
            if (asked != made) {
                regrab(buttons);
                std::lock_guard lock(mutex);
                made = asked;
                applied.notify_all();
            }
            for (const auto& c : clicks)
                fakeButton(c.xButton, c.press, c.userData);
            if (!clicks.empty())
                XFlush(display);
            while (XPending(display)) {
                XEvent xe;
                XNextEvent(display, &xe);
                if (xe.type != GenericEvent || xe.xcookie.extension != xiOpcode)
                    continue;
                if (XGetEventData(display, &xe.xcookie)) {
                    handle(*static_cast<const XIDeviceEvent*>(xe.xcookie.data));
                    XFreeEventData(display, &xe.xcookie);
                }
                XFlush(display);
            }
            pollfd fds[2] = {{xfd, POLLIN, 0}, {wake[0], POLLIN, 0}};
            // Waits without a time-out: nothing wakes this thread but input and commands.
            if (::poll(fds, 2, -1) > 0 && (fds[1].revents & POLLIN)) {
                char buffer[64];
                while (::read(wake[0], buffer, sizeof buffer) > 0) {
                }
            }
        }
        regrab({});
    }
};

namespace {

// A chain tap whose buttons stay grabbed while it lives.
class GrabbingTap final : public EventTaps::Tap {
public:
    GrabbingTap(std::unique_ptr<EventTaps::Tap> tap, std::shared_ptr<DesktopEventTaps::Grabber> grabber,
                std::set<int> buttons)
        : m_tap(std::move(tap)), m_grabber(std::move(grabber)), m_buttons(std::move(buttons))
    {
        m_grabber->changeButtons(m_buttons, true);
    }
    ~GrabbingTap() override
    {
        m_tap.reset();
        m_grabber->changeButtons(m_buttons, false);
    }
    void setEnabled(bool enabled) override { m_tap->setEnabled(enabled); }
    bool isEnabled() const override { return m_tap->isEnabled(); }

private:
    std::unique_ptr<EventTaps::Tap> m_tap;
    std::shared_ptr<DesktopEventTaps::Grabber> m_grabber;
    std::set<int> m_buttons;
};

std::atomic<qint64> g_pixelMarker = 0;

} // namespace

DesktopEventTaps::DesktopEventTaps(std::shared_ptr<UinputScroller::Device> device) : m_device(std::move(device)) {}

DesktopEventTaps::~DesktopEventTaps() = default;

QString DesktopEventTaps::sessionProblem()
{
    // Under Wayland even the X11 compatibility server shows an application only its own input.
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland"
        || (qEnvironmentVariableIsEmpty("DISPLAY") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")))
        return QStringLiteral("This is a Wayland session, where no application may watch or take the mouse of others.");
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("No X11 display is set (DISPLAY), so the mouse cannot be watched.");
    return {};
}

std::expected<std::unique_ptr<EventTaps::Tap>, EventTaps::StartFailure>
DesktopEventTaps::createTap(const Options& options, Handler handler)
{
    if (!sessionProblem().isEmpty())
        return std::unexpected(StartFailure::unavailable);
    std::shared_ptr<Grabber> grabber;
    {
        std::lock_guard lock(m_mutex);
        if (!m_grabber) {
            auto made = std::make_shared<Grabber>(m_chain);
            made->pixelMarker = [] { return g_pixelMarker.load(); };
            if (!made->open())
                return std::unexpected(StartFailure::unavailable);
            m_grabber = std::move(made);
        }
        grabber = m_grabber;
    }
    auto tap = m_chain.add(options, std::move(handler));
    return std::make_unique<GrabbingTap>(std::move(tap), std::move(grabber), buttonsFor(options.mask));
}

void DesktopEventTaps::post(const TapEvent& event, Location)
{
    if (event.type == Type::scrollWheel && (event.pixelDeltaY != 0 || event.pixelDeltaX != 0)) {
        if (!canPostPixelScrolls())
            return;
        std::shared_ptr<UinputScroller> scroller;
        {
            std::lock_guard lock(m_mutex);
            scroller = m_scroller;
        }
        if (!scroller)
            return;
        g_pixelMarker = event.userData;
        QString error;
        if (!scroller->scroll(event.pixelDeltaY, event.pixelDeltaX, &error)) {
            // The device went away or refuses what is written: say so, and try again later.
            std::lock_guard lock(m_mutex);
            if (m_scroller == scroller) {
                m_scroller.reset();
                m_scrollerError = error;
                m_scrollerFailedAt = std::chrono::steady_clock::now();
            }
        }
        return;
    }
    std::shared_ptr<Grabber> grabber;
    {
        std::lock_guard lock(m_mutex);
        grabber = m_grabber;
    }
    if (!grabber)
        return;
    switch (event.type) {
    case Type::scrollWheel: {
        auto clicks = [&](double lines, int positive, int negative) {
            const int n = std::isfinite(lines) ? int(std::min(std::abs(lines), 100.0)) : 0;
            for (int i = 0; i < n; ++i) {
                grabber->click(lines > 0 ? positive : negative, true, event.userData);
                grabber->click(lines > 0 ? positive : negative, false, event.userData);
            }
        };
        clicks(event.lineDeltaY, 4, 5);
        clicks(event.lineDeltaX, 6, 7);
        break;
    }
    case Type::otherMouseDown:
    case Type::leftMouseDown:
    case Type::rightMouseDown:
        grabber->click(xButton(event.button), true, event.userData);
        break;
    case Type::otherMouseUp:
        grabber->click(xButton(event.button), false, event.userData);
        break;
    default:
        break;
    }
}

bool DesktopEventTaps::canPostPixelScrolls() const
{
    std::lock_guard lock(m_mutex);
    auto* self = const_cast<DesktopEventTaps*>(this);
    // A device that could not be made is tried again after a while (the user may have fixed its
    // access meanwhile), not on every event.
    const auto now = std::chrono::steady_clock::now();
    if (!m_scroller && (m_scrollerError.isEmpty() || now - m_scrollerFailedAt >= std::chrono::seconds(1))) {
        auto scroller = std::make_shared<UinputScroller>(m_device);
        QString error;
        if (scroller->open(&error)) {
            self->m_scroller = std::move(scroller);
            self->m_scrollerError.clear();
        } else {
            self->m_scrollerError = error;
            self->m_scrollerFailedAt = now;
        }
    }
    return m_scroller != nullptr;
}

QString DesktopEventTaps::limitation() const
{
    if (const QString problem = sessionProblem(); !problem.isEmpty())
        return problem;
    if (!canPostPixelScrolls()) {
        std::lock_guard lock(m_mutex);
        return m_scrollerError;
    }
    return {};
}

} // namespace Platform
