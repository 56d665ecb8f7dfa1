#include "AIProviders/HttpTransfer.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkRequest>
#include <QTimer>

#include <zlib.h>

namespace {

// The default alarm: a precise timer of the thread it was made on.
class TimerAlarm final : public DeadlineClock::Alarm {
public:
    explicit TimerAlarm(std::function<void()> rang)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(rang));
    }
    void start(std::chrono::milliseconds after) override { m_timer.start(after); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

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
    // When it offers compression itself, the stack drops the length of a compressed body and
    // ends a cut one as if it were whole.
    request.setRawHeader("Accept-Encoding", "identity");
}

struct ContentDecoder::Inflater {
    static constexpr qsizetype pieceSize = 64 * 1024;

    Inflater() { ready = inflateInit2(&stream, MAX_WBITS + 32) == Z_OK; } // gzip or zlib, by its header
    ~Inflater()
    {
        if (ready)
            inflateEnd(&stream);
    }

    z_stream stream{};
    QByteArray piece{pieceSize, Qt::Uninitialized};
    bool ready = false;
    bool ended = false; // at the end of a compressed stream
};

ContentDecoder::ContentDecoder(QByteArrayView contentEncoding)
{
    int compressions = 0;
    for (QByteArrayView coding : QByteArray(contentEncoding.toByteArray()).split(',')) {
        coding = coding.trimmed();
        if (coding.isEmpty() || coding.compare("identity", Qt::CaseInsensitive) == 0)
            continue;
        if (coding.compare("gzip", Qt::CaseInsensitive) == 0 || coding.compare("x-gzip", Qt::CaseInsensitive) == 0
            || coding.compare("deflate", Qt::CaseInsensitive) == 0)
            ++compressions;
        else
            compressions = 2;
    }
    if (compressions == 0)
        return;
    m_inflater = std::make_unique<Inflater>();
    m_coding = compressions == 1 && m_inflater->ready ? Coding::compressed : Coding::unknown;
}

ContentDecoder::~ContentDecoder() = default;

bool ContentDecoder::whole() const
{
    return m_coding == Coding::identity || m_fed == 0 || (m_inflater && m_inflater->ended);
}

bool ContentDecoder::feed(QByteArrayView bytes, const std::function<bool(QByteArrayView)>& out)
{
    if (m_corrupt || m_coding == Coding::unknown)
        return false;
    m_fed += bytes.size();
    if (m_coding == Coding::identity)
        return bytes.isEmpty() || out(bytes);
    Inflater& z = *m_inflater;
    z.stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.stream.avail_in = uInt(bytes.size());
    for (;;) {
        if (z.ended) {
            if (z.stream.avail_in == 0)
                break;
            // More after the end: the next member of a gzip file, or bytes that do not decode.
            inflateReset(&z.stream);
            z.ended = false;
        }
        z.stream.next_out = reinterpret_cast<Bytef*>(z.piece.data());
        z.stream.avail_out = uInt(z.piece.size());
        const int result = inflate(&z.stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            m_corrupt = true;
            return false;
        }
        z.ended = result == Z_STREAM_END;
        const bool drained = z.stream.avail_in == 0 && z.stream.avail_out > 0; // nothing held back
        const qsizetype produced = z.piece.size() - qsizetype(z.stream.avail_out);
        if (produced > 0 && !out(QByteArrayView(z.piece.constData(), produced)))
            return false;
        if ((drained && !z.ended) || result == Z_BUF_ERROR)
            break;
    }
    return true;
}

ReplyDeadlines::ReplyDeadlines(QNetworkReply* reply, const HttpTimeouts& timeouts, std::function<void()> expired,
                               QObject* parent)
    : QObject(parent)
    , m_expired(std::move(expired))
    , m_idleLimit(timeouts.idle)
    , m_clock(timeouts.clock)
{
    const auto alarm = [this]() -> std::unique_ptr<DeadlineClock::Alarm> {
        auto rang = [this] { expire(); };
        if (m_clock)
            return m_clock->alarm(std::move(rang));
        return std::make_unique<TimerAlarm>(std::move(rang));
    };
    m_head = alarm();
    m_idle = alarm();
    m_total = alarm();
    connect(reply, &QNetworkReply::metaDataChanged, this, &ReplyDeadlines::onActivity);
    connect(reply, &QIODevice::readyRead, this, &ReplyDeadlines::onActivity);
    m_head->start(timeouts.request);
    m_total->start(timeouts.transfer);
}

void ReplyDeadlines::expire()
{
    stop();
    if (m_expired)
        m_expired();
}

void ReplyDeadlines::onActivity()
{
    if (!m_sawHead) {
        m_sawHead = true;
        m_head->stop();
    }
    if (m_total->isActive())
        m_idle->start(m_idleLimit);
}

void ReplyDeadlines::stop()
{
    m_head->stop();
    m_idle->stop();
    m_total->stop();
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
    // Chunks frame the body whatever a Content-Length beside them says. (The stack would drop the
    // length if it decompressed; every request of ours asks it not to.)
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
        if (self->take(reply->readAll()))
            return;
        Outcome outcome;
        outcome.status = httpStatus(reply);
        outcome.headers = reply->rawHeaderPairs();
        outcome.body = self->m_body;
        outcome.bodyTooLarge = true;
        self->conclude(outcome);
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
        outcome.bodyTooLarge = !self->take(reply->readAll());
        const ContentDecoder& decoder = self->decoder(reply);
        if (!outcome.bodyTooLarge
            && (endedShortOfItsLength(reply, self->m_bodyBytes) || (!decoder.corrupt() && !decoder.whole()))) {
            outcome.transportError = TransportError{TransportError::Code::networkConnectionLost,
                                                    int(QNetworkReply::RemoteHostClosedError)};
            self->conclude(outcome);
            return;
        }
        outcome.headers = reply->rawHeaderPairs();
        // A body that cannot be decoded is no body at all, not some of one.
        if (!outcome.bodyTooLarge && (decoder.corrupt() || !decoder.readable()))
            self->m_body.clear();
        outcome.body = self->m_body;
        self->conclude(outcome);
    });
}

ContentDecoder& BufferedRequest::decoder(const QNetworkReply* reply)
{
    if (!m_decoder)
        m_decoder = std::make_unique<ContentDecoder>(reply->rawHeader("Content-Encoding"));
    return *m_decoder;
}

bool BufferedRequest::take(const QByteArray& bytes)
{
    m_bodyBytes += bytes.size();
    decoder(m_reply).feed(bytes, [this](QByteArrayView piece) {
        m_body.append(piece.first(qMin(piece.size(), m_maximum + 1 - m_body.size())));
        return m_body.size() <= m_maximum;
    });
    return m_body.size() <= m_maximum;
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
