#pragma once

#include "Platform/Permissions.h"

#include <QHash>

namespace Platform {

// Permission states that tests set; records what was asked of the system.
class SimulatedPermissions final : public Permissions {
    Q_OBJECT
public:
    using Permissions::Permissions;

    bool isAccessibilityTrusted() const override;
    bool promptForAccessibility() override;
    bool isFinderExtensionEnabled() const override;
    bool isInputMonitoringGranted() const override;
    bool requestInputMonitoring() override;
    Guidance guidance(Consent consent) const override { return m_guidance.value(int(consent)); }

    // Script
    void setAccessibilityTrusted(bool trusted) { m_accessibility = trusted; }
    void setFinderExtensionEnabled(bool enabled) { m_extension = enabled; }
    void setInputMonitoringGranted(bool granted) { m_inputMonitoring = granted; }
    void setGuidance(Consent consent, Guidance guidance) { m_guidance.insert(int(consent), guidance); }

    // Record
    mutable int accessibilityChecks = 0;
    mutable int extensionChecks = 0;
    mutable int inputMonitoringChecks = 0;
    int accessibilityPrompts = 0;
    int inputMonitoringRequests = 0;

private:
    bool m_accessibility = false;
    bool m_extension = false;
    bool m_inputMonitoring = false;
    QHash<int, Guidance> m_guidance;
};

} // namespace Platform
