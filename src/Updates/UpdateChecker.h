#pragma once

#include "Updates/UpdateRelease.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace Platform {
class UserDefaults;
}

// Asks the product web site whether a newer release exists and publishes the answer: the
// release this system can install, or the one that needs a newer operating system. It never
// downloads or shows anything itself. A failure keeps what was published; it is only told as
// the outcome of the check, so that nobody reads it as an answer.
// Main thread only.
class UpdateChecker : public QObject {
    Q_OBJECT
public:
    inline static const QString lastCheckKey = QStringLiteral("updates.lastCheck");
    static constexpr qint64 checkInterval = 259200; // seconds: three days
    static constexpr std::chrono::milliseconds defaultTimeout{15000};

    // How the check that ended last went: none ended yet, an answer was read, or it failed.
    enum class Outcome { none, succeeded, failed };

    UpdateChecker(QUrl endpoint, QNetworkAccessManager* session, std::shared_ptr<Platform::UserDefaults> defaults,
                  QString currentVersion, QString systemVersion, QObject* parent = nullptr);

    const std::optional<UpdateRelease>& available() const { return m_available; }
    const std::optional<UpdateRelease>& blockedBySystem() const { return m_blockedBySystem; }
    const QUrl& endpoint() const { return m_endpoint; }
    const QString& currentVersion() const { return m_currentVersion; }
    Outcome lastOutcome() const { return m_lastOutcome; }

    // The automatic check: runs one unless the stored last check is less than three days
    // before `now` (a stored time after `now` also suppresses it). False when none was started.
    bool checkIfDue(const QDateTime& now);
    // One check, unconditionally; its time is stored first. `done` runs, and `checkFinished`
    // follows, when it has ended whatever its outcome.
    void check(const QDateTime& now, std::function<void()> done = {});

    // The stored time of the last check, if one is stored and reads as a time.
    std::optional<QDateTime> lastCheck() const;

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

signals:
    void availableChanged();
    void blockedBySystemChanged();
    void lastOutcomeChanged();
    // A check ended, whatever its outcome.
    void checkFinished();

private:
    void publish(const std::optional<UpdateRelease>& available, const std::optional<UpdateRelease>& blocked);
    void setLastOutcome(Outcome outcome);

    QUrl m_endpoint;
    QPointer<QNetworkAccessManager> m_session;
    std::shared_ptr<Platform::UserDefaults> m_defaults;
    QString m_currentVersion;
    QString m_systemVersion;
    std::optional<UpdateRelease> m_available;
    std::optional<UpdateRelease> m_blockedBySystem;
    std::chrono::milliseconds m_timeout = defaultTimeout;
    Outcome m_lastOutcome = Outcome::none;
};
