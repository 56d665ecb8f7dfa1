#include "AIProviders/AIService.h"
#include "ChatEvents.h"
#include "LoopbackHttpServer.h"
#include "ManualClock.h"
#include "Platform/Simulated/SimulatedKeychain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

using Server = LoopbackHttpServer;
using Response = LoopbackHttpServer::Response;
using Platform::SimulatedKeychain;
using namespace std::chrono_literals;
using ChatEvents::done;
using ChatEvents::piece;

namespace {

QString userMessage(const Server::Request& request)
{
    return QJsonDocument::fromJson(request.body).object().value("messages").toArray().at(1).toObject().value("content").toString();
}

QString systemMessage(const Server::Request& request)
{
    return QJsonDocument::fromJson(request.body).object().value("messages").toArray().at(0).toObject().value("content").toString();
}

struct Collected {
    QStringList pieces;
    std::optional<AIError> error;
    bool finished = false;
    bool over() const { return finished || error; }
};

void collect(AIStream* stream, Collected& c)
{
    QObject::connect(stream, &AIStream::delta, stream, [&c](const QString& t) { c.pieces << t; });
    QObject::connect(stream, &AIStream::finished, stream, [&c] { c.finished = true; });
    QObject::connect(stream, &AIStream::failed, stream, [&c](const AIError& e) { c.error = e; });
}

} // namespace

class AIServiceTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void localServerNeedsNoKey();
    void unusableKeys_data();
    void unusableKeys();
    void withoutConfigurationNothingIsSent();
    void keysAreStoredAsGivenAndPerProvider();
    void runFillsOnlyTheUserPrompt();
    void requestKeepsTheConfigurationItStartedWith();
    void verify_data();
    void verify();
    void verifyStopsReadingAfterTheFirstPiece();
    void availableModels();

private:
    AIService& service(HttpTimeouts timeouts = {})
    {
        m_service = std::make_unique<AIService>(
            OpenAICompatibleClient(OpenAICompatibleClient::makeSession(),
                                   OpenAICompatibleClient::AppAttribution::defaultAttribution(), timeouts),
            KeychainStore(m_keychain, AIService::credentialService));
        return *m_service;
    }

    std::shared_ptr<SimulatedKeychain> m_keychain;
    std::unique_ptr<AIService> m_service;
};

void AIServiceTest::init()
{
    m_service.reset();
    m_keychain = std::make_shared<SimulatedKeychain>();
}

void AIServiceTest::localServerNeedsNoKey()
{
    Server server;
    server.respond(Response::events({piece("ok"), "data: [DONE]\n\n"}));
    AIService& s = service();
    const AIConfiguration local{AIProviderID::ollama, "local", server.url("/v1"), "llama3.2"};
    s.configure(local);
    // The keychain is not even asked: a failing read changes nothing.
    m_keychain->failNext(SimulatedKeychain::Operation::Copy, Platform::Keychain::statusInteractionNotAllowed);
    QVERIFY(s.isConfigured());
    QVERIFY(!s.hasCredential(local));
    auto stream = s.complete("sys", "hi");
    QVERIFY(stream);
    Collected c;
    collect(stream->get(), c);
    QTRY_VERIFY(c.over());
    QCOMPARE(c.pieces, QStringList{"ok"});
    QVERIFY(!server.lastRequest().hasHeader("Authorization"));
}

void AIServiceTest::unusableKeys_data()
{
    QTest::addColumn<QString>("stored"); // "<none>": no item
    QTest::addColumn<bool>("readFails");
    QTest::addColumn<bool>("hasCredential");
    QTest::newRow("no item") << "<none>" << false << false;
    QTest::newRow("empty key") << "" << false << false;
    QTest::newRow("keychain read fails") << "sk-1" << true << false;
    // Would break the Authorization header; it counts as stored, but is never sent.
    QTest::newRow("key with a line feed") << "sk-1\nX-Evil: 1" << false << true;
    QTest::newRow("key with a carriage return") << "sk-1\r" << false << true;
}

