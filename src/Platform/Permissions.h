#pragma once

#include <QObject>
#include <QString>

namespace Platform {

// The consents only the user can give: trust for reading other applications' interfaces
// (Accessibility), the enabled file-manager extension and listening to input (Input Monitoring).
// A state that cannot be confirmed reads as not granted.
class Permissions : public QObject {
    Q_OBJECT
public:
    // The consents, for asking how each is granted here.
    enum class Consent { accessibility, finderExtension, inputMonitoring };
    // How the user grants a consent on this system: Ambrel switches it on itself when asked (the
    // prompt or the request below), or the user follows the exact steps named by `steps` (an
    // identifier the views turn into text; `argument` fills it, a path for instance).
    struct Guidance {
        bool grantsItself = false;
        QString steps;
        QString argument;
        bool operator==(const Guidance&) const = default;
    };

    using QObject::QObject;

    virtual Guidance guidance(Consent consent) const = 0;

    virtual bool isAccessibilityTrusted() const = 0;
    // Asks the system to show its prompt when not trusted; returns the trust at the time of asking.
    virtual bool promptForAccessibility() = 0;
    virtual bool isFinderExtensionEnabled() const = 0;
    virtual bool isInputMonitoringGranted() const = 0;
    // Makes the system ask the user once; returns whether access is granted.
    virtual bool requestInputMonitoring() = 0;
};

} // namespace Platform
