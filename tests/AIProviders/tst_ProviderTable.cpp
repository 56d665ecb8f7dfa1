#include "AIProviders/AIConfiguration.h"
#include "AIProviders/AIError.h"
#include "AIProviders/AIProviderDescriptor.h"
#include "AIProviders/AIProvidersStrings.h"
#include "SecurityCore/ModuleStrings.h"

#include <QJsonDocument>
#include <QTest>

Q_DECLARE_METATYPE(AIProviderID)

class ProviderTableTest : public QObject {
    Q_OBJECT
private slots:
    void identifiersFromRawValues_data();
    void identifiersFromRawValues();
    void table_data();
    void table();
    void regionsAndDefaults();
    void configurationDefaults_data();
    void configurationDefaults();
    void credentialAccountIgnoresRegionAndModel();
    void configurationRoundTrip();
    void configurationDecodingFailures_data();
    void configurationDecodingFailures();
    void errors_data();
    void errors();
    void errorEquality();
    void everyKeyHasTextInEveryLanguage();
};

void ProviderTableTest::identifiersFromRawValues_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<int>("expected"); // -1: none
    QTest::newRow("openRouter") << "openRouter" << int(AIProviderID::openRouter);
    QTest::newRow("alibabaBailian") << "alibabaBailian" << int(AIProviderID::alibabaBailian);
    QTest::newRow("ollama") << "ollama" << int(AIProviderID::ollama);
    QTest::newRow("openAICompatible") << "openAICompatible" << int(AIProviderID::openAICompatible);
    QTest::newRow("capital first letter") << "OpenRouter" << -1;
    QTest::newRow("all lower case") << "openrouter" << -1;
    QTest::newRow("surrounding space") << " ollama" << -1;
    QTest::newRow("empty") << "" << -1;
}

void ProviderTableTest::identifiersFromRawValues()
{
    QFETCH(QString, raw);
    QFETCH(int, expected);
    const std::optional<AIProviderID> id = fromRaw<AIProviderID>(raw);
    if (expected < 0) {
        QVERIFY(!id);
    } else {
        QVERIFY(id);
        QCOMPARE(int(*id), expected);
        QCOMPARE(toRaw(*id), raw);
    }
}

void ProviderTableTest::table_data()
{
    QTest::addColumn<AIProviderID>("id");
    QTest::addColumn<QString>("nameKey");
    QTest::addColumn<QStringList>("regionIDs");
    QTest::addColumn<QString>("defaultRegion");
    QTest::addColumn<QStringList>("models");
    QTest::addColumn<QString>("defaultModel");
    QTest::addColumn<bool>("dynamic");
    QTest::addColumn<bool>("needsKey");
    QTest::newRow("alibabaBailian") << AIProviderID::alibabaBailian << "provider.alibaba.name"
                                    << QStringList{"cn-beijing", "intl"} << "cn-beijing"
                                    << QStringList{"qwen-plus", "qwen-max", "qwen-turbo"} << "qwen-plus" << false << true;
    QTest::newRow("openRouter") << AIProviderID::openRouter << "provider.openRouter.name" << QStringList{"global"}
                                << "global" << QStringList{} << "openai/gpt-4o-mini" << true << true;
    QTest::newRow("ollama") << AIProviderID::ollama << "provider.ollama.name" << QStringList{"local"} << "local"
                            << QStringList{} << "llama3.2" << true << false;
    QTest::newRow("openAICompatible") << AIProviderID::openAICompatible << "provider.custom.name" << QStringList{}
                                      << "" << QStringList{} << "" << false << true;
}

void ProviderTableTest::table()
{
    QFETCH(AIProviderID, id);
    QFETCH(QString, nameKey);
    QFETCH(QStringList, regionIDs);
    QFETCH(QString, defaultRegion);
    QFETCH(QStringList, models);
    QFETCH(QString, defaultModel);
    QFETCH(bool, dynamic);
    QFETCH(bool, needsKey);
    const AIProviderDescriptor& d = AIProviderDescriptor::descriptor(id);
    QCOMPARE(d.id, id);
    QCOMPARE(d.displayNameKey, nameKey);
    QStringList regions;
    for (const AIRegion& r : d.regions)
        regions << r.id;
    QCOMPARE(regions, regionIDs);
    QCOMPARE(d.defaultRegionID, defaultRegion);
    QStringList modelIDs;
    for (const AIModelOption& m : d.presetModels)
        modelIDs << m.id;
    QCOMPARE(modelIDs, models);
    QCOMPARE(d.defaultModelID, defaultModel);
    QCOMPARE(d.fetchesModelsDynamically, dynamic);
    QCOMPARE(d.supportsOAuth, false);
    QCOMPARE(d.requiresAPIKey(), needsKey);
    // The table lists the rows in the order of the identifiers.
    QCOMPARE(AIProviderDescriptor::all().at(int(id)), d);
}

