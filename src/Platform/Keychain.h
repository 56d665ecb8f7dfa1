#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Platform {

// Generic-password items by service and account. Every operation answers a status code in the
// keychain's own numbering, so callers can tell "not found" from real failures.
class Keychain {
public:
    static constexpr int statusSuccess = 0;
    static constexpr int statusParam = -50;
    static constexpr int statusNotAvailable = -25291;
    static constexpr int statusAuthFailed = -25293;
    static constexpr int statusDuplicateItem = -25299;
    static constexpr int statusItemNotFound = -25300;
    static constexpr int statusInteractionNotAllowed = -25308;

    struct CopyResult {
        int status = statusSuccess;
        std::optional<QByteArray> data; // set only with statusSuccess and a data result
    };

    virtual ~Keychain() = default;
    virtual int add(const QString& service, const QString& account, const QByteArray& data) = 0;
    virtual CopyResult copy(const QString& service, const QString& account) = 0;
    virtual int remove(const QString& service, const QString& account) = 0;
    // Deletes every item of the service.
    virtual int removeAll(const QString& service) = 0;
};

} // namespace Platform
