#include "Platform/Desktop/X11Connection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <utility>

#include <mutex>

namespace Platform {
namespace {

// Xlib reports errors through one handler for the whole process. Errors on our connections are
// recorded for checked(); any other display's go to the handler that was there before.
std::mutex errorMutex;
QHash<Display*, int>* recordedErrors = nullptr;
XErrorHandler previousHandler = nullptr;

int recordError(Display* display, XErrorEvent* error)
{
    {
        std::lock_guard lock(errorMutex);
        if (recordedErrors && recordedErrors->contains(display)) {
            int& code = (*recordedErrors)[display];
            if (code == 0)
                code = error->error_code;
            return 0;
        }
    }
    return previousHandler ? previousHandler(display, error) : 0;
}

void track(Display* display)
{
    std::lock_guard lock(errorMutex);
    if (!recordedErrors) {
        recordedErrors = new QHash<Display*, int>;
        previousHandler = XSetErrorHandler(recordError);
    }
    recordedErrors->insert(display, 0);
}

void untrack(Display* display)
{
    std::lock_guard lock(errorMutex);
    if (recordedErrors)
        recordedErrors->remove(display);
}

int takeRecordedError(Display* display)
{
    std::lock_guard lock(errorMutex);
    if (!recordedErrors)
        return 0;
    return std::exchange((*recordedErrors)[display], 0);
}

} // namespace

void X11Connection::trackErrors(Display* display)
{
    track(display);
}

void X11Connection::untrackErrors(Display* display)
{
    untrack(display);
}

int X11Connection::takeError(Display* display)
{
    return takeRecordedError(display);
}

bool X11Connection::isX11Session()
{
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland" || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

std::shared_ptr<X11Connection> X11Connection::shared()
{
    static std::weak_ptr<X11Connection> current;
    if (auto existing = current.lock())
        return existing;
    if (!isX11Session())
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    std::shared_ptr<X11Connection> made(new X11Connection(display));
    current = made;
    return made;
}

X11Connection::X11Connection(Display* display)
    : m_display(display)
    , m_root(DefaultRootWindow(display))
    , m_notifier(new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this))
{
    track(display);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11Connection::dispatch);
    // Replies read while waiting for something else leave events in Xlib's queue, where the
    // socket no longer shows them: look there before the loop sleeps.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (XEventsQueued(m_display, QueuedAlready) > 0)
                QMetaObject::invokeMethod(this, &X11Connection::dispatch, Qt::QueuedConnection);
        });
}

X11Connection::~X11Connection()
{
    untrack(m_display);
    XCloseDisplay(m_display);
}

X11Connection::XID X11Connection::atom(const char* name)
{
    const QByteArray key(name);
    auto it = m_atoms.constFind(key);
    if (it != m_atoms.constEnd())
        return *it;
    const XID value = XInternAtom(m_display, name, False);
    m_atoms.insert(key, value);
    return value;
}

QString X11Connection::atomName(XID atom) const
{
    if (atom == None)
        return {};
    char* name = XGetAtomName(m_display, atom);
    if (!name)
        return {};
    const QString out = QString::fromLatin1(name);
    XFree(name);
    return out;
}

int X11Connection::checked(const std::function<void()>& requests)
{
    XSync(m_display, False);
    takeRecordedError(m_display);
    requests();
    XSync(m_display, False);
    // The round trip may have read events that the socket no longer announces.
    if (XEventsQueued(m_display, QueuedAlready) > 0)
        QMetaObject::invokeMethod(this, &X11Connection::dispatch, Qt::QueuedConnection);
    return takeRecordedError(m_display);
}

namespace {

struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned char* data = nullptr;
    ~Property()
    {
        if (data)
            XFree(data);
    }
};

bool readProperty(Display* display, Window window, Atom property, Property& out)
{
    unsigned long remaining = 0;
    const int status = XGetWindowProperty(display, window, property, 0, 1 << 22, False, AnyPropertyType, &out.type,
                                          &out.format, &out.count, &remaining, &out.data);
    return status == Success && out.type != None;
}

} // namespace

std::optional<QList<unsigned long>> X11Connection::cardinals(XID window, const char* property)
{
    Property p;
    int error = checked([&] { readProperty(m_display, window, atom(property), p); });
    if (error || p.type == None || p.format != 32)
        return std::nullopt;
    // Xlib hands 32-bit items back as longs.
    const auto* values = reinterpret_cast<const unsigned long*>(p.data);
    return QList<unsigned long>(values, values + p.count);
}

std::optional<QByteArray> X11Connection::bytes(XID window, const char* property)
{
    Property p;
    int error = checked([&] { readProperty(m_display, window, atom(property), p); });
    if (error || p.type == None || p.format != 8)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(p.data), qsizetype(p.count));
}

std::optional<X11Connection::XID> X11Connection::windowProperty(XID window, const char* property)
{
    const auto values = cardinals(window, property);
    if (!values || values->isEmpty())
        return std::nullopt;
    return values->first();
}

QList<X11Connection::XID> X11Connection::windowsAt(QPoint point)
{
    QList<XID> chain;
    // A window destroyed between two questions ends the walk there (its error is only recorded).
    checked([&] {
        XID under = m_root;
        // The root, a window manager's frame, the client and perhaps a child of its own: a handful.
        for (int depth = 0; depth < 16; ++depth) {
            Window child = None;
            int x = 0, y = 0;
            if (!XTranslateCoordinates(m_display, m_root, under, point.x(), point.y(), &x, &y, &child) || child == None)
                return;
            chain.append(child);
            under = child;
        }
    });
    return chain;
}

void X11Connection::selectRootEvents(long mask)
{
    if ((m_rootMask | mask) == m_rootMask)
        return;
    m_rootMask |= mask;
    XSelectInput(m_display, m_root, m_rootMask);
    XFlush(m_display);
}

int X11Connection::addListener(Listener listener)
{
    const int id = m_nextListener++;
    m_listeners.insert(id, std::move(listener));
    return id;
}

void X11Connection::removeListener(int id)
{
    m_listeners.remove(id);
}

void X11Connection::noteOwnKeyPresses(const QList<int>& keycodes)
{
    const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + 1000;
    for (int code : keycodes)
        m_ownKeys.append({code, deadline});
}

bool X11Connection::takeOwnKeyPress(int keycode)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    m_ownKeys.removeIf([now](const QPair<int, qint64>& k) { return k.second < now; });
    for (qsizetype i = 0; i < m_ownKeys.size(); ++i) {
        if (m_ownKeys[i].first == keycode) {
            m_ownKeys.removeAt(i);
            return true;
        }
    }
    return false;
}

void X11Connection::dispatch()
{
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        // Extension events carry their data apart; fetch it once for every listener.
        const bool cookie = event.type == GenericEvent && XGetEventData(m_display, &event.xcookie);
        // A listener may add or remove listeners.
        const auto listeners = m_listeners;
        const XEvent* outer = std::exchange(m_dispatching, &event);
        for (const auto& listener : listeners)
            listener(event);
        m_dispatching = outer;
        if (cookie)
            XFreeEventData(m_display, &event.xcookie);
    }
}

} // namespace Platform
