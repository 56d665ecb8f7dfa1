#pragma once

#include "Platform/Keychain.h"

namespace Platform {

// Generic passwords in the Secret Service, through QtKeychain. The accounts of a service are
// indexed in one extra item so that all of them can be removed together.
class DesktopKeychain final : public Keychain {
public:
    int add(const QString& service, const QString& account, const QByteArray& data) override;
    CopyResult copy(const QString& service, const QString& account) override;
    int remove(const QString& service, const QString& account) override;
    int removeAll(const QString& service) override;

private:
    QStringList accounts(const QString& service, int* status);
    int setAccounts(const QString& service, const QStringList& accounts);
};

} // namespace Platform
