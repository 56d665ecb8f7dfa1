#include "AIProviders/AIActionLibrary.h"
#include "AIProviders/AIActionStore.h"
#include "AIProviders/DocumentTypes.h"
#include "AIProviders/ImageFormatAvailability.h"
#include "AIProviders/PluginBridge.h"
#include "LocalActions/Images/ImageConverter.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/PrivacyLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using Platform::SimulatedUserDefaults;
using Platform::UserDefaults;

Q_DECLARE_METATYPE(AIActionLibrary::ImportError)
Q_DECLARE_METATYPE(Platform::UserDefaults::Value)
Q_DECLARE_METATYPE(ImageFormat)

namespace {

AIActionTemplate customPrompt(const QString& id, const QString& title)
{
    return AIActionTemplate::make(id, title, "sparkles", "sys", "Do {{selection}}", {ContextKind::selectedText},
                                  OutputBehavior::preview, false, ActionScope::text);
}

QByteArray libraryJson(qint64 version, const QJsonArray& actions, const char* extra = "")
{
    QByteArray json = R"({"formatVersion":)" + QByteArray::number(version) + R"(,"name":"Lib","actions":)"
                      + QJsonDocument(actions).toJson(QJsonDocument::Compact) + extra + "}";
    return json;
}

const char* plugin = R"(name: Tools
author: Ann
identifier: com.example.tools
actions:
  - title: Shout
    on: text
    icon: textformat
    run: javascript
    output: replace
    script: |-
      output = input.toUpperCase()
  - title: Summarise
    on: text
    run: ai
    output: show
    system: Be short.
    prompt: |-
      Sum up {{selection}} in {{language}}
  - title: To PNG
    on: files
    contexts: [image]
    run: convertImage
    format: png
  - title: Count
    on: files
    run: shell
    output: replace
    script: |-
      wc -l $AMBREL_FILES
)";

} // namespace

class ActionStoreAndLibraryTest : public QObject {
    Q_OBJECT
private slots:
    void storeRoundTrip();
    void storeReadsNothingAsEmpty_data();
    void storeReadsNothingAsEmpty();
    void unreadableListIsKeptBeforeItIsReplaced_data();
    void unreadableListIsKeptBeforeItIsReplaced();
    void allActionsStartWithTheBuiltIns();
    void importingGivesFreshIdentifiers();
    void libraryDecoding_data();
    void libraryDecoding();
    void libraryRoundTrip();
    void libraryWithoutAuthorOrDefaults();
    void bridgeFromManifest();
    void bridgeRoundTrip();
    void bridgeOfBuiltInSmartRename();
    void documentTypes();
    void writableImageFormats_data();
    void writableImageFormats();
};

void ActionStoreAndLibraryTest::storeRoundTrip()
{
    auto defaults = std::make_shared<SimulatedUserDefaults>();
    const AIActionStore store(defaults);
    const QList<AIActionTemplate> list{customPrompt("ai.custom.B", "Second"), customPrompt("ai.custom.A", "First")};
    store.save(list);
    QCOMPARE(store.load(), list); // order kept
    QVERIFY(defaults->dataValue(AIActionStore::key));
    QVERIFY(!defaults->contains(AIActionStore::unreadableKey));
    store.save({});
    QCOMPARE(store.load(), QList<AIActionTemplate>{});
}

void ActionStoreAndLibraryTest::storeReadsNothingAsEmpty_data()
{
    QTest::addColumn<UserDefaults::Value>("stored");
    QTest::newRow("text that is no list") << UserDefaults::Value{UserDefaults::Type::Data, QByteArray("{\"a\":1}")};
    QTest::newRow("a string, not data") << UserDefaults::Value{UserDefaults::Type::String, QString("[]")};
    QTest::newRow("one element from a newer version")
        << UserDefaults::Value{UserDefaults::Type::Data,
                               QJsonDocument(QJsonArray{toJson(customPrompt("ai.custom.1", "Old")),
                                                        QJsonObject{{"id", "ai.custom.2"}, {"titleKey", "New"}}})
                                   .toJson(QJsonDocument::Compact)};
}

void ActionStoreAndLibraryTest::storeReadsNothingAsEmpty()
{
    QFETCH(UserDefaults::Value, stored);
    auto defaults = std::make_shared<SimulatedUserDefaults>();
    defaults->setRawValue(AIActionStore::key, stored);
    const AIActionStore store(defaults);
    QCOMPARE(store.load(), QList<AIActionTemplate>{});
    QCOMPARE(defaults->rawValue(AIActionStore::key), std::optional(stored)); // left as it was
    QCOMPARE(AIActionStore(std::make_shared<SimulatedUserDefaults>()).load(), QList<AIActionTemplate>{});
}

