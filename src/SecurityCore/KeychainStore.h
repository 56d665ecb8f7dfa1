#pragma once

#include "Platform/Keychain.h"

#include <QString>

#include <expected>
#include <memory>
#include <optional>
#include <variant>

namespace KeychainErrors {
struct UnexpectedStatus {
    qint32 status = 0;
    bool operator==(const UnexpectedStatus&) const = default;
};
struct DataEncodingFailed {
    bool operator==(const DataEncodingFailed&) const = default;
};
} // namespace KeychainErrors

using KeychainError = std::variant<KeychainErrors::UnexpectedStatus, KeychainErrors::DataEncodingFailed>;

// Short secrets as generic-password items, one per account under one service. Replacing is
// delete-then-add; nothing is cached.
class KeychainStore {
public:
    KeychainStore(std::shared_ptr<Platform::Keychain> keychain, QString service);

    const QString& service() const { return m_service; }

    std::expected<void, KeychainError> set(const QString& value, const QString& account) const;
    std::expected<std::optional<QString>, KeychainError> value(const QString& account) const;
    std::expected<void, KeychainError> remove(const QString& account) const;
    std::expected<void, KeychainError> removeAll() const;

private:
    std::shared_ptr<Platform::Keychain> m_keychain;
    QString m_service;
};
