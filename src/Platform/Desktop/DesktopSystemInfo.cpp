#include "Platform/Desktop/DesktopSystemInfo.h"

#include <QCoreApplication>

namespace Platform {

DesktopSystemInfo::DesktopSystemInfo(OperatingSystemVersion system, QString application)
    : m_system(system)
    , m_application(std::move(application))
{
}

DesktopSystemInfo DesktopSystemInfo::fromEnvironment()
{
    OperatingSystemVersion system = defaultOperatingSystemVersion;
    if (const QString configured = qEnvironmentVariable("AMBREL_SYSTEM_VERSION"); !configured.isEmpty()) {
        if (auto parsed = OperatingSystemVersion::parse(configured))
            system = *parsed;
    }
    QString application = QCoreApplication::applicationVersion();
    if (application.isEmpty())
        application = buildVersion();
    return DesktopSystemInfo(system, application);
}

} // namespace Platform
