#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTimer>

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

// The limits of one request: the head must arrive within `request`, then data may pause for at
// most `idle`, and the whole transfer may take at most `transfer`.
struct HttpTimeouts {
    std::chrono::milliseconds request{60'000};
    std::chrono::milliseconds idle{120'000};
    std::chrono::milliseconds transfer{600'000};
};

// A manager that keeps no cookies and no cache, on the calling thread.
std::shared_ptr<QNetworkAccessManager> makeNetworkManager();
// Every request of ours: no cookies read or written, nothing from or into a cache, redirects
// only to equally safe addresses.
void prepareRequest(QNetworkRequest& request);

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

    QTimer m_head;
    QTimer m_idle;
    QTimer m_total;
    std::function<void()> m_expired;
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
    void conclude(Outcome outcome);

    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<ReplyDeadlines> m_deadlines;
    std::function<void(const Outcome&)> m_done;
    QByteArray m_body;
    qsizetype m_maximum = defaultMaximumBody;
    bool m_concluded = false;
};

// Stops a reply for good: no more signals from it to `receivers`, the transfer aborted, the
// object released. (Only our own connections are cut: the manager's own carry the abort.)
void abandonReply(QNetworkReply* reply, std::initializer_list<const QObject*> receivers);
// The status of a reply's head, when it has one.
std::optional<int> httpStatus(const QNetworkReply* reply);
// Whether a reply that came to its end without an error brought fewer bytes of body than its
// head announced. Qt can end a reply whose connection the server cut without any error (seen with
// Qt 6.4 now and then, for sized and chunked bodies alike), so such a body is a lost connection,
// whatever error code the reply ends with. Only a sized body can be checked: through
// QNetworkReply the end of a chunked one looks the same whether its last chunk came or not.
bool endedShortOfItsLength(const QNetworkReply* reply, qint64 bodyBytes);
