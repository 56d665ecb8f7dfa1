#include "AIProviders/AIActionTemplate.h"
#include "AIProviders/AIOutputLanguage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QTest>
#include <QUuid>

#include "ContextCore/TranslationService.h"

Q_DECLARE_METATYPE(AIActionTemplate)
Q_DECLARE_METATYPE(AIOutputLanguage)
Q_DECLARE_METATYPE(RiskLevel)
Q_DECLARE_METATYPE(ActionScope)

namespace {

AIActionTemplate custom(const QString& user, OutputBehavior behavior = OutputBehavior::preview)
{
    return AIActionTemplate::make("ai.custom.1", "Mine", "sparkles", "sys", user, {ContextKind::selectedText},
                                  behavior, false, ActionScope::text);
}

QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class AIActionTemplateTest : public QObject {
    Q_OBJECT
private slots:
    void builtIns();
    void builtInPromptsAreExact();
    void constructors();
    void actionDefinitions_data();
    void actionDefinitions();
    void renamed_data();
    void renamed();
    void rendering_data();
    void rendering();
    void storedFormRoundTrip_data();
    void storedFormRoundTrip();
    void storedFormDefaults_data();
    void storedFormDefaults();
    void storedFormFailures_data();
    void storedFormFailures();
    void customIdentifiers();
    void outputLanguageSetting_data();
    void outputLanguageSetting();
    void outputLanguageCoding_data();
    void outputLanguageCoding();
    void languageDescriptions();
};

void AIActionTemplateTest::builtIns()
{
    const QList<AIActionTemplate>& list = AIActionTemplate::builtIns();
    QStringList ids;
    for (const AIActionTemplate& t : list) {
        ids << t.id;
        QVERIFY(t.isBuiltIn);
        QCOMPARE(t.titleKey, QStringLiteral("action.") + t.id);
        QVERIFY(t.kind.promptPayload());
        QCOMPARE(t.kind.promptPayload()->system, t.systemPrompt);
        QCOMPARE(t.kind.promptPayload()->user, t.userPromptTemplate);
        QVERIFY(!t.userPromptTemplate.endsWith('\n'));
    }
    QCOMPARE(ids, (QStringList{"ai.polish", "ai.summarize", "ai.explain", "ai.translate", "ai.smartRename"}));
    QCOMPARE(AIActionTemplate::polish().outputBehavior, OutputBehavior::replaceable);
    QCOMPARE(AIActionTemplate::summarize().supportedContexts,
             (ContextKindSet{ContextKind::selectedText, ContextKind::editableText, ContextKind::selectedURL}));
    QCOMPARE(AIActionTemplate::explain().symbolName, QStringLiteral("questionmark.circle"));
    QCOMPARE(AIActionTemplate::translate().outputBehavior, OutputBehavior::replaceable);
    QCOMPARE(AIActionTemplate::smartRename().scope, ActionScope::files);
    QCOMPARE(AIActionTemplate::smartRename().supportedContexts, contexts(ActionScope::files));
    QCOMPARE(AIActionTemplate::smartRename().outputBehavior, OutputBehavior::renameCandidates);
}

void AIActionTemplateTest::builtInPromptsAreExact()
{
    QCOMPARE(AIActionTemplate::polish().userPromptTemplate,
             QStringLiteral("Improve the following text. Respond in {{language}}.\n\n{{selection}}"));
    QCOMPARE(AIActionTemplate::translate().userPromptTemplate,
             QStringLiteral("Translate the following into {{language}}.\n\n{{selection}}"));
    QCOMPARE(AIActionTemplate::smartRename().userPromptTemplate,
             QStringLiteral("Suggest a better filename for a file currently named \"{{filename}}\" with extension "
                            "\"{{extension}}\". Respond in {{language}}."));
    QCOMPARE(AIActionTemplate::summarize().systemPrompt,
             QStringLiteral("You write concise summaries. Capture the main points and omit filler. Return only the summary."));
}

void AIActionTemplateTest::constructors()
{
    const ScriptAction script{ScriptLanguage::shell, "echo hi", {"jq"}};
    const auto onText = AIActionTemplate::script("id1", "Run", "terminal", ActionScope::text, std::nullopt, script, true);
    QCOMPARE(onText.outputBehavior, OutputBehavior::replaceable);
    QCOMPARE(onText.supportedContexts, contexts(ActionScope::text));
    QCOMPARE(onText.systemPrompt, QString());
    QCOMPARE(onText.kind.script(), std::optional<ScriptAction>(script));
    QCOMPARE(AIActionTemplate::script("i", "t", "s", ActionScope::text, std::nullopt, script, false).outputBehavior,
             OutputBehavior::preview);
    const auto onFiles = AIActionTemplate::script("i", "t", "s", ActionScope::files,
                                                  ContextKindSet{ContextKind::folder}, script, true);
    QCOMPARE(onFiles.outputBehavior, OutputBehavior::none);
    QCOMPARE(onFiles.supportedContexts, ContextKindSet{ContextKind::folder});

    const auto convert = AIActionTemplate::fileOperation("i", "To PNG", "photo", FileOperation::convertImage(ImageFormat::png, 80));
    QCOMPARE(convert.scope, ActionScope::files);
    QCOMPARE(convert.supportedContexts, (ContextKindSet{ContextKind::image, ContextKind::multipleFiles}));
    QCOMPARE(convert.outputBehavior, OutputBehavior::none);
    QCOMPARE(convert.userPromptTemplate, QString());

    const auto prompt = custom("{{selection}}");
    QCOMPARE(prompt.kind, ActionKind::prompt("sys", "{{selection}}"));
}

void AIActionTemplateTest::actionDefinitions_data()
{
    QTest::addColumn<AIActionTemplate>("t");
    QTest::addColumn<RiskLevel>("risk");
    QTest::addColumn<qint64>("rank");
    QTest::newRow("polish") << AIActionTemplate::polish() << RiskLevel::destructive << qint64(200);
    QTest::newRow("translate") << AIActionTemplate::translate() << RiskLevel::destructive << qint64(200);
    QTest::newRow("summarize") << AIActionTemplate::summarize() << RiskLevel::safe << qint64(200);
    QTest::newRow("custom script that shows") << AIActionTemplate::script("ai.custom.2", "S", "x", ActionScope::text, std::nullopt,
                                                                        ScriptAction{ScriptLanguage::javaScript, "output=1", {}}, false)
                                              << RiskLevel::safe << qint64(210);
    QTest::newRow("custom that replaces") << custom("{{selection}}", OutputBehavior::replaceable) << RiskLevel::destructive << qint64(210);
}

void AIActionTemplateTest::actionDefinitions()
{
    QFETCH(AIActionTemplate, t);
    QFETCH(RiskLevel, risk);
    QFETCH(qint64, rank);
    const ActionDefinition d = t.actionDefinition();
    QCOMPARE(d.id, t.id);
    QCOMPARE(d.titleKey, t.titleKey);
    QCOMPARE(d.symbolName, t.symbolName);
    QCOMPARE(d.supportedContexts, t.supportedContexts);
    QCOMPARE(d.riskLevel, risk);
    QVERIFY(d.requiresAI); // script actions too
    QCOMPARE(d.outputBehavior, t.outputBehavior);
    QCOMPARE(d.defaultRank, rank);
}

void AIActionTemplateTest::renamed_data()
{
    QTest::addColumn<AIActionTemplate>("t");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // "<none>": no result
    QTest::newRow("trimmed") << custom("x") << " \n New name\t\n" << "New name";
    QTest::newRow("spaces only") << custom("x") << "   " << "<none>";
    QTest::newRow("empty") << custom("x") << "" << "<none>";
    QTest::newRow("built-in") << AIActionTemplate::polish() << "Mine" << "<none>";
}

void AIActionTemplateTest::renamed()
{
    QFETCH(AIActionTemplate, t);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const auto r = t.renamed(name);
    if (expected == QLatin1String("<none>")) {
        QVERIFY(!r);
        return;
    }
    QVERIFY(r);
    QCOMPARE(r->titleKey, expected);
    AIActionTemplate back = *r;
    back.titleKey = t.titleKey;
    QCOMPARE(back, t); // nothing else changed, the id included
}

void AIActionTemplateTest::rendering_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("selection"); // "<none>" for absent
    QTest::addColumn<QString>("filename");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("expected");
    const QString none = QStringLiteral("<none>");
    QTest::newRow("all four") << "{{selection}}|{{filename}}|{{extension}}|{{language}}" << "S" << "F" << "E" << "L" << "S|F|E|L";
    QTest::newRow("twice") << "{{selection}} and {{selection}}" << "x" << none << none << "L" << "x and x";
    QTest::newRow("absent stays") << "name {{filename}}.{{extension}}" << none << none << none << "L" << "name {{filename}}.{{extension}}";
    QTest::newRow("empty value fills") << "[{{selection}}]" << "" << none << none << "L" << "[]";
    QTest::newRow("inner spaces and capitals stay") << "{{ selection }} {{Selection}} {selection}" << "x" << none << none << "L"
                                                    << "{{ selection }} {{Selection}} {selection}";
    // Inserted text is never looked at again.
    QTest::newRow("selection holding a placeholder") << "{{selection}} in {{language}}" << "say {{language}} {{filename}}" << "F"
                                                     << none << "French" << "say {{language}} {{filename}} in French";
    QTest::newRow("language holding a placeholder") << "{{language}}/{{selection}}" << "S" << none << none << "{{selection}}"
                                                    << "{{selection}}/S";
    QTest::newRow("braces around") << "{{{selection}}}" << "x" << none << none << "L" << "{x}";
    QTest::newRow("unclosed") << "{{selection" << "x" << none << none << "L" << "{{selection";
    QTest::newRow("non-ASCII") << QString::fromUtf8("译：{{selection}}") << QString::fromUtf8("你好🙂") << none << none << "L"
                               << QString::fromUtf8("译：你好🙂");
}

