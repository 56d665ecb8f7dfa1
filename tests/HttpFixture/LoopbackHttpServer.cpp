#include "LoopbackHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 402: return "Payment Required";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 413: return "Content Too Large";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

} // namespace

QByteArray LoopbackHttpServer::Request::path() const
{
    const qsizetype query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

std::optional<QByteArray> LoopbackHttpServer::Request::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

LoopbackHttpServer::Response& LoopbackHttpServer::Response::header(const QByteArray& name, const QByteArray& value)
{
    headers.append({name, value});
    return *this;
}

LoopbackHttpServer::Response& LoopbackHttpServer::Response::chunk(const QByteArray& data)
{
    steps.append(Step{Step::Kind::chunk, data, 0});
    return *this;
}

LoopbackHttpServer::Response& LoopbackHttpServer::Response::raw(const QByteArray& data)
{
    steps.append(Step{Step::Kind::raw, data, 0});
    return *this;
}

LoopbackHttpServer::Response& LoopbackHttpServer::Response::wait(int milliseconds)
{
    steps.append(Step{Step::Kind::wait, {}, milliseconds});
    return *this;
}

LoopbackHttpServer::Response& LoopbackHttpServer::Response::gate()
{
    steps.append(Step{Step::Kind::gate, {}, 0});
    return *this;
}

LoopbackHttpServer::Response& LoopbackHttpServer::Response::stall()
{
    steps.append(Step{Step::Kind::stall, {}, 0});
    return *this;
}

LoopbackHttpServer::Response& LoopbackHttpServer::Response::close()
{
    steps.append(Step{Step::Kind::close, {}, 0});
    return *this;
}

LoopbackHttpServer::Response LoopbackHttpServer::Response::withStatus(int status, const QByteArray& body,
                                                                      const QByteArray& contentType)
{
    Response r;
    r.status = status;
    r.header("Content-Type", contentType);
    if (!body.isEmpty())
        r.chunk(body);
    return r;
}

LoopbackHttpServer::Response LoopbackHttpServer::Response::events(const QList<QByteArray>& chunks)
{
    Response r;
    r.header("Content-Type", "text/event-stream");
    for (const QByteArray& c : chunks)
        r.chunk(c);
    return r;
}

LoopbackHttpServer::Response LoopbackHttpServer::Response::stalledHead()
{
    Response r;
    r.stallBeforeHead = true;
    return r;
}

LoopbackHttpServer::Response LoopbackHttpServer::Response::sized(int status, const QByteArray& body,
                                                                 const QByteArray& contentType)
{
    Response r = withStatus(status, body, contentType);
    r.chunked = false;
    return r;
}

LoopbackHttpServer::Response LoopbackHttpServer::Response::untilClosed(const QByteArray& body,
                                                                       const QByteArray& contentType)
{
    Response r = withStatus(200, body, contentType);
    r.closeDelimited = true;
    return r;
}

LoopbackHttpServer::Response LoopbackHttpServer::Response::cutOff(const QByteArray& body, qsizetype sent,
                                                                  const QByteArray& contentType)
{
    Response r;
    r.closeDelimited = true;
    r.header("Content-Type", contentType);
    r.header("Content-Length", QByteArray::number(body.size()));
    r.raw(body.left(sent));
    r.close();
    return r;
}

// One accepted connection: reads one request, then plays its response step by step.
class LoopbackHttpServer::Connection : public QObject {
public:
    Connection(LoopbackHttpServer* server, QTcpSocket* socket)
        : QObject(server)
        , m_server(server)
        , m_socket(socket)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            if (!m_closedByUs) {
                ++m_server->m_closedByClient;
                emit m_server->connectionClosedByClient();
            }
            m_done = true;
            m_timer.stop();
            deleteLater();
        });
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { play(); });
    }

    bool waitingAtGate() const { return m_atGate; }
    void resume()
    {
        if (m_atGate) {
            m_atGate = false;
            play();
        }
    }
    bool isOpen() const { return !m_done; }

