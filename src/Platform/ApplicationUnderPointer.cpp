#include "Platform/ApplicationUnderPointer.h"

#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <limits>
#include <mutex>

namespace Platform {

ApplicationUnderPointer::ApplicationUnderPointer(std::shared_ptr<WindowList> windows,
                                                 std::shared_ptr<Workspace> workspace,
                                                 std::chrono::milliseconds patience)
    : m_windows(std::move(windows)), m_workspace(std::move(workspace)), m_patience(patience)
{
}

std::optional<qint64> ApplicationUnderPointer::ownerAt(const QList<WindowInfo>& frontToBack, QPointF point)
{
    for (const WindowInfo& w : frontToBack) {
        const QRectF& r = w.bounds;
        if (w.layer != 0 || !r.isValid() || point.x() < r.left() || point.x() >= r.right() || point.y() < r.top()
            || point.y() >= r.bottom())
            continue;
        if (w.ownerProcessID <= 0 || w.ownerProcessID > std::numeric_limits<qint32>::max())
            continue;
        return w.ownerProcessID;
    }
    return std::nullopt;
}

std::optional<QString> ApplicationUnderPointer::lookUp(QPointF point) const
{
    if (!m_windows || !m_workspace || !m_windows->isAvailable())
        return std::nullopt;
    const auto owner = ownerAt(m_windows->onScreenWindows(false), point);
    if (!owner)
        return std::nullopt;
    for (const ApplicationInfo& app : m_workspace->runningApplications())
        if (app.processID == *owner)
            return app.bundleIdentifier.isEmpty() ? std::nullopt : std::optional(app.bundleIdentifier);
    return std::nullopt;
}

std::optional<QString> ApplicationUnderPointer::operator()(QPointF point) const
{
    if (!m_workspace || QThread::currentThread() == m_workspace->thread())
        return lookUp(point);

    // Shared with the queued call, which may run after this call has given up.
    struct Answer {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        std::optional<QString> result;
    };
    auto answer = std::make_shared<Answer>();
    const bool queued = QMetaObject::invokeMethod(
        m_workspace.get(),
        [answer, point, windows = m_windows, workspace = m_workspace, patience = m_patience] {
            const auto result = ApplicationUnderPointer(windows, workspace, patience).lookUp(point);
            std::lock_guard lock(answer->mutex);
            answer->result = result;
            answer->done = true;
            answer->ready.notify_all();
        },
        Qt::QueuedConnection);
    if (!queued)
        return std::nullopt;
    std::unique_lock lock(answer->mutex);
    if (!answer->ready.wait_for(lock, m_patience, [&] { return answer->done; }))
        return std::nullopt;
    return answer->result;
}

} // namespace Platform
