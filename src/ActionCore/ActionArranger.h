#pragma once

#include "ActionCore/ActionDefinition.h"
#include "ActionCore/ActionPreferences.h"
#include "ContextCore/ContextSnapshot.h"

#include <QList>

// The actions of one toolbar presentation: those shown directly, and the overflow menu's.
struct ArrangedActions {
    QList<ActionDefinition> primary; // never more than ActionArranger::maxPrimaryActions
    QList<ActionDefinition> overflow;

    bool isEmpty() const { return primary.isEmpty() && overflow.isEmpty(); }
    bool operator==(const ArrangedActions&) const = default;
};

// Which actions are offered for a selection, in which order, and which of them are on the
// toolbar itself.
namespace ActionArranger {

inline constexpr qsizetype maxPrimaryActions = 7;
inline constexpr qsizetype maxAIActions = 2;

// Nothing for a secure selection. Otherwise the candidates that support the selection's kind
// and are not hidden (AI ones only when shown and the selection has content for them): pinned
// ordinary actions in pinned order, then the others by usage, rank and id; at most two AI
// actions on the toolbar, always after the ordinary ones. The result does not depend on
// `isAIConfigured`.
ArrangedActions arrange(const QList<ActionDefinition>& actions, const ContextSnapshot& snapshot,
                        const ActionPreferences& preferences, bool isAIConfigured = true);

} // namespace ActionArranger
