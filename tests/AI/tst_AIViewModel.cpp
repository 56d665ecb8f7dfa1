#include "AI/AIStrings.h"
#include "AIFixture.h"
#include "AIProviders/AIActionLibrary.h"
#include "AIProviders/PluginBridge.h"
#include "SecurityCore/ModuleStrings.h"

#include <QTemporaryDir>
#include <QtTest>

using Connection = AIViewModel::ConnectionState;
using Response = LoopbackHttpServer::Response;
using AIFixture::titles;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QString shout = QStringLiteral("name: Loud\n"
                                     "actions:\n"
                                     "  - title: Shout\n"
                                     "    on: text\n"
                                     "    run: javascript\n"
                                     "    output: replace\n"
                                     "    script: |-\n"
                                     "      output = input.toUpperCase()\n"
                                     "  - title: Shrink\n"
                                     "    on: files\n"
                                     "    run: resizeImage\n"
                                     "    maxPixels: 800\n");

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return f.fileName();
}

std::optional<QString> stored(Platform::SimulatedKeychain& keychain, const QString& account)
{
    const auto item = keychain.copy("com.corvish.credentials", account);
    return item.data ? std::optional<QString>(QString::fromUtf8(*item.data)) : std::nullopt;
}

} // namespace

// The application's AI model: the stored connection, keys, the connection test, models, and the
// user's custom actions with their import.
class AIViewModelTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void aFirstStartWritesTheDefaults();
    void aStoredProviderMustMatchExactly_data();
    void aStoredProviderMustMatchExactly();
    void anUnknownRegionFallsBackForTheAddressOnly();
    void aCustomEndpointIsTakenAsTyped_data();
    void aCustomEndpointIsTakenAsTyped();
    void theServiceFollowsEveryChangeInOrder();
    void keysAreSavedAsTypedAndCleared();
    void theSignedInKeyIsAdoptedForOpenRouter();
    void aKeyTheKeyringRefusesIsNotReportedStored_data();
    void aKeyTheKeyringRefusesIsNotReportedStored();
    void aSignedInKeyTheKeyringRefusesIsToldNotTyped();
    void aRemovalTheKeyringRefusesLeavesTheKeyShown();
    void theConnectionTestReportsItsOutcome();
    void theModelListFollowsTheServer();
    void ollamaAdoptsAnInstalledModel_data();
    void ollamaAdoptsAnInstalledModel();
    void aStoredOllamaChoiceAdoptsAtStart();

    void everyChangeOfTheListIsStoredAndAnnounced();
    void renameKeepsIdentifierAndPlace();
    void importReadsPluginsAndLibraries();
    void importRefusesWhatIsNoPlugin_data();
    void importRefusesWhatIsNoPlugin();

private:
    AIFixture::Model m_fixture;
    std::unique_ptr<LoopbackHttpServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void AIViewModelTest::initTestCase()
{
    auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    defaults->setStringList("AppleLanguages", {"en"});
    ModuleStrings::setUserDefaults(defaults);
}

void AIViewModelTest::init()
{
    m_fixture = AIFixture::Model{};
    m_server = std::make_unique<LoopbackHttpServer>();
    m_dir = std::make_unique<QTemporaryDir>();
}

void AIViewModelTest::aFirstStartWritesTheDefaults()
{
    AIViewModel& ai = m_fixture.make();
    QCOMPARE(ai.providerID(), AIProviderID::openRouter);
    QCOMPARE(ai.regionID(), QStringLiteral("global"));
    QCOMPARE(ai.modelID(), QStringLiteral("openai/gpt-4o-mini"));
    QCOMPARE(ai.customEndpoint(), QString());
    QCOMPARE(m_fixture.defaults->stringValue("ai.provider"), QStringLiteral("openRouter"));
    QCOMPARE(m_fixture.defaults->stringValue("ai.region"), QStringLiteral("global"));
    QCOMPARE(m_fixture.defaults->stringValue("ai.model"), QStringLiteral("openai/gpt-4o-mini"));
    QCOMPARE(m_fixture.defaults->stringValue("ai.customEndpoint"), QString());
    QCOMPARE(ai.service().currentConfiguration(), ai.configuration());
    QVERIFY(!ai.hasStoredKey());
}

