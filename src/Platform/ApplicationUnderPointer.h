#pragma once

#include "Platform/WindowList.h"
#include "Platform/Workspace.h"

#include <QPointF>

#include <chrono>
#include <memory>
#include <optional>

namespace Platform {

// Which application a point on screen belongs to: the owner of the frontmost ordinary window
// (layer 0) that contains it. Input threads ask it; the window list and the workspace answer on
// the main thread, where they live.
class ApplicationUnderPointer {
public:
    ApplicationUnderPointer(std::shared_ptr<WindowList> windows, std::shared_ptr<Workspace> workspace,
                            std::chrono::milliseconds patience = std::chrono::milliseconds(30));

    // Top-left global coordinates. From another thread the answer is awaited at most `patience`
    // (a busy main thread must not hold the pointer); nothing when it does not come in time, when
    // no ordinary window contains the point, or when the first that does has no known application.
    std::optional<QString> operator()(QPointF point) const;

    // The owner of the first window, front to back, that is on layer 0, contains the point
    // (half-open: the far edges are outside) and names its process; no later window is tried.
    static std::optional<qint64> ownerAt(const QList<WindowInfo>& frontToBack, QPointF point);

private:
    std::optional<QString> lookUp(QPointF point) const; // on the main thread

    std::shared_ptr<WindowList> m_windows;
    std::shared_ptr<Workspace> m_workspace;
    std::chrono::milliseconds m_patience;
};

} // namespace Platform
