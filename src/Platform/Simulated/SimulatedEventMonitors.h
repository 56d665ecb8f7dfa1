#pragma once

#include "Platform/EventMonitors.h"
#include "Platform/MonitorRegistry.h"

#include <QMap>

namespace Platform {

// Input that tests post. postGlobal delivers to the global monitors (an event in another
// application), postLocal to the local ones (an event in one of this application's windows).
// Posting moves the pointer to the event's location and holds the event's modifiers, as the
// real event would; delivery is immediate, in the order the monitors were added.
class SimulatedEventMonitors final : public EventMonitors {
    Q_OBJECT
public:
    using EventMonitors::EventMonitors;

    bool isAvailable() const override { return m_available; }
    std::optional<Token> addGlobalMonitor(EventMask mask, Handler handler) override;
    std::optional<Token> addLocalMonitor(EventMask mask, Handler handler) override;
    void removeMonitor(Token token) override;
    QPointF pointerLocation() const override { return m_pointer; }
    ModifierFlags modifierFlags() const override { return m_modifiers; }

    // Script
    void setAvailable(bool available) { m_available = available; }
    void postGlobal(const InputEvent& event);
    void postLocal(const InputEvent& event);
    void setPointerLocation(QPointF point) { m_pointer = point; }
    void setModifierFlags(ModifierFlags flags) { m_modifiers = flags; }

    // Record
    int installedCount() const { return m_monitors.size(); }
    int removals = 0;

private:
    std::optional<Token> add(bool local, EventMask mask, Handler handler);
    void deliver(bool local, const InputEvent& event);

    MonitorRegistry m_monitors;
    QPointF m_pointer;
    ModifierFlags m_modifiers;
    bool m_available = true;
};

} // namespace Platform
