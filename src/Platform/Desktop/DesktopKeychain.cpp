#include "Platform/Desktop/DesktopKeychain.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <qt6keychain/keychain.h>

namespace Platform {
namespace {

const QString indexAccount = QStringLiteral(".ambrel-accounts");

int statusOf(QKeychain::Error e)
{
    switch (e) {
    case QKeychain::NoError: return Keychain::statusSuccess;
    case QKeychain::EntryNotFound: return Keychain::statusItemNotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied: return Keychain::statusAuthFailed;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented: return Keychain::statusNotAvailable;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::OtherError: break;
    }
    return Keychain::statusInteractionNotAllowed;
}

// QtKeychain jobs are asynchronous; the keychain layer is synchronous by contract.
int runJob(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return statusOf(job.error());
}

Keychain::CopyResult read(const QString& service, const QString& account)
{
    QKeychain::ReadPasswordJob job(service);
    job.setKey(account);
    const int status = runJob(job);
    if (status != Keychain::statusSuccess)
        return {status, std::nullopt};
    return {status, job.binaryData()};
}

int write(const QString& service, const QString& account, const QByteArray& data)
{
    QKeychain::WritePasswordJob job(service);
    job.setKey(account);
    job.setBinaryData(data);
    return runJob(job);
}

int erase(const QString& service, const QString& account)
{
    QKeychain::DeletePasswordJob job(service);
    job.setKey(account);
    return runJob(job);
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
