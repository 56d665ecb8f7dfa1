#pragma once

#include <QObject>

namespace Platform {

// The consents only the user can give: trust for reading other applications' interfaces
// (Accessibility), the enabled file-manager extension and listening to input (Input Monitoring).
// A state that cannot be confirmed reads as not granted.
class Permissions : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isAccessibilityTrusted() const = 0;
    // Asks the system to show its prompt when not trusted; returns the trust at the time of asking.
    virtual bool promptForAccessibility() = 0;
    virtual bool isFinderExtensionEnabled() const = 0;
    virtual bool isInputMonitoringGranted() const = 0;
    // Makes the system ask the user once; returns whether access is granted.
    virtual bool requestInputMonitoring() = 0;
};

} // namespace Platform
