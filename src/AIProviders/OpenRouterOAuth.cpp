#include "AIProviders/OpenRouterOAuth.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QRandomGenerator>

#include <algorithm>
#include <optional>

namespace {

QString base64URL(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

struct QueryItem {
    QString name;
    std::optional<QString> value; // none for an item without "="
};

// The query's items as written: "a" has no value, "a=" an empty one.
QList<QueryItem> queryItems(const QUrl& url)
{
    QList<QueryItem> items;
    if (!url.hasQuery())
        return items;
    const QString query = url.query(QUrl::FullyEncoded);
    for (const QString& part : query.split(QLatin1Char('&'))) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        QueryItem item;
        if (equals < 0) {
            item.name = QUrl::fromPercentEncoding(part.toLatin1());
        } else {
            item.name = QUrl::fromPercentEncoding(part.left(equals).toLatin1());
            item.value = QUrl::fromPercentEncoding(part.mid(equals + 1).toLatin1());
        }
        items.append(item);
    }
    return items;
}

std::optional<QString> firstValue(const QList<QueryItem>& items, const QString& name)
{
    for (const QueryItem& item : items) {
        if (item.name == name)
            return item.value;
    }
    return std::nullopt;
}

QString encodeQueryPart(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

QString OpenRouterOAuth::Session::codeChallenge() const
{
    return base64URL(QCryptographicHash::hash(codeVerifier.toUtf8(), QCryptographicHash::Sha256));
}

QUrl OpenRouterOAuth::Session::authorizationURL() const
{
    QUrl url = authorizationEndpoint();
    const QString query = QStringLiteral("callback_url=") + encodeQueryPart(callbackURL.toString(QUrl::FullyEncoded))
                          + QStringLiteral("&code_challenge=") + encodeQueryPart(codeChallenge())
                          + QStringLiteral("&code_challenge_method=S256&state=") + encodeQueryPart(state);
    url.setQuery(query, QUrl::StrictMode);
    return url;
}

QByteArray OpenRouterOAuth::Body::encoded() const
{
    return QJsonDocument(QJsonObject{{QStringLiteral("code"), code},
                                     {QStringLiteral("code_verifier"), codeVerifier},
                                     {QStringLiteral("code_challenge_method"), codeChallengeMethod}})
        .toJson(QJsonDocument::Compact);
}

QUrl OpenRouterOAuth::authorizationEndpoint()
{
    return QUrl(QStringLiteral("https://openrouter.ai/auth"));
}

QUrl OpenRouterOAuth::keyExchangeEndpoint()
{
    return QUrl(QStringLiteral("https://openrouter.ai/api/v1/auth/keys"));
}

OpenRouterOAuth::OpenRouterOAuth(std::shared_ptr<QNetworkAccessManager> session, QUrl keyExchange,
                                 std::chrono::milliseconds timeout)
    : m_session(std::move(session))
    , m_keyExchange(std::move(keyExchange))
    , m_timeout(timeout)
{
}

QString OpenRouterOAuth::randomURLSafeString(int byteCount)
{
    QByteArray bytes(byteCount, Qt::Uninitialized);
    QRandomGenerator* generator = QRandomGenerator::system();
    for (int i = 0; i < byteCount; i += 4) {
        const quint32 word = generator->generate();
        for (int j = 0; j < 4 && i + j < byteCount; ++j)
            bytes[i + j] = char((word >> (8 * j)) & 0xff);
    }
    return base64URL(bytes);
}

OpenRouterOAuth::Session OpenRouterOAuth::makeSession(const QUrl& callbackURL)
{
    return Session{randomURLSafeString(64), randomURLSafeString(16), callbackURL};
}

std::expected<QString, OpenRouterOAuth::OAuthError> OpenRouterOAuth::authorizationCode(const QUrl& callback,
                                                                                       const Session& session)
{
    const QList<QueryItem> items = queryItems(callback);
    const std::optional<QString> state = firstValue(items, QStringLiteral("state"));
    if (state && *state != session.state)
        return std::unexpected(OAuthError::stateMismatch);
    const std::optional<QString> code = firstValue(items, QStringLiteral("code"));
    if (!code || code->isEmpty())
        return std::unexpected(OAuthError::userCancelled);
    return *code;
}

QStringList OpenRouterOAuth::parameterNames(const QUrl& url)
{
    QStringList names;
    for (const QueryItem& item : queryItems(url))
        names << item.name;
    std::sort(names.begin(), names.end());
    return names;
}

void OpenRouterOAuth::exchange(const QString& code, const Session& session, QObject* context,
                               std::function<void(const std::expected<QString, ExchangeError>&)> done) const
{
    QNetworkRequest request(m_keyExchange);
    prepareRequest(request);
    request.setRawHeader("Content-Type", "application/json");
    const QByteArray body = Body{code, session.codeVerifier}.encoded();
    const HttpTimeouts timeouts{m_timeout, m_timeout, m_timeout};
    BufferedRequest::start(m_session.get(), request, "POST", body, timeouts, context,
                           [done](const BufferedRequest::Outcome& outcome) {
                               const auto failed = [&done] { done(std::unexpected(ExchangeError(OAuthError::exchangeFailed))); };
                               if (outcome.transportError)
                                   return done(std::unexpected(ExchangeError(*outcome.transportError)));
                               if (!outcome.status || *outcome.status >= 400 || outcome.bodyTooLarge)
                                   return failed();
                               QJsonParseError error;
                               const QJsonDocument document = QJsonDocument::fromJson(outcome.body, &error);
                               if (error.error != QJsonParseError::NoError || !document.isObject())
                                   return failed();
                               const QJsonValue key = document.object().value(QStringLiteral("key"));
                               if (!key.isString() || key.toString().isEmpty())
                                   return failed();
                               done(key.toString());
                           });
}
