#include "ActionCore/ActionArranger.h"

#include <algorithm>

namespace ActionArranger {

ArrangedActions arrange(const QList<ActionDefinition>& actions, const ContextSnapshot& snapshot,
                        const ActionPreferences& preferences, bool isAIConfigured)
{
    Q_UNUSED(isAIConfigured);
    if (snapshot.isSecure || snapshot.kind == ContextKind::secureText)
        return {};

    const bool offersAI = preferences.showsAIActions && snapshot.allowsAIAction();
    QList<ActionDefinition> ordinary;
    QList<ActionDefinition> ai;
    for (const ActionDefinition& action : actions) {
        if (!action.supports(snapshot.kind) || preferences.hiddenIDs.contains(action.id))
            continue;
        if (action.requiresAI) {
            if (offersAI)
                ai << action;
        } else {
            ordinary << action;
        }
    }

    const QHash<QString, qsizetype> positions = preferences.pinnedPositions();
    QList<ActionDefinition> pinned;
    QList<ActionDefinition> unpinned;
    for (const ActionDefinition& action : ordinary)
        (positions.contains(action.id) ? pinned : unpinned) << action;

    std::stable_sort(pinned.begin(), pinned.end(), [&](const ActionDefinition& a, const ActionDefinition& b) {
        return positions.value(a.id) < positions.value(b.id);
    });
    std::stable_sort(unpinned.begin(), unpinned.end(), [&](const ActionDefinition& a, const ActionDefinition& b) {
        const qint64 ua = preferences.usageCounts.value(a.id, 0);
        const qint64 ub = preferences.usageCounts.value(b.id, 0);
        if (ua != ub)
            return ua > ub;
        if (a.defaultRank != b.defaultRank)
            return a.defaultRank < b.defaultRank;
        return ActionDefinition::tiePrecedes(a, b);
    });
    const QList<ActionDefinition> sortedAI = preferences.ordering(ai);

    const qsizetype aiOnToolbar = std::min(maxAIActions, sortedAI.size());
    const qsizetype ordinarySlots = maxPrimaryActions - aiOnToolbar;
    const QList<ActionDefinition> ordinaryOrder = pinned + unpinned;
    const qsizetype ordinaryOnToolbar = std::min(ordinarySlots, ordinaryOrder.size());

    ArrangedActions result;
    result.primary = ordinaryOrder.first(ordinaryOnToolbar) + sortedAI.first(aiOnToolbar);
    result.overflow = ordinaryOrder.sliced(ordinaryOnToolbar) + sortedAI.sliced(aiOnToolbar);
    return result;
}

} // namespace ActionArranger
