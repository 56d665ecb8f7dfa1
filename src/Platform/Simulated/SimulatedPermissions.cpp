#include "Platform/Simulated/SimulatedPermissions.h"

namespace Platform {

bool SimulatedPermissions::isAccessibilityTrusted() const
{
    ++accessibilityChecks;
    return m_accessibility;
}

bool SimulatedPermissions::promptForAccessibility()
{
    ++accessibilityPrompts;
    return m_accessibility;
}

bool SimulatedPermissions::isFinderExtensionEnabled() const
{
    ++extensionChecks;
    return m_extension;
}

bool SimulatedPermissions::isInputMonitoringGranted() const
{
    ++inputMonitoringChecks;
    return m_inputMonitoring;
}

bool SimulatedPermissions::requestInputMonitoring()
{
    ++inputMonitoringRequests;
    return m_inputMonitoring;
}

} // namespace Platform
