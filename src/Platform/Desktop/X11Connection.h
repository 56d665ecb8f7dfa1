#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Xlib types without Xlib's macros in every includer.
typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

class QSocketNotifier;

namespace Platform {

// This process's own connection to the X server, beside Qt's: the desktop services read window
// properties, grab keys, listen to raw input and post synthetic events through it. Events are
// read on the main thread and handed to every listener.
class X11Connection final : public QObject {
    Q_OBJECT
public:
    using XID = unsigned long;
    using Listener = std::function<void(const XEvent&)>;

    ~X11Connection() override;

    // The shared connection to $DISPLAY; none on a Wayland session or without an X server.
    static std::shared_ptr<X11Connection> shared();
    // True when the session is X11 (Wayland sessions with XWayland are not).
    static bool isX11Session();

    Display* display() const { return m_display; }
    XID root() const { return m_root; }
    XID atom(const char* name);
    QString atomName(XID atom) const;

    // Runs the requests and waits for the server to handle them; the X error code the first of
    // them raised, or 0.
    int checked(const std::function<void()>& requests);

    // Window properties; none when missing or of another format.
    std::optional<QList<unsigned long>> cardinals(XID window, const char* property);
    std::optional<QByteArray> bytes(XID window, const char* property);
    std::optional<XID> windowProperty(XID window, const char* property);

    // The mapped windows under a point of the root window (device pixels), as the server stacks
    // them: the root's top-most child there first, then that window's top-most child there, and so
    // on down. The last one is where the server delivers a press at that point. Empty when it
    // cannot say.
    QList<XID> windowsAt(QPoint point);

    // Adds to the events this connection selects on the root window (several services share it).
    void selectRootEvents(long mask);

    // Receives every event read from the server until removed.
    int addListener(Listener listener);
    void removeListener(int id);

    // Errors on another connection of ours (a worker thread's) are kept from Xlib's handler,
    // which would end the process; takeError answers and clears the first one since.
    static void trackErrors(Display* display);
    static void untrackErrors(Display* display);
    static int takeError(Display* display);

    // Key presses this process posted itself: each noted press is recognised once when it is
    // seen, within a short time, so that input watchers can leave it out.
    void noteOwnKeyPresses(const QList<int>& keycodes);
    bool takeOwnKeyPress(int keycode);

    // Reads and dispatches what the server has sent; also done whenever the socket is readable.
    void dispatch();
    // The event being handed to the listeners now: out of the queue, and perhaps not yet seen by
    // every listener.
    const XEvent* dispatching() const { return m_dispatching; }

private:
    explicit X11Connection(Display* display);

    Display* m_display;
    XID m_root;
    QSocketNotifier* m_notifier;
    QHash<QByteArray, XID> m_atoms;
    QHash<int, Listener> m_listeners;
    int m_nextListener = 1;
    long m_rootMask = 0;
    const XEvent* m_dispatching = nullptr;
    QList<QPair<int, qint64>> m_ownKeys; // keycode, deadline (ms since epoch)
};

} // namespace Platform