void AIViewModelTest::aStoredProviderMustMatchExactly_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<AIProviderID>("provider");
    QTest::newRow("exact") << "alibabaBailian" << AIProviderID::alibabaBailian;
    QTest::newRow("wrong case") << "OpenRouter" << AIProviderID::openRouter;
    QTest::newRow("no provider") << "mistral" << AIProviderID::openRouter;
}

void AIViewModelTest::aStoredProviderMustMatchExactly()
{
    QFETCH(QString, stored);
    QFETCH(AIProviderID, provider);
    m_fixture.defaults->setString("ai.provider", stored);
    AIViewModel& ai = m_fixture.make();
    QCOMPARE(ai.providerID(), provider);
    QCOMPARE(m_fixture.defaults->stringValue("ai.provider"), toRaw(provider));
}

void AIViewModelTest::anUnknownRegionFallsBackForTheAddressOnly()
{
    m_fixture.defaults->setString("ai.provider", "alibabaBailian");
    m_fixture.defaults->setString("ai.region", "mars");
    AIViewModel& ai = m_fixture.make();
    const auto configuration = ai.configuration();
    QVERIFY(configuration);
    const auto& descriptor = AIProviderDescriptor::alibabaBailian();
    QCOMPARE(configuration->baseURL, descriptor.defaultRegion()->baseURL);
    QCOMPARE(configuration->regionID, QStringLiteral("mars"));
}

void AIViewModelTest::aCustomEndpointIsTakenAsTyped_data()
{
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<bool>("configured");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("not an address") << "::not a url" << false;
    QTest::newRow("relative") << "v1/chat" << false;
    QTest::newRow("an address") << "https://models.example.test/v1" << true;
}

void AIViewModelTest::aCustomEndpointIsTakenAsTyped()
{
    QFETCH(QString, endpoint);
    QFETCH(bool, configured);
    AIViewModel& ai = m_fixture.make();
    // A stored key for the provider makes the previous answer visible.
    m_fixture.keychain->store("com.corvish.credentials", "ai.openAICompatible.apiKey", "sk");
    ai.selectProvider(AIProviderID::openAICompatible);
    ai.setCustomEndpoint("https://first.example.test/v1");
    QVERIFY(ai.hasStoredKey());
    ai.setCustomEndpoint(endpoint);
    QCOMPARE(ai.configuration().has_value(), configured);
    QCOMPARE(ai.service().currentConfiguration().has_value(), configured);
    if (configured)
        QCOMPARE(ai.configuration()->baseURL, QUrl(endpoint));
    // Without a configuration the earlier answer stands.
    QVERIFY(ai.hasStoredKey());
}

void AIViewModelTest::theServiceFollowsEveryChangeInOrder()
{
    AIViewModel& ai = m_fixture.make();
    m_fixture.keychain->store("com.corvish.credentials", "ai.alibabaBailian.apiKey", "sk-ali");
    QSignalSpy stored(&ai, &AIViewModel::hasStoredKeyChanged);
    ai.selectProvider(AIProviderID::alibabaBailian);
    // Applied at once: the service holds exactly what the fields say, and the key answer is its.
    QCOMPARE(ai.service().currentConfiguration(), ai.configuration());
    QCOMPARE(ai.service().currentConfiguration()->providerID, AIProviderID::alibabaBailian);
    QCOMPARE(ai.service().currentConfiguration()->modelID, AIProviderDescriptor::alibabaBailian().defaultModelID);
    QVERIFY(ai.hasStoredKey());
    ai.selectProvider(AIProviderID::openRouter);
    QCOMPARE(ai.service().currentConfiguration(), ai.configuration());
    QVERIFY(!ai.hasStoredKey());
    QCOMPARE(stored.count(), 2);
    ai.setModelID("anthropic/claude-3.5-haiku");
    QCOMPARE(ai.service().currentConfiguration()->modelID, QStringLiteral("anthropic/claude-3.5-haiku"));
    QCOMPARE(m_fixture.defaults->stringValue("ai.model"), QStringLiteral("anthropic/claude-3.5-haiku"));
}

