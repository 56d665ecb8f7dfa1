#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QPointer>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>

// What went wrong below HTTP, in one neutral enumeration (the network stack's own codes are
// kept for logs only).
struct TransportError {
    enum class Code {
        notConnectedToInternet,
        networkConnectionLost,
        cannotFindHost,
        cannotConnectToHost,
        dnsLookupFailed,
        timedOut,
        cancelled,
        secureConnectionFailed,
        other,
    };

    Code code = Code::other;
    int platformCode = 0; // the network stack's number, for logs

    static TransportError fromNetworkError(QNetworkReply::NetworkError error);
    // Errors of the connection or the proxy, as opposed to an HTTP status the stack turned into
    // an error.
    static bool isTransportFailure(QNetworkReply::NetworkError error);

    QString description() const;
    bool operator==(const TransportError&) const = default;
};

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// What the limits of a request are counted on. Without one, real time (precise timers); a test
// gives a clock that it moves itself, so that a limit is passed when the test says and never
// because the process was kept waiting.
class DeadlineClock {
public:
    // A single-shot alarm of this clock: `rang` runs once when its time has come.
    class Alarm {
    public:
        virtual ~Alarm() = default;
        virtual void start(std::chrono::milliseconds after) = 0; // an alarm already set is set again
        virtual void stop() = 0;
        virtual bool isActive() const = 0;
    };

    virtual ~DeadlineClock() = default;
    virtual std::unique_ptr<Alarm> alarm(std::function<void()> rang) = 0;
};

// The limits of one request: the head must arrive within `request`, then data may pause for at
// most `idle`, and the whole transfer may take at most `transfer`.
struct HttpTimeouts {
    std::chrono::milliseconds request{60'000};
    std::chrono::milliseconds idle{120'000};
    std::chrono::milliseconds transfer{600'000};
    std::shared_ptr<DeadlineClock> clock; // none: real time
};

// A manager that keeps no cookies and no cache, on the calling thread.
std::shared_ptr<QNetworkAccessManager> makeNetworkManager();
// Every request of ours: no cookies read or written, nothing from or into a cache, redirects
// only to equally safe addresses, and the body asked for as it is ("Accept-Encoding: identity"),
// so that the stack decompresses nothing and a body's length stays the one sent.
void prepareRequest(QNetworkRequest& request);

// A reply's body as it was sent, decoded. A server that compresses although asked not to
// ("Content-Encoding" gzip or deflate) is decoded here; a compressed body is whole only when its
// compressed stream came to its end, which tells a cut body even where the framing cannot.
class ContentDecoder {
public:
    // `contentEncoding`: the reply's header, as it came (empty for none).
    explicit ContentDecoder(QByteArrayView contentEncoding = {});
    ~ContentDecoder();
    ContentDecoder(const ContentDecoder&) = delete;
    ContentDecoder& operator=(const ContentDecoder&) = delete;

    // A coding of which nothing can be decoded (brotli, say): the body is unreadable.
    bool readable() const { return m_coding != Coding::unknown; }
    bool identity() const { return m_coding == Coding::identity; }
    // Hands on what `bytes` decode to, in pieces of at most 64 KiB (a small compressed body can
    // stand for a huge one); `out` returns false to stop, and then nothing of the decoder is
    // touched again before it returns (`out` may delete its owner). Returns false when it stopped,
    // by `out` or because the bytes do not decode (then `corrupt()`).
    bool feed(QByteArrayView bytes, const std::function<bool(QByteArrayView)>& out);
    bool corrupt() const { return m_corrupt; }
    // Whether the body so far is whole: always without a coding; a compressed one (that is not
    // empty) only at the end of its stream.
    bool whole() const;

private:
    enum class Coding { identity, compressed, unknown };
    struct Inflater;

    Coding m_coding = Coding::identity;
    std::unique_ptr<Inflater> m_inflater;
    qint64 m_fed = 0;
    bool m_corrupt = false;
};

// Watches a reply against its limits and calls `expired` once when one is passed. It records
// the time-out itself, so a time-out never comes out as a cancellation.
class ReplyDeadlines : public QObject {
    Q_OBJECT
public:
    ReplyDeadlines(QNetworkReply* reply, const HttpTimeouts& timeouts, std::function<void()> expired,
                   QObject* parent = nullptr);
    void stop();

private:
    void onActivity();
    void expire();

    std::function<void()> m_expired;
    std::chrono::milliseconds m_idleLimit;
    std::shared_ptr<DeadlineClock> m_clock; // outlives its alarms
    std::unique_ptr<DeadlineClock::Alarm> m_head;
    std::unique_ptr<DeadlineClock::Alarm> m_idle;
    std::unique_ptr<DeadlineClock::Alarm> m_total;
    bool m_sawHead = false;
};

// A request whose whole reply is collected (a reply larger than `maximumBody` bytes ends as soon
// as that is known, with `bodyTooLarge` and its first bytes). The callback runs once, unless the owner is destroyed first, which aborts.
class BufferedRequest : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        std::optional<int> status; // none when no HTTP response came
        HttpHeaders headers;
        QByteArray body;
        std::optional<TransportError> transportError;
        bool bodyTooLarge = false;
    };

    static constexpr qsizetype defaultMaximumBody = 16 * 1024 * 1024;

    // `owner` (may be null) bounds its life; the manager must outlive it.
    static void start(QNetworkAccessManager* manager, const QNetworkRequest& request, const QByteArray& method,
                      const QByteArray& body, const HttpTimeouts& timeouts, QObject* owner,
                      std::function<void(const Outcome&)> done, qsizetype maximumBody = defaultMaximumBody);

    ~BufferedRequest() override;

private:
    BufferedRequest(QObject* owner);
    ContentDecoder& decoder(const QNetworkReply* reply);
    // Adds the bytes to the body; false once it is larger than allowed.
    bool take(const QByteArray& bytes);
    void conclude(Outcome outcome);

    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<ReplyDeadlines> m_deadlines;
    std::function<void(const Outcome&)> m_done;
    std::unique_ptr<ContentDecoder> m_decoder; // from the head on
    QByteArray m_body;
    qint64 m_bodyBytes = 0; // as they came, before decoding
    qsizetype m_maximum = defaultMaximumBody;
    bool m_concluded = false;
};

// Stops a reply for good: no more signals from it to `receivers`, the transfer aborted, the
// object released. (Only our own connections are cut: the manager's own carry the abort.)
void abandonReply(QNetworkReply* reply, std::initializer_list<const QObject*> receivers);
// The status of a reply's head, when it has one.
std::optional<int> httpStatus(const QNetworkReply* reply);
// Whether a reply that came to its end without an error brought fewer bytes of body (as they
// came, before any decoding) than its head announced. Qt can end a reply whose connection the server cut without any error (seen with
// Qt 6.4 now and then, for sized and chunked bodies alike), so such a body is a lost connection,
// whatever error code the reply ends with. Only a sized body can be checked: through
// QNetworkReply the end of a chunked one looks the same whether its last chunk came or not.
bool endedShortOfItsLength(const QNetworkReply* reply, qint64 bodyBytes);
