#include "Telemetry/TelemetryClient.h"

#include "Platform/UserDefaults.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <cmath>

// Its own logger, not the application's factory.
Q_LOGGING_CATEGORY(telemetryLog, "com.corvish.app.Telemetry")

namespace {

QString newUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// The shortest decimal form that reads back as the same number, with a fractional part.
QString floatText(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    bool plainInteger = !text.isEmpty();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!(c.isDigit() || (i == 0 && c == u'-')))
            plainInteger = false;
    }
    if (plainInteger)
        text += QStringLiteral(".0");
    return text;
}

} // namespace

QUrl TelemetryClient::Destination::url(const QString& baseURL) const
{
    if (isV1())
        return QUrl(baseURL + QStringLiteral("/v1/"));
    return QUrl(baseURL + QStringLiteral("/v2/namespace/") + *nameSpace + QStringLiteral("/"));
}

TelemetryClient::TelemetryClient(QString appID, Destination destination, TelemetryEnvironment environment,
                                 const QString& installationID, bool isTestMode, QNetworkAccessManager* session,
                                 bool isEnabled, Options options, QObject* parent)
    : QObject(parent)
    , m_appID(std::move(appID))
    , m_destination(std::move(destination))
    , m_environment(std::move(environment))
    , m_session(session)
    , m_clientUser(hashedUser(installationID))
    , m_sessionID(newUUID())
    , m_isTestMode(isTestMode)
    , m_options(std::move(options))
    , m_enabled(isEnabled)
{
    if (m_options.baseURL.isEmpty())
        m_options.baseURL = defaultBaseURL;
}

TelemetryClient::~TelemetryClient() = default;

QString TelemetryClient::installationID(Platform::UserDefaults& defaults)
{
    if (auto stored = defaults.stringValue(installationKey))
        return *stored;
    const QString id = newUUID();
    defaults.setString(installationKey, id);
    return id;
}

QString TelemetryClient::hashedUser(const QString& installationID)
{
    return QString::fromLatin1(QCryptographicHash::hash(installationID.toUtf8(), QCryptographicHash::Sha256).toHex());
}

bool TelemetryClient::isEnabled() const
{
    QMutexLocker locker(&m_lock);
    return m_enabled;
}

void TelemetryClient::setEnabled(bool enabled)
{
    {
        QMutexLocker locker(&m_lock);
        m_enabled = enabled;
    }
    if (enabled)
        return;
    // A send between the two steps already finds the flag off.
    QMutexLocker locker(&m_lock);
    m_pending.clear();
}

QList<TelemetrySignal> TelemetryClient::pendingSignals() const
{
    QMutexLocker locker(&m_lock);
    return m_pending;
}

qsizetype TelemetryClient::pendingCount() const
{
    QMutexLocker locker(&m_lock);
    return m_pending.size();
}

void TelemetryClient::send(const TelemetryEvent& event)
{
    QMutexLocker locker(&m_lock);
    if (!m_enabled)
        return;
    m_pending.append(event.signal());
    const qsizetype n = m_pending.size();
    const bool schedule = !m_flushScheduled;
    m_flushScheduled = true;
    locker.unlock();
    if (n >= batchSize)
        flush();
    else if (schedule)
        scheduleFlush();
}

void TelemetryClient::scheduleFlush()
{
    QPointer<TelemetryClient> self(this);
    auto fire = [self] {
        if (self)
            self->flush();
    };
    // The timer belongs to the client's thread, whichever thread sent the event.
    QMetaObject::invokeMethod(this, [this, fire] {
        if (m_options.schedule)
            m_options.schedule(flushDelay, fire);
        else
            QTimer::singleShot(flushDelay, Qt::PreciseTimer, this, fire);
    });
}

void TelemetryClient::flush()
{
    QList<TelemetrySignal> batch;
    {
        QMutexLocker locker(&m_lock);
        if (m_enabled)
            batch = std::move(m_pending);
        m_pending.clear();
        m_flushScheduled = false;
    }
    if (batch.isEmpty())
        return;
    const QByteArray body = encode(batch);
    if (body.isEmpty()) {
        qCCritical(telemetryLog, "Could not encode %ld signals", long(batch.size()));
        return;
    }
    const int count = int(batch.size());
    QMetaObject::invokeMethod(this, [this, body, count] { post(body, count); });
}

void TelemetryClient::post(const QByteArray& body, int count)
{
    if (!m_session)
        return;
    QNetworkRequest request(m_destination.url(m_options.baseURL));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json; charset=utf-8"));
    request.setTransferTimeout(int(requestTimeout.count()));
    QNetworkReply* reply = m_session->post(request, body);
    ++m_inFlight;
    QPointer<TelemetryClient> self(this);
    connect(reply, &QNetworkReply::finished, reply, [self, reply, count] {
        reply->deleteLater();
        if (!self)
            return;
        --self->m_inFlight;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError && status == 0) {
            qCDebug(telemetryLog, "Telemetry send failed: %s", qUtf8Printable(reply->errorString()));
        } else {
            qCDebug(telemetryLog, "Telemetry sent %d signals to %s, HTTP %d", count,
                    qUtf8Printable(reply->url().path()), status);
        }
        emit self->batchAnswered(count, status);
    });
}

bool TelemetryClient::waitForRequests(std::chrono::milliseconds bound)
{
    // Let a post queued by flush() start first.
    QCoreApplication::sendPostedEvents(this);
    if (m_inFlight == 0)
        return true;
    QEventLoop loop;
    QTimer::singleShot(bound, &loop, &QEventLoop::quit);
    connect(this, &TelemetryClient::batchAnswered, &loop, [this, &loop] {
        if (m_inFlight == 0)
            loop.quit();
    });
    loop.exec();
    return m_inFlight == 0;
}

QByteArray TelemetryClient::encode(const QList<TelemetrySignal>& batch) const
{
    const QMap<QString, QString> base = m_environment.parameters();
    QJsonArray array;
    for (const TelemetrySignal& signal : batch) {
        QMap<QString, QString> payload = base;
        for (auto it = signal.parameters.begin(); it != signal.parameters.end(); ++it)
            payload.insert(it.key(), it.value());
        QJsonObject object{
            {QStringLiteral("appID"), m_appID},
            {QStringLiteral("clientUser"), m_clientUser},
            {QStringLiteral("isTestMode"), m_isTestMode},
            {QStringLiteral("sessionID"), m_sessionID},
            {QStringLiteral("type"), signal.type},
        };
        if (m_destination.isV1()) {
            QStringList entries;
            for (auto it = payload.begin(); it != payload.end(); ++it)
                entries << it.key() + u':' + it.value();
            if (signal.floatValue)
                entries << QStringLiteral("floatValue:") + floatText(*signal.floatValue);
            entries.sort();
            object.insert(QStringLiteral("payload"), QJsonArray::fromStringList(entries));
        } else {
            QJsonObject values;
            for (auto it = payload.begin(); it != payload.end(); ++it)
                values.insert(it.key(), it.value());
            object.insert(QStringLiteral("payload"), values);
            if (signal.floatValue) {
                // JSON has no infinities or NaN: such a batch cannot be encoded.
                if (!std::isfinite(*signal.floatValue))
                    return {};
                object.insert(QStringLiteral("floatValue"), *signal.floatValue);
            }
        }
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}