void AIViewModelTest::keysAreSavedAsTypedAndCleared()
{
    AIViewModel& ai = m_fixture.make();
    ai.saveKey();
    QVERIFY(!stored(*m_fixture.keychain, "ai.openRouter.apiKey"));
    QVERIFY(!ai.hasStoredKey());

    ai.setPendingKey("   ");
    ai.saveKey();
    QCOMPARE(ai.pendingKey(), QString());
    QCOMPARE(stored(*m_fixture.keychain, "ai.openRouter.apiKey"), QStringLiteral("   "));
    QVERIFY(ai.hasStoredKey());

    m_fixture.keychain->store("com.corvish.credentials", "ai.ollama.apiKey", "x");
    ai.clearCredentials();
    QVERIFY(!ai.hasStoredKey());
    QVERIFY(!stored(*m_fixture.keychain, "ai.openRouter.apiKey"));
    QVERIFY(!stored(*m_fixture.keychain, "ai.ollama.apiKey"));

    // No configuration, no save: the typed key stays for the user to finish the endpoint.
    ai.selectProvider(AIProviderID::openAICompatible);
    ai.setPendingKey("sk-kept");
    ai.saveKey();
    QCOMPARE(ai.pendingKey(), QStringLiteral("sk-kept"));
    QVERIFY(!ai.hasStoredKey());
}

void AIViewModelTest::theSignedInKeyIsAdoptedForOpenRouter()
{
    AIViewModel& ai = m_fixture.make();
    ai.selectProvider(AIProviderID::ollama);
    ai.adoptSignedInKey("sk-or-v1");
    QCOMPARE(ai.providerID(), AIProviderID::openRouter);
    QCOMPARE(stored(*m_fixture.keychain, "ai.openRouter.apiKey"), QStringLiteral("sk-or-v1"));
    QVERIFY(ai.hasStoredKey());
    QCOMPARE(ai.connection(), Connection{});
}

using Keychain = Platform::Keychain;
using KeychainOp = Platform::SimulatedKeychain::Operation;
using Act = AIViewModel::KeyProblem::Act;

void AIViewModelTest::aKeyTheKeyringRefusesIsNotReportedStored_data()
{
    QTest::addColumn<bool>("earlierKey");
    QTest::addColumn<bool>("removalFails");
    QTest::addColumn<int>("status");
    QTest::addColumn<std::optional<QString>>("held");
    QTest::addColumn<QString>("reason");
    // What the Secret Service jobs answer when no Secret Service is on the bus.
    QTest::newRow("no Secret Service") << false << false << Keychain::statusInteractionNotAllowed
                                       << std::optional<QString>() << "settings.ai.keyring.failed";
    QTest::newRow("no keyring at all") << false << false << Keychain::statusNotAvailable << std::optional<QString>()
                                       << "settings.ai.keyring.unavailable";
    // Replacing removes the earlier key before the new one is refused.
    QTest::newRow("locked, earlier key gone") << true << false << Keychain::statusAuthFailed
                                              << std::optional<QString>() << "settings.ai.keyring.refused";
    QTest::newRow("refused, earlier key kept") << true << true << Keychain::statusInteractionNotAllowed
                                               << std::optional<QString>("sk-old") << "settings.ai.keyring.failed";
}

void AIViewModelTest::aKeyTheKeyringRefusesIsNotReportedStored()
{
    QFETCH(bool, earlierKey);
    QFETCH(bool, removalFails);
    QFETCH(int, status);
    QFETCH(std::optional<QString>, held);
    QFETCH(QString, reason);
    if (earlierKey)
        m_fixture.keychain->store("com.corvish.credentials", "ai.openRouter.apiKey", "sk-old");
    AIViewModel& ai = m_fixture.make();
    QCOMPARE(ai.hasStoredKey(), earlierKey);
    if (removalFails)
        m_fixture.keychain->failNext(KeychainOp::Remove, status);
    m_fixture.keychain->failNext(KeychainOp::Add, status);
    ai.setPendingKey("sk-new");
    ai.saveKey();
    QCOMPARE(stored(*m_fixture.keychain, "ai.openRouter.apiKey"), held);
    QCOMPARE(ai.hasStoredKey(), held.has_value());
    QCOMPARE(ai.pendingKey(), QStringLiteral("sk-new"));
    QVERIFY(ai.keyProblem());
    QCOMPARE(ai.keyProblem()->act, Act::typedKey);
    QCOMPARE(ai.keyProblem()->reasonKey(), reason);
    const QString message = AIViewModel::describeKeyProblem(*ai.keyProblem());
    QVERIFY2(message.contains(AIStrings::string("settings.ai.keyNotKept")), qPrintable(message));
    QVERIFY2(message.contains(AIStrings::string(reason)), qPrintable(message));
    QVERIFY2(!message.contains("settings."), qPrintable(message));

    // Saved again once the keyring takes it.
    ai.saveKey();
    QVERIFY(!ai.keyProblem());
    QVERIFY(ai.hasStoredKey());
    QCOMPARE(ai.pendingKey(), QString());
    QCOMPARE(stored(*m_fixture.keychain, "ai.openRouter.apiKey"), QStringLiteral("sk-new"));
}

