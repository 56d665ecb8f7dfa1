#include "Platform/Simulated/SimulatedHotKeys.h"

namespace Platform {

std::expected<HotKeys::Reference, int> SimulatedHotKeys::registerHotKey(quint32 keyCode, quint32 modifiers,
                                                                         Identifier identifier)
{
    ++registerCalls;
    if (const int status = m_refused.value({keyCode, modifiers}, 0); status != 0)
        return std::unexpected(status);
    for (const auto& r : std::as_const(m_active))
        if (r.keyCode == keyCode && r.modifiers == modifiers)
            return std::unexpected(int(statusTaken));
    const Reference reference = m_next++;
    m_active.insert(reference, {keyCode, modifiers, identifier});
    return reference;
}

void SimulatedHotKeys::unregisterHotKey(Reference reference)
{
    ++unregisterCalls;
    m_active.remove(reference);
}

void SimulatedHotKeys::refuse(quint32 keyCode, quint32 modifiers, int status)
{
    if (status == 0)
        m_refused.remove({keyCode, modifiers});
    else
        m_refused.insert({keyCode, modifiers}, status);
}

bool SimulatedHotKeys::press(quint32 keyCode, quint32 modifiers)
{
    for (const auto& r : std::as_const(m_active)) {
        if (r.keyCode == keyCode && r.modifiers == modifiers) {
            emit pressed(r.identifier);
            return true;
        }
    }
    return false;
}

} // namespace Platform
