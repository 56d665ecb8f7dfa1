#include "AIProviders/OpenAICompatibleClient.h"

#include <QNetworkRequest>
#include <QLocale>
#include <QRegularExpression>
#include <QTimer>

#include <cmath>

namespace {

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

std::optional<QByteArray> headerValue(const HttpHeaders& headers, const QByteArray& name)
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

} // namespace

// ---- AIStream ----------------------------------------------------------------------------------

AIStream::AIStream(QObject* parent)
    : QObject(parent)
{
}

AIStream::~AIStream()
{
    tearDown();
}

void AIStream::cancel()
{
    if (m_state != State::running)
        return;
    m_state = State::cancelled;
    m_error = AIError::cancelled();
    tearDown();
}

void AIStream::tearDown()
{
    m_phase = Phase::over;
    if (m_deadlines)
        m_deadlines->stop();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    abandonReply(reply, {this, m_deadlines.get()});
}

void AIStream::failSoon(const AIError& error)
{
    m_phase = Phase::over;
    QMetaObject::invokeMethod(
        this,
        [this, error] {
            if (m_state == State::running)
                concludeFailed(error);
        },
        Qt::QueuedConnection);
}

void AIStream::begin(const OpenAICompatibleClient& client, const QNetworkRequest& request, const QByteArray& body)
{
    m_manager = client.m_session;
    QNetworkReply* reply = m_manager->post(request, body);
    m_reply = reply;
    m_deadlines = std::make_unique<ReplyDeadlines>(reply, client.m_timeouts, [this] { onExpired(); });
    connect(reply, &QNetworkReply::metaDataChanged, this, &AIStream::onHead);
    connect(reply, &QIODevice::readyRead, this, &AIStream::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &AIStream::onFinished);
}

void AIStream::onHead()
{
    if (m_phase != Phase::awaitingHead || !m_reply)
        return;
    const std::optional<int> status = httpStatus(m_reply);
    // A redirection is followed by the stack; its own head decides nothing.
    if (!status || (*status >= 300 && *status < 400))
        return;
    m_status = *status;
    m_phase = m_status >= 400 ? Phase::errorBody : Phase::lines;
    m_decoder = std::make_unique<ContentDecoder>(m_reply->rawHeader("Content-Encoding"));
    // Lines in a coding that cannot be read would only look like an empty reply.
    if (m_phase == Phase::lines && !m_decoder->readable())
        concludeFailed(AIError::invalidResponse());
}

bool AIStream::take(const QByteArray& bytes)
{
    m_bodyBytes += bytes.size();
    if (m_phase == Phase::errorBody) {
        // An error body that does not decode leaves the status alone to count.
        m_decoder->feed(bytes, [this](QByteArrayView piece) {
            m_errorBody.append(piece.first(qMin(piece.size(), OpenAICompatibleClient::errorBodyLimit + 1 - m_errorBody.size())));
            return m_errorBody.size() <= OpenAICompatibleClient::errorBodyLimit;
        });
        if (m_decoder->corrupt())
            m_errorBody.clear();
        if (m_errorBody.size() > OpenAICompatibleClient::errorBodyLimit) {
            concludeFailed(OpenAICompatibleClient::map(m_status, m_errorBody, m_provider, m_reply->rawHeaderPairs()));
            return false;
        }
        return true;
    }
    if (m_decoder->identity()) {
        readLines(bytes, false);
        return m_phase == Phase::lines;
    }
    QPointer<AIStream> self(this);
    m_decoder->feed(bytes, [&](QByteArrayView piece) {
        readLines(piece, false);
        return self && m_phase == Phase::lines;
    });
    if (!self || m_phase != Phase::lines)
        return false;
    if (m_decoder->corrupt()) {
        concludeFailed(AIError::invalidResponse());
        return false;
    }
    return true;
}

