#include "AIProviders/OpenRouterOAuth.h"
#include "LoopbackHttpServer.h"
#include "RefusingPort.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>

Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

using Server = LoopbackHttpServer;
using Response = LoopbackHttpServer::Response;
using OAuthError = OpenRouterOAuth::OAuthError;
using namespace std::chrono_literals;

namespace {

const QUrl callback(QStringLiteral("corvish://openrouter-callback"));

OpenRouterOAuth::Session fixedSession()
{
    return OpenRouterOAuth::Session{QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
                                    QStringLiteral("st4te-value_123"), callback};
}

} // namespace

class OpenRouterOAuthTest : public QObject {
    Q_OBJECT
private slots:
    void sessionsAreFreshAndURLSafe();
    void challengeMatchesTheRFCExample();
    void authorizationAddress();
    void callbacks_data();
    void callbacks();
    void parameterNames_data();
    void parameterNames();
    void exchange_data();
    void exchange();
    void exchangeWithoutNetworkPassesTheFailureOn();
    void exchangeTimesOut();
};

void OpenRouterOAuthTest::sessionsAreFreshAndURLSafe()
{
    const auto a = OpenRouterOAuth::makeSession(callback);
    const auto b = OpenRouterOAuth::makeSession(callback);
    QVERIFY(a.codeVerifier != b.codeVerifier);
    QVERIFY(a.state != b.state);
    QVERIFY(a != b);
    const QRegularExpression urlSafe(QStringLiteral("\\A[A-Za-z0-9_-]+\\z"));
    for (const auto& s : {a, b}) {
        QCOMPARE(s.codeVerifier.size(), 86);
        QCOMPARE(s.state.size(), 22);
        QVERIFY(urlSafe.match(s.codeVerifier).hasMatch());
        QVERIFY(urlSafe.match(s.state).hasMatch());
        QCOMPARE(s.callbackURL, callback);
        QCOMPARE(s.codeChallenge().size(), 43);
        QCOMPARE(s.codeChallenge(), s.codeChallenge());
    }
    // The bytes behind the text really are random: 200 draws of 16 bytes never repeat.
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i)
        seen.insert(OpenRouterOAuth::randomURLSafeString(16));
    QCOMPARE(seen.size(), 200);
    QCOMPARE(OpenRouterOAuth::randomURLSafeString(3).size(), 4);
}

void OpenRouterOAuthTest::challengeMatchesTheRFCExample()
{
    // RFC 7636, appendix B.
    QCOMPARE(fixedSession().codeChallenge(), QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
}

void OpenRouterOAuthTest::authorizationAddress()
{
    const auto session = fixedSession();
    const QUrl url = session.authorizationURL();
    QCOMPARE(url.scheme(), QStringLiteral("https"));
    QCOMPARE(url.path(), QStringLiteral("/auth"));
    QCOMPARE(url.host(), OpenRouterOAuth::authorizationEndpoint().host());
    const QList<QPair<QString, QString>> items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    QCOMPARE(items.size(), 4);
    QCOMPARE(items.at(0), qMakePair(QStringLiteral("callback_url"), QStringLiteral("corvish://openrouter-callback")));
    QCOMPARE(items.at(1), qMakePair(QStringLiteral("code_challenge"), session.codeChallenge()));
    QCOMPARE(items.at(2), qMakePair(QStringLiteral("code_challenge_method"), QStringLiteral("S256")));
    QCOMPARE(items.at(3), qMakePair(QStringLiteral("state"), session.state));

    // A callback address with its own query survives as one value.
    auto withQuery = session;
    withQuery.callbackURL = QUrl("corvish://openrouter-callback?x=1&y=2");
    QCOMPARE(QUrlQuery(withQuery.authorizationURL()).queryItemValue("callback_url", QUrl::FullyDecoded),
             QStringLiteral("corvish://openrouter-callback?x=1&y=2"));
    QCOMPARE(QUrlQuery(withQuery.authorizationURL()).queryItems().size(), 4);
}

void OpenRouterOAuthTest::callbacks_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected"); // the code, or "error:<n>"
    const QString state = fixedSession().state;
    const auto err = [](OAuthError e) { return QStringLiteral("error:%1").arg(int(e)); };
    QTest::newRow("right state and code") << "corvish://openrouter-callback?code=abc&state=" + state << "abc";
    QTest::newRow("wrong state with code") << "corvish://openrouter-callback?code=abc&state=other" << err(OAuthError::stateMismatch);
    QTest::newRow("empty state value") << "corvish://openrouter-callback?code=abc&state=" << err(OAuthError::stateMismatch);
    QTest::newRow("no state item") << "corvish://openrouter-callback?code=abc" << "abc";
    QTest::newRow("state without value") << "corvish://openrouter-callback?state&code=abc" << "abc";
    QTest::newRow("error instead of code") << "corvish://openrouter-callback?state=" + state + "&error=access_denied" << err(OAuthError::userCancelled);
    QTest::newRow("empty code") << "corvish://openrouter-callback?state=" + state + "&code=" << err(OAuthError::userCancelled);
    QTest::newRow("no query") << "corvish://openrouter-callback" << err(OAuthError::userCancelled);
    QTest::newRow("first code wins") << "corvish://openrouter-callback?code=one&code=two&state=" + state << "one";
    QTest::newRow("first state wins") << "corvish://openrouter-callback?state=" + state + "&state=x&code=c" << "c";
    QTest::newRow("encoded code") << "corvish://openrouter-callback?code=a%2Bb%20c&state=" + state << "a+b c";
    QTest::newRow("other host is not checked here") << "https://evil.test/?code=z&state=" + state << "z";
}

