#pragma once

#include "AIProviders/HttpTransfer.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <expected>
#include <functional>
#include <memory>
#include <variant>

// Signing in to OpenRouter in the browser: an authorization code protected by PKCE (S256) and a
// state value, exchanged for an API key. It keeps no state of its own and logs nothing.
class OpenRouterOAuth {
public:
    enum class OAuthError {
        userCancelled,  // the callback carries no code, or an empty one
        stateMismatch,  // the callback's state is not the session's
        exchangeFailed, // the key exchange answered an error status or an unusable reply
    };
    // The exchange fails with one of the above or with the transport failure itself.
    using ExchangeError = std::variant<OAuthError, TransportError>;

    // One sign-in attempt.
    struct Session {
        QString codeVerifier; // 64 secure random bytes, base64url without padding: 86 characters
        QString state;        // 16 secure random bytes, base64url without padding: 22 characters
        QUrl callbackURL;

        // base64url (no padding) of the SHA-256 of the verifier's text.
        QString codeChallenge() const;
        // The sign-in page with "callback_url", "code_challenge", "code_challenge_method" and
        // "state", in that order.
        QUrl authorizationURL() const;

        bool operator==(const Session&) const = default;
    };

    // The key exchange's request body.
    struct Body {
        QString code;
        QString codeVerifier;
        QString codeChallengeMethod = QStringLiteral("S256");
        QByteArray encoded() const; // {"code", "code_verifier", "code_challenge_method"}
    };

    static constexpr std::chrono::milliseconds exchangeTimeout{30'000};

    static QUrl authorizationEndpoint();
    static QUrl keyExchangeEndpoint();

    // `keyExchange` and `timeout` are for tests.
    explicit OpenRouterOAuth(std::shared_ptr<QNetworkAccessManager> session, QUrl keyExchange = keyExchangeEndpoint(),
                             std::chrono::milliseconds timeout = exchangeTimeout);

    static Session makeSession(const QUrl& callbackURL);
    // The code of a callback that belongs to the session. Its scheme and host are not looked at.
    static std::expected<QString, OAuthError> authorizationCode(const QUrl& callback, const Session& session);
    // The names of the query's items, sorted, repeats kept: what may be logged of a callback.
    static QStringList parameterNames(const QUrl& url);
    // base64url without padding of `byteCount` bytes from the system's secure generator.
    static QString randomURLSafeString(int byteCount);

    // POSTs the code and the verifier; `done` gets the new key. It runs once, later, unless
    // `context` (may be null) is destroyed first.
    void exchange(const QString& code, const Session& session, QObject* context,
                  std::function<void(const std::expected<QString, ExchangeError>&)> done) const;

private:
    std::shared_ptr<QNetworkAccessManager> m_session;
    QUrl m_keyExchange;
    std::chrono::milliseconds m_timeout;
};
