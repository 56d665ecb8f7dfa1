#pragma once

#include "Platform/DistributedNotifications.h"

#include <QHash>
#include <QStringList>

namespace Platform {

// Delivers within this process, on the next turn of the event loop, as a real post would.
class SimulatedNotifications final : public DistributedNotifications {
    Q_OBJECT
public:
    using DistributedNotifications::DistributedNotifications;

    void post(const QString& name) override;
    Token observe(const QString& name, std::function<void()> handler) override;
    void removeObserver(Token token) override;

    QStringList posted; // every name posted through this object, in order

private:
    struct Observer {
        QString name;
        std::function<void()> handler;
    };
    QHash<Token, Observer> m_observers;
    Token m_next = 1;
};

} // namespace Platform
