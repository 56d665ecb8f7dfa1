#pragma once

#include "Platform/SystemInfo.h"

namespace Platform {

// Settable values; the default system version and the build's version until told otherwise.
class SimulatedSystemInfo final : public SystemInfo {
public:
    OperatingSystemVersion operatingSystemVersion() const override { return m_system; }
    QString applicationVersion() const override { return m_application; }

    void setOperatingSystemVersion(OperatingSystemVersion v) { m_system = v; }
    void setApplicationVersion(QString v) { m_application = std::move(v); }

private:
    OperatingSystemVersion m_system = defaultOperatingSystemVersion;
    QString m_application = buildVersion();
};

} // namespace Platform
