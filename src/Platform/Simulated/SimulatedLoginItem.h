#pragma once

#include "Platform/LoginItem.h"

#include <optional>

namespace Platform {

// A login item whose status tests set; registering moves it to the status chosen for that
// (enabled unless told otherwise), unregistering to not registered, unless a refusal is scripted.
class SimulatedLoginItem final : public LoginItem {
    Q_OBJECT
public:
    using LoginItem::LoginItem;

    Status status() const override { return m_status; }
    std::expected<void, QString> registerMainApp() override;
    std::expected<void, QString> unregisterMainApp() override;

    // Script
    void setStatus(Status status) { m_status = status; }
    // The status a successful registration leads to (requiresApproval models a pending consent).
    void setStatusAfterRegistering(Status status) { m_afterRegistering = status; }
    // Every later change fails with this description; none lets them succeed again.
    void setRefusal(std::optional<QString> description) { m_refusal = std::move(description); }

    // Record
    int registerCalls = 0;
    int unregisterCalls = 0;

private:
    Status m_status = Status::notRegistered;
    Status m_afterRegistering = Status::enabled;
    std::optional<QString> m_refusal;
};

} // namespace Platform