void AIServiceTest::unusableKeys()
{
    QFETCH(QString, stored);
    QFETCH(bool, readFails);
    QFETCH(bool, hasCredential);
    Server server;
    server.respond(Response::events({piece("never")}));
    AIService& s = service();
    const AIConfiguration c{AIProviderID::openRouter, "global", server.url("/api/v1"), "m"};
    if (stored != QLatin1String("<none>"))
        QVERIFY(s.storeCredential(stored, c));
    s.configure(c);
    const auto failRead = [&] {
        if (readFails)
            m_keychain->failNext(SimulatedKeychain::Operation::Copy, Platform::Keychain::statusInteractionNotAllowed);
    };
    failRead();
    QVERIFY(!s.isConfigured());
    failRead();
    QCOMPARE(s.hasCredential(c), hasCredential);
    failRead();
    auto run = s.run(AIActionTemplate::polish(), QStringLiteral("text"), {}, {}, "English");
    QVERIFY(!run);
    QVERIFY(run.error() == AIError::notConfigured());
    failRead();
    std::optional<AIService::VerifyResult> verified;
    s.verify(this, [&](const auto& r) { verified = r; });
    QTRY_VERIFY(verified);
    QVERIFY(!*verified && verified->error() == AIError::notConfigured());
    QTest::qWait(20);
    QCOMPARE(server.requests().size(), 0);
}

void AIServiceTest::withoutConfigurationNothingIsSent()
{
    Server server;
    AIService& s = service();
    const AIConfiguration c{AIProviderID::openRouter, "global", server.url("/api/v1"), "m"};
    QVERIFY(s.storeCredential("sk-1", c));
    s.configure(c);
    QVERIFY(s.isConfigured());
    s.configure(std::nullopt);
    QVERIFY(!s.currentConfiguration());
    QVERIFY(!s.isConfigured());
    QVERIFY(s.hasCredential(c)); // the key stays
    QVERIFY(s.run(AIActionTemplate::explain(), QStringLiteral("x"), {}, {}, "English").error() == AIError::notConfigured());
    QVERIFY(s.complete("a", "b").error() == AIError::notConfigured());
    std::optional<AIService::ModelListResult> models;
    s.availableModels(this, [&](const auto& r) { models = r; });
    QTRY_VERIFY(models);
    QVERIFY(std::get<AIError>(models->error()) == AIError::notConfigured());
    QCOMPARE(server.requests().size(), 0);
}

void AIServiceTest::keysAreStoredAsGivenAndPerProvider()
{
    AIService& s = service();
    const AIConfiguration router = *AIConfiguration::defaultsFor(AIProviderDescriptor::openRouter());
    AIConfiguration otherModel = router;
    otherModel.modelID = "anthropic/claude";
    const AIConfiguration alibaba = *AIConfiguration::defaultsFor(AIProviderDescriptor::alibabaBailian());
    QVERIFY(s.storeCredential("  sk-or  ", router));
    QVERIFY(s.storeCredential("sk-ali", alibaba));
    const KeychainStore store(m_keychain, AIService::credentialService);
    QCOMPARE(store.value("ai.openRouter.apiKey")->value_or(""), QStringLiteral("  sk-or  "));
    QVERIFY(s.hasCredential(otherModel)); // one key per provider
    QVERIFY(s.removeCredential(otherModel));
    QVERIFY(!s.hasCredential(router));
    QVERIFY(s.hasCredential(alibaba));
    QVERIFY(s.storeCredential("sk-or-2", router));
    QVERIFY(s.removeAllCredentials());
    QVERIFY(!s.hasCredential(router));
    QVERIFY(!s.hasCredential(alibaba));
    m_keychain->failNext(SimulatedKeychain::Operation::Add, Platform::Keychain::statusAuthFailed);
    const auto failed = s.storeCredential("x", router);
    QVERIFY(!failed);
    QVERIFY(failed.error() == KeychainError(KeychainErrors::UnexpectedStatus{Platform::Keychain::statusAuthFailed}));
}

void AIServiceTest::runFillsOnlyTheUserPrompt()
{
    Server server;
    server.respond(Response::events({"data: [DONE]\n\n"}));
    AIService& s = service();
    const AIConfiguration c{AIProviderID::openAICompatible, "", server.url("/v1"), "m"};
    QVERIFY(s.storeCredential("sk", c));
    s.configure(c);
    AIActionTemplate t = AIActionTemplate::make("ai.custom.X", "T", "sparkles", "System keeps {{selection}}",
                                                "{{selection}} / {{selection}} / {{filename}} / {{language}}",
                                                {ContextKind::selectedText}, OutputBehavior::preview, false,
                                                ActionScope::text);
    auto stream = s.run(t, QStringLiteral("say {{language}}"), std::nullopt, QStringLiteral("txt"), "French");
    QVERIFY(stream);
    Collected collected;
    collect(stream->get(), collected);
    QTRY_VERIFY(collected.over());
    QCOMPARE(userMessage(server.lastRequest()), QStringLiteral("say {{language}} / say {{language}} / {{filename}} / French"));
    QCOMPARE(systemMessage(server.lastRequest()), QStringLiteral("System keeps {{selection}}"));
    QVERIFY(!QJsonDocument::fromJson(server.lastRequest().body).object().contains("temperature"));
}

