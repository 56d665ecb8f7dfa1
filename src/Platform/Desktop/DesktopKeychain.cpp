#include "Platform/Desktop/DesktopKeychain.h"

#include "Platform/OnDemandModule.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace Platform {
namespace {

const QString indexAccount = QStringLiteral(".ambrel-accounts");

struct Module {
    void (*read)(const QString&, const QString&, Keychain::CopyResult&) = nullptr;
    int (*write)(const QString&, const QString&, const QByteArray&) = nullptr;
    int (*erase)(const QString&, const QString&) = nullptr;
};

// The Secret Service jobs live in a module of their own (SecretServiceJobs.cpp), loaded on the
// first use of the keychain: beside the executable, else where this build put it.
const Module& module()
{
    static const Module loaded = [] {
        const auto f = onDemandModuleFunctions(QStringLiteral(AMBREL_KEYCHAIN_MODULE_NAME), QStringLiteral(AMBREL_KEYCHAIN_MODULE),
                                               {"ambrelKeychainRead", "ambrelKeychainWrite", "ambrelKeychainErase"});
        if (f.isEmpty())
            return Module{};
        return Module{reinterpret_cast<decltype(Module::read)>(f[0]), reinterpret_cast<decltype(Module::write)>(f[1]),
                      reinterpret_cast<decltype(Module::erase)>(f[2])};
    }();
    return loaded;
}

// Without the module there is no keychain to reach.
Keychain::CopyResult read(const QString& service, const QString& account)
{
    Keychain::CopyResult result{Keychain::statusNotAvailable, std::nullopt};
    if (module().read)
        module().read(service, account, result);
    return result;
}

int write(const QString& service, const QString& account, const QByteArray& data)
{
    return module().write ? module().write(service, account, data) : Keychain::statusNotAvailable;
}

int erase(const QString& service, const QString& account)
{
    return module().erase ? module().erase(service, account) : Keychain::statusNotAvailable;
}

} // namespace

QStringList DesktopKeychain::accounts(const QString& service, int* status)
{
    const auto r = read(service, indexAccount);
    *status = r.status == statusItemNotFound ? statusSuccess : r.status;
    QStringList out;
    if (r.data)
        for (const auto& v : QJsonDocument::fromJson(*r.data).array())
            out << v.toString();
    return out;
}

int DesktopKeychain::setAccounts(const QString& service, const QStringList& list)
{
    if (list.isEmpty()) {
        const int s = erase(service, indexAccount);
        return s == statusItemNotFound ? statusSuccess : s;
    }
    return write(service, indexAccount, QJsonDocument(QJsonArray::fromStringList(list)).toJson(QJsonDocument::Compact));
}

int DesktopKeychain::add(const QString& service, const QString& account, const QByteArray& data)
{
    if (account == indexAccount)
        return statusParam;
    if (read(service, account).status == statusSuccess)
        return statusDuplicateItem;
    const int status = write(service, account, data);
    if (status != statusSuccess)
        return status;
    // An index that could not be read is left alone rather than rewritten without the others.
    int s = 0;
    QStringList list = accounts(service, &s);
    if (s == statusSuccess && !list.contains(account)) {
        list << account;
        setAccounts(service, list);
    }
    return statusSuccess;
}

Keychain::CopyResult DesktopKeychain::copy(const QString& service, const QString& account)
{
    if (account == indexAccount)
        return {statusItemNotFound, std::nullopt};
    return read(service, account);
}

int DesktopKeychain::remove(const QString& service, const QString& account)
{
    if (account == indexAccount)
        return statusItemNotFound;
    const int status = erase(service, account);
    if (status == statusSuccess) {
        int s = 0;
        QStringList list = accounts(service, &s);
        if (list.removeAll(account) > 0)
            setAccounts(service, list);
    }
    return status;
}

int DesktopKeychain::removeAll(const QString& service)
{
    int status = 0;
    const QStringList list = accounts(service, &status);
    if (status != statusSuccess)
        return status;
    bool any = false;
    for (const auto& account : list) {
        const int s = erase(service, account);
        if (s == statusSuccess)
            any = true;
        else if (s != statusItemNotFound)
            return s;
    }
    setAccounts(service, {});
    return any ? statusSuccess : statusItemNotFound;
}

} // namespace Platform
