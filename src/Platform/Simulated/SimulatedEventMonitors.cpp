#include "Platform/Simulated/SimulatedEventMonitors.h"

namespace Platform {

std::optional<EventMonitors::Token> SimulatedEventMonitors::add(bool local, EventMask mask, Handler handler)
{
    if (!m_available || !handler)
        return std::nullopt;
    return m_monitors.add(local, mask, std::move(handler));
}

std::optional<EventMonitors::Token> SimulatedEventMonitors::addGlobalMonitor(EventMask mask, Handler handler)
{
    return add(false, mask, std::move(handler));
}

std::optional<EventMonitors::Token> SimulatedEventMonitors::addLocalMonitor(EventMask mask, Handler handler)
{
    return add(true, mask, std::move(handler));
}

void SimulatedEventMonitors::removeMonitor(Token token)
{
    if (m_monitors.remove(token))
        ++removals;
}

void SimulatedEventMonitors::deliver(bool local, const InputEvent& event)
{
    m_pointer = event.location;
    m_modifiers = event.modifiers;
    // Global monitors never see one of our windows.
    InputEvent delivered = event;
    if (!local)
        delivered.window = nullptr;
    m_monitors.deliver(local, delivered);
}

void SimulatedEventMonitors::postGlobal(const InputEvent& event)
{
    deliver(false, event);
}

void SimulatedEventMonitors::postLocal(const InputEvent& event)
{
    deliver(true, event);
}

} // namespace Platform
