#include "Platform/Simulated/SimulatedEventMonitors.h"

namespace Platform {

std::optional<EventMonitors::Token> SimulatedEventMonitors::add(bool local, EventMask mask, Handler handler)
{
    if (!m_available || !handler)
        return std::nullopt;
    const Token token = m_next++;
    m_monitors.insert(token, Monitor{local, mask, std::move(handler)});
    return token;
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
    // A handler may add or remove monitors; a removed one is not called.
    const QList<Token> tokens = m_monitors.keys();
    for (Token token : tokens) {
        auto it = m_monitors.constFind(token);
        if (it == m_monitors.constEnd() || it->local != local || !(it->mask & event.type))
            continue;
        const Handler handler = it->handler;
        InputEvent delivered = event;
        if (!local)
            delivered.window = nullptr;
        handler(delivered);
    }
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
