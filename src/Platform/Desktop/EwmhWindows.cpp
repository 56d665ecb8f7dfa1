#include "Platform/Desktop/EwmhWindows.h"

#include "Platform/Desktop/X11Connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <QHash>

namespace Platform {

struct EwmhWindows::Cache {
    struct Entry {
        std::optional<Client> client;
        bool viewable = false;
        XID topLevel = 0;         // its ancestor just below the root (the frame that moves)
        unsigned long readAt = 0; // serial of the first request that read it
        bool stale = false;
    };

    explicit Cache(X11Connection& x)
        : x(x)
        , stackingAtom(x.atom("_NET_CLIENT_LIST_STACKING"))
        , activeAtom(x.atom("_NET_ACTIVE_WINDOW"))
    {
        for (const char* name : {"_NET_WM_PID", "WM_CLASS", "_NET_WM_WINDOW_TYPE", "_NET_FRAME_EXTENTS"})
            clientAtoms.append(x.atom(name));
        x.selectRootEvents(PropertyChangeMask | SubstructureNotifyMask);
        listener = x.addListener([this](const XEvent& event) {
            if (note(event))
                for (const auto& changed : QHash(changeListeners))
                    changed();
        });
    }
    ~Cache() { x.removeListener(listener); }

    // An event is news only when the server made it at or after the request that read the thing:
    // anything earlier is already in what was read.
    // True when it concerns something kept (even if that was read again since: a watcher may still
    // hold an older copy).
    bool note(const XEvent& event)
    {
        const unsigned long serial = event.xany.serial;
        XID window = 0;
        switch (event.type) {
        case PropertyNotify:
            if (event.xproperty.window == x.root()) {
                if (event.xproperty.atom == stackingAtom) {
                    stackingStale = stackingStale || serial >= stackingReadAt;
                    return true;
                }
                if (event.xproperty.atom == activeAtom) {
                    activeStale = activeStale || serial >= activeReadAt;
                    return true;
                }
                return false;
            }
            if (!clientAtoms.contains(event.xproperty.atom))
                return false;
            window = event.xproperty.window;
            break;
        case ConfigureNotify: window = event.xconfigure.window; break;
        case MapNotify: window = event.xmap.window; break;
        case UnmapNotify: window = event.xunmap.window; break;
        case ReparentNotify: window = event.xreparent.window; break;
        case GravityNotify: window = event.xgravity.window; break;
        case DestroyNotify: window = event.xdestroywindow.window; break;
        default: return false;
        }
        bool changed = false;
        if (const auto it = byTopLevel.constFind(window); it != byTopLevel.constEnd())
            changed = touch(*it, serial, false);
        return touch(window, serial, event.type == DestroyNotify) || changed;
    }

    bool touch(XID window, unsigned long serial, bool destroyed)
    {
        const auto it = entries.find(window);
        if (it == entries.end())
            return false;
        if (serial < it->readAt)
            return true;
        if (!destroyed) {
            it->stale = true;
            return true;
        }
        if (it->topLevel != window)
            byTopLevel.remove(it->topLevel);
        entries.erase(it);
        return true;
    }

    // Takes in what the server has sent so far without waiting for anything; the events stay queued
    // for the connection's listeners. A listener may look before this one heard its event.
    void catchUp()
    {
        if (const XEvent* current = x.dispatching())
            note(*current);
        XEvent unused;
        XCheckIfEvent(
            x.display(), &unused,
            [](Display*, XEvent* event, XPointer self) -> Bool {
                reinterpret_cast<Cache*>(self)->note(*event);
                return False;
            },
            reinterpret_cast<XPointer>(this));
    }