void AIActionTemplateTest::rendering()
{
    QFETCH(QString, templateText);
    QFETCH(QString, selection);
    QFETCH(QString, filename);
    QFETCH(QString, extension);
    QFETCH(QString, language);
    QFETCH(QString, expected);
    const auto value = [](const QString& v) { return v == QLatin1String("<none>") ? std::nullopt : std::optional<QString>(v); };
    QCOMPARE(custom(templateText).renderUserPrompt(value(selection), value(filename), value(extension), language), expected);
}

void AIActionTemplateTest::storedFormRoundTrip_data()
{
    QTest::addColumn<AIActionTemplate>("t");
    for (const AIActionTemplate& t : AIActionTemplate::builtIns())
        QTest::newRow(qPrintable(t.id)) << t;
    QTest::newRow("script") << AIActionTemplate::script("ai.custom.A", "Up", "textformat", ActionScope::text, std::nullopt,
                                                        ScriptAction{ScriptLanguage::javaScript, "output = input.toUpperCase()", {}}, true);
    QTest::newRow("operation") << AIActionTemplate::fileOperation("ai.custom.B", "Small", "photo", FileOperation::resizeImage(512));
    QTest::newRow("no contexts") << AIActionTemplate::make("ai.custom.C", "None", "x", "", "", {}, OutputBehavior::none, false,
                                                           ActionScope::files);
}