void AIStream::onReadyRead()
{
    if (m_phase == Phase::awaitingHead)
        onHead();
    if (!m_reply || (m_phase != Phase::errorBody && m_phase != Phase::lines))
        return;
    take(m_reply->readAll());
}

void AIStream::onFinished()
{
    if (m_phase == Phase::awaitingHead)
        onHead();
    if (!m_reply || m_phase == Phase::over)
        return;
    const QNetworkReply::NetworkError error = m_reply->error();
    switch (m_phase) {
    case Phase::awaitingHead:
        if (error != QNetworkReply::NoError)
            failWithTransport(TransportError::fromNetworkError(error), false);
        else
            concludeFailed(AIError::invalidResponse()); // no HTTP response at all
        return;
    case Phase::errorBody:
        if (TransportError::isTransportFailure(error)) {
            failWithTransport(TransportError::fromNetworkError(error), false);
            return;
        }
        if (!take(m_reply->readAll()))
            return;
        if (endedShortOfItsLength(m_reply, m_bodyBytes) || (!m_decoder->corrupt() && !m_decoder->whole()))
            return failCutShort(false);
        concludeFailed(OpenAICompatibleClient::map(m_status, m_errorBody, m_provider, m_reply->rawHeaderPairs()));
        return;
    case Phase::lines: {
        QPointer<AIStream> self(this);
        if (!take(m_reply->readAll()) || !self || m_phase != Phase::lines)
            return;
        if (error != QNetworkReply::NoError) {
            failWithTransport(TransportError::fromNetworkError(error), m_heardFromServer);
            return;
        }
        if (endedShortOfItsLength(m_reply, m_bodyBytes) || !m_decoder->whole())
            return failCutShort(m_heardFromServer);
        readLines(QByteArrayView(), true);
        if (self && m_phase == Phase::lines)
            concludeFinished();
        return;
    }
    case Phase::over:
        return;
    }
}

void AIStream::onExpired()
{
    if (m_phase == Phase::over)
        return;
    const bool sawAnyResponse = m_phase == Phase::lines && m_heardFromServer;
    failWithTransport(TransportError{TransportError::Code::timedOut, int(QNetworkReply::TimeoutError)}, sawAnyResponse);
}

void AIStream::readLines(QByteArrayView bytes, bool atEnd)
{
    // Lines are parsed first and the pieces handed on after, so that a reader that deletes or
    // cancels the stream from its slot never leaves the line reader half-way.
    QList<QString> pieces;
    bool done = false;
    const auto onLine = [&](QByteArrayView raw) {
        const std::optional<SSEEvent> event = parseSSELineUtf8(raw);
        if (event && event->isDone()) {
            done = true;
            return false;
        }
        if (event)
            pieces.append(*event->text());
        m_heardFromServer = true;
        return true;
    };
    if (atEnd)
        m_lines.finish(onLine);
    else
        m_lines.feed(bytes, onLine);
    const bool overflowed = m_lines.overflowed();

    QPointer<AIStream> self(this);
    for (const QString& piece : pieces) {
        emit delta(piece);
        if (!self || m_state != State::running)
            return;
    }
    if (done)
        concludeFinished();
    else if (overflowed)
        concludeFailed(AIError::invalidResponse());
}

void AIStream::failWithTransport(const TransportError& error, bool sawAnyResponse)
{
    const AIError mapped = OpenAICompatibleClient::map(error, sawAnyResponse);
    m_logger.error(QStringLiteral("AI request failed after %1s provider=%2 model=%3 urlError=%4 heardFromServer=%5 -> %6")
                       .arg(QString::number(double(m_started.elapsed()) / 1000.0, 'f', 1), toRaw(m_provider), m_model,
                            QString::number(error.platformCode), sawAnyResponse ? QStringLiteral("true") : QStringLiteral("false"),
                            mapped.description()));
    concludeFailed(mapped);
}

void AIStream::failCutShort(bool sawAnyResponse)
{
    failWithTransport(TransportError{TransportError::Code::networkConnectionLost, int(QNetworkReply::RemoteHostClosedError)},
                      sawAnyResponse);
}

