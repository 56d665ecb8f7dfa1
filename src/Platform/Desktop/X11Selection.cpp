#include "Platform/Desktop/X11Selection.h"

#include "Platform/Desktop/X11Connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThreadPool>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <algorithm>
#include <atomic>

namespace Platform {
namespace X11Selection {
namespace {

// However quickly its pieces come, no selection is read for longer.
constexpr int incrementalLimitMs = 60000;

// Bumped by each read started off the main thread, and at quit: a read in pieces that is no
// longer the latest stops at its next piece instead of holding a pooled thread, or the quit, for
// as long as its owner keeps sending.
std::atomic<quint64> latestRead{0};

// A connection of its own for one read, closed when done.
class Reader {
public:
    Reader()
        : m_display(XOpenDisplay(nullptr))
    {
        if (!m_display)
            return;
        X11Connection::trackErrors(m_display);
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(m_display, m_window, PropertyChangeMask);
        m_property = XInternAtom(m_display, "AMBREL_SELECTION", False);
    }
    ~Reader()
    {
        if (!m_display)
            return;
        XDestroyWindow(m_display, m_window);
        X11Connection::untrackErrors(m_display);
        XCloseDisplay(m_display);
    }
    bool isOpen() const { return m_display; }
    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }
    QByteArray nameOf(Atom a)
    {
        char* name = a == None ? nullptr : XGetAtomName(m_display, a);
        const QByteArray out(name ? name : "");
        if (name)
            XFree(name);
        return out;
    }

    bool owned(Atom selection) { return XGetSelectionOwner(m_display, selection) != None; }

    // The owner's answer for one target, or none. A large answer comes in pieces: each piece has
    // `pieceMs` to come, so that a long one is not cut while its owner sends, and a hung owner is
    // let go as soon; the whole has a minute at most.
    std::optional<Format> convert(Atom selection, Atom target, const QDeadlineTimer& deadline, int pieceMs,
                                  const std::function<bool()>& wanted = {})
    {
        XDeleteProperty(m_display, m_window, m_property);
        XConvertSelection(m_display, selection, target, m_property, m_window, CurrentTime);
        XFlush(m_display);
        XEvent event;
        if (!waitFor(deadline, [&](XEvent& e) { return e.type == SelectionNotify && e.xselection.requestor == m_window; },
                     event))
            return std::nullopt;
        if (event.xselection.property == None)
            return std::nullopt;
        auto first = take();
        if (!first)
            return std::nullopt;
        if (first->type != "INCR")
            return first;
        // Large data comes in pieces, each announced by a new value of the property.
        Format whole;
        whole.target = nameOf(target);
        const QDeadlineTimer overall(incrementalLimitMs);
        for (;;) {
            if (wanted && !wanted())
                return std::nullopt;
            const QDeadlineTimer piece(std::min<qint64>(pieceMs, overall.remainingTime()));
            if (!waitFor(piece,
                         [&](XEvent& e) {
                             return e.type == PropertyNotify && e.xproperty.window == m_window
                                 && e.xproperty.atom == m_property && e.xproperty.state == PropertyNewValue;
                         },
                         event))
                return std::nullopt;
            auto part = take();
            if (!part)
                return std::nullopt;
            if (part->data.isEmpty()) {
                whole.type = part->type;
                whole.format = part->format;
                return whole;
            }
            whole.data += part->data;
        }
    }

private:
    template <typename Match>
    bool waitFor(const QDeadlineTimer& deadline, Match match, XEvent& out)
    {
        for (;;) {
            while (XPending(m_display) > 0) {
                XNextEvent(m_display, &out);
                if (match(out))
                    return true;
            }
            const qint64 left = deadline.remainingTime();
            if (left == 0)
                return false;
            pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
            poll(&fd, 1, int(left));
        }
    }

