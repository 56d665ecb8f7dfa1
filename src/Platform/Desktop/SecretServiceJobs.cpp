// The Secret Service through QtKeychain, as a module of its own: the application maps QtKeychain
// (and, on the first read, libsecret and its GLib stack) only when the keychain is used.
#include "Platform/Keychain.h"

#include <QEventLoop>

#include <qt6keychain/keychain.h>

namespace {

using Platform::Keychain;

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

} // namespace

extern "C" Q_DECL_EXPORT void ambrelKeychainRead(const QString& service, const QString& account,
                                                 Keychain::CopyResult& result)
{
    QKeychain::ReadPasswordJob job(service);
    job.setKey(account);
    const int status = runJob(job);
    result = status == Keychain::statusSuccess ? Keychain::CopyResult{status, job.binaryData()}
                                               : Keychain::CopyResult{status, std::nullopt};
}

extern "C" Q_DECL_EXPORT int ambrelKeychainWrite(const QString& service, const QString& account, const QByteArray& data)
{
    QKeychain::WritePasswordJob job(service);
    job.setKey(account);
    job.setBinaryData(data);
    return runJob(job);
}

extern "C" Q_DECL_EXPORT int ambrelKeychainErase(const QString& service, const QString& account)
{
    QKeychain::DeletePasswordJob job(service);
    job.setKey(account);
    return runJob(job);
}
