#include "AIProviders/HttpTransfer.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkRequest>

namespace {

// Takes no cookies and offers none.
class NoCookieJar final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

} // namespace

TransportError TransportError::fromNetworkError(QNetworkReply::NetworkError error)
{
    using E = QNetworkReply::NetworkError;
    Code code = Code::other;
    switch (error) {
    case E::ConnectionRefusedError:
    case E::ProxyConnectionRefusedError: code = Code::cannotConnectToHost; break;
    case E::RemoteHostClosedError:
    case E::ProxyConnectionClosedError: code = Code::networkConnectionLost; break;
    case E::HostNotFoundError:
    case E::ProxyNotFoundError: code = Code::cannotFindHost; break;
    case E::TimeoutError:
    case E::ProxyTimeoutError: code = Code::timedOut; break;
    case E::OperationCanceledError: code = Code::cancelled; break;
    case E::SslHandshakeFailedError: code = Code::secureConnectionFailed; break;
    case E::TemporaryNetworkFailureError:
    case E::NetworkSessionFailedError: code = Code::notConnectedToInternet; break;
    default: code = Code::other; break;
    }
    return TransportError{code, int(error)};
}

bool TransportError::isTransportFailure(QNetworkReply::NetworkError error)
{
    const int n = int(error);
    return n > 0 && n < 200;
}

QString TransportError::description() const
{
    switch (code) {
    case Code::notConnectedToInternet: return QStringLiteral("notConnectedToInternet");
    case Code::networkConnectionLost: return QStringLiteral("networkConnectionLost");
    case Code::cannotFindHost: return QStringLiteral("cannotFindHost");
    case Code::cannotConnectToHost: return QStringLiteral("cannotConnectToHost");
    case Code::dnsLookupFailed: return QStringLiteral("dnsLookupFailed");
    case Code::timedOut: return QStringLiteral("timedOut");
    case Code::cancelled: return QStringLiteral("cancelled");
    case Code::secureConnectionFailed: return QStringLiteral("secureConnectionFailed");
    case Code::other: return QStringLiteral("other");
    }
    return QString();
}

std::shared_ptr<QNetworkAccessManager> makeNetworkManager()
{
    auto manager = std::make_shared<QNetworkAccessManager>();
    manager->setCookieJar(new NoCookieJar(manager.get()));
    manager->setCache(nullptr);
    manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    return manager;
}

void prepareRequest(QNetworkRequest& request)
{
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
}

ReplyDeadlines::ReplyDeadlines(QNetworkReply* reply, const HttpTimeouts& timeouts, std::function<void()> expired,
                               QObject* parent)
    : QObject(parent)
    , m_expired(std::move(expired))
{
    for (QTimer* t : {&m_head, &m_idle, &m_total}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        connect(t, &QTimer::timeout, this, [this] {
            stop();
            if (m_expired)
                m_expired();
        });
    }
    m_head.setInterval(timeouts.request);
    m_idle.setInterval(timeouts.idle);
    m_total.setInterval(timeouts.transfer);
    connect(reply, &QNetworkReply::metaDataChanged, this, &ReplyDeadlines::onActivity);
    connect(reply, &QIODevice::readyRead, this, &ReplyDeadlines::onActivity);
    m_head.start();
    m_total.start();
}

void ReplyDeadlines::onActivity()
{
    if (!m_sawHead) {
        m_sawHead = true;
        m_head.stop();
    }
    if (m_total.isActive())
        m_idle.start();
}

void ReplyDeadlines::stop()
{
    m_head.stop();
    m_idle.stop();
    m_total.stop();
}

void abandonReply(QNetworkReply* reply, std::initializer_list<const QObject*> receivers)
{
    if (!reply)
        return;
    for (const QObject* receiver : receivers) {
        if (receiver)
            QObject::disconnect(reply, nullptr, receiver, nullptr);
    }
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

std::optional<int> httpStatus(const QNetworkReply* reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return std::nullopt;
    return status.toInt();
}

bool endedShortOfItsLength(const QNetworkReply* reply, qint64 bodyBytes)
{
    // Chunks frame the body whatever a Content-Length beside them says; the stack drops the
    // length itself when it decompresses, so a length still there counts the bytes we read.
    if (!reply || reply->hasRawHeader("Transfer-Encoding") || reply->operation() == QNetworkAccessManager::HeadOperation)
        return false;
    const std::optional<int> status = httpStatus(reply);
    if (status && (*status == 204 || *status == 304 || (*status >= 100 && *status < 200)))
        return false;
    bool ok = false;
    const qint64 announced = reply->rawHeader("Content-Length").trimmed().toLongLong(&ok);
    return ok && announced >= 0 && bodyBytes < announced;
}

BufferedRequest::BufferedRequest(QObject* owner)
    : QObject(owner)
{
}

BufferedRequest::~BufferedRequest()
{
    abandonReply(m_reply, {this, m_deadlines.get()});
}

void BufferedRequest::start(QNetworkAccessManager* manager, const QNetworkRequest& request, const QByteArray& method,
                            const QByteArray& body, const HttpTimeouts& timeouts, QObject* owner,
                            std::function<void(const Outcome&)> done, qsizetype maximumBody)
{
    auto* self = new BufferedRequest(owner ? owner : manager);
    self->m_done = std::move(done);
    self->m_maximum = maximumBody;
    QNetworkReply* reply = manager->sendCustomRequest(request, method, body);
    self->m_reply = reply;
    self->m_deadlines = std::make_unique<ReplyDeadlines>(reply, timeouts, [self] {
        Outcome outcome;
        outcome.transportError = TransportError{TransportError::Code::timedOut, int(QNetworkReply::TimeoutError)};
        self->conclude(outcome);
    });
    connect(reply, &QIODevice::readyRead, self, [self, reply] {
        self->m_body += reply->read(self->m_maximum + 1 - self->m_body.size());
        if (self->m_body.size() > self->m_maximum) {
            Outcome outcome;
            outcome.status = httpStatus(reply);
            outcome.headers = reply->rawHeaderPairs();
            outcome.body = self->m_body;
            outcome.bodyTooLarge = true;
            self->conclude(outcome);
        }
    });
    connect(reply, &QNetworkReply::finished, self, [self, reply] {
        Outcome outcome;
        outcome.status = httpStatus(reply);
        const QNetworkReply::NetworkError error = reply->error();
        if (TransportError::isTransportFailure(error) || (!outcome.status && error != QNetworkReply::NoError)) {
            outcome.transportError = TransportError::fromNetworkError(error);
            self->conclude(outcome);
            return;
        }
        self->m_body += reply->read(self->m_maximum + 1 - self->m_body.size());
        outcome.bodyTooLarge = self->m_body.size() > self->m_maximum;
        if (!outcome.bodyTooLarge && endedShortOfItsLength(reply, self->m_body.size())) {
            outcome.transportError = TransportError{TransportError::Code::networkConnectionLost,
                                                    int(QNetworkReply::RemoteHostClosedError)};
            self->conclude(outcome);
            return;
        }
        outcome.headers = reply->rawHeaderPairs();
        outcome.body = self->m_body;
        self->conclude(outcome);
    });
}

void BufferedRequest::conclude(Outcome outcome)
{
    if (m_concluded)
        return;
    m_concluded = true;
    if (m_deadlines)
        m_deadlines->stop();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    abandonReply(reply, {this, m_deadlines.get()});
    auto done = std::move(m_done);
    deleteLater();
    if (done)
        done(outcome);
}
