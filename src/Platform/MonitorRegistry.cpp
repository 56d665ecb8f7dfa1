#include "Platform/MonitorRegistry.h"

namespace Platform {

EventMonitors::Token MonitorRegistry::add(bool local, EventMask mask, EventMonitors::Handler handler)
{
    const EventMonitors::Token token = m_next++;
    m_monitors.insert(token, Monitor{local, mask, std::move(handler)});
    return token;
}

bool MonitorRegistry::remove(EventMonitors::Token token)
{
    return m_monitors.remove(token) > 0;
}

void MonitorRegistry::deliver(bool local, const InputEvent& event) const
{
    const QList<EventMonitors::Token> tokens = m_monitors.keys();
    for (EventMonitors::Token token : tokens) {
        auto it = m_monitors.constFind(token);
        if (it == m_monitors.constEnd() || it->local != local || !(it->mask & event.type))
            continue;
        const EventMonitors::Handler handler = it->handler;
        handler(event);
    }
}

bool MonitorRegistry::hasAny(bool local) const
{
    for (const Monitor& monitor : m_monitors)
        if (monitor.local == local)
            return true;
    return false;
}

} // namespace Platform