void ActionStoreAndLibraryTest::unreadableListIsKeptBeforeItIsReplaced_data()
{
    storeReadsNothingAsEmpty_data();
}

void ActionStoreAndLibraryTest::unreadableListIsKeptBeforeItIsReplaced()
{
    QFETCH(UserDefaults::Value, stored);
    auto defaults = std::make_shared<SimulatedUserDefaults>();
    defaults->setRawValue(AIActionStore::key, stored);
    const AIActionStore store(defaults);
    PrivacyLog::Capture log;
    const QList<AIActionTemplate> fresh{customPrompt("ai.custom.9", "Fresh")};
    store.save(fresh);
    QCOMPARE(store.load(), fresh);
    QCOMPARE(defaults->rawValue(AIActionStore::unreadableKey), std::optional(stored));
    const auto entries = log.entries(QStringLiteral("AIActionStore"));
    QCOMPARE(entries.size(), 1);
    QVERIFY(entries.first().message.contains(AIActionStore::unreadableKey));
    QVERIFY(!log.contains(QStringLiteral("ai.custom.1")));

    // A readable list is replaced without a copy.
    log.clear();
    store.save({});
    QCOMPARE(defaults->rawValue(AIActionStore::unreadableKey), std::optional(stored));
    QCOMPARE(log.entries(QStringLiteral("AIActionStore")).size(), 0);
}

void ActionStoreAndLibraryTest::allActionsStartWithTheBuiltIns()
{
    auto defaults = std::make_shared<SimulatedUserDefaults>();
    const AIActionStore store(defaults);
    store.save({customPrompt("ai.custom.Z", "Z")});
    const QList<AIActionTemplate> all = store.allActions();
    QCOMPARE(all.size(), AIActionTemplate::builtIns().size() + 1);
    QCOMPARE(all.mid(0, AIActionTemplate::builtIns().size()), AIActionTemplate::builtIns());
    QCOMPARE(all.last().id, QStringLiteral("ai.custom.Z"));
}

void ActionStoreAndLibraryTest::importingGivesFreshIdentifiers()
{
    AIActionTemplate builtIn = AIActionTemplate::polish();
    const AIActionLibrary library{1, "L", std::nullopt, {customPrompt("ai.custom.SAME", "A"), builtIn}};
    const QList<AIActionTemplate> first = AIActionStore::importing(library);
    const QList<AIActionTemplate> second = AIActionStore::importing(library);
    QCOMPARE(first.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QVERIFY(first.at(i).id.startsWith("ai.custom."));
        QVERIFY(first.at(i).id != library.actions.at(i).id);
        QVERIFY(first.at(i).id != second.at(i).id);
        QVERIFY(!first.at(i).isBuiltIn);
        AIActionTemplate same = first.at(i);
        same.id = library.actions.at(i).id;
        same.isBuiltIn = library.actions.at(i).isBuiltIn;
        QCOMPARE(same, library.actions.at(i));
    }
    QCOMPARE(AIActionStore::importing(AIActionLibrary{1, "E", std::nullopt, {}}), QList<AIActionTemplate>{});
}

void ActionStoreAndLibraryTest::libraryDecoding_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<AIActionLibrary::ImportError>("error");
    using K = AIActionLibrary::ImportErrorKind;
    const QJsonArray one{toJson(customPrompt("ai.custom.1", "One"))};
    QTest::newRow("version 1") << libraryJson(1, one) << true << AIActionLibrary::ImportError{};
    QTest::newRow("version 0") << libraryJson(0, one) << true << AIActionLibrary::ImportError{};
    QTest::newRow("negative version") << libraryJson(-3, one) << true << AIActionLibrary::ImportError{};
    QTest::newRow("version 2") << libraryJson(2, one) << false << AIActionLibrary::ImportError{K::unsupportedVersion, 2};
    QTest::newRow("version 2, no actions") << libraryJson(2, {}) << false << AIActionLibrary::ImportError{K::unsupportedVersion, 2};
    QTest::newRow("no actions") << libraryJson(1, {}) << false << AIActionLibrary::ImportError{K::noActions, 0};
    QTest::newRow("not JSON") << QByteArray("name: Lib") << false << AIActionLibrary::ImportError{K::unreadable, 0};
    QTest::newRow("no name") << QByteArray(R"({"formatVersion":1,"actions":[]})") << false << AIActionLibrary::ImportError{K::unreadable, 0};
    QTest::newRow("version a string") << QByteArray(R"({"formatVersion":"1","name":"x","actions":[]})") << false
                                      << AIActionLibrary::ImportError{K::unreadable, 0};
    QTest::newRow("version a fraction") << QByteArray(R"({"formatVersion":1.5,"name":"x","actions":[]})") << false
                                        << AIActionLibrary::ImportError{K::unreadable, 0};
    QTest::newRow("author a number") << libraryJson(1, one, R"(,"author":5)") << false << AIActionLibrary::ImportError{K::unreadable, 0};
    QTest::newRow("bad template") << libraryJson(1, QJsonArray{QJsonObject{{"id", "x"}}}) << false
                                  << AIActionLibrary::ImportError{K::unreadable, 0};
    QTest::newRow("bad template, newer version") << libraryJson(5, QJsonArray{QJsonObject{{"id", "x"}}}) << false
                                                 << AIActionLibrary::ImportError{K::unreadable, 0};
}

