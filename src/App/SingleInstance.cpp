#include "App/SingleInstance.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent)
    , m_name(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName()
{
    return QStringLiteral("ambrel-%1").arg(::getuid());
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

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A server left behind by a crashed instance: nobody answers on it, so take it over.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                const auto doc = QJsonDocument::fromJson(socket->readLine());
                QList<QUrl> urls;
                for (const auto& v : doc.array()) {
                    const QUrl url(v.toString(), QUrl::StrictMode);
                    if (url.isValid())
                        urls << url;
                }
                socket->disconnectFromServer();
                if (!urls.isEmpty())
                    emit urlsReceived(urls);
            });
        }
    });
    return true;
}