void OpenRouterOAuthTest::callbacks()
{
    QFETCH(QString, url);
    QFETCH(QString, expected);
    const auto code = OpenRouterOAuth::authorizationCode(QUrl(url), fixedSession());
    QCOMPARE(code ? *code : QStringLiteral("error:%1").arg(int(code.error())), expected);
}

void OpenRouterOAuthTest::parameterNames_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("sorted, values left out") << "corvish://openrouter-callback?state=s3cret&error=e&code=c0de" << QStringList{"code", "error", "state"};
    QTest::newRow("repeats kept") << "corvish://x?b=1&a=2&b=3" << QStringList{"a", "b", "b"};
    QTest::newRow("no query") << "corvish://x" << QStringList{};
}

void OpenRouterOAuthTest::parameterNames()
{
    QFETCH(QString, url);
    QFETCH(QStringList, names);
    QCOMPARE(OpenRouterOAuth::parameterNames(QUrl(url)), names);
}

void OpenRouterOAuthTest::exchange_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("expected"); // the key, or "failed"
    QTest::newRow("200 with a key") << Response::withStatus(200, R"({"key":"sk-or-v1-new","user_id":"u"})") << "sk-or-v1-new";
    QTest::newRow("200 with an empty key") << Response::withStatus(200, R"({"key":""})") << "failed";
    QTest::newRow("200 key a number") << Response::withStatus(200, R"({"key":5})") << "failed";
    QTest::newRow("200 without key") << Response::withStatus(200, R"({"token":"x"})") << "failed";
    QTest::newRow("200 not JSON") << Response::withStatus(200, "key=x", "text/plain") << "failed";
    QTest::newRow("401") << Response::withStatus(401, R"({"key":"sk-nope"})") << "failed";
    QTest::newRow("500") << Response::withStatus(500) << "failed";
}

void OpenRouterOAuthTest::exchange()
{
    QFETCH(Response, response);
    QFETCH(QString, expected);
    Server server;
    server.respond(response);
    const OpenRouterOAuth oauth(makeNetworkManager(), server.url("/api/v1/auth/keys"));
    std::optional<std::expected<QString, OpenRouterOAuth::ExchangeError>> result;
    oauth.exchange("the-code", fixedSession(), this, [&](const auto& r) { result = r; });
    QTRY_VERIFY(result);
    if (expected == QLatin1String("failed")) {
        QVERIFY(!*result);
        QVERIFY(std::get<OAuthError>(result->error()) == OAuthError::exchangeFailed);
    } else {
        QVERIFY(*result);
        QCOMPARE(**result, expected);
    }
    const auto request = server.lastRequest();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/api/v1/auth/keys"));
    QCOMPARE(request.header("Content-Type"), std::optional<QByteArray>("application/json"));
    for (const char* name : {"Authorization", "HTTP-Referer", "X-Title", "Cookie"})
        QVERIFY2(!request.hasHeader(name), name);
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    QCOMPARE(body, (QJsonObject{{"code", "the-code"},
                                {"code_verifier", fixedSession().codeVerifier},
                                {"code_challenge_method", "S256"}}));
}

void OpenRouterOAuthTest::exchangeWithoutNetworkPassesTheFailureOn()
{
    const RefusingPort refusing;
    const OpenRouterOAuth oauth(makeNetworkManager(),
                                QUrl(QStringLiteral("http://127.0.0.1:%1/api/v1/auth/keys").arg(refusing.port())));
    std::optional<std::expected<QString, OpenRouterOAuth::ExchangeError>> result;
    oauth.exchange("c", fixedSession(), this, [&](const auto& r) { result = r; });
    QTRY_VERIFY(result);
    QVERIFY(!*result);
    QCOMPARE(std::get<TransportError>(result->error()).code, TransportError::Code::cannotConnectToHost);
}

void OpenRouterOAuthTest::exchangeTimesOut()
{
    Server server;
    server.respond(Response::withStatus(200).chunk("{\"ke").stall());
    const OpenRouterOAuth oauth(makeNetworkManager(), server.url("/api/v1/auth/keys"), 300ms);
    std::optional<std::expected<QString, OpenRouterOAuth::ExchangeError>> result;
    oauth.exchange("c", fixedSession(), this, [&](const auto& r) { result = r; });
    QTRY_VERIFY(result);
    QCOMPARE(std::get<TransportError>(result->error()).code, TransportError::Code::timedOut);
}

QTEST_GUILESS_MAIN(OpenRouterOAuthTest)
#include "tst_OpenRouterOAuth.moc"
