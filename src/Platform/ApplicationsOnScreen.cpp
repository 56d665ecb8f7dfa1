#include "Platform/ApplicationsOnScreen.h"

#include <QHash>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <limits>

namespace Platform {

WindowSnapshot WindowSnapshot::take(const QList<WindowInfo>& frontToBack, const QList<ApplicationInfo>& running,
                                    std::optional<QString> frontmost, double now)
{
    QHash<qint64, QString> byProcess;
    for (const ApplicationInfo& app : running)
        if (app.processID != 0 && !byProcess.contains(app.processID))
            byProcess.insert(app.processID, app.bundleIdentifier);
    WindowSnapshot snapshot;
    snapshot.frontmost = std::move(frontmost);
    snapshot.takenAt = now;
    for (const WindowInfo& w : frontToBack) {
        if (w.layer != 0 || !w.bounds.isValid() || w.ownerProcessID <= 0
            || w.ownerProcessID > std::numeric_limits<qint32>::max())
            continue;
        snapshot.windows.append({w.bounds, byProcess.value(w.ownerProcessID)});
    }
    return snapshot;
}

std::optional<QString> WindowSnapshot::applicationAt(QPointF p) const
{
    for (const Window& window : windows) {
        const QRectF& b = window.bounds;
        if (p.x() >= b.left() && p.x() < b.right() && p.y() >= b.top() && p.y() < b.bottom()) {
            if (window.bundleIdentifier.isEmpty())
                return std::nullopt;
            return window.bundleIdentifier;
        }
    }
    return std::nullopt;
}

ApplicationsOnScreen::ApplicationsOnScreen(std::shared_ptr<WindowList> windows, std::shared_ptr<Workspace> workspace,
                                           std::function<double()> now, QObject* parent)
    : QObject(parent), m_windows(std::move(windows)), m_workspace(std::move(workspace)), m_now(std::move(now)),
      m_snapshot(std::make_shared<const WindowSnapshot>())
{
    if (!m_now)
        m_now = [] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        };
    if (m_workspace)
        connect(m_workspace.get(), &Workspace::applicationActivated, this, &ApplicationsOnScreen::refresh);
    if (m_windows)
        connect(m_windows.get(), &WindowList::windowsChanged, this, &ApplicationsOnScreen::refresh);
    refresh();
}

std::shared_ptr<const WindowSnapshot> ApplicationsOnScreen::current()
{
    std::shared_ptr<const WindowSnapshot> snapshot;
    {
        std::lock_guard lock(m_mutex);
        snapshot = m_snapshot;
    }
    if (m_now() - snapshot->takenAt < maxAge)
        return snapshot;
    if (QThread::currentThread() == thread()) {
        refresh();
        std::lock_guard lock(m_mutex);
        return m_snapshot;
    }
    if (!m_asked.exchange(true))
        QMetaObject::invokeMethod(this, [this] {
            if (m_asked)
                refresh();
        }, Qt::QueuedConnection);
    return snapshot;
}

void ApplicationsOnScreen::refresh()
{
    m_asked = false;
    std::optional<QString> front;
    QList<WindowInfo> windows;
    QList<ApplicationInfo> running;
    if (m_workspace) {
        if (const auto app = m_workspace->frontmostApplication(); app && !app->bundleIdentifier.isEmpty())
            front = app->bundleIdentifier;
        if (m_windows && m_windows->isAvailable()) {
            windows = m_windows->onScreenWindows(false);
            running = m_workspace->runningApplications();
        }
    }
    auto snapshot = std::make_shared<const WindowSnapshot>(WindowSnapshot::take(windows, running, front, m_now()));
    ++m_taken;
    std::lock_guard lock(m_mutex);
    m_snapshot = std::move(snapshot);
}

} // namespace Platform
