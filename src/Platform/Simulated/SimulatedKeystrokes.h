#pragma once

#include "Platform/Keystrokes.h"

#include <functional>

namespace Platform {

// Records every posted key and hands it to the reacting applications (SimulatedTextApplication),
// as the focused application would receive it.
class SimulatedKeystrokes final : public Keystrokes {
    Q_OBJECT
public:
    struct Posted {
        Key key;
        ModifierFlags modifiers;
        bool operator==(const Posted&) const = default;
    };
    using Reaction = std::function<void(const Posted&)>;

    using Keystrokes::Keystrokes;

    bool isAvailable() const override { return m_available; }
    bool post(Key key, ModifierFlags modifiers) override;

    // Script
    void setAvailable(bool available) { m_available = available; }
    // Called for each posted key, in the order reactions were added; answers a handle for removal.
    int addReaction(Reaction reaction);
    void removeReaction(int handle);

    // Record
    QList<Posted> posted;

private:
    QList<std::pair<int, Reaction>> m_reactions;
    int m_next = 1;
    bool m_available = true;
};

} // namespace Platform
