#include "Platform/Simulated/SimulatedKeystrokes.h"

namespace Platform {

bool SimulatedKeystrokes::post(Key key, ModifierFlags modifiers)
{
    if (!m_available)
        return false;
    const Posted p{key, modifiers};
    posted.append(p);
    const auto reactions = m_reactions;
    for (const auto& [handle, reaction] : reactions)
        reaction(p);
    return true;
}

int SimulatedKeystrokes::addReaction(Reaction reaction)
{
    const int handle = m_next++;
    m_reactions.append({handle, std::move(reaction)});
    return handle;
}

void SimulatedKeystrokes::removeReaction(int handle)
{
    m_reactions.removeIf([handle](const auto& entry) { return entry.first == handle; });
}

} // namespace Platform
