#include "Platform/Simulated/SimulatedLoginItem.h"

namespace Platform {

std::expected<void, QString> SimulatedLoginItem::registerMainApp()
{
    ++registerCalls;
    if (m_refusal)
        return std::unexpected(*m_refusal);
    m_status = m_afterRegistering;
    return {};
}

std::expected<void, QString> SimulatedLoginItem::unregisterMainApp()
{
    ++unregisterCalls;
    if (m_refusal)
        return std::unexpected(*m_refusal);
    m_status = Status::notRegistered;
    return {};
}

} // namespace Platform
