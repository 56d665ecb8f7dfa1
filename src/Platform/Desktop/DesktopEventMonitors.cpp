#include "Platform/Desktop/DesktopEventMonitors.h"

#include "Platform/Desktop/DesktopScreens.h"
#include "Platform/Desktop/X11Connection.h"
#include "Platform/Desktop/X11GlobalInput.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QSet>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace Platform {
namespace {

// X's modifier state bits (X11/X.h, whose macros clash with Qt's event names).
constexpr unsigned xShift = 1u << 0, xControl = 1u << 2, xMod1 = 1u << 3, xMod4 = 1u << 6;

double primaryHeight()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry().height() : 0.0;
}

double pixelRatio()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->devicePixelRatio() : 1.0;
}

// From X's device pixels, top left, to the monitors' coordinates: bottom left, y up.
QPointF fromX(QPoint p)
{
    return DesktopScreens::toGlobal(QPointF(p) / pixelRatio(), primaryHeight());
}

ModifierFlags qtFlags(Qt::KeyboardModifiers held)
{
    ModifierFlags out;
    if (held & Qt::ShiftModifier)
        out.rawValue |= ModifierFlags::shift;
    if (held & Qt::ControlModifier)
        out.rawValue |= ModifierFlags::control;
    if (held & Qt::AltModifier)
        out.rawValue |= ModifierFlags::option;
    if (held & Qt::MetaModifier)
        out.rawValue |= ModifierFlags::command;
    return out;
}

// Whether the server gave the event at this point (device pixels of the root window) to one of
// this application's windows: the top-most mapped window there, followed down from the root, is
// ours. A window of ours that lies behind another or is minimised covers the point too, but does
// not get the event. Only when one of our visible windows covers the point is the server asked.
bool overOwnWindow(X11Connection& x, QPoint devicePoint)
{
    QSet<X11Connection::XID> ours;
    const QPoint point = (QPointF(devicePoint) / pixelRatio()).toPoint();
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (window->isVisible() && window->handle() && window->geometry().contains(point))
            ours.insert(window->winId());
    if (ours.isEmpty())
        return false;
    const QList<X11Connection::XID> under = x.windowsAt(devicePoint);
    return std::any_of(under.begin(), under.end(), [&](X11Connection::XID w) { return ours.contains(w); });
}

// A button event by its kind and the server's time stamp (milliseconds, 32 bits).
quint64 buttonKey(bool press, quint64 time)
{
    return (press ? 1ull << 32 : 0) | (time & 0xffffffffu);
}

} // namespace

DesktopEventMonitors::DesktopEventMonitors(std::shared_ptr<X11Connection> connection, QObject* parent)
    : EventMonitors(parent)
    , m_x(std::move(connection))
{
    if (!m_x)
        return;
    m_raw = std::make_unique<X11GlobalInput>(m_x);
    if (!m_raw->isAvailable()) {
        m_raw.reset();
        return;
    }
    connect(m_raw.get(), &X11GlobalInput::event, this, [this](const X11GlobalInput::Event& raw) {
        // Keys this application posted itself are none of the monitors' business.
        if (raw.kind == X11GlobalInput::Kind::keyPress && m_x->takeOwnKeyPress(raw.keycode))
            return;
        InputEvent event;
        event.location = fromX(raw.position);
        event.modifiers = flags(raw.modifiers);
        event.clickCount = 0;
        switch (raw.kind) {
        case X11GlobalInput::Kind::buttonPress:
            event.type = raw.button == 1 ? leftMouseDown : raw.button == 3 ? rightMouseDown : otherMouseDown;
            event.clickCount = raw.clickCount;
            break;
        case X11GlobalInput::Kind::buttonRelease:
            if (raw.button != 1)
                return; // only the left button's release is watched
            event.type = leftMouseUp;
            event.clickCount = raw.clickCount;
            break;
        case X11GlobalInput::Kind::motion:
            if (!raw.leftButtonHeld)
                return;
            event.type = leftMouseDragged;
            break;
        case X11GlobalInput::Kind::keyPress:
            event.type = keyDown;
            break;
        case X11GlobalInput::Kind::scroll:
            event.type = scrollWheel;
            break;
        }
        // Our own windows get their events through the local monitors. A button event one of
        // them has had already is ours even when its window has closed since.
        bool ours = false;
        if (event.type == keyDown)
            ours = QGuiApplication::focusWindow() != nullptr;
        else if (raw.kind == X11GlobalInput::Kind::buttonPress || raw.kind == X11GlobalInput::Kind::buttonRelease)
            ours = m_localButtons.removeOne(buttonKey(raw.kind == X11GlobalInput::Kind::buttonPress, raw.time))
                || overOwnWindow(*m_x, raw.position);
        else
            ours = overOwnWindow(*m_x, raw.position);
        if (!ours) {
            // Handlers asking where the pointer is "now" get the event's moment: by the time a
            // fast drag's press is delivered, the pointer may already be at the release point.
            m_delivering = event;
            m_monitors.deliver(false, event);
            m_delivering.reset();
        }
    });
}

