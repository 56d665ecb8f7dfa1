#pragma once

#include "Platform/DistributedNotifications.h"

#include <QHash>

namespace Platform {

// Distributed notifications as a D-Bus signal on the user's session bus: every process of the
// user that observes the name hears a post from any other.
class DesktopNotifications final : public DistributedNotifications {
    Q_OBJECT
public:
    static constexpr auto path = "/com/corvish/DistributedNotifications";
    static constexpr auto interface = "com.corvish.DistributedNotifications";
    static constexpr auto member = "Posted";

    explicit DesktopNotifications(QObject* parent = nullptr);

    void post(const QString& name) override;
    Token observe(const QString& name, std::function<void()> handler) override;
    void removeObserver(Token token) override;

    // Whether posts from other processes are heard (subscribes, like the first observer).
    bool isConnected() const;

private slots:
    void onPosted(const QString& name);

private:
    struct Observer {
        QString name;
        std::function<void()> handler;
    };
    QHash<Token, Observer> m_observers;
    Token m_next = 1;
    void subscribe() const;
    mutable bool m_subscribed = false;
    mutable bool m_connected = false;
};

} // namespace Platform
