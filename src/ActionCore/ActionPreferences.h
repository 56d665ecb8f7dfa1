#pragma once

#include "ActionCore/ActionDefinition.h"
#include "ContextCore/Coding.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QStringList>

#include <memory>
#include <set>

namespace Platform {
class UserDefaults;
}

// The user's say over the selection actions: which come first and in which order, which are
// switched off, how often each was used, and whether AI actions are offered at all. Stored as
// JSON data under "selection.actionPreferences".
struct ActionPreferences {
    static inline const QString storageKey = QStringLiteral("selection.actionPreferences");

    QStringList pinnedIDs;             // the user's order; never holds an id twice
    QSet<QString> hiddenIDs;           // switched off
    QHash<QString, qint64> usageCounts; // an id without an entry counts 0
    bool showsAIActions = true;

    static const ActionPreferences& defaultValue();

    // The stored record; the default when the key is missing, is not data, or does not decode.
    // Nothing is reported and nothing is written back.
    static ActionPreferences load(const Platform::UserDefaults& defaults);
    void save(Platform::UserDefaults& defaults) const;

    bool isEnabled(const ActionDefinition& action) const { return !hiddenIDs.contains(action.id); }

    // Each pinned id's index in `pinnedIDs` (its first one).
    QHash<QString, qsizetype> pinnedPositions() const;

    // The display order of the given definitions, hidden ones included: pinned ones first in
    // pinned order, then by default rank, then by id (a user's own actions in the order given).
    // Usage plays no part.
    QList<ActionDefinition> ordering(const QList<ActionDefinition>& actions) const;

    // Moves `id` one place by `step` within the list as the user sees it (`shownIDs`). The
    // pinned order becomes the shown one first whenever the two differ, so that a swap never
    // lands on an id that is no longer shown.
    void move(const QString& id, qsizetype step, const QStringList& shownIDs);

    // The drag-and-drop reorder: the entries at `offsets` of the shown list go before the entry
    // that stood at `destination` (offsets into the list as it was before the move).
    void move(const std::set<qsizetype>& offsets, qsizetype destination, const QStringList& shownIDs);

    bool operator==(const ActionPreferences&) const = default;
};

// {"pinnedIDs": [...], "hiddenIDs": [...], "usageCounts": {id: n}, "showsAIActions": bool};
// all four keys are required on reading.
QJsonObject toJson(const ActionPreferences& preferences);
template <>
std::expected<ActionPreferences, DecodingError> fromJson<ActionPreferences>(const QJsonValue& value);