void ActionStoreAndLibraryTest::libraryDecoding()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, decodes);
    QFETCH(AIActionLibrary::ImportError, error);
    const auto library = AIActionLibrary::decode(data);
    QCOMPARE(library.has_value(), decodes);
    if (!library)
        QCOMPARE(library.error(), error);
}

void ActionStoreAndLibraryTest::libraryRoundTrip()
{
    const AIActionLibrary library{1, QString::fromUtf8("写作工具"), QStringLiteral("Ann"),
                                  {customPrompt("ai.custom.1", "One"), AIActionTemplate::smartRename(),
                                   AIActionTemplate::fileOperation("ai.custom.2", "Small", "photo", FileOperation::resizeImage(800))}};
    const QByteArray data = library.encoded();
    QVERIFY(data.contains("\n    ")); // pretty-printed
    QVERIFY(data.indexOf("\"actions\"") < data.indexOf("\"author\""));
    QVERIFY(data.indexOf("\"author\"") < data.indexOf("\"formatVersion\""));
    QVERIFY(data.indexOf("\"formatVersion\"") < data.indexOf("\"name\""));
    const auto back = AIActionLibrary::decode(data);
    QVERIFY(back);
    QCOMPARE(*back, library);
    QCOMPARE(DocumentType::aiActionLibrary().fileExtension, AIActionLibrary::fileExtension);
}

void ActionStoreAndLibraryTest::libraryWithoutAuthorOrDefaults()
{
    const QByteArray data = R"({"formatVersion":1,"name":"Old","author":null,"actions":[
        {"id":"x","titleKey":"Old one","symbolName":"s","supportedContexts":["image"],"outputBehavior":{"none":{}},"isBuiltIn":false}]})";
    const auto library = AIActionLibrary::decode(data);
    QVERIFY(library);
    QCOMPARE(library->author, std::nullopt);
    QCOMPARE(library->actions.first().scope, ActionScope::files);
    QCOMPARE(library->actions.first().kind, ActionKind::prompt(QString(), QString()));
    QVERIFY(!library->encoded().contains("author"));
}

void ActionStoreAndLibraryTest::bridgeFromManifest()
{
    const auto manifest = PluginManifest::decode(QString::fromUtf8(plugin));
    QVERIFY2(manifest, "fixture plug-in must parse");
    const QList<AIActionTemplate> templates = PluginBridge::templates(*manifest);
    QCOMPARE(templates.size(), 4);

    const AIActionTemplate& shout = templates.at(0);
    QCOMPARE(shout.titleKey, QStringLiteral("Shout"));
    QCOMPARE(shout.symbolName, QStringLiteral("textformat"));
    QCOMPARE(shout.outputBehavior, OutputBehavior::replaceable);
    QVERIFY(shout.kind.script());
    QCOMPARE(shout.systemPrompt, QString());

    const AIActionTemplate& summary = templates.at(1);
    QCOMPARE(summary.kind, ActionKind::prompt("Be short.", "Sum up {{selection}} in {{language}}"));
    QCOMPARE(summary.systemPrompt, QStringLiteral("Be short."));
    QCOMPARE(summary.userPromptTemplate, QStringLiteral("Sum up {{selection}} in {{language}}"));
    QCOMPARE(summary.outputBehavior, OutputBehavior::preview);

    const AIActionTemplate& png = templates.at(2);
    QCOMPARE(png.scope, ActionScope::files);
    QCOMPARE(png.supportedContexts, (ContextKindSet{ContextKind::image, ContextKind::multipleFiles}));
    QCOMPARE(png.outputBehavior, OutputBehavior::none);

    const AIActionTemplate& count = templates.at(3);
    QCOMPARE(count.scope, ActionScope::files);
    QCOMPARE(count.outputBehavior, OutputBehavior::none); // "replace" means nothing on files

    for (const AIActionTemplate& t : templates) {
        QVERIFY(t.id.startsWith("ai.custom."));
        QVERIFY(!t.isBuiltIn);
    }
    // Each call makes new identifiers and nothing else changes.
    QList<AIActionTemplate> again = PluginBridge::templates(*manifest);
    for (int i = 0; i < templates.size(); ++i) {
        QVERIFY(again.at(i).id != templates.at(i).id);
        again[i].id = templates.at(i).id;
    }
    QCOMPARE(again, templates);
}

