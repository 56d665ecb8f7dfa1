#pragma once

#include "Platform/Permissions.h"

#include <QString>

namespace Platform {

// What this desktop can tell. No program may read other applications' interfaces here, so
// Accessibility is never trusted and there is no prompt to show. The file-manager extension
// reports its state in "extension-state.json" in its container ({"enabled": true} when on);
// a missing or unreadable file counts as off. Reading input needs no consent here, so Input
// Monitoring is granted.
class DesktopPermissions final : public Permissions {
    Q_OBJECT
public:
    explicit DesktopPermissions(QString extensionContainer, QObject* parent = nullptr);

    bool isAccessibilityTrusted() const override { return false; }
    bool promptForAccessibility() override { return false; }
    bool isFinderExtensionEnabled() const override;
    bool isInputMonitoringGranted() const override { return true; }
    bool requestInputMonitoring() override { return true; }

    QString extensionStatePath() const;

private:
    QString m_container;
};

} // namespace Platform
