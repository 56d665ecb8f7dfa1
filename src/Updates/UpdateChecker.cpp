#include "Updates/UpdateChecker.h"

#include "Platform/UserDefaults.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

UpdateChecker::UpdateChecker(QUrl endpoint, QNetworkAccessManager* session, std::shared_ptr<Platform::UserDefaults> defaults,
                             QString currentVersion, QString systemVersion, QObject* parent)
    : QObject(parent)
    , m_endpoint(std::move(endpoint))
    , m_session(session)
    , m_defaults(std::move(defaults))
    , m_currentVersion(std::move(currentVersion))
    , m_systemVersion(std::move(systemVersion))
{
}

std::optional<QDateTime> UpdateChecker::lastCheck() const
{
    // The defaults keep no dates: the time is stored as ISO 8601 text in UTC.
    const auto text = m_defaults->stringValue(lastCheckKey);
    if (!text)
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(*text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

bool UpdateChecker::checkIfDue(const QDateTime& now)
{
    if (const auto last = lastCheck(); last && last->msecsTo(now) < checkInterval * 1000)
        return false;
    check(now);
    return true;
}

void UpdateChecker::check(const QDateTime& now, std::function<void()> done)
{
    // Stored first, so that a check that fails still counts.
    m_defaults->setString(lastCheckKey, now.toUTC().toString(Qt::ISODateWithMs));
    if (!m_session) {
        setLastOutcome(Outcome::failed);
        if (done)
            done();
        emit checkFinished();
        return;
    }
    QNetworkRequest request(m_endpoint);
    request.setTransferTimeout(int(m_timeout.count()));
    QNetworkReply* reply = m_session->get(request);
    // A body above the bound is not read to its end.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > UpdateReply::maxBodySize)
            reply->abort();
    });
    QPointer<UpdateChecker> self(this);
    connect(reply, &QNetworkReply::finished, this, [self, reply, done] {
        reply->deleteLater();
        if (!self)
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        bool answered = false;
        if (reply->error() == QNetworkReply::NoError && status == 200) {
            const QByteArray body = reply->read(UpdateReply::maxBodySize + 1);
            const UpdateReply::Verdict verdict = UpdateReply::decide(body, self->m_currentVersion, self->m_systemVersion);
            if (std::holds_alternative<UpdateReply::UpToDate>(verdict))
                self->publish(std::nullopt, std::nullopt);
            else if (const auto* a = std::get_if<UpdateReply::Available>(&verdict))
                self->publish(a->release, std::nullopt);
            else if (const auto* b = std::get_if<UpdateReply::NeedsNewerSystem>(&verdict))
                self->publish(std::nullopt, b->release);
            answered = !std::holds_alternative<UpdateReply::Malformed>(verdict);
        }
        self->setLastOutcome(answered ? Outcome::succeeded : Outcome::failed);
        if (done)
            done();
        if (self)
            emit self->checkFinished();
    });
}

void UpdateChecker::publish(const std::optional<UpdateRelease>& available, const std::optional<UpdateRelease>& blocked)
{
    if (available != m_available) {
        m_available = available;
        emit availableChanged();
    }
    if (blocked != m_blockedBySystem) {
        m_blockedBySystem = blocked;
        emit blockedBySystemChanged();
    }
}

void UpdateChecker::setLastOutcome(Outcome outcome)
{
    if (outcome == m_lastOutcome)
        return;
    m_lastOutcome = outcome;
    emit lastOutcomeChanged();
}
