#pragma once

// A small HTTP/1.1 server on 127.0.0.1 for tests of network code: it answers each path with a
// scripted response, can leave out the content length, cut a body off half-way or never answer,
// and records every request it got.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/octet-stream";
        bool sendsLength = true;   // false: no Content-Length, the body ends when the connection closes
        qint64 cutAfter = -1;      // >= 0: announce the whole body, send this many bytes, then close
        bool stalls = false;       // accept the request and never answer
    };

    struct Request {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    explicit LoopbackHttpServer(QObject* parent = nullptr)
        : QObject(parent)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                accept(socket);
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return m_server.isListening(); }
    QUrl url(const QString& path = QStringLiteral("/")) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    void route(const QByteArray& path, const Response& response) { m_routes.insert(path, response); }
    QList<Request> requests() const { return m_requests; }
    QList<Request> requests(const QByteArray& path) const
    {
        QList<Request> matching;
        for (const Request& r : m_requests)
            if (r.path == path)
                matching << r;
        return matching;
    }

signals:
    void requestReceived(const QByteArray& path);

private:
    void accept(QTcpSocket* socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            Request request;
            const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.path = first.value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
            }
            const qint64 length = request.headers.value("content-length", "0").toLongLong();
            if (buffer->size() - headerEnd - 4 < length)
                return; // the body is still coming
            request.body = buffer->mid(headerEnd + 4, length);
            buffer->clear();
            m_requests << request;
            answer(socket, request);
            emit requestReceived(request.path);
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    void answer(QTcpSocket* socket, const Request& request)
    {
        const QByteArray path = request.path.left(request.path.indexOf('?') < 0 ? request.path.size() : request.path.indexOf('?'));
        const Response response = m_routes.value(path, Response{.status = 404, .body = "not found"});
        if (response.stalls)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
        head += "Content-Type: " + response.contentType + "\r\n";
        if (response.sendsLength)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head);
        socket->write(response.cutAfter >= 0 ? response.body.left(response.cutAfter) : response.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QByteArray, Response> m_routes;
    QList<Request> m_requests;
};