void AIStream::concludeFinished()
{
    if (m_state != State::running)
        return;
    tearDown();
    m_state = State::finished;
    emit finished();
}

void AIStream::concludeFailed(const AIError& error)
{
    if (m_state != State::running)
        return;
    tearDown();
    m_state = State::failed;
    m_error = error;
    emit failed(error);
}

// ---- OpenAICompatibleClient --------------------------------------------------------------------

OpenAICompatibleClient::AppAttribution OpenAICompatibleClient::AppAttribution::defaultAttribution()
{
    return AppAttribution{QStringLiteral("https://ambrel.app/"), QStringLiteral("Corvish")};
}

OpenAICompatibleClient::OpenAICompatibleClient(std::shared_ptr<QNetworkAccessManager> session,
                                               AppAttribution attribution, HttpTimeouts timeouts)
    : m_session(std::move(session))
    , m_attribution(std::move(attribution))
    , m_timeouts(timeouts)
    , m_logger(PrivacyLog::logger(QStringLiteral("AIClient")))
{
}

bool OpenAICompatibleClient::isSendableKey(const QString& key)
{
    for (QChar c : key) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return false;
    }
    return true;
}

QUrl OpenAICompatibleClient::endpoint(const QUrl& base, const QString& path)
{
    QUrl url = base;
    QString p = url.path(QUrl::FullyEncoded);
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    p += path;
    url.setPath(p, QUrl::TolerantMode);
    return url;
}

QNetworkRequest OpenAICompatibleClient::makeRequest(const QUrl& url, const QString& apiKey, AIProviderID provider) const
{
    QNetworkRequest request(url);
    prepareRequest(request);
    // Without a key (a local server) there is nothing to authorise with: no empty "Bearer ".
    if (!apiKey.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + apiKey.toUtf8());
    request.setRawHeader("Content-Type", "application/json");
    if (provider == AIProviderID::openRouter) {
        request.setRawHeader("HTTP-Referer", m_attribution.referrer.toUtf8());
        request.setRawHeader("X-Title", m_attribution.title.toUtf8());
    }
    return request;
}

std::unique_ptr<AIStream> OpenAICompatibleClient::streamCompletion(const AIConfiguration& configuration,
                                                                   const QString& apiKey, const QString& systemPrompt,
                                                                   const QString& userPrompt,
                                                                   std::optional<double> temperature) const
{
    std::unique_ptr<AIStream> stream(new AIStream);
    stream->m_logger = m_logger;
    stream->m_provider = configuration.providerID;
    stream->m_model = configuration.modelID;
    stream->m_started.start();
    if (!isSendableKey(apiKey)) {
        stream->failSoon(AIError::notConfigured());
        return stream;
    }
    const QUrl url = endpoint(configuration.baseURL, QStringLiteral("chat/completions"));
    if (!isWebAddress(url)) {
        stream->failSoon(AIError::invalidResponse());
        return stream;
    }
    QNetworkRequest request = makeRequest(url, apiKey, configuration.providerID);
    request.setRawHeader("Accept", "text/event-stream");
    const QByteArray body =
        ChatWire::encode(ChatWire::chatRequest(configuration.modelID, systemPrompt, userPrompt, temperature));
    stream->begin(*this, request, body);
    return stream;
}

