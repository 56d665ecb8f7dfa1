#include "Platform/Desktop/X11GlobalInput.h"

#include "Platform/Desktop/X11Connection.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QStyleHints>

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

namespace Platform {
namespace {

void recorded(XPointer closure, XRecordInterceptData* data)
{
    auto* self = reinterpret_cast<X11GlobalInput*>(closure);
    if (data->category == XRecordFromServer && data->data_len * 4 >= sizeof(xEvent)) {
        const auto* e = reinterpret_cast<const xEvent*>(data->data);
        self->handle(e->u.u.type & 0x7f, e->u.u.detail, QPoint(e->u.keyButtonPointer.rootX, e->u.keyButtonPointer.rootY),
                     e->u.keyButtonPointer.state, e->u.keyButtonPointer.time);
    }
    XRecordFreeData(data);
}

} // namespace

X11GlobalInput::X11GlobalInput(std::shared_ptr<X11Connection> connection, QObject* parent)
    : QObject(parent)
    , m_x(std::move(connection))
{
    int major = 0, minor = 0;
    m_available = m_x && XRecordQueryVersion(m_x->display(), &major, &minor);
}

X11GlobalInput::~X11GlobalInput()
{
    if (!m_data)
        return;
    XRecordDisableContext(m_x->display(), m_context);
    XRecordFreeContext(m_x->display(), m_context);
    XFlush(m_x->display());
    delete m_notifier;
    X11Connection::untrackErrors(m_data);
    XCloseDisplay(m_data);
}

bool X11GlobalInput::startRecording()
{
    // Recorded data comes on a connection of its own; the context is made on the shared one.
    m_data = XOpenDisplay(nullptr);
    if (!m_data)
        return false;
    X11Connection::trackErrors(m_data);
    XRecordRange* range = XRecordAllocRange();
    if (!range)
        return false;
    range->device_events.first = KeyPress;
    range->device_events.last = MotionNotify;
    XRecordClientSpec clients = XRecordAllClients;
    m_context = XRecordCreateContext(m_x->display(), 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(m_x->display(), False);
    if (!m_context || !XRecordEnableContextAsync(m_data, m_context, recorded, reinterpret_cast<XPointer>(this))) {
        X11Connection::untrackErrors(m_data);
        XCloseDisplay(m_data);
        m_data = nullptr;
        return false;
    }
    m_notifier = new QSocketNotifier(ConnectionNumber(m_data), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { XRecordProcessReplies(m_data); });
    XRecordProcessReplies(m_data);
    return true;
}

void X11GlobalInput::setListening(bool listening)
{
    if (!m_available)
        return;
    if (listening && !m_data && !startRecording()) {
        m_available = false;
        return;
    }
    m_listening = listening;
}

namespace {

std::optional<std::pair<QPoint, unsigned>> queryPointer(X11Connection* x)
{
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!x || !XQueryPointer(x->display(), x->root(), &root, &child, &rx, &ry, &wx, &wy, &mask))
        return std::nullopt;
    return std::pair{QPoint(rx, ry), mask};
}

} // namespace

QPoint X11GlobalInput::pointer() const
{
    const auto state = queryPointer(m_x.get());
    return state ? state->first : QPoint();
}

unsigned X11GlobalInput::modifiers() const
{
    const auto state = queryPointer(m_x.get());
    return state ? state->second : 0;
}

void X11GlobalInput::handle(int type, int detail, QPoint position, unsigned state, unsigned long time)
{
    Event out;
    out.position = position;
    out.modifiers = state;
    out.time = time;
    switch (type) {
    case ButtonPress:
    case ButtonRelease: {
        const bool press = type == ButtonPress;
        if (detail >= 4 && detail <= 7) {
            // Wheel clicks arrive as presses and releases of these buttons: one scroll each.
            if (!press)
                return;
            out.kind = Kind::scroll;
            out.button = detail;
            break;
        }
        out.kind = press ? Kind::buttonPress : Kind::buttonRelease;
        out.button = detail;
        break;
    }
    case MotionNotify:
        out.kind = Kind::motion;
        break;
    case KeyPress:
        out.kind = Kind::keyPress;
        out.keycode = detail;
        break;
    default:
        return;
    }

    if (out.kind == Kind::buttonPress) {
        const QStyleHints* hints = QGuiApplication::styleHints();
        const int interval = hints ? hints->mouseDoubleClickInterval() : 400;
        const int distance = hints ? hints->mouseDoubleClickDistance() : 5;
        const bool again = m_lastPress.isValid() && m_lastButton == out.button && m_lastPress.elapsed() <= interval
            && (out.position - m_lastPressPosition).manhattanLength() <= distance;
        m_clicks = again ? m_clicks + 1 : 1;
        m_lastPress.start();
        m_lastPressPosition = out.position;
        m_lastButton = out.button;
        if (out.button == 1)
            m_leftHeld = true;
    }
    if (out.kind == Kind::buttonPress || out.kind == Kind::buttonRelease)
        out.clickCount = out.button == m_lastButton ? m_clicks : 1;
    if (out.kind == Kind::buttonRelease && out.button == 1)
        m_leftHeld = false;
    out.leftButtonHeld = m_leftHeld;
    if (m_listening)
        emit event(out);
}

} // namespace Platform