void AIActionTemplateTest::storedFormRoundTrip()
{
    QFETCH(AIActionTemplate, t);
    const QJsonObject json = toJson(t);
    QCOMPARE(json.keys(), (QStringList{"id", "isBuiltIn", "kind", "outputBehavior", "scope", "supportedContexts",
                                       "symbolName", "systemPrompt", "titleKey", "userPromptTemplate"}));
    const QByteArray text = QJsonDocument(json).toJson();
    const auto back = fromJson<AIActionTemplate>(QJsonDocument::fromJson(text).object());
    QVERIFY2(back, back ? "" : qPrintable(back.error().message));
    QCOMPARE(*back, t);
}

void AIActionTemplateTest::storedFormDefaults_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<ActionScope>("scope");
    QTest::newRow("text kinds only") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","supportedContexts":["selectedText"],"outputBehavior":{"preview":{}},"isBuiltIn":false})")
                                     << ActionScope::text;
    QTest::newRow("mixed kinds") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","supportedContexts":["selectedText","image"],"outputBehavior":{"preview":{}},"isBuiltIn":false})")
                                 << ActionScope::files;
    QTest::newRow("no contexts") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","supportedContexts":[],"outputBehavior":{"none":{}},"isBuiltIn":false})")
                                 << ActionScope::text;
}

