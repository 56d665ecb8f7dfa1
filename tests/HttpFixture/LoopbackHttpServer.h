#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTcpServer>
#include <QUrl>

#include <functional>
#include <optional>

class QTcpSocket;

// An HTTP/1.1 server on 127.0.0.1 (a free port) inside the test process. It records every
// request and answers each with a scripted response: any status, headers and body, the body in
// chunks ("Transfer-Encoding: chunked", so the client knows where it ends), under a
// Content-Length, or delimited only by the end of the connection, sent on timers, on the test's
// signal, or not at all; a response may also stall before its head or close the connection
// without finishing. Responses come from a queue, from routes by path, or from a handler. Every
// connection is closed after its response ("Connection: close").
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    struct Request {
        QByteArray method;
        QByteArray target; // the path and query as sent
        Headers headers;   // in the order received
        QByteArray body;

        // The target without its query.
        QByteArray path() const;
        // The first header of that name, in any letter case.
        std::optional<QByteArray> header(const QByteArray& name) const;
        bool hasHeader(const QByteArray& name) const { return header(name).has_value(); }
    };

    struct Step {
        enum class Kind {
            chunk, // one chunk of the body
            raw,   // bytes written as they are, outside the chunk framing
            wait,  // a pause of `milliseconds`
            gate,  // waits for `release()`
            stall, // nothing more, ever (until the client goes)
            close, // closes the connection after what was written, without the final chunk
        };
        Kind kind = Kind::chunk;
        QByteArray data;
        int milliseconds = 0;
    };

    struct Response {
        int status = 200;
        Headers headers;
        bool stallBeforeHead = false;
        bool chunked = true; // otherwise the chunks are joined under a Content-Length
        // No framing of the server's own: neither chunks nor a Content-Length (unless given as a
        // header); the body ends where the connection closes.
        bool closeDelimited = false;
        QList<Step> steps;

        Response& header(const QByteArray& name, const QByteArray& value);
        Response& chunk(const QByteArray& data);
        Response& raw(const QByteArray& data);
        Response& wait(int milliseconds);
        Response& gate();
        Response& stall();
        Response& close();

        static Response withStatus(int status, const QByteArray& body = {},
                                   const QByteArray& contentType = "application/json");
        // A 200 event stream, one chunk per element.
        static Response events(const QList<QByteArray>& chunks);
        static Response stalledHead();
        // The whole body under a Content-Length, as a file server sends it.
        static Response sized(int status, const QByteArray& body,
                              const QByteArray& contentType = "application/octet-stream");
        // The body with no length: it ends when the connection closes.
        static Response untilClosed(const QByteArray& body, const QByteArray& contentType = "application/octet-stream");
        // Announces the whole body's length, sends only its first `sent` bytes and closes.
        static Response cutOff(const QByteArray& body, qsizetype sent,
                               const QByteArray& contentType = "application/octet-stream");
    };

    explicit LoopbackHttpServer(QObject* parent = nullptr);
    ~LoopbackHttpServer() override;

    quint16 port() const;
    // http://127.0.0.1:<port><path>
    QUrl url(const QString& path = QStringLiteral("/")) const;
    // http://127.0.0.1:<port>, for clients that add their own paths.
    QString base() const;

    // Responses are used in the order given, one per request; with none left, the route of the
    // request's path answers (every time), then `handler`, and without a handler a 404 does.
    void respond(const Response& response);
    void route(const QByteArray& path, const Response& response);
    void setHandler(std::function<Response(const Request&)> handler);

    QList<Request> requests() const { return m_requests; }
    // The requests for one path (query left aside).
    QList<Request> requests(const QByteArray& path) const;
    Request lastRequest() const { return m_requests.isEmpty() ? Request{} : m_requests.last(); }
    int chunksSent() const { return m_chunksSent; }
    int connectionsClosedByClient() const { return m_closedByClient; }
    int openConnections() const;
    // Lets one waiting gate (now or later) pass.
    void release();

signals:
    void requestReceived();
    void chunkSent(int total);
    void connectionClosedByClient();

private:
    class Connection;
    friend class Connection;
    void onNewConnection();
    Response nextResponse(const Request& request);
    bool takeRelease();

    QTcpServer m_server;
    QList<QPointer<Connection>> m_connections;
    QList<Response> m_queue;
    QHash<QByteArray, Response> m_routes;
    std::function<Response(const Request&)> m_handler;
    QList<Request> m_requests;
    int m_chunksSent = 0;
    int m_closedByClient = 0;
    int m_releases = 0;
};
