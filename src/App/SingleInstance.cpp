#include "App/SingleInstance.h"

#include "SecurityCore/PrivacyLog.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent)
    , m_name(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/ambrel-%1.sock").arg(::getuid());
}

QList<QUrl> SingleInstance::urlsFromArguments(const QStringList& arguments, const QString& workingDirectory)
{
    QList<QUrl> urls;
    for (const QString& arg : arguments.mid(1)) {
        if (arg.isEmpty() || arg.startsWith(u'-'))
            continue;
        // Our own URLs and file URLs; anything else is a path, even with a colon in it.
        const QUrl url(arg, QUrl::StrictMode);
        if (url.isValid() && (url.scheme() == u"corvish" || url.scheme() == u"file")) {
            urls << url;
            continue;
        }
        urls << QUrl::fromLocalFile(QDir(workingDirectory).absoluteFilePath(arg));
    }
    return urls;
}

bool SingleInstance::forwardToRunningInstance(const QList<QUrl>& urls, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QJsonArray list;
    for (const QUrl& url : urls)
        list.append(url.toString(QUrl::FullyEncoded));
    socket.write(QJsonDocument(list).toJson(QJsonDocument::Compact));
    socket.write("\n");
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    return true;
}

namespace {
// Whether a live instance answers on the name.
bool answers(const QString& name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    if (!probe.waitForConnected(500))
        return false;
    probe.disconnectFromServer();
    return true;
}
} // namespace

bool SingleInstance::listen()
{
    // The socket lives in the user's private runtime folder; a listen that replaced a live
    // instance's socket would leave two instances running, so ask first.
    if (answers(m_name))
        return false;
    m_server = new QLocalServer(this);
    if (!m_server->listen(m_name)) {
        if (answers(m_name))
            return false;
        // A socket left behind by a crashed instance: nobody answers on it, so take it over.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // The socket holds at most one message and a byte; what goes beyond is not ours.
            socket->setReadBufferSize(maximumMessageSize + 1);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > maximumMessageSize) {
                        PrivacyLog::logger(QStringLiteral("SingleInstance")).warning(
                            QStringLiteral("Dropped a launch message larger than %1 bytes").arg(maximumMessageSize));
                        socket->abort();
                    }
                    return;
                }
                const auto doc = QJsonDocument::fromJson(socket->readLine(maximumMessageSize + 1));
                if (!doc.isArray()) {
                    socket->disconnectFromServer();
                    return;
                }
                QList<QUrl> urls;
                for (const auto& v : doc.array()) {
                    const QUrl url(v.toString(), QUrl::StrictMode);
                    if (url.isValid())
                        urls << url;
                }
                socket->disconnectFromServer();
                receive(urls);
            });
        }
    });
    return true;
}

void SingleInstance::receive(const QList<QUrl>& urls)
{
    if (urls.isEmpty()) {
        // A launch without files: the user is looking for the running Ambrel.
        if (m_delivering)
            emit showRequested();
        else
            m_showPending = true;
        return;
    }
    if (!m_delivering) {
        m_pending += urls;
        return;
    }
    emit urlsReceived(urls);
}

void SingleInstance::startDelivering()
{
    m_delivering = true;
    const QList<QUrl> pending = std::exchange(m_pending, {});
    if (!pending.isEmpty())
        emit urlsReceived(pending);
    if (std::exchange(m_showPending, false))
        emit showRequested();
}