void ProviderTableTest::regionsAndDefaults()
{
    const AIProviderDescriptor& alibaba = AIProviderDescriptor::alibabaBailian();
    QCOMPARE(alibaba.region("intl")->displayNameKey, QStringLiteral("provider.alibaba.region.international"));
    QVERIFY(!alibaba.region("INTL"));
    QCOMPARE(alibaba.presetModels.at(1).summaryKey, QStringLiteral("model.summary.highestQuality"));
    for (const AIRegion& r : alibaba.regions) {
        QCOMPARE(r.baseURL.scheme(), QStringLiteral("https"));
        QCOMPARE(r.baseURL.path(), QStringLiteral("/compatible-mode/v1"));
    }
    QVERIFY(alibaba.regions.at(0).baseURL.host() != alibaba.regions.at(1).baseURL.host());
    const AIRegion openRouter = *AIProviderDescriptor::openRouter().defaultRegion();
    QCOMPARE(openRouter.baseURL.scheme(), QStringLiteral("https"));
    QCOMPARE(openRouter.baseURL.path(), QStringLiteral("/api/v1"));
    const AIRegion local = *AIProviderDescriptor::ollama().defaultRegion();
    QCOMPARE(local.baseURL, QUrl("http://127.0.0.1:11434/v1"));
    QVERIFY(!AIProviderDescriptor::openAICompatible().defaultRegion());
}

void ProviderTableTest::configurationDefaults_data()
{
    QTest::addColumn<AIProviderID>("id");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("model");
    QTest::newRow("alibabaBailian") << AIProviderID::alibabaBailian << true << "cn-beijing" << "qwen-plus";
    QTest::newRow("openRouter") << AIProviderID::openRouter << true << "global" << "openai/gpt-4o-mini";
    QTest::newRow("ollama") << AIProviderID::ollama << true << "local" << "llama3.2";
    QTest::newRow("openAICompatible") << AIProviderID::openAICompatible << false << "" << "";
}

void ProviderTableTest::configurationDefaults()
{
    QFETCH(AIProviderID, id);
    QFETCH(bool, exists);
    QFETCH(QString, region);
    QFETCH(QString, model);
    const AIProviderDescriptor& d = AIProviderDescriptor::descriptor(id);
    const std::optional<AIConfiguration> c = AIConfiguration::defaultsFor(d);
    QCOMPARE(c.has_value(), exists);
    if (!c)
        return;
    QCOMPARE(c->providerID, id);
    QCOMPARE(c->regionID, region);
    QCOMPARE(c->baseURL, d.region(region)->baseURL);
    QCOMPARE(c->modelID, model);
    QCOMPARE(c->isCustomEndpoint(), false);
}

void ProviderTableTest::credentialAccountIgnoresRegionAndModel()
{
    AIConfiguration a = *AIConfiguration::defaultsFor(AIProviderDescriptor::alibabaBailian());
    AIConfiguration b = a;
    b.modelID = QStringLiteral("qwen-max");
    b.regionID = QStringLiteral("intl");
    QVERIFY(a != b);
    QCOMPARE(a.credentialAccount(), QStringLiteral("ai.alibabaBailian.apiKey"));
    QCOMPARE(b.credentialAccount(), a.credentialAccount());
    QCOMPARE(AIConfiguration::defaultsFor(AIProviderDescriptor::ollama())->credentialAccount(),
             QStringLiteral("ai.ollama.apiKey"));
    const AIConfiguration custom{AIProviderID::openAICompatible, {}, QUrl("http://example.test/v1"), "m"};
    QVERIFY(custom.isCustomEndpoint());
    QCOMPARE(custom.credentialAccount(), QStringLiteral("ai.openAICompatible.apiKey"));
}

void ProviderTableTest::configurationRoundTrip()
{
    const AIConfiguration c{AIProviderID::openAICompatible, QString(),
                            QUrl("https://models.example.test:8443/api/v1/?x=1"), QStringLiteral("mistral:7b")};
    const QJsonObject json = toJson(c);
    QCOMPARE(json.value("providerID").toString(), QStringLiteral("openAICompatible"));
    QCOMPARE(json.value("baseURL").toString(), QStringLiteral("https://models.example.test:8443/api/v1/?x=1"));
    const QByteArray text = QJsonDocument(json).toJson();
    const auto back = fromJson<AIConfiguration>(QJsonDocument::fromJson(text).object());
    QVERIFY(back);
    QCOMPARE(*back, c);
}