    // Reads and deletes the property (the deletion tells an incremental sender to go on).
    std::optional<Format> take()
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, m_window, m_property, 0, 1 << 24, True, AnyPropertyType, &type, &format, &count,
                               &remaining, &data)
                != Success
            || type == None) {
            if (data)
                XFree(data);
            return std::nullopt;
        }
        Format out;
        out.type = nameOf(type);
        out.format = format;
        // Xlib returns 32-bit items as longs: keep 4 bytes of each, as on the wire.
        if (format == 32) {
            const auto* longs = reinterpret_cast<const unsigned long*>(data);
            for (unsigned long i = 0; i < count; ++i) {
                const quint32 v = quint32(longs[i]);
                out.data.append(reinterpret_cast<const char*>(&v), 4);
            }
        } else {
            out.data = QByteArray(reinterpret_cast<const char*>(data), qsizetype(count) * (format / 8));
        }
        XFree(data);
        return out;
    }

    Display* m_display;
    Window m_window = None;
    Atom m_property = None;
};

} // namespace

bool isPseudoTarget(const QByteArray& target)
{
    return target == "TARGETS" || target == "MULTIPLE" || target == "TIMESTAMP" || target == "SAVE_TARGETS"
        || target == "DELETE" || target == "INSERT_SELECTION" || target == "INSERT_PROPERTY";
}

std::optional<QString> readText(const char* selection, int timeoutMs, const std::function<bool()>& wanted)
{
    const QDeadlineTimer deadline(timeoutMs);
    Reader reader;
    if (!reader.isOpen())
        return std::nullopt;
    const Atom sel = reader.atom(selection);
    if (!reader.owned(sel))
        return std::nullopt;
    if (auto utf8 = reader.convert(sel, reader.atom("UTF8_STRING"), deadline, timeoutMs, wanted); utf8 && utf8->format == 8)
        return QString::fromUtf8(utf8->data);
    if (deadline.hasExpired() || (wanted && !wanted()))
        return std::nullopt;
    if (auto latin1 = reader.convert(sel, XA_STRING, deadline, timeoutMs, wanted); latin1 && latin1->format == 8)
        return QString::fromLatin1(latin1->data);
    return std::nullopt;
}

std::optional<QList<Format>> readAll(const char* selection, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    Reader reader;
    if (!reader.isOpen())
        return std::nullopt;
    const Atom sel = reader.atom(selection);
    if (!reader.owned(sel))
        return QList<Format>();
    const auto targets = reader.convert(sel, reader.atom("TARGETS"), deadline, timeoutMs);
    if (!targets || targets->format != 32)
        return std::nullopt;
    QList<Format> out;
    for (qsizetype i = 0; i + 4 <= targets->data.size(); i += 4) {
        quint32 target = 0;
        memcpy(&target, targets->data.constData() + i, 4);
        const QByteArray name = reader.nameOf(target);
        if (name.isEmpty() || isPseudoTarget(name))
            continue;
        auto format = reader.convert(sel, target, deadline, timeoutMs);
        if (!format) {
            if (deadline.hasExpired())
                return std::nullopt;
            continue; // offered but not given: nothing to keep of it
        }
        format->target = name;
        out.append(*format);
    }
    return out;
}

void readTextAsync(const char* selection, int timeoutMs, QObject* context, std::function<void(std::optional<QString>)> done)
{
    QPointer<QObject> receiver(context);
    const QByteArray name(selection);
    if (auto* app = QCoreApplication::instance()) {
        static const bool stopsAtQuit = QObject::connect(app, &QCoreApplication::aboutToQuit, [] { ++latestRead; });
        (void)stopsAtQuit;
    }
    const quint64 mine = ++latestRead;
    QThreadPool::globalInstance()->start([receiver, name, timeoutMs, mine, done = std::move(done)] {
        auto text = readText(name.constData(), timeoutMs, [mine] { return latestRead.load() == mine; });
        // Delivered through the application object, which outlives the receiver.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [receiver, done, text] {
                if (receiver)
                    done(text);
            },
            Qt::QueuedConnection);
    });
}

} // namespace X11Selection

