#include "AI/OpenRouterSignIn.h"
#include "AIProviders/HttpTransfer.h"
#include "LoopbackHttpServer.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "SecurityCore/PrivacyLog.h"

#include <QUrlQuery>
#include <QtTest>

using Kind = OpenRouterSignIn::State::Kind;
using Response = LoopbackHttpServer::Response;
using namespace std::chrono_literals;

namespace {

QUrl callback(const QString& state, const std::optional<QString>& code, const QString& host = "openrouter-callback",
              const QString& scheme = "corvish")
{
    QUrl url;
    url.setScheme(scheme);
    url.setHost(host);
    QUrlQuery query;
    if (code)
        query.addQueryItem("code", *code);
    query.addQueryItem("state", state);
    url.setQuery(query);
    return url;
}

} // namespace

// The browser sign-in as the application runs it: the page, our callback, the key exchange.
class OpenRouterSignInTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void aCallbackWithCodeSignsIn();
    void addressesOfOthersAreNotOurs_data();
    void addressesOfOthersAreNotOurs();
    void aCallbackIsConsumedOnce();
    void anOlderAttemptsCallbackIsRefused();
    void aDeclineGoesBackToIdleAndLogsOnlyNames();
    void aFailedExchangeIsShown();
    void theWaitTimesOut();
    void cancelStopsTheWait();

private:
    std::unique_ptr<OpenRouterSignIn> make(std::chrono::milliseconds timeout = 300'000ms);
    std::unique_ptr<LoopbackHttpServer> m_server;
    std::shared_ptr<Platform::SimulatedWorkspace> m_workspace;
};

void OpenRouterSignInTest::init()
{
    m_server = std::make_unique<LoopbackHttpServer>();
    m_workspace = std::make_shared<Platform::SimulatedWorkspace>();
}

std::unique_ptr<OpenRouterSignIn> OpenRouterSignInTest::make(std::chrono::milliseconds timeout)
{
    return std::make_unique<OpenRouterSignIn>(
        m_workspace, OpenRouterOAuth(makeNetworkManager(), m_server->url("/api/v1/auth/keys")), timeout);
}

void OpenRouterSignInTest::aCallbackWithCodeSignsIn()
{
    m_server->respond(Response::withStatus(200, R"({"key":"sk-or-v1-abc"})"));
    auto signIn = make();
    signIn->start();
    QCOMPARE(signIn->state().kind, Kind::waiting);
    QCOMPARE(m_workspace->openedURLs.size(), 1);
    const auto session = *signIn->pendingSession();
    QCOMPARE(m_workspace->openedURLs.first(), session.authorizationURL());
    QCOMPARE(QUrlQuery(m_workspace->openedURLs.first()).queryItemValue("callback_url", QUrl::FullyDecoded),
             QStringLiteral("corvish://openrouter-callback"));

    QStringList keys;
    QVERIFY(signIn->handle(callback(session.state, "the-code"), [&](const QString& key) { keys << key; }));
    QCOMPARE(signIn->state().kind, Kind::exchanging);
    QTRY_COMPARE(signIn->state().kind, Kind::signedIn);
    QCOMPARE(keys, QStringList{"sk-or-v1-abc"});
    QVERIFY(m_server->lastRequest().body.contains("\"the-code\""));
    QVERIFY(m_server->lastRequest().body.contains(session.codeVerifier.toUtf8()));
}

void OpenRouterSignInTest::addressesOfOthersAreNotOurs_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("scheme");
    QTest::newRow("another host") << "settings" << "corvish";
    QTest::newRow("another scheme") << "openrouter-callback" << "https";
}

void OpenRouterSignInTest::addressesOfOthersAreNotOurs()
{
    QFETCH(QString, host);
    QFETCH(QString, scheme);
    auto signIn = make();
    signIn->start();
    const auto session = *signIn->pendingSession();
    bool called = false;
    QVERIFY(!signIn->handle(callback(session.state, "code", host, scheme), [&](const QString&) { called = true; }));
    QCOMPARE(signIn->state().kind, Kind::waiting);
    QCOMPARE(signIn->pendingSession(), session);
    QVERIFY(!called);
    QVERIFY(m_server->requests().isEmpty());
}

void OpenRouterSignInTest::aCallbackIsConsumedOnce()
{
    m_server->respond(Response::withStatus(200, R"({"key":"k1"})"));
    auto signIn = make();
    signIn->start();
    const QUrl url = callback(signIn->pendingSession()->state, "code");
    int calls = 0;
    QVERIFY(signIn->handle(url, [&](const QString&) { ++calls; }));
    QTRY_COMPARE(signIn->state().kind, Kind::signedIn);
    QVERIFY(signIn->handle(url, [&](const QString&) { ++calls; }));
    QCOMPARE(signIn->state().kind, Kind::signedIn);
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(calls, 1);
}

void OpenRouterSignInTest::anOlderAttemptsCallbackIsRefused()
{
    PrivacyLog::Capture log;
    auto signIn = make();
    signIn->start();
    const QString first = signIn->pendingSession()->state;
    signIn->start();
    QVERIFY(signIn->handle(callback(first, "code"), {}));
    QCOMPARE(signIn->state(), OpenRouterSignIn::State::failed("signIn.error.mismatch"));
    QVERIFY(!signIn->pendingSession());
    QVERIFY(m_server->requests().isEmpty());
    QVERIFY(log.contains("state did not match"));
}

void OpenRouterSignInTest::aDeclineGoesBackToIdleAndLogsOnlyNames()
{
    PrivacyLog::Capture log;
    auto signIn = make();
    signIn->start();
    QUrl url = callback(signIn->pendingSession()->state, std::nullopt);
    QUrlQuery query(url);
    query.addQueryItem("error", "access_denied");
    url.setQuery(query);
    QVERIFY(signIn->handle(url, {}));
    QCOMPARE(signIn->state().kind, Kind::idle);
    QVERIFY(!signIn->pendingSession());
    QVERIFY(log.contains("parameters were error,state"));
    QVERIFY(!log.contains("access_denied"));
}

void OpenRouterSignInTest::aFailedExchangeIsShown()
{
    m_server->respond(Response::withStatus(500, R"({"error":{"message":"down"}})"));
    auto signIn = make();
    signIn->start();
    bool called = false;
    QVERIFY(signIn->handle(callback(signIn->pendingSession()->state, "code"), [&](const QString&) { called = true; }));
    QTRY_COMPARE(signIn->state(), OpenRouterSignIn::State::failed("signIn.error.exchange"));
    QVERIFY(!called);
}

void OpenRouterSignInTest::theWaitTimesOut()
{
    auto signIn = make(150ms);
    signIn->start();
    const QString state = signIn->pendingSession()->state;
    QTRY_COMPARE(signIn->state(), OpenRouterSignIn::State::failed("signIn.error.timedOut"));
    QVERIFY(signIn->handle(callback(state, "code"), {}));
    QCOMPARE(signIn->state(), OpenRouterSignIn::State::failed("signIn.error.timedOut"));
    QVERIFY(m_server->requests().isEmpty());
}

void OpenRouterSignInTest::cancelStopsTheWait()
{
    auto signIn = make(150ms);
    signIn->start();
    signIn->cancel();
    QCOMPARE(signIn->state().kind, Kind::idle);
    QVERIFY(!signIn->pendingSession());
    QSignalSpy changes(signIn.get(), &OpenRouterSignIn::stateChanged);
    QTest::qWait(400);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(signIn->state().kind, Kind::idle);
}

QTEST_GUILESS_MAIN(OpenRouterSignInTest)
#include "tst_OpenRouterSignIn.moc"
