#pragma once

#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>

#include <optional>

namespace Platform {

// One window on screen, as the window list reports it.
struct WindowInfo {
    quint32 number = 0;  // the system's window identifier, never 0
    // The window's frame (decorations included), global, device-independent pixels, origin at
    // the top left of the primary screen, y down.
    QRectF bounds;
    // Stacking layer: 0 for ordinary application windows; negative for desktop elements (the
    // desktop background and its icons); positive for panels, docks, menus and notifications,
    // which float above ordinary windows.
    qint64 layer = 0;
    qint64 ownerProcessID = 0; // 0 when the window does not say
    QString ownerName;
    bool operator==(const WindowInfo&) const = default;
};

// What windows are on screen.
class WindowList : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isAvailable() const = 0;
    // The mapped windows front to back; desktop elements (negative layers) only when asked for.
    // An empty list when the list cannot be read. Answers from the system at the time of asking,
    // within a few milliseconds.
    virtual QList<WindowInfo> onScreenWindows(bool includeDesktopElements) const = 0;
    // The window with this number, whether or not it is on screen; nothing when no such window.
    virtual std::optional<WindowInfo> window(quint32 number) const = 0;

signals:
    // Windows may have moved, been raised, opened or closed since the last answers; lists that
    // cannot tell never send it. Sent on the list's thread, at most once per turn of its loop.
    void windowsChanged();
};

} // namespace Platform