void AIViewModelTest::aSignedInKeyTheKeyringRefusesIsToldNotTyped()
{
    AIViewModel& ai = m_fixture.make();
    ai.selectProvider(AIProviderID::ollama);
    ai.setPendingKey("sk-half-typed");
    m_fixture.keychain->failNext(KeychainOp::Add, Keychain::statusAuthFailed);
    ai.adoptSignedInKey("sk-or-v1");
    QCOMPARE(ai.providerID(), AIProviderID::openRouter);
    QVERIFY(!stored(*m_fixture.keychain, "ai.openRouter.apiKey"));
    QVERIFY(!ai.hasStoredKey());
    // The field keeps what the user typed; the sign-in key is not slipped into it.
    QCOMPARE(ai.pendingKey(), QStringLiteral("sk-half-typed"));
    QVERIFY(ai.keyProblem());
    QCOMPARE(ai.keyProblem()->act, Act::signedInKey);
    QCOMPARE(ai.keyProblem()->reasonKey(), QStringLiteral("settings.ai.keyring.refused"));

    ai.adoptSignedInKey("sk-or-v1");
    QVERIFY(!ai.keyProblem());
    QVERIFY(ai.hasStoredKey());
    QCOMPARE(stored(*m_fixture.keychain, "ai.openRouter.apiKey"), QStringLiteral("sk-or-v1"));
}

void AIViewModelTest::aRemovalTheKeyringRefusesLeavesTheKeyShown()
{
    AIViewModel& ai = m_fixture.make();
    ai.setPendingKey("sk");
    ai.saveKey();
    m_fixture.keychain->failNext(KeychainOp::RemoveAll, Keychain::statusAuthFailed);
    ai.clearCredentials();
    QCOMPARE(stored(*m_fixture.keychain, "ai.openRouter.apiKey"), QStringLiteral("sk"));
    QVERIFY(ai.hasStoredKey());
    QVERIFY(ai.keyProblem());
    QCOMPARE(ai.keyProblem()->act, Act::removal);
    QCOMPARE(ai.keyProblem()->reasonKey(), QStringLiteral("settings.ai.keyring.refused"));

    ai.clearCredentials();
    QVERIFY(!ai.keyProblem());
    QVERIFY(!ai.hasStoredKey());
    QVERIFY(!stored(*m_fixture.keychain, "ai.openRouter.apiKey"));
}

void AIViewModelTest::theConnectionTestReportsItsOutcome()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    m_server->respond(AIFixture::reply({"pong"}));
    ai.testConnection();
    QCOMPARE(ai.connection().kind, Connection::Kind::checking);
    QTRY_COMPARE(ai.connection().kind, Connection::Kind::working);

    m_server->respond(Response::withStatus(401, R"({"error":{"message":"bad key"}})"));
    ai.testConnection();
    QTRY_COMPARE(ai.connection().kind, Connection::Kind::failed);
    QCOMPARE(ai.connection().error->kind, AIError::Kind::authenticationFailed);
    // Any change of the connection forgets the outcome.
    ai.setModelID("other");
    QCOMPARE(ai.connection(), Connection{});
}

void AIViewModelTest::theModelListFollowsTheServer()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    m_server->respond(Response::withStatus(200, R"({"data":[{"id":"m-one"},{"id":"m-two"}]})"));
    QSignalSpy changed(&ai, &AIViewModel::availableModelsChanged);
    ai.refreshModels();
    QTRY_COMPARE(ai.availableModels().size(), 2);
    QCOMPARE(ai.availableModels()[1].id, QStringLiteral("m-two"));
    QCOMPARE(ai.modelID(), QStringLiteral("test-model"));
    m_server->respond(Response::withStatus(500));
    ai.refreshModels();
    QTRY_VERIFY(ai.availableModels().isEmpty());
}

