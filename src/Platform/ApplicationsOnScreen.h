#pragma once

#include "Platform/WindowList.h"
#include "Platform/Workspace.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace Platform {

// Which application owns which part of the screen, as of one moment.
struct WindowSnapshot {
    struct Window {
        QRectF bounds; // top-left global coordinates, like the taps' points
        QString bundleIdentifier; // empty when its process is no application we know
    };
    // The ordinary windows (layer 0) that name their process, front to back.
    QList<Window> windows;
    std::optional<QString> frontmost;
    double takenAt = 0; // steady seconds

    static WindowSnapshot take(const QList<WindowInfo>& frontToBack, const QList<ApplicationInfo>& running,
                               std::optional<QString> frontmost, double now);
    // The application of the first window, front to back, that contains the point (half-open: the
    // far edges are outside); nothing when none does or that window's process is no known
    // application: no later window is tried.
    std::optional<QString> applicationAt(QPointF point) const;
};

// One snapshot of the windows for every input thread that asks which application is under the
// pointer. It is taken on the main thread, where the window list and the workspace live: at once,
// whenever an application is activated or the window list reports a change, on refresh(), and
// when a reader finds it older than `maxAge` (then on the main thread's next turn, however many
// readers asked; the reader goes on with the snapshot it has). Readers never wait for the main
// thread.
class ApplicationsOnScreen : public QObject {
    Q_OBJECT
public:
    static constexpr double maxAge = 0.2; // seconds

    ApplicationsOnScreen(std::shared_ptr<WindowList> windows, std::shared_ptr<Workspace> workspace,
                         std::function<double()> now = {}, QObject* parent = nullptr);

    // Any thread: the snapshot as it is, asking for a new one when it is too old (on the main
    // thread a stale snapshot is replaced before it is returned).
    std::shared_ptr<const WindowSnapshot> current();
    // Takes a new snapshot now. Main thread.
    void refresh();
    // How many snapshots were taken.
    int taken() const { return m_taken.load(); }

private:
    std::shared_ptr<WindowList> m_windows;
    std::shared_ptr<Workspace> m_workspace;
    std::function<double()> m_now;
    mutable std::mutex m_mutex; // guards only the pointer's swap and copy
    std::shared_ptr<const WindowSnapshot> m_snapshot;
    std::atomic<bool> m_asked = false;
    std::atomic<int> m_taken = 0;
};

} // namespace Platform