private:
    void onReadyRead()
    {
        m_buffer += m_socket->readAll();
        if (m_haveRequest)
            return;
        const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        qsizetype contentLength = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            QByteArray line = lines.at(i);
            if (line.endsWith('\r'))
                line.chop(1);
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed();
            // Trailing blanks are kept, so that a value such as "Bearer " is seen as sent.
            QByteArray value = line.mid(colon + 1);
            while (value.startsWith(' ') || value.startsWith('\t'))
                value.remove(0, 1);
            request.headers.append({name, value});
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                contentLength = value.trimmed().toLongLong();
        }
        const qsizetype bodyStart = headEnd + 4;
        if (m_buffer.size() - bodyStart < contentLength)
            return;
        request.body = m_buffer.mid(bodyStart, contentLength);
        m_haveRequest = true;
        m_server->m_requests.append(request);
        m_response = m_server->nextResponse(request);
        emit m_server->requestReceived();
        if (m_response.stallBeforeHead)
            return;
        writeHead();
        play();
    }

    void writeHead()
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(m_response.status) + ' ' + reasonPhrase(m_response.status) + "\r\n";
        for (const auto& [name, value] : m_response.headers)
            head += name + ": " + value + "\r\n";
        if (m_response.closeDelimited) {
            // the end of the connection ends the body
        } else if (m_response.chunked) {
            head += "Transfer-Encoding: chunked\r\n";
        } else {
            QByteArray body;
            for (const Step& s : m_response.steps) {
                if (s.kind == Step::Kind::chunk)
                    body += s.data;
            }
            head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        }
        head += "Connection: close\r\n\r\n";
        m_socket->write(head);
    }

    void play()
    {
        while (!m_done && m_next < m_response.steps.size()) {
            const Step step = m_response.steps.at(m_next++);
            switch (step.kind) {
            case Step::Kind::chunk:
                if (step.data.isEmpty())
                    break;
                if (m_response.chunked && !m_response.closeDelimited)
                    m_socket->write(QByteArray::number(step.data.size(), 16) + "\r\n" + step.data + "\r\n");
                else
                    m_socket->write(step.data);
                m_socket->flush();
                ++m_server->m_chunksSent;
                emit m_server->chunkSent(m_server->m_chunksSent);
                break;
            case Step::Kind::raw:
                m_socket->write(step.data);
                m_socket->flush();
                break;
            case Step::Kind::wait:
                m_timer.start(step.milliseconds);
                return;
            case Step::Kind::gate:
                if (m_server->takeRelease())
                    break;
                m_atGate = true;
                return;
            case Step::Kind::stall:
                return;
            case Step::Kind::close:
                finish(false);
                return;
            }
        }
        if (!m_done && m_next >= m_response.steps.size())
            finish(true);
    }

    void finish(bool complete)
    {
        if (complete && m_response.chunked && !m_response.closeDelimited)
            m_socket->write("0\r\n\r\n");
        m_closedByUs = true;
        m_done = true;
        m_socket->disconnectFromHost();
    }

    LoopbackHttpServer* m_server;
    QTcpSocket* m_socket;
    QByteArray m_buffer;
    bool m_haveRequest = false;
    Response m_response;
    qsizetype m_next = 0;
    QTimer m_timer;
    bool m_atGate = false;
    bool m_done = false;
    bool m_closedByUs = false;
};

LoopbackHttpServer::LoopbackHttpServer(QObject* parent)
    : QObject(parent)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::onNewConnection);
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    for (const auto& c : m_connections) {
        if (c)
            c->disconnect();
    }
}

quint16 LoopbackHttpServer::port() const
{
    return m_server.serverPort();
}

QUrl LoopbackHttpServer::url(const QString& path) const
{
    return QUrl(base() + path);
}

QString LoopbackHttpServer::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void LoopbackHttpServer::respond(const Response& response)
{
    m_queue.append(response);
}

void LoopbackHttpServer::route(const QByteArray& path, const Response& response)
{
    m_routes.insert(path, response);
}

QList<LoopbackHttpServer::Request> LoopbackHttpServer::requests(const QByteArray& path) const
{
    QList<Request> matching;
    for (const Request& r : m_requests)
        if (r.path() == path)
            matching << r;
    return matching;
}

void LoopbackHttpServer::setHandler(std::function<Response(const Request&)> handler)
{
    m_handler = std::move(handler);
}

int LoopbackHttpServer::openConnections() const
{
    int n = 0;
    for (const auto& c : m_connections) {
        if (c && c->isOpen())
            ++n;
    }
    return n;
}

void LoopbackHttpServer::release()
{
    for (const auto& c : m_connections) {
        if (c && c->waitingAtGate()) {
            c->resume();
            return;
        }
    }
    ++m_releases;
}

bool LoopbackHttpServer::takeRelease()
{
    if (m_releases == 0)
        return false;
    --m_releases;
    return true;
}

void LoopbackHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection())
        m_connections.append(new Connection(this, socket));
}

LoopbackHttpServer::Response LoopbackHttpServer::nextResponse(const Request& request)
{
    if (!m_queue.isEmpty())
        return m_queue.takeFirst();
    if (const auto route = m_routes.constFind(request.path()); route != m_routes.constEnd())
        return *route;
    if (m_handler)
        return m_handler(request);
    return Response::withStatus(404);
}