void ActionStoreAndLibraryTest::bridgeRoundTrip()
{
    const auto manifest = PluginManifest::decode(QString::fromUtf8(plugin));
    QVERIFY(manifest);
    const PluginManifest described = PluginBridge::describing(PluginBridge::templates(*manifest), manifest->name, manifest->author);
    QCOMPARE(described.name, manifest->name);
    QCOMPARE(described.author, manifest->author);
    QCOMPARE(described.identifier, std::nullopt);
    QCOMPARE(described.actions.size(), manifest->actions.size());
    for (int i = 0; i < described.actions.size(); ++i) {
        PluginManifest::Action expected = manifest->actions.at(i);
        if (expected.body.operation()) {
            expected.contexts = expected.body.operation()->operation.contexts();
            expected.scope = ActionScope::files;
        }
        if (auto* script = std::get_if<PluginManifest::Body::Script>(&expected.body.value); script && expected.scope == ActionScope::files)
            script->replacesSelection = false;
        QCOMPARE(described.actions.at(i), expected);
    }
    // What comes back is a plug-in file that reads again.
    QVERIFY(PluginManifest::decode(described.encoded()));
}

void ActionStoreAndLibraryTest::bridgeOfBuiltInSmartRename()
{
    const PluginManifest m = PluginBridge::describing({AIActionTemplate::smartRename()}, "R", std::nullopt);
    QCOMPARE(m.actions.size(), 1);
    const PluginManifest::Action& a = m.actions.first();
    QCOMPARE(a.scope, ActionScope::files);
    QCOMPARE(a.title, QStringLiteral("action.ai.smartRename"));
    QVERIFY(a.body.prompt());
    QCOMPARE(a.body.prompt()->replacesSelection, false);
    QCOMPARE(a.body.prompt()->user, AIActionTemplate::smartRename().userPromptTemplate);
}

void ActionStoreAndLibraryTest::documentTypes()
{
    QCOMPARE(DocumentType::ambrelPlugin().identifier, QStringLiteral("com.corvish.plugin"));
    QCOMPARE(DocumentType::ambrelPlugin().fileExtension, QStringLiteral("ambrel"));
    QCOMPARE(DocumentType::ambrelPlugin().conformsTo, QStringLiteral("public.yaml"));
    QCOMPARE(DocumentType::aiActionLibrary().identifier, QStringLiteral("com.corvish.ai-action-library"));
    QCOMPARE(DocumentType::aiActionLibrary().fileExtension, QStringLiteral("ambrel-actions"));
    QCOMPARE(DocumentType::aiActionLibrary().conformsTo, QStringLiteral("public.json"));
}

void ActionStoreAndLibraryTest::writableImageFormats_data()
{
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<QList<ImageFormat>>("expected");
    QTest::newRow("all, out of order") << QStringList{"org.webmproject.webp", "public.tiff", "public.heic", "public.jpeg", "public.png"}
                                       << QList<ImageFormat>(imageFormatCases.begin(), imageFormatCases.end());
    QTest::newRow("no WebP") << QStringList{"public.png", "public.jpeg", "public.heic", "public.tiff", "com.microsoft.bmp"}
                             << QList<ImageFormat>{ImageFormat::png, ImageFormat::jpeg, ImageFormat::heic, ImageFormat::tiff};
    QTest::newRow("nothing") << QStringList{} << QList<ImageFormat>{};
}

void ActionStoreAndLibraryTest::writableImageFormats()
{
    QFETCH(QStringList, reported);
    QFETCH(QList<ImageFormat>, expected);
    QCOMPARE(ImageFormatAvailability::writable(reported), expected);
    // On this system: what the converter can really write, PNG at least.
    const QList<ImageFormat> here = ImageFormatAvailability::writable();
    QVERIFY(here.contains(ImageFormat::png));
    QCOMPARE(here, ImageConverter::writableFormats());
}

QTEST_GUILESS_MAIN(ActionStoreAndLibraryTest)
#include "tst_ActionStoreAndLibrary.moc"