void AIActionTemplateTest::storedFormDefaults()
{
    QFETCH(QByteArray, json);
    QFETCH(ActionScope, scope);
    const auto t = fromJson<AIActionTemplate>(QJsonDocument::fromJson(json).object());
    QVERIFY(t);
    QCOMPARE(t->scope, scope);
    QCOMPARE(t->kind, ActionKind::prompt(QString(), QString()));
    QCOMPARE(t->systemPrompt, QString());
    QCOMPARE(t->userPromptTemplate, QString());

    // Without "kind" the prompts given become the prompt.
    QJsonObject withPrompts = QJsonDocument::fromJson(json).object();
    withPrompts.insert("systemPrompt", "S");
    withPrompts.insert("userPromptTemplate", "U {{selection}}");
    QCOMPARE(fromJson<AIActionTemplate>(withPrompts)->kind, ActionKind::prompt("S", "U {{selection}}"));
}

void AIActionTemplateTest::storedFormFailures_data()
{
    QTest::addColumn<QByteArray>("json");
    const QByteArray good = R"({"id":"a","titleKey":"t","symbolName":"s","supportedContexts":["selectedText"],"outputBehavior":{"preview":{}},"isBuiltIn":false})";
    QVERIFY(fromJson<AIActionTemplate>(parse(good.constData())));
    QTest::newRow("no id") << QByteArray(R"({"titleKey":"t","symbolName":"s","supportedContexts":[],"outputBehavior":{"preview":{}},"isBuiltIn":false})");
    QTest::newRow("no isBuiltIn") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","supportedContexts":[],"outputBehavior":{"preview":{}}})");
    QTest::newRow("no contexts") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","outputBehavior":{"preview":{}},"isBuiltIn":false})");
    QTest::newRow("unknown context") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","supportedContexts":["clipboard"],"outputBehavior":{"preview":{}},"isBuiltIn":false})");
    QTest::newRow("behaviour as a string") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","supportedContexts":[],"outputBehavior":"preview","isBuiltIn":false})");
    QTest::newRow("unknown scope") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","scope":"web","supportedContexts":[],"outputBehavior":{"preview":{}},"isBuiltIn":false})");
    QTest::newRow("bad kind") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","kind":{"teleport":{}},"supportedContexts":[],"outputBehavior":{"preview":{}},"isBuiltIn":false})");
    QTest::newRow("number as prompt") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","systemPrompt":3,"supportedContexts":[],"outputBehavior":{"preview":{}},"isBuiltIn":false})");
    QTest::newRow("isBuiltIn as number") << QByteArray(R"({"id":"a","titleKey":"t","symbolName":"s","supportedContexts":[],"outputBehavior":{"preview":{}},"isBuiltIn":0})");
}

void AIActionTemplateTest::storedFormFailures()
{
    QFETCH(QByteArray, json);
    QVERIFY(!fromJson<AIActionTemplate>(QJsonDocument::fromJson(json).object()));
    // One bad element fails the whole list.
    const QJsonArray list{toJson(AIActionTemplate::polish()), QJsonDocument::fromJson(json).object()};
    QVERIFY(!fromJson<QList<AIActionTemplate>>(list));
}

