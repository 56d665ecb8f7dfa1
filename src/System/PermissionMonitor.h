#pragma once

#include "System/Permission.h"
#include "System/PollTimer.h"

#include <QList>
#include <QMap>
#include <QObject>

#include <chrono>
#include <memory>

namespace Platform {
class Permissions;
}

// The observed state of the permissions the application asks for. It tests them again on
// request and, while polling, after every interval; it can make the system ask the user.
// Main thread only.
class PermissionMonitor : public QObject {
    Q_OBJECT
public:
    using Grants = QMap<Permission, bool>;

    // Tests the asked permissions once. Without a timer, polling sleeps on the event loop.
    explicit PermissionMonitor(std::shared_ptr<Platform::Permissions> permissions,
                               std::unique_ptr<PollTimer> timer = nullptr, QObject* parent = nullptr);
    ~PermissionMonitor() override;

    // The last observed state: one entry per asked permission.
    const Grants& granted() const { return m_granted; }
    // Replaces the whole state; observers hear of it only when it differs.
    void setGranted(const Grants& granted);

    // False for a permission without entry (Input Monitoring is never tested).
    bool isGranted(Permission permission) const { return m_granted.value(permission, false); }
    // The asked permissions not granted, in their order.
    QList<Permission> missing() const;
    bool allGranted() const { return missing().isEmpty(); }

    // Tests every asked permission; observers hear of it every time, also when nothing changed.
    void refresh();

    // Refreshes after every interval until stopped; a second call while polling keeps the first
    // interval. Stopping ends the sleep at once and refreshes one last time.
    void startPolling(std::chrono::milliseconds interval);
    void stopPolling();
    bool isPolling() const { return m_polling; }

    // Make the system ask the user; the answer shows at the next refresh.
    void requestAccessibility();
    void requestInputMonitoring();

signals:
    void grantedChanged(const PermissionMonitor::Grants& previous, const PermissionMonitor::Grants& current);

private:
    bool test(Permission permission) const;
    void pollTick();

    std::shared_ptr<Platform::Permissions> m_permissions;
    std::unique_ptr<PollTimer> m_timer;
    Grants m_granted;
    bool m_polling = false;
    std::chrono::milliseconds m_interval{0};
};
