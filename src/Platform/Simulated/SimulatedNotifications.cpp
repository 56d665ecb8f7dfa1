#include "Platform/Simulated/SimulatedNotifications.h"

#include <QMetaObject>

namespace Platform {

void SimulatedNotifications::post(const QString& name)
{
    posted << name;
    QMetaObject::invokeMethod(this, [this, name] {
        // Copy first: a handler may add or remove observers.
        const auto observers = m_observers;
        for (auto it = observers.cbegin(); it != observers.cend(); ++it)
            if (it->name == name && m_observers.contains(it.key()))
                it->handler();
    }, Qt::QueuedConnection);
}

DistributedNotifications::Token SimulatedNotifications::observe(const QString& name, std::function<void()> handler)
{
    const Token t = m_next++;
    m_observers.insert(t, {name, std::move(handler)});
    return t;
}

void SimulatedNotifications::removeObserver(Token token)
{
    m_observers.remove(token);
}

} // namespace Platform
