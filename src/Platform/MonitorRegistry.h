#pragma once

#include "Platform/EventMonitors.h"

#include <QMap>

namespace Platform {

// The installed monitors of an EventMonitors implementation, by token: adding, removing and
// handing an event to every monitor of its kind (local or global) whose mask holds it.
class MonitorRegistry {
public:
    EventMonitors::Token add(bool local, EventMask mask, EventMonitors::Handler handler);
    bool remove(EventMonitors::Token token);
    // A handler may add or remove monitors; a removed one is not called.
    void deliver(bool local, const InputEvent& event) const;
    bool hasAny(bool local) const;
    int size() const { return int(m_monitors.size()); }

private:
    struct Monitor {
        bool local = false;
        EventMask mask = 0;
        EventMonitors::Handler handler;
    };
    QMap<EventMonitors::Token, Monitor> m_monitors;
    EventMonitors::Token m_next = 1;
};

} // namespace Platform
