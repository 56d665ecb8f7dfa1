#pragma once

#include "AIProviders/OpenRouterOAuth.h"
#include "Platform/Workspace.h"
#include "SecurityCore/PrivacyLog.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// The browser sign-in with OpenRouter from the application's side: it opens the sign-in page
// for a fresh session, waits for our callback address, exchanges its code for a key and
// publishes how far it got. Main thread only.
class OpenRouterSignIn : public QObject {
    Q_OBJECT
public:
    struct State {
        enum class Kind { idle, waiting, exchanging, signedIn, failed };
        Kind kind = Kind::idle;
        QString messageKey; // of failed
        static State failed(QString key) { return {Kind::failed, std::move(key)}; }
        bool operator==(const State&) const = default;
    };

    inline static const QString timedOutKey = QStringLiteral("signIn.error.timedOut");
    inline static const QString mismatchKey = QStringLiteral("signIn.error.mismatch");
    inline static const QString exchangeKey = QStringLiteral("signIn.error.exchange");
    static constexpr std::chrono::milliseconds defaultTimeout{300'000};

    static QUrl callbackURL(); // "corvish://openrouter-callback"

    OpenRouterSignIn(std::shared_ptr<Platform::Workspace> workspace, OpenRouterOAuth oauth,
                     std::chrono::milliseconds timeout = defaultTimeout, QObject* parent = nullptr);

    const State& state() const { return m_state; }

    void start();
    // True when the address is our callback, whatever then happens to it; the key goes to
    // `onSuccess` once the exchange succeeded.
    bool handle(const QUrl& url, std::function<void(const QString& key)> onSuccess);
    void cancel();

    // The pending session, for tests that play the browser.
    const std::optional<OpenRouterOAuth::Session>& pendingSession() const { return m_session; }

signals:
    void stateChanged();

private:
    void setState(State state);
    void timeOut();

    std::shared_ptr<Platform::Workspace> m_workspace;
    OpenRouterOAuth m_oauth;
    PrivacyLog::Logger m_logger;
    State m_state;
    std::optional<OpenRouterOAuth::Session> m_session;
    QTimer m_timeout;
};