DesktopEventMonitors::~DesktopEventMonitors()
{
    if (m_filtering && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool DesktopEventMonitors::isAvailable() const
{
    return m_raw != nullptr;
}

ModifierFlags DesktopEventMonitors::flags(unsigned xState)
{
    ModifierFlags out;
    if (xState & xShift)
        out.rawValue |= ModifierFlags::shift;
    if (xState & xControl)
        out.rawValue |= ModifierFlags::control;
    if (xState & xMod1)
        out.rawValue |= ModifierFlags::option;
    if (xState & xMod4)
        out.rawValue |= ModifierFlags::command;
    // The Fn key is handled inside the keyboard and never reaches X: function is never held.
    return out;
}

std::optional<EventMonitors::Token> DesktopEventMonitors::add(bool local, EventMask mask, Handler handler)
{
    if (!isAvailable() || !handler)
        return std::nullopt;
    const Token token = m_monitors.add(local, mask, std::move(handler));
    updateListening();
    return token;
}

std::optional<EventMonitors::Token> DesktopEventMonitors::addGlobalMonitor(EventMask mask, Handler handler)
{
    return add(false, mask, std::move(handler));
}

std::optional<EventMonitors::Token> DesktopEventMonitors::addLocalMonitor(EventMask mask, Handler handler)
{
    return add(true, mask, std::move(handler));
}

void DesktopEventMonitors::removeMonitor(Token token)
{
    if (m_monitors.remove(token))
        updateListening();
}

void DesktopEventMonitors::updateListening()
{
    const bool global = m_monitors.hasAny(false);
    const bool local = m_monitors.hasAny(true);
    if (m_raw)
        m_raw->setListening(global);
    if (local != m_filtering && QCoreApplication::instance()) {
        m_filtering = local;
        if (local)
            QCoreApplication::instance()->installEventFilter(this);
        else
            QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool DesktopEventMonitors::eventFilter(QObject* watched, QEvent* event)
{
    // Only what reaches a window counts, once (widgets see the same event again).
    auto* window = qobject_cast<QWindow*>(watched);
    if (!window)
        return false;
    InputEvent out;
    out.window = window;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() != QEvent::MouseMove) {
            const quint64 key = buttonKey(event->type() != QEvent::MouseButtonRelease, mouse->timestamp());
            if (!m_localButtons.contains(key))
                m_localButtons.append(key);
            if (m_localButtons.size() > 16)
                m_localButtons.removeFirst();
        }
        out.location = DesktopScreens::toGlobal(mouse->globalPosition(), primaryHeight());
        out.modifiers = qtFlags(mouse->modifiers());
        if (event->type() == QEvent::MouseMove) {
            if (!(mouse->buttons() & Qt::LeftButton))
                return false;
            out.type = leftMouseDragged;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            if (mouse->button() != Qt::LeftButton)
                return false;
            out.type = leftMouseUp;
            // The release of a double click's second press is the double click's too.
            out.clickCount = m_localClickCount;
        } else {
            out.type = mouse->button() == Qt::LeftButton ? leftMouseDown
                : mouse->button() == Qt::RightButton     ? rightMouseDown
                                                         : otherMouseDown;
            out.clickCount = event->type() == QEvent::MouseButtonDblClick ? 2 : 1;
            if (mouse->button() == Qt::LeftButton)
                m_localClickCount = out.clickCount;
        }
        break;
    }
    case QEvent::KeyPress:
        out.type = keyDown;
        out.location = pointerLocation();
        out.modifiers = qtFlags(static_cast<QKeyEvent*>(event)->modifiers());
        break;
    case QEvent::Wheel:
        out.type = scrollWheel;
        out.location = DesktopScreens::toGlobal(static_cast<QWheelEvent*>(event)->globalPosition(), primaryHeight());
        out.modifiers = qtFlags(static_cast<QWheelEvent*>(event)->modifiers());
        break;
    default:
        return false;
    }
    // As for the global monitors: where the pointer is "now" is where it was at this event, which
    // may be handled after the pointer has moved on (a quick drag).
    const auto outer = std::exchange(m_delivering, out);
    m_monitors.deliver(true, out);
    m_delivering = outer;
    return false;
}

QPointF DesktopEventMonitors::pointerLocation() const
{
    if (m_delivering)
        return m_delivering->location;
    return m_raw ? fromX(m_raw->pointer()) : QPointF();
}

ModifierFlags DesktopEventMonitors::modifierFlags() const
{
    if (m_delivering)
        return m_delivering->modifiers;
    return m_raw ? flags(m_raw->modifiers()) : ModifierFlags();
}

} // namespace Platform
