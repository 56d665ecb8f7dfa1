#pragma once

#include "AIProviders/AIConfiguration.h"
#include "AIProviders/AIError.h"
#include "AIProviders/ChatWire.h"
#include "AIProviders/HttpTransfer.h"
#include "SecurityCore/PrivacyLog.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>

#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

class OpenAICompatibleClient;

// One streamed reply. Pieces arrive through `delta` in order, as soon as their line is read; the
// stream then ends once, with `finished` or `failed`. Deleting the stream, or `cancel()`, aborts
// the transfer and nothing is delivered afterwards. A stream may be deleted from its own signals.
class AIStream : public QObject {
    Q_OBJECT
public:
    enum class State { running, finished, failed, cancelled };

    ~AIStream() override;

    State state() const { return m_state; }
    std::optional<AIError> error() const { return m_error; }
    // Stops reading: the transfer is abandoned and no signal follows.
    void cancel();

signals:
    void delta(const QString& text);
    void finished();
    void failed(const AIError& error);

private:
    friend class OpenAICompatibleClient;
    enum class Phase { awaitingHead, errorBody, lines, over };

    explicit AIStream(QObject* parent = nullptr);
    void begin(const OpenAICompatibleClient& client, const QNetworkRequest& request, const QByteArray& body);
    void failSoon(const AIError& error);
    void onHead();
    void onReadyRead();
    void onFinished();
    void onExpired();
    // Reads what came of the body into the error body or the lines; false when the stream ended.
    bool take(const QByteArray& bytes);
    void readLines(QByteArrayView bytes, bool atEnd);
    void failWithTransport(const TransportError& error, bool sawAnyResponse);
    // The body ended before its framing said it would: a lost connection.
    void failCutShort(bool sawAnyResponse);
    void concludeFinished();
    void concludeFailed(const AIError& error);
    void tearDown();

    std::shared_ptr<QNetworkAccessManager> m_manager;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<ReplyDeadlines> m_deadlines;
    PrivacyLog::Logger m_logger;
    AIProviderID m_provider = AIProviderID::openAICompatible;
    QString m_model;
    QElapsedTimer m_started;
    Phase m_phase = Phase::awaitingHead;
    int m_status = 0;
    QByteArray m_errorBody;
    qint64 m_bodyBytes = 0; // as they came, before decoding
    std::unique_ptr<ContentDecoder> m_decoder; // from the head on
    SSELineReader m_lines;
    bool m_heardFromServer = false;
    State m_state = State::running;
    std::optional<AIError> m_error;
};

// The one HTTP client of every AI request: chat completions streamed as server-sent events, the
// model list, and the mapping of statuses and transport failures to `AIError`. Several streams
// and model lists may run at once over its one manager, on the main thread.
class OpenAICompatibleClient {
public:
    // The values of the two headers that go to OpenRouter alone.
    struct AppAttribution {
        QString referrer; // "HTTP-Referer"
        QString title;    // "X-Title"
        static AppAttribution defaultAttribution();
        bool operator==(const AppAttribution&) const = default;
    };

    // A model list fails with an `AIError` or with the transport failure itself.
    using ModelListError = std::variant<AIError, TransportError>;
    using ModelListResult = std::expected<QList<AIModelOption>, ModelListError>;

    // At most this much of a failing status's body is kept.
    static constexpr qsizetype errorBodyLimit = 8192;

    OpenAICompatibleClient(std::shared_ptr<QNetworkAccessManager> session, AppAttribution attribution,
                           HttpTimeouts timeouts = {});

    // A manager without cookies or cache.
    static std::shared_ptr<QNetworkAccessManager> makeSession() { return makeNetworkManager(); }

    const AppAttribution& attribution() const { return m_attribution; }
    const HttpTimeouts& timeouts() const { return m_timeouts; }
    const std::shared_ptr<QNetworkAccessManager>& session() const { return m_session; }

    // Starts the request at once and returns its stream; nothing is emitted before the caller
    // returns to the event loop. A key holding CR, LF or NUL is never sent: the stream fails with
    // notConfigured.
    std::unique_ptr<AIStream> streamCompletion(const AIConfiguration& configuration, const QString& apiKey,
                                               const QString& systemPrompt, const QString& userPrompt,
                                               std::optional<double> temperature = std::nullopt) const;

    // The provider's models in the order of the reply, with empty summaries. `done` runs once on
    // the main thread, unless `context` is destroyed first (which abandons the request).
    void fetchModels(const AIConfiguration& configuration, const QString& apiKey, QObject* context,
                     std::function<void(const ModelListResult&)> done) const;

    // `body` is (at most the first 8193 bytes of) the failing reply's body; `headers` are none
    // when there was no response.
    static AIError map(int status, const QByteArray& body, AIProviderID provider,
                       const std::optional<HttpHeaders>& headers);
    static AIError map(const TransportError& error, bool sawAnyResponse);
    static std::optional<SSEEvent> parseSSELine(const QString& line) { return ::parseSSELine(line); }

    // The whole field as a finite, non-negative decimal number of seconds; otherwise none.
    static std::optional<double> parseRetryAfter(const QByteArray& field);
    // `base` + "/" + `path`, with exactly one slash between them.
    static QUrl endpoint(const QUrl& base, const QString& path);
    // Keys are sent in a header: CR, LF and NUL would break it.
    static bool isSendableKey(const QString& key);

private:
    friend class AIStream;
    QNetworkRequest makeRequest(const QUrl& url, const QString& apiKey, AIProviderID provider) const;

    std::shared_ptr<QNetworkAccessManager> m_session;
    AppAttribution m_attribution;
    HttpTimeouts m_timeouts;
    PrivacyLog::Logger m_logger;
};