void AIViewModelTest::ollamaAdoptsAnInstalledModel_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("the default is installed")
        << 200 << QByteArray(R"({"data":[{"id":"mistral"},{"id":"llama3.2"}]})") << "llama3.2" << QStringList{"mistral", "llama3.2"};
    QTest::newRow("only others are installed")
        << 200 << QByteArray(R"({"data":[{"id":"mistral"},{"id":"qwen2.5"}]})") << "mistral" << QStringList{"mistral", "qwen2.5"};
    QTest::newRow("a near name is another model")
        << 200 << QByteArray(R"({"data":[{"id":"llama3.2:latest"}]})") << "llama3.2:latest" << QStringList{"llama3.2:latest"};
    QTest::newRow("nothing installed") << 200 << QByteArray(R"({"data":[]})") << "llama3.2" << QStringList{};
    QTest::newRow("the server fails") << 500 << QByteArray() << "llama3.2" << QStringList{};
    QTest::newRow("the answer is no list") << 200 << QByteArray("<html>") << "llama3.2" << QStringList{};
}

void AIViewModelTest::ollamaAdoptsAnInstalledModel()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, model);
    QFETCH(QStringList, listed);
    m_fixture.make({}, m_server->url(QStringLiteral("/v1")));
    // A list shown for the provider before.
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    m_server->respond(Response::withStatus(200, R"({"data":[{"id":"old"}]})"));
    ai.refreshModels();
    QTRY_COMPARE(ai.availableModels().size(), 1);

    m_server->respond(Response::withStatus(status, body));
    ai.selectProvider(AIProviderID::ollama);
    // At once: the provider's default and an empty list, until the server has answered.
    QCOMPARE(ai.modelID(), QStringLiteral("llama3.2"));
    QVERIFY(ai.availableModels().isEmpty());
    QTRY_COMPARE(m_server->requests().size(), 2);
    QCOMPARE(m_server->lastRequest().path(), QByteArray("/v1/models"));
    QTest::qWait(200);
    QStringList ids;
    for (const AIModelOption& option : ai.availableModels())
        ids << option.id;
    QCOMPARE(ids, listed);
    QCOMPARE(ai.modelID(), model);
    // What was adopted is what requests now use, and what the next start reads.
    QCOMPARE(ai.service().currentConfiguration()->modelID, model);
    QCOMPARE(m_fixture.defaults->stringValue(AIViewModel::modelKey), std::optional(model));
    QCOMPARE(m_fixture.defaults->stringValue(AIViewModel::providerKey), std::optional(QStringLiteral("ollama")));
}

void AIViewModelTest::aStoredOllamaChoiceAdoptsAtStart()
{
    m_fixture.defaults->setString(AIViewModel::providerKey, "ollama");
    m_fixture.defaults->setString(AIViewModel::modelKey, "qwen2.5");
    m_server->respond(Response::withStatus(200, R"({"data":[{"id":"mistral"},{"id":"qwen2.5"}]})"));
    AIViewModel& ai = m_fixture.make({}, m_server->url(QStringLiteral("/v1")));
    QCOMPARE(ai.providerID(), AIProviderID::ollama);
    QTRY_COMPARE(ai.availableModels().size(), 2);
    // The stored model is installed, so it stays.
    QCOMPARE(ai.modelID(), QStringLiteral("qwen2.5"));
    QCOMPARE(ai.service().currentConfiguration()->baseURL, m_server->url(QStringLiteral("/v1")));

    // Once it is gone from the server, the next start moves to what is there.
    m_server->respond(Response::withStatus(200, R"({"data":[{"id":"mistral"}]})"));
    AIViewModel& again = m_fixture.make({}, m_server->url(QStringLiteral("/v1")));
    QTRY_COMPARE(again.modelID(), QStringLiteral("mistral"));
    QCOMPARE(m_fixture.defaults->stringValue(AIViewModel::modelKey), std::optional(QStringLiteral("mistral")));
}

void AIViewModelTest::everyChangeOfTheListIsStoredAndAnnounced()
{
    AIViewModel& ai = m_fixture.make();
    int callbacks = 0;
    ai.onCustomActionsChanged = [&] { ++callbacks; };
    const auto templates = PluginBridge::templates(*PluginManifest::decode(shout));
    ai.appendCustomActions(templates);
    QCOMPARE(callbacks, 1);
    QCOMPARE(ai.store().load(), templates);
    ai.setCustomActions(ai.customActions());
    QCOMPARE(callbacks, 2);
    ai.removeCustomAction(templates[0]);
    QCOMPARE(titles(ai.store().load()), QStringList{"Shrink"});
    ai.removeCustomAction(templates[0]);
    QCOMPARE(callbacks, 4);
    // A new model reads the stored list.
    QCOMPARE(titles(m_fixture.make().customActions()), QStringList{"Shrink"});
}