    X11Connection& x;
    int listener = 0;
    Atom stackingAtom;
    Atom activeAtom;
    QList<Atom> clientAtoms;
    QHash<XID, Entry> entries;
    QHash<XID, XID> byTopLevel;
    QList<XID> stacking;
    unsigned long stackingReadAt = 0;
    bool stackingStale = true;
    std::optional<XID> active;
    unsigned long activeReadAt = 0;
    bool activeStale = true;
    int reads = 0;
    QHash<int, std::function<void()>> changeListeners;
    int nextChangeListener = 1;
};

namespace {

std::shared_ptr<EwmhWindows::Cache> cacheFor(X11Connection& x)
{
    // Main thread only, like the connection.
    static QHash<X11Connection*, std::weak_ptr<EwmhWindows::Cache>> caches;
    if (auto cache = caches.value(&x).lock())
        return cache;
    auto cache = std::make_shared<EwmhWindows::Cache>(x);
    caches.insert(&x, cache);
    return cache;
}

} // namespace

EwmhWindows::EwmhWindows(std::shared_ptr<X11Connection> connection)
    : m_x(std::move(connection))
    , m_cache(cacheFor(*m_x))
{
}

EwmhWindows::~EwmhWindows() = default;

int EwmhWindows::windowsRead() const
{
    return m_cache->reads;
}

int EwmhWindows::addChangeListener(std::function<void()> listener)
{
    const int id = m_cache->nextChangeListener++;
    m_cache->changeListeners.insert(id, std::move(listener));
    return id;
}

void EwmhWindows::removeChangeListener(int id)
{
    m_cache->changeListeners.remove(id);
}

QList<EwmhWindows::Client> EwmhWindows::stacking()
{
    return listed(true);
}

QList<EwmhWindows::Client> EwmhWindows::clients()
{
    return listed(false);
}

QList<EwmhWindows::Client> EwmhWindows::listed(bool mappedOnly)
{
    Cache& cache = *m_cache;
    cache.catchUp();
    if (cache.stackingStale) {
        cache.stackingReadAt = NextRequest(m_x->display());
        cache.stackingStale = false;
        const auto windows = m_x->cardinals(m_x->root(), "_NET_CLIENT_LIST_STACKING");
        cache.stacking = windows ? QList<XID>(windows->begin(), windows->end()) : QList<XID>();
    }
    QList<Client> out;
    for (const XID window : std::as_const(cache.stacking))
        if (auto c = kept(window, mappedOnly))
            out.append(*c);
    return out;
}

std::optional<EwmhWindows::Client> EwmhWindows::client(XID window, bool mappedOnly)
{
    if (window == m_x->root()) {
        bool viewable = false;
        XID topLevel = 0;
        return read(window, viewable, topLevel);
    }
    m_cache->catchUp();
    return kept(window, mappedOnly);
}

std::optional<EwmhWindows::Client> EwmhWindows::kept(XID window, bool mappedOnly)
{
    Cache& cache = *m_cache;
    auto it = cache.entries.find(window);
    if (it == cache.entries.end() || it->stale) {
        Cache::Entry entry;
        entry.readAt = NextRequest(m_x->display());
        // Notices first, so that a change while it is read is heard.
        m_x->checked([&] { XSelectInput(m_x->display(), window, StructureNotifyMask | PropertyChangeMask); });
        entry.client = read(window, entry.viewable, entry.topLevel);
        ++cache.reads;
        if (it != cache.entries.end() && it->topLevel != window)
            cache.byTopLevel.remove(it->topLevel);
        if (!entry.client) {
            // Gone: nothing would tell when the number is used again.
            if (it != cache.entries.end())
                cache.entries.erase(it);
            return std::nullopt;
        }
        if (entry.topLevel && entry.topLevel != window)
            cache.byTopLevel.insert(entry.topLevel, window);
        it = cache.entries.insert(window, entry);
    }
    if (mappedOnly && !it->viewable)
        return std::nullopt;
    return it->client;
}

std::optional<EwmhWindows::Client> EwmhWindows::read(XID window, bool& viewable, XID& topLevel)
{
    XWindowAttributes attributes;
    bool ok = false;
    if (m_x->checked([&] { ok = XGetWindowAttributes(m_x->display(), window, &attributes) != 0; }) || !ok)
        return std::nullopt; // gone meanwhile
    viewable = attributes.map_state == IsViewable;
    Client c;
    c.window = window;
    c.mapped = viewable;
    if (const auto pid = m_x->cardinals(window, "_NET_WM_PID"); pid && !pid->isEmpty())
        c.processID = qint64(pid->first());
    if (const auto wmClass = m_x->bytes(window, "WM_CLASS")) {
        const QList<QByteArray> parts = wmClass->split('\0');
        c.instance = parts.value(0);
        c.className = parts.value(1);
    }
    if (const auto types = m_x->cardinals(window, "_NET_WM_WINDOW_TYPE")) {
        c.desktop = types->contains(m_x->atom("_NET_WM_WINDOW_TYPE_DESKTOP"));
        c.dock = types->contains(m_x->atom("_NET_WM_WINDOW_TYPE_DOCK"));
    }
    c.frame = frame(window).value_or(QRect());
    topLevel = window;
    for (;;) {
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        Status status = 0;
        if (m_x->checked([&] { status = XQueryTree(m_x->display(), topLevel, &root, &parent, &children, &count); })
            || !status)
            break;
        if (children)
            XFree(children);
        if (parent == None || parent == root)
            break;
        topLevel = parent;
    }
    return c;
}

std::optional<EwmhWindows::XID> EwmhWindows::activeWindow()
{
    Cache& cache = *m_cache;
    cache.catchUp();
    if (cache.activeStale) {
        cache.activeReadAt = NextRequest(m_x->display());
        cache.activeStale = false;
        const auto active = m_x->windowProperty(m_x->root(), "_NET_ACTIVE_WINDOW");
        cache.active = active && *active != None ? active : std::nullopt;
    }
    return cache.active;
}

std::optional<QRect> EwmhWindows::frame(XID window)
{
    Display* display = m_x->display();
    XWindowAttributes attributes;
    int x = 0, y = 0;
    Window child = None;
    bool ok = false;
    const int error = m_x->checked([&] {
        ok = XGetWindowAttributes(display, window, &attributes)
            && XTranslateCoordinates(display, window, m_x->root(), 0, 0, &x, &y, &child);
    });
    if (error || !ok)
        return std::nullopt;
    QRect rect(x - attributes.border_width, y - attributes.border_width, attributes.width + 2 * attributes.border_width,
               attributes.height + 2 * attributes.border_width);
    // left, right, top, bottom decorations the window manager added around the client.
    if (const auto extents = m_x->cardinals(window, "_NET_FRAME_EXTENTS"); extents && extents->size() == 4)
        rect.adjust(-int((*extents)[0]), -int((*extents)[2]), int((*extents)[1]), int((*extents)[3]));
    return rect;
}

bool EwmhWindows::activate(XID window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m_x->atom("_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // source: a pager, acting for the user
    event.xclient.data.l[1] = CurrentTime;
    const int error = m_x->checked([&] {
        XSendEvent(m_x->display(), m_x->root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    });
    return error == 0;
}

} // namespace Platform