void AIActionTemplateTest::customIdentifiers()
{
    const QString a = AIActionTemplate::newCustomID();
    const QString b = AIActionTemplate::newCustomID();
    QVERIFY(a != b);
    QVERIFY(a.startsWith("ai.custom."));
    const QString uuid = a.mid(10);
    QCOMPARE(uuid.size(), 36);
    QCOMPARE(uuid, uuid.toUpper());
    QVERIFY(!QUuid::fromString(uuid).isNull());
}

void AIActionTemplateTest::outputLanguageSetting_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<AIOutputLanguage>("language");
    QTest::newRow("selection") << "selection" << AIOutputLanguage::followSelection();
    QTest::newRow("interface") << "interface" << AIOutputLanguage::followInterface();
    QTest::newRow("code") << "ja" << AIOutputLanguage::explicitLanguage("ja");
    QTest::newRow("other case is a code") << "Selection" << AIOutputLanguage::explicitLanguage("Selection");
}

void AIActionTemplateTest::outputLanguageSetting()
{
    QFETCH(QString, setting);
    QFETCH(AIOutputLanguage, language);
    QCOMPARE(AIOutputLanguage::fromSetting(setting), language);
    QCOMPARE(language.settingValue(), setting);
}

void AIActionTemplateTest::outputLanguageCoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<QString>("setting");
    QTest::newRow("followSelection") << QByteArray(R"({"followSelection":{}})") << true << "selection";
    QTest::newRow("followInterface, other keys ignored") << QByteArray(R"({"followInterface":{},"x":1})") << true << "interface";
    QTest::newRow("explicit") << QByteArray(R"({"explicit":{"_0":"de"}})") << true << "de";
    QTest::newRow("two cases") << QByteArray(R"({"followSelection":{},"followInterface":{}})") << false << "";
    QTest::newRow("no case") << QByteArray(R"({})") << false << "";
    QTest::newRow("explicit without code") << QByteArray(R"({"explicit":{}})") << false << "";
}

void AIActionTemplateTest::outputLanguageCoding()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, decodes);
    QFETCH(QString, setting);
    const auto language = fromJson<AIOutputLanguage>(QJsonDocument::fromJson(json).object());
    QCOMPARE(language.has_value(), decodes);
    if (!language) {
        if (json == R"({"followSelection":{},"followInterface":{}})" || json == "{}")
            QCOMPARE(language.error().message, QStringLiteral("Invalid number of keys found, expected one."));
        return;
    }
    QCOMPARE(language->settingValue(), setting);
    QCOMPARE(fromJson<AIOutputLanguage>(toJson(*language)), language);
}

void AIActionTemplateTest::languageDescriptions()
{
    QCOMPARE(AIOutputLanguage::followSelection().languageDescription(), QStringLiteral("the same language as the input"));
    QCOMPARE(AIOutputLanguage::explicitLanguage("de").languageDescription(), QStringLiteral("Deutsch"));
    QCOMPARE(AIOutputLanguage::explicitLanguage("zh-Hans").languageDescription(), TranslationTarget::simplifiedChinese().displayName);
    QCOMPARE(AIOutputLanguage::explicitLanguage("tlh").languageDescription(), QStringLiteral("tlh"));
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(AIOutputLanguage::followInterface().languageDescription(), QStringLiteral("English"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(AIOutputLanguage::followInterface().languageDescription(), QStringLiteral("Deutsch"));
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QCOMPARE(AIOutputLanguage::followInterface().languageDescription(), QString::fromUtf8("简体中文"));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(AIOutputLanguage::followInterface().languageDescription(), QStringLiteral("English"));
    QLocale::setDefault(saved);
}

QTEST_GUILESS_MAIN(AIActionTemplateTest)
#include "tst_AIActionTemplate.moc"
