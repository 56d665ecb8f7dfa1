#pragma once

#include "ActionCore/ActionDefinition.h"
#include "ActionCore/ActionPreferences.h"
#include "LocalActions/Files/TemplateImport.h"
#include "LocalActions/Finder/FinderMenuPreferences.h"
#include "Platform/Services.h"
#include "System/GlobalHotKey.h"
#include "System/UsagePreset.h"

#include <QObject>
#include <QSet>

#include <optional>
#include <set>

class PermissionMonitor;

// Tells the settings pages that a setting they show has changed, wherever the change came from.
class SettingsNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void changed();
};

// What the settings pages read and change of the application. Every setter stores the value and
// pushes it into the service concerned; the pages keep no copy of their own.
class SettingsModel {
public:
    virtual ~SettingsModel() = default;

    virtual SettingsNotifier& settingsNotifier() = 0;
    virtual const Platform::Services& services() const = 0;
    virtual PermissionMonitor& permissions() = 0;

    virtual UsagePreset preset() const = 0;
    virtual void setPreset(UsagePreset preset) = 0;
    virtual bool telemetryEnabled() const = 0;
    virtual void setTelemetryEnabled(bool enabled) = 0;

    // The file manager's menu.
    virtual const FinderMenuPreferences& menuPreferences() const = 0;
    virtual void setMenuPreferences(const FinderMenuPreferences& preferences) = 0;
    virtual void setFinderAction(const QString& id, bool enabled) = 0;
    virtual void toggleFinderActionPromotion(const QString& id) = 0;
    virtual std::optional<GlobalHotKey::Combination> newFileShortcut() const = 0;
    virtual void setNewFileShortcut(const std::optional<GlobalHotKey::Combination>& shortcut) = 0;
    virtual bool newFileShortcutRefused() const = 0;
    struct TemplateImportFailure {
        QString fileName;
        TemplateImport::Failure failure;
    };
    // Copies each file into the templates folder and adds it to the custom templates, saving
    // after each one; answers what could not be imported, in order.
    virtual QList<TemplateImportFailure> importTemplates(const QStringList& paths) = 0;

    // The selection toolbar.
    virtual const ActionPreferences& actionPreferences() const = 0;
    // The text actions, then the AI actions of scope text, built-in before custom.
    virtual QList<ActionDefinition> allSelectionActions() const = 0;
    virtual void toggleAction(const QString& id) = 0;
    virtual void moveAction(const QString& id, qsizetype step, const QList<ActionDefinition>& displayed) = 0;
    virtual void moveActions(const std::set<qsizetype>& offsets, qsizetype destination,
                             const QList<ActionDefinition>& displayed) = 0;
    virtual void setShowsAIActions(bool shows) = 0;
    // Reads one of the toolbar's stored options back and hands it to the running toolbar.
    virtual void applySelectionOption(const QString& key) = 0;
    virtual const QSet<QString>& blockedApps() const = 0;
    virtual void setBlockedApps(const QSet<QString>& apps) = 0;
    virtual bool excludesPasswordApps() const = 0;
    virtual void setExcludesPasswordApps(bool excludes) = 0;
    virtual void syncSelectionMonitor() = 0;
};
