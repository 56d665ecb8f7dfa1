#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace Platform {

// Names posted across processes of the same user, without payload.
class DistributedNotifications : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    using Token = quint64;

    virtual void post(const QString& name) = 0;
    // The handler runs on the main thread each time the name is posted, by any process.
    virtual Token observe(const QString& name, std::function<void()> handler) = 0;
    virtual void removeObserver(Token token) = 0;
};

} // namespace Platform
