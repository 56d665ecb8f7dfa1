#pragma once

#include "ActionCore/ActionDefinition.h"
#include "ContextCore/Coding.h"
#include "LocalActions/Files/FileTemplate.h"
#include "LocalActions/Finder/CustomFinderAction.h"

#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace Platform {
class UserDefaults;
}
class SharedPreferencesStore;

// How the file manager's menu looks. The application owns it, stores it in the user defaults and
// mirrors it into the extension's shared file, where the extension reads it.
struct FinderMenuPreferences {
    static constexpr int maximumPromotedActions = 4;
    static constexpr auto userDefaultsKey = "finder.menuPreferences";

    QSet<QString> disabledActionIDs;   // built-in or custom
    QSet<QString> disabledTemplateIDs;
    QList<FileTemplate> customTemplates;
    QString newFileBaseName;           // may hold name variables
    bool usesSingleSubmenu = true;
    bool groupsFileTemplates = true;
    QStringList promotedActionIDs;     // shown beside the submenu, in order; no identifier twice
    std::optional<QString> preferredTerminalBundleID;
    QList<CustomFinderAction> customActions;
    // What was switched off before the whole menu was; present only while it is off.
    std::optional<QSet<QString>> actionIDsDisabledBeforeMenuOff;
    bool isAIConfigured = false;

    bool operator==(const FinderMenuPreferences&) const = default;

    static const FinderMenuPreferences& defaults();

    bool isActionEnabled(const QString& actionID) const { return !disabledActionIDs.contains(actionID); }
    bool isTemplateEnabled(const QString& templateID) const { return !disabledTemplateIDs.contains(templateID); }

    // Every built-in action is switched off; custom ones do not count.
    bool isFullyDisabled() const;
    // Off remembers what was switched off and switches off every built-in action; on gives the
    // remembered set back. Switching to the state it is already in changes nothing.
    void setFullyDisabled(bool off);

    bool isPromoted(const QString& actionID) const { return promotedActionIDs.contains(actionID); }
    bool canPromoteMore() const { return promotedActionIDs.size() < maximumPromotedActions; }

    struct Partition {
        QList<ActionDefinition> promoted; // in the order of promotedActionIDs
        QList<ActionDefinition> nested;   // the rest, in the given order
        bool operator==(const Partition&) const = default;
    };
    Partition partition(const QList<ActionDefinition>& actions) const;

    // The built-in templates, then the user's own.
    QList<FileTemplate> allTemplates() const;
    QList<FileTemplate> enabledTemplates() const;

    // The stored record, or the defaults when it is missing or does not decode.
    static FinderMenuPreferences load(const Platform::UserDefaults& defaults);
    // Stores the record, then mirrors it into the shared file; a failed mirror is ignored.
    void save(Platform::UserDefaults& defaults, const SharedPreferencesStore& store) const;
};

// Sets are arrays (written sorted, read in any order); absent optionals are left out.
QJsonObject toJson(const FinderMenuPreferences& preferences);
// The nine other keys are required with values of their types; unknown keys are ignored.
template <>
std::expected<FinderMenuPreferences, DecodingError> fromJson<FinderMenuPreferences>(const QJsonValue& value);