void AIViewModelTest::renameKeepsIdentifierAndPlace()
{
    AIViewModel& ai = m_fixture.make();
    ai.appendCustomActions(PluginBridge::templates(*PluginManifest::decode(shout)));
    int callbacks = 0;
    ai.onCustomActionsChanged = [&] { ++callbacks; };
    const AIActionTemplate first = ai.customActions()[0];
    QVERIFY(ai.renameCustomAction(first, "Shout"));
    QCOMPARE(callbacks, 0);
    QVERIFY(!ai.renameCustomAction(first, " \t "));
    QVERIFY(ai.renameCustomAction(first, "  Yell "));
    QCOMPARE(callbacks, 1);
    QCOMPARE(titles(ai.customActions()), (QStringList{"Yell", "Shrink"}));
    QCOMPARE(ai.customActions()[0].id, first.id);
    AIActionTemplate unknown = first;
    unknown.id = "ai.custom.NOPE";
    QVERIFY(!ai.renameCustomAction(unknown, "Other"));
}

void AIViewModelTest::importReadsPluginsAndLibraries()
{
    AIViewModel& ai = m_fixture.make();
    const QString plugin = writeFile(*m_dir, "loud.ambrel", shout.toUtf8());
    QVERIFY(ai.importPlugin(plugin));
    QVERIFY(ai.importPlugin(plugin));
    QCOMPARE(titles(ai.customActions()), (QStringList{"Shout", "Shrink", "Shout", "Shrink"}));
    QVERIFY(ai.customActions()[0].id != ai.customActions()[2].id);
    QVERIFY(ai.customActions()[0].id.startsWith("ai.custom."));

    AIActionLibrary library;
    library.name = "Mine";
    AIActionTemplate carried = AIActionTemplate::polish();
    carried.id = "ai.custom.CARRIED";
    carried.titleKey = "Tidy";
    carried.isBuiltIn = false;
    library.actions = {carried};
    // The extension does not decide: the content does.
    QVERIFY(ai.importPlugin(writeFile(*m_dir, "mine.txt", library.encoded())));
    QCOMPARE(ai.customActions().size(), 5);
    QCOMPARE(ai.customActions().last().titleKey, QStringLiteral("Tidy"));
    QVERIFY(ai.customActions().last().id != "ai.custom.CARRIED");
}

void AIViewModelTest::importRefusesWhatIsNoPlugin_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const QString notAPlugin = "This is not an Ambrel plug-in: it needs a name and a list of actions.";
    QTest::newRow("binary") << QByteArray::fromHex("89504e470d0a1a0a00ff00fe") << notAPlugin;
    QTest::newRow("empty") << QByteArray() << "The plug-in text cannot be read at line 1.";
    QTest::newRow("a library of a newer format reads as the plug-in's error")
        << QByteArray(R"({"formatVersion": 9, "name": "x", "actions": []})") << "The plug-in text cannot be read at line 1.";
    QTest::newRow("a plug-in without actions") << QByteArray("name: Empty\nactions: []\n") << "The plug-in has no actions.";
    QTest::newRow("megabytes") << QByteArray(3 * 1024 * 1024, 'a') << "The text is too long to be a plug-in.";
}

void AIViewModelTest::importRefusesWhatIsNoPlugin()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    AIViewModel& ai = m_fixture.make();
    int callbacks = 0;
    ai.onCustomActionsChanged = [&] { ++callbacks; };
    const auto result = ai.importPlugin(writeFile(*m_dir, "x.ambrel", bytes));
    QVERIFY(!result);
    QCOMPARE(AIViewModel::describeImportFailure(result.error()), message);
    QVERIFY(ai.customActions().isEmpty());
    QCOMPARE(callbacks, 0);
    QCOMPARE(AIViewModel::describeImportFailure(ai.importPlugin(m_dir->filePath("missing.ambrel")).error()),
             QStringLiteral("The file could not be read."));
}

QTEST_GUILESS_MAIN(AIViewModelTest)
#include "tst_AIViewModel.moc"