X11SelectionOwner::X11SelectionOwner(std::shared_ptr<X11Connection> connection, const char* selection, QObject* parent)
    : QObject(parent)
    , m_x(std::move(connection))
{
    Display* display = m_x->display();
    m_selection = m_x->atom(selection);
    m_window = XCreateSimpleWindow(display, m_x->root(), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, m_window, PropertyChangeMask);
    m_listener = m_x->addListener([this](const XEvent& event) { handle(event); });
}

X11SelectionOwner::~X11SelectionOwner()
{
    m_x->removeListener(m_listener);
    release();
    XDestroyWindow(m_x->display(), m_window);
    XFlush(m_x->display());
}

bool X11SelectionOwner::own(const QList<X11Selection::Format>& formats)
{
    Display* display = m_x->display();
    // A real server time for the ownership, as other clients compare it: a property change
    // on our own window reports one.
    const Atom stamp = m_x->atom("AMBREL_TIMESTAMP");
    XChangeProperty(display, m_window, stamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(display, m_window, PropertyChangeMask, &event);
    m_time = event.xproperty.time;
    m_formats = formats;
    XSetSelectionOwner(display, m_selection, m_window, m_time);
    m_owning = XGetSelectionOwner(display, m_selection) == m_window;
    return m_owning;
}

void X11SelectionOwner::release()
{
    if (!m_owning)
        return;
    m_owning = false;
    if (XGetSelectionOwner(m_x->display(), m_selection) == m_window)
        XSetSelectionOwner(m_x->display(), m_selection, None, m_time);
    XFlush(m_x->display());
}

void X11SelectionOwner::handle(const XEvent& event)
{
    if (event.type == SelectionClear && event.xselectionclear.window == m_window
        && event.xselectionclear.selection == m_selection) {
        if (m_owning) {
            m_owning = false;
            emit lost();
        }
        return;
    }
    if (event.type != SelectionRequest || event.xselectionrequest.owner != m_window
        || event.xselectionrequest.selection != m_selection)
        return;
    const XSelectionRequestEvent& request = event.xselectionrequest;
    Display* display = m_x->display();
    // Old clients leave the property out and mean the target.
    const Atom property = request.property == None ? request.target : request.property;
    const QByteArray target = m_x->atomName(request.target).toLatin1();
    bool answered = false;
    bool content = false;
    if (m_owning && (request.time == CurrentTime || request.time >= m_time)) {
        if (target == "TARGETS") {
            QList<long> atoms{long(m_x->atom("TARGETS")), long(m_x->atom("TIMESTAMP"))};
            for (const auto& format : std::as_const(m_formats))
                atoms.append(long(m_x->atom(format.target.constData())));
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(atoms.constData()), int(atoms.size()));
            answered = true;
        } else if (target == "TIMESTAMP") {
            const long time = long(m_time);
            XChangeProperty(display, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&time), 1);
            answered = true;
        } else {
            for (const auto& format : std::as_const(m_formats)) {
                if (format.target != target)
                    continue;
                const Atom type = m_x->atom(format.type.constData());
                if (format.format == 32) {
                    // Xlib wants longs for 32-bit items.
                    QList<long> items;
                    for (qsizetype i = 0; i + 4 <= format.data.size(); i += 4) {
                        quint32 v = 0;
                        memcpy(&v, format.data.constData() + i, 4);
                        items.append(long(v));
                    }
                    XChangeProperty(display, request.requestor, property, type, 32, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(items.constData()), int(items.size()));
                } else {
                    XChangeProperty(display, request.requestor, property, type, format.format, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(format.data.constData()),
                                    int(format.data.size() / (format.format / 8)));
                }
                answered = true;
                content = true;
                break;
            }
        }
    }
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = answered ? property : None;
    reply.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
    if (content)
        emit delivered(target);
}

} // namespace Platform
