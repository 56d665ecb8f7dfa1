#pragma once

#include <QObject>
#include <QString>

#include <expected>

namespace Platform {

// Whether the application is started when the user logs in.
class LoginItem : public QObject {
    Q_OBJECT
public:
    enum class Status {
        notRegistered = 0,
        enabled = 1,
        requiresApproval = 2, // registered, waiting for the user's consent
        notFound = 3,         // the entry names an application that is not there
    };

    using QObject::QObject;

    virtual Status status() const = 0;
    // On failure, a description of the refusal for the log.
    virtual std::expected<void, QString> registerMainApp() = 0;
    virtual std::expected<void, QString> unregisterMainApp() = 0;
};

} // namespace Platform
