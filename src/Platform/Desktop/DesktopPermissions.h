#pragma once

#include "Platform/Permissions.h"

#include <QString>

namespace Platform {

// What this desktop can tell. Accessibility is trusted on an X11 session whose accessibility bus
// is reachable and switched on (org.a11y.Status.IsEnabled); the prompt switches it on, as the
// desktop's own accessibility setting does. On Wayland the selection toolbar cannot watch the
// desktop, so it is never trusted there. The file-manager extension
// reports its state in "extension-state.json" in its container ({"enabled": true} when on);
// a missing or unreadable file counts as off. Reading input needs no consent here, so Input
// Monitoring is granted.
class DesktopPermissions final : public Permissions {
    Q_OBJECT
public:
    explicit DesktopPermissions(QString extensionContainer, QObject* parent = nullptr);
    DesktopPermissions(QString extensionContainer, bool x11Session, QObject* parent = nullptr);

    bool isAccessibilityTrusted() const override;
    bool promptForAccessibility() override;
    bool isFinderExtensionEnabled() const override;
    bool isInputMonitoringGranted() const override { return true; }
    bool requestInputMonitoring() override { return true; }
    // Accessibility: switched on by Ambrel on X11, out of reach on Wayland. The extension: the
    // steps name its state file. Input Monitoring needs nothing.
    Guidance guidance(Consent consent) const override;

    QString extensionStatePath() const;

private:
    QString m_container;
    bool m_x11Session = false;
};

} // namespace Platform
