#pragma once

#include "Telemetry/TelemetryEnvironment.h"
#include "Telemetry/TelemetryEvent.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace Platform {
class UserDefaults;
}

// The opt-in usage reporter. Hand it events from anywhere:
//
//   model.telemetry().send(TelemetryEvent::toolbarShown(actions.size()));
//
// `send` returns at once and never fails. While reporting is enabled the event's signal is queued
// and the queue is posted as one batch 5 s after the first signal of a quiet period, or at once
// when 20 signals are waiting. While disabled events are dropped; disabling discards what waits.
// Nothing is retried and nothing but the installation identifier is stored.
//
// `send`, `flush` and `isEnabled` may be called from any thread; the requests are made on the
// thread the client lives on (the main thread in the application).
class TelemetryClient : public QObject {
    Q_OBJECT
public:
    // Which ingestion endpoint and payload form is used.
    struct Destination {
        // Path "/v2/namespace/<namespace>/", payload an object.
        static Destination v2(const QString& nameSpace) { return Destination{nameSpace}; }
        // Path "/v1/", payload an array of "key:value" strings.
        static Destination v1() { return Destination{}; }

        std::optional<QString> nameSpace; // none: v1
        bool isV1() const { return !nameSpace.has_value(); }
        // The base URL followed by the path; the namespace goes in unchanged.
        QUrl url(const QString& baseURL) const;
        bool operator==(const Destination&) const = default;
    };

    // The service's address, and the delayed flush, which tests replace.
    struct Options {
        QString baseURL; // empty: defaultBaseURL
        // Runs `flush` after `delay`; called on the client's thread. The default is a precise timer.
        std::function<void(std::chrono::milliseconds delay, std::function<void()> flush)> schedule;
    };

    inline static const QString defaultBaseURL = QStringLiteral("https://nom.telemetrydeck.com");
    inline static const QString installationKey = QStringLiteral("telemetry.installation");
    static constexpr int batchSize = 20;
    static constexpr std::chrono::milliseconds flushDelay{5000};
    static constexpr std::chrono::milliseconds requestTimeout{10000};

    TelemetryClient(QString appID, Destination destination, TelemetryEnvironment environment,
                    const QString& installationID, bool isTestMode, QNetworkAccessManager* session, bool isEnabled,
                    Options options = {}, QObject* parent = nullptr);
    ~TelemetryClient() override;

    // The identifier stored under "telemetry.installation", made (and stored) on first use.
    static QString installationID(Platform::UserDefaults& defaults);
    // Lower-case hexadecimal SHA-256 of the identifier's UTF-8 bytes.
    static QString hashedUser(const QString& installationID);

    bool isEnabled() const;
    void setEnabled(bool enabled);

    void send(const TelemetryEvent& event);
    // Posts everything pending now; returns once the request is under way.
    void flush();
    // Runs the event loop until every request started so far has been answered, or the bound
    // has passed; true when none is left. For the quit path, where no later loop would carry
    // the last batch out.
    bool waitForRequests(std::chrono::milliseconds bound);

    // The request body of a batch: a JSON array, one object per signal, keys sorted.
    QByteArray encode(const QList<TelemetrySignal>& batch) const;

    const QString& appID() const { return m_appID; }
    const Destination& destination() const { return m_destination; }
    const TelemetryEnvironment& environment() const { return m_environment; }
    const QString& clientUser() const { return m_clientUser; }
    const QString& sessionID() const { return m_sessionID; }
    bool isTestMode() const { return m_isTestMode; }
    qsizetype pendingCount() const;
    // What waits for the next batch, oldest first.
    QList<TelemetrySignal> pendingSignals() const;

signals:
    // A request was answered (status 0 on a transport failure). For tests and diagnostics.
    void batchAnswered(int signalCount, int httpStatus);

private:
    void scheduleFlush();
    void post(const QByteArray& body, int count);

    const QString m_appID;
    const Destination m_destination;
    const TelemetryEnvironment m_environment;
    QPointer<QNetworkAccessManager> m_session;
    const QString m_clientUser;
    const QString m_sessionID;
    const bool m_isTestMode;
    Options m_options;

    mutable QMutex m_lock;
    QList<TelemetrySignal> m_pending;
    bool m_flushScheduled = false;
    bool m_enabled = false;

    int m_inFlight = 0; // on the client's thread only
};
