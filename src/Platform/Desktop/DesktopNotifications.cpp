#include "Platform/Desktop/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>

namespace Platform {

Q_LOGGING_CATEGORY(lcNotifications, "com.corvish.app.DistributedNotifications")

DesktopNotifications::DesktopNotifications(QObject* parent)
    : DistributedNotifications(parent)
{
}

// On the first observer (or question): connecting to the session bus starts its thread and its
// handshake, which the application's start has no use for before it listens.
void DesktopNotifications::subscribe() const
{
    if (std::exchange(m_subscribed, true))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcNotifications) << "no session bus; distributed notifications are off";
        return;
    }
    m_connected = bus.connect(QString(), QString::fromLatin1(path), QString::fromLatin1(interface),
                              QString::fromLatin1(member), const_cast<DesktopNotifications*>(this),
                              SLOT(onPosted(QString)));
}

bool DesktopNotifications::isConnected() const
{
    subscribe();
    return m_connected;
}

void DesktopNotifications::post(const QString& name)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcNotifications) << "cannot post" << name << ": no session bus";
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(path), QString::fromLatin1(interface),
                                                     QString::fromLatin1(member));
    signal << name;
    bus.send(signal);
}

DistributedNotifications::Token DesktopNotifications::observe(const QString& name, std::function<void()> handler)
{
    subscribe();
    const Token t = m_next++;
    m_observers.insert(t, {name, std::move(handler)});
    return t;
}

void DesktopNotifications::removeObserver(Token token)
{
    m_observers.remove(token);
}

void DesktopNotifications::onPosted(const QString& name)
{
    const auto observers = m_observers;
    for (auto it = observers.cbegin(); it != observers.cend(); ++it)
        if (it->name == name && m_observers.contains(it.key()))
            it->handler();
}

} // namespace Platform
