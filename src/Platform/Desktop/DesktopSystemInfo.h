#pragma once

#include "Platform/SystemInfo.h"

namespace Platform {

// Configured values: the system version from AMBREL_SYSTEM_VERSION ("major.minor.patch") when
// set and well formed, else the default; the application version from the application object
// when it has one, else the build's.
class DesktopSystemInfo final : public SystemInfo {
public:
    DesktopSystemInfo(OperatingSystemVersion system, QString application);
    static DesktopSystemInfo fromEnvironment();

    OperatingSystemVersion operatingSystemVersion() const override { return m_system; }
    QString applicationVersion() const override { return m_application; }

private:
    OperatingSystemVersion m_system;
    QString m_application;
};

} // namespace Platform