void OpenAICompatibleClient::fetchModels(const AIConfiguration& configuration, const QString& apiKey, QObject* context,
                                         std::function<void(const ModelListResult&)> done) const
{
    QObject* anchor = context ? context : m_session.get();
    const auto failSoon = [anchor, done](const AIError& error) {
        QMetaObject::invokeMethod(anchor, [done, error] { done(std::unexpected(ModelListError(error))); }, Qt::QueuedConnection);
    };
    if (!isSendableKey(apiKey))
        return failSoon(AIError::notConfigured());
    const QUrl url = endpoint(configuration.baseURL, QStringLiteral("models"));
    if (!isWebAddress(url))
        return failSoon(AIError::invalidResponse());
    const QNetworkRequest request = makeRequest(url, apiKey, configuration.providerID);
    const AIProviderID provider = configuration.providerID;
    BufferedRequest::start(m_session.get(), request, "GET", QByteArray(), m_timeouts, context,
                           [done, provider](const BufferedRequest::Outcome& outcome) {
                               if (outcome.transportError)
                                   return done(std::unexpected(ModelListError(*outcome.transportError)));
                               if (!outcome.status)
                                   return done(std::unexpected(ModelListError(AIError::invalidResponse())));
                               if (*outcome.status >= 400)
                                   return done(std::unexpected(
                                       ModelListError(map(*outcome.status, outcome.body, provider, outcome.headers))));
                               const std::optional<ChatWire::ModelList> list =
                                   outcome.bodyTooLarge ? std::nullopt : ChatWire::decodeModelList(outcome.body);
                               if (!list)
                                   return done(std::unexpected(ModelListError(AIError::invalidResponse())));
                               QList<AIModelOption> models;
                               models.reserve(list->data.size());
                               for (const auto& model : list->data)
                                   models.append(AIModelOption{model.id, QString()});
                               done(models);
                           });
}

std::optional<double> OpenAICompatibleClient::parseRetryAfter(const QByteArray& field)
{
    static const QRegularExpression decimal(QStringLiteral("\\A(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)\\z"));
    const QString text = QString::fromLatin1(field);
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

AIError OpenAICompatibleClient::map(int status, const QByteArray& body, AIProviderID provider,
                                    const std::optional<HttpHeaders>& headers)
{
    const QString message = ChatWire::errorMessage(body).toLower();
    const auto has = [&message](const char* fragment) { return message.contains(QLatin1String(fragment)); };
    switch (status) {
    case 400:
        if (has("maximum context") || has("too long") || has("length"))
            return AIError::contentTooLong();
        if (has("content") && (has("filter") || has("policy")))
            return AIError::contentFiltered();
        return AIError::serverError(400);
    case 401:
    case 403:
        switch (provider) {
        case AIProviderID::openRouter:
            return AIError::authenticationFailed(has("disabled") || has("revoked") ? AuthFailureHint::credentialRevoked
                                                                                   : AuthFailureHint::generic);
        case AIProviderID::alibabaBailian: return AIError::authenticationFailed(AuthFailureHint::possibleRegionMismatch);
        case AIProviderID::ollama:
        case AIProviderID::openAICompatible: return AIError::authenticationFailed(AuthFailureHint::generic);
        }
        return AIError::authenticationFailed(AuthFailureHint::generic);
    case 402: return AIError::insufficientCredits();
    case 404: return AIError::modelNotFound();
    case 413: return AIError::contentTooLong();
    case 429: {
        if (has("credit") || has("quota"))
            return AIError::insufficientCredits();
        std::optional<double> retryAfter;
        if (headers) {
            if (const auto field = headerValue(*headers, "Retry-After"))
                retryAfter = parseRetryAfter(*field);
        }
        return AIError::rateLimited(retryAfter);
    }
    default: return AIError::serverError(status);
    }
}

AIError OpenAICompatibleClient::map(const TransportError& error, bool sawAnyResponse)
{
    using C = TransportError::Code;
    switch (error.code) {
    case C::notConnectedToInternet:
    case C::networkConnectionLost:
    case C::cannotFindHost:
    case C::cannotConnectToHost:
    case C::dnsLookupFailed: return AIError::networkUnavailable();
    case C::timedOut: return sawAnyResponse ? AIError::timedOut() : AIError::modelDidNotRespond();
    case C::cancelled: return AIError::cancelled();
    case C::secureConnectionFailed:
    case C::other: return AIError::networkUnavailable();
    }
    return AIError::networkUnavailable();
}