void AIServiceTest::requestKeepsTheConfigurationItStartedWith()
{
    Server first, second;
    first.respond(Response::events({"data: [DONE]\n\n"}));
    AIService& s = service();
    const AIConfiguration a{AIProviderID::ollama, "local", first.url("/v1"), "model-a"};
    const AIConfiguration b{AIProviderID::ollama, "local", second.url("/v1"), "model-b"};
    s.configure(a);
    auto stream = s.complete("s", "u");
    QVERIFY(stream);
    s.configure(b);
    Collected c;
    collect(stream->get(), c);
    QTRY_VERIFY(c.over());
    QCOMPARE(first.requests().size(), 1);
    QCOMPARE(QJsonDocument::fromJson(first.lastRequest().body).object().value("model").toString(), QStringLiteral("model-a"));
    QCOMPARE(second.requests().size(), 0);
}

void AIServiceTest::verify_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("result"); // "ok" or an error key
    QTest::newRow("first piece") << Response::events({piece("o"), piece("k"), "data: [DONE]\n\n"}) << "ok";
    QTest::newRow("stream ends without a piece") << Response::events({"data: [DONE]\n\n"}) << "ai.error.invalidResponse";
    QTest::newRow("401") << Response::withStatus(401, R"({"error":{"message":"bad"}})") << "ai.error.auth.generic";
    QTest::newRow("stall") << Response::stalledHead() << "ai.error.modelDidNotRespond";
}

void AIServiceTest::verify()
{
    QFETCH(Response, response);
    QFETCH(QString, result);
    Server server;
    server.respond(response);
    // The limits run on the test's clock, moved only once the server holds the request.
    const auto clock = std::make_shared<ManualClock>();
    AIService& s = service(HttpTimeouts{300ms, 300ms, 5s, clock});
    const AIConfiguration c{AIProviderID::openAICompatible, "", server.url("/v1"), "m"};
    QVERIFY(s.storeCredential("sk", c));
    s.configure(c);
    std::optional<AIService::VerifyResult> verified;
    int calls = 0;
    s.verify(this, [&](const auto& r) {
        verified = r;
        ++calls;
    });
    QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, 30000);
    if (response.stallBeforeHead)
        clock->advance(300ms);
    QTRY_VERIFY_WITH_TIMEOUT(verified, 30000);
    QCOMPARE(verified->has_value() ? QStringLiteral("ok") : verified->error().messageKey(), result);
    QCOMPARE(systemMessage(server.lastRequest()), QStringLiteral("You are a connection test."));
    QCOMPARE(userMessage(server.lastRequest()), QStringLiteral("Reply with the single word: ok"));
    QTest::qWait(50);
    QCOMPARE(calls, 1);
}

void AIServiceTest::verifyStopsReadingAfterTheFirstPiece()
{
    Server server;
    server.respond(Response::events({piece("o")}).gate().chunk(piece("k")));
    AIService& s = service();
    s.configure(AIConfiguration{AIProviderID::ollama, "local", server.url("/v1"), "m"});
    std::optional<AIService::VerifyResult> verified;
    s.verify(this, [&](const auto& r) { verified = r; });
    QTRY_VERIFY(verified);
    QVERIFY(verified->has_value());
    QTRY_COMPARE(server.connectionsClosedByClient(), 1);
}

void AIServiceTest::availableModels()
{
    Server server;
    server.respond(Response::withStatus(200, R"({"data":[{"id":"b"},{"id":"a"}]})"));
    AIService& s = service();
    const AIConfiguration c{AIProviderID::openRouter, "global", server.url("/api/v1"), "m"};
    QVERIFY(s.storeCredential("sk-or", c));
    s.configure(c);
    std::optional<AIService::ModelListResult> models;
    s.availableModels(this, [&](const auto& r) { models = r; });
    QTRY_VERIFY(models);
    QVERIFY(models->has_value());
    QCOMPARE((*models)->size(), 2);
    QCOMPARE((*models)->at(0).id, QStringLiteral("b"));
    QCOMPARE(server.lastRequest().target, QByteArray("/api/v1/models"));
    QCOMPARE(server.lastRequest().header("Authorization"), std::optional<QByteArray>("Bearer sk-or"));
}

QTEST_GUILESS_MAIN(AIServiceTest)
#include "tst_AIService.moc"