void ProviderTableTest::configurationDecodingFailures_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("unknown provider") << QByteArray(R"({"providerID":"OpenRouter","regionID":"","baseURL":"http://a.test","modelID":"m"})");
    QTest::newRow("missing model") << QByteArray(R"({"providerID":"ollama","regionID":"local","baseURL":"http://a.test"})");
    QTest::newRow("number as region") << QByteArray(R"({"providerID":"ollama","regionID":1,"baseURL":"http://a.test","modelID":"m"})");
    QTest::newRow("empty base URL") << QByteArray(R"({"providerID":"ollama","regionID":"","baseURL":"","modelID":"m"})");
}

void ProviderTableTest::configurationDecodingFailures()
{
    QFETCH(QByteArray, json);
    QVERIFY(!fromJson<AIConfiguration>(QJsonDocument::fromJson(json).object()));
}

void ProviderTableTest::errors_data()
{
    QTest::addColumn<AIError>("error");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("retryable");
    QTest::newRow("auth generic") << AIError::authenticationFailed(AuthFailureHint::generic) << "ai.error.auth.generic" << false;
    QTest::newRow("auth region") << AIError::authenticationFailed(AuthFailureHint::possibleRegionMismatch)
                                 << "ai.error.auth.regionMismatch" << false;
    QTest::newRow("auth revoked") << AIError::authenticationFailed(AuthFailureHint::credentialRevoked)
                                  << "ai.error.auth.revoked" << false;
    QTest::newRow("too long, no limit") << AIError::contentTooLong() << "ai.error.contentTooLong" << false;
    QTest::newRow("too long, limit") << AIError::contentTooLong(4096) << "ai.error.contentTooLong" << false;
    QTest::newRow("rate limited, no wait") << AIError::rateLimited() << "ai.error.rateLimited" << true;
    QTest::newRow("rate limited, 20 s") << AIError::rateLimited(20.0) << "ai.error.rateLimited" << true;
    QTest::newRow("server 500") << AIError::serverError(500) << "ai.error.serverError" << true;
    QTest::newRow("server 418") << AIError::serverError(418) << "ai.error.serverError" << true;
    QTest::newRow("not configured") << AIError::notConfigured() << "ai.error.notConfigured" << false;
    QTest::newRow("network") << AIError::networkUnavailable() << "ai.error.networkUnavailable" << true;
    QTest::newRow("credits") << AIError::insufficientCredits() << "ai.error.insufficientCredits" << false;
    QTest::newRow("timed out") << AIError::timedOut() << "ai.error.timedOut" << true;
    QTest::newRow("no response") << AIError::modelDidNotRespond() << "ai.error.modelDidNotRespond" << true;
    QTest::newRow("filtered") << AIError::contentFiltered() << "ai.error.contentFiltered" << false;
    QTest::newRow("no model") << AIError::modelNotFound() << "ai.error.modelNotFound" << false;
    QTest::newRow("invalid") << AIError::invalidResponse() << "ai.error.invalidResponse" << false;
    QTest::newRow("cancelled") << AIError::cancelled() << "ai.error.cancelled" << false;
}

void ProviderTableTest::errors()
{
    QFETCH(AIError, error);
    QFETCH(QString, key);
    QFETCH(bool, retryable);
    QCOMPARE(error.messageKey(), key);
    QCOMPARE(error.isRetryable(), retryable);
}

void ProviderTableTest::errorEquality()
{
    QVERIFY(AIError::authenticationFailed(AuthFailureHint::possibleRegionMismatch)
            != AIError::authenticationFailed(AuthFailureHint::credentialRevoked));
    QVERIFY(AIError::serverError(500) != AIError::serverError(503));
    QVERIFY(AIError::rateLimited(1.0) != AIError::rateLimited());
    QVERIFY(AIError::contentTooLong(10) == AIError::contentTooLong(10));
    QVERIFY(AIError::timedOut() != AIError::modelDidNotRespond());
}

void ProviderTableTest::everyKeyHasTextInEveryLanguage()
{
    QStringList keys;
    for (AIError::Kind kind : aiErrorKindCases) {
        if (kind != AIError::Kind::authenticationFailed)
            keys << AIError{kind}.messageKey();
    }
    for (AuthFailureHint hint : {AuthFailureHint::generic, AuthFailureHint::possibleRegionMismatch,
                                 AuthFailureHint::credentialRevoked})
        keys << AIError::authenticationFailed(hint).messageKey();
    for (const AIProviderDescriptor& d : AIProviderDescriptor::all()) {
        keys << d.displayNameKey;
        for (const AIRegion& r : d.regions)
            keys << r.displayNameKey;
        for (const AIModelOption& m : d.presetModels)
            keys << m.summaryKey;
    }
    for (const QString& language : ModuleStrings::languages) {
        for (const QString& key : keys) {
            const QString text = ModuleStrings::lookup(QStringLiteral("AIProviders"), key, language);
            QVERIFY2(text != key && !text.isEmpty(), qPrintable(language + ": " + key));
            if (language != QLatin1String("en") && !key.startsWith(QLatin1String("provider.")))
                QVERIFY2(text != ModuleStrings::lookup(QStringLiteral("AIProviders"), key, QStringLiteral("en")),
                         qPrintable(language + " is English: " + key));
        }
    }
    QCOMPARE(AIProvidersStrings::string(QStringLiteral("no.such.key")), QStringLiteral("no.such.key"));
}

QTEST_GUILESS_MAIN(ProviderTableTest)
#include "tst_ProviderTable.moc"
