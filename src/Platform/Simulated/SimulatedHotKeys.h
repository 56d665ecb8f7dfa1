#pragma once

#include "Platform/HotKeys.h"

#include <QList>
#include <QMap>

namespace Platform {

// A registry of hot keys in memory. Tests refuse combinations and press keys.
class SimulatedHotKeys final : public HotKeys {
    Q_OBJECT
public:
    using HotKeys::HotKeys;

    struct Registration {
        quint32 keyCode = 0;
        quint32 modifiers = 0;
        Identifier identifier;
        bool operator==(const Registration&) const = default;
    };

    std::expected<Reference, int> registerHotKey(quint32 keyCode, quint32 modifiers, Identifier identifier) override;
    void unregisterHotKey(Reference reference) override;

    // Script
    // Refuses every later registration of the combination with the status (0 accepts it again).
    void refuse(quint32 keyCode, quint32 modifiers, int status);
    // Presses the combination: a registered one reports its identifier; returns whether it was.
    bool press(quint32 keyCode, quint32 modifiers);

    // Record
    QList<Registration> registrations() const { return m_active.values(); }
    int registerCalls = 0;
    int unregisterCalls = 0;

private:
    QMap<Reference, Registration> m_active;
    QMap<QPair<quint32, quint32>, int> m_refused;
    Reference m_next = 1;
};

} // namespace Platform
