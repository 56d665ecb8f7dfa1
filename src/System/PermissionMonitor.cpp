#include "System/PermissionMonitor.h"

#include "Platform/Permissions.h"

PermissionMonitor::PermissionMonitor(std::shared_ptr<Platform::Permissions> permissions,
                                     std::unique_ptr<PollTimer> timer, QObject* parent)
    : QObject(parent)
    , m_permissions(std::move(permissions))
    , m_timer(timer ? std::move(timer) : std::make_unique<QtPollTimer>())
{
    connect(m_timer.get(), &PollTimer::timeout, this, &PermissionMonitor::pollTick);
    refresh();
}

PermissionMonitor::~PermissionMonitor() = default;

void PermissionMonitor::setGranted(const Grants& granted)
{
    if (granted == m_granted)
        return;
    const Grants previous = std::exchange(m_granted, granted);
    emit grantedChanged(previous, m_granted);
}

QList<Permission> PermissionMonitor::missing() const
{
    QList<Permission> list;
    for (Permission p : askedPermissions())
        if (!isGranted(p))
            list << p;
    return list;
}

bool PermissionMonitor::test(Permission permission) const
{
    switch (permission) {
    case Permission::finderExtension: return m_permissions->isFinderExtensionEnabled();
    case Permission::accessibility: return m_permissions->isAccessibilityTrusted();
    case Permission::inputMonitoring: return m_permissions->isInputMonitoringGranted();
    }
    return false;
}

void PermissionMonitor::refresh()
{
    const Grants previous = m_granted;
    for (Permission p : askedPermissions())
        m_granted.insert(p, test(p));
    emit grantedChanged(previous, m_granted);
}

void PermissionMonitor::startPolling(std::chrono::milliseconds interval)
{
    if (m_polling)
        return;
    m_polling = true;
    m_interval = interval;
    m_timer->start(m_interval);
}

void PermissionMonitor::stopPolling()
{
    if (!m_polling)
        return;
    m_polling = false;
    m_timer->stop();
    // The interrupted sleep still ends in one refresh, on the next turn of the loop; a monitor
    // destroyed before then refreshes no more.
    QMetaObject::invokeMethod(this, &PermissionMonitor::refresh, Qt::QueuedConnection);
}

void PermissionMonitor::pollTick()
{
    if (!m_polling)
        return;
    refresh();
    if (m_polling)
        m_timer->start(m_interval);
}

void PermissionMonitor::requestAccessibility()
{
    m_permissions->promptForAccessibility();
}

void PermissionMonitor::requestInputMonitoring()
{
    m_permissions->requestInputMonitoring();
}
