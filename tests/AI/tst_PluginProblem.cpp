#include "AI/PluginProblem.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/ModuleStrings.h"

#include <QTest>

using ManifestError = PluginManifest::ManifestError;
using ParseError = YAMLSubset::ParseError;

Q_DECLARE_METATYPE(ManifestError)

// What a user reads for each way a plug-in text can fail, in each interface language.
class PluginProblemTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void describe_data();
    void describe();
    void theParserErrorOfRealTextReadsTheSame();
    void valuesAreNotReadAsPlaceholders();
    void everyKeyInEveryLanguage_data();
    void everyKeyInEveryLanguage();

private:
    std::shared_ptr<Platform::SimulatedUserDefaults> m_defaults = std::make_shared<Platform::SimulatedUserDefaults>();
};

void PluginProblemTest::initTestCase()
{
    m_defaults->setStringList(QStringLiteral("AppleLanguages"), {QStringLiteral("en")});
    ModuleStrings::setUserDefaults(m_defaults);
}

void PluginProblemTest::describe_data()
{
    QTest::addColumn<ManifestError>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing field: field first, action second")
        << ManifestError::missingField("script", "Shout") << QStringLiteral("The plug-in lacks “script” in the action “Shout”.");
    QTest::newRow("unknown entry point")
        << ManifestError::unknownEntryPoint("desktop", "Shout")
        << QStringLiteral("“desktop” is not a place an action can appear (action “Shout”). Use “text” or “files”.");
    QTest::newRow("unknown runner") << ManifestError::unknownRunner("python", "Shout")
                                    << QStringLiteral("“python” is not a way to run an action (action “Shout”).");
    QTest::newRow("unknown context") << ManifestError::unknownContext("video", "Shout")
                                     << QStringLiteral("“video” is not a kind of selection (action “Shout”).");
    QTest::newRow("wrong entry point: runner, scope, action")
        << ManifestError::runnerWrongEntryPoint("convertImage", "text", "Shrink")
        << QStringLiteral("“convertImage” cannot run with “text” (action “Shrink”).");
    QTest::newRow("prompt without selection") << ManifestError::promptMissingSelection("Sum")
                                              << QStringLiteral("The prompt of the action “Sum” must contain {{selection}}.");
    QTest::newRow("syntax carries its line") << ManifestError::syntax(ParseError::missingColon(7))
                                             << QStringLiteral("The plug-in text cannot be read at line 7.");
    QTest::newRow("an empty text is reported on line 1") << ManifestError::syntax(ParseError::empty())
                                                         << QStringLiteral("The plug-in text cannot be read at line 1.");
    const QString notAPlugin = QStringLiteral("This is not an Ambrel plug-in: it needs a name and a list of actions.");
    QTest::newRow("not a mapping") << ManifestError::notAMapping() << notAPlugin;
    QTest::newRow("missing name reads like not a mapping") << ManifestError::missingName() << notAPlugin;
    QTest::newRow("no actions") << ManifestError::noActions() << QStringLiteral("The plug-in has no actions.");
}

void PluginProblemTest::describe()
{
    QFETCH(ManifestError, error);
    QFETCH(QString, text);
    QCOMPARE(PluginProblem::describe(error), text);
}

void PluginProblemTest::theParserErrorOfRealTextReadsTheSame()
{
    const auto decoded = PluginManifest::decode(QStringLiteral("name: Loud\nactions:\n  - title: Shout\n    on: text\n    run: javascript\n"));
    QVERIFY(!decoded);
    QCOMPARE(PluginProblem::describe(decoded.error()), QStringLiteral("The plug-in lacks “script” in the action “Shout”."));
}

void PluginProblemTest::valuesAreNotReadAsPlaceholders()
{
    // A field named like a placeholder must not pull the action title into its place.
    QCOMPARE(PluginProblem::describe(ManifestError::missingField("%2", "50%1 off")),
             QStringLiteral("The plug-in lacks “%2” in the action “50%1 off”."));
    QCOMPARE(PluginProblem::format(QStringLiteral("plugin.error.unknownRunner"), "%1", "x"),
             QStringLiteral("“%1” is not a way to run an action (action “x”)."));
}

void PluginProblemTest::everyKeyInEveryLanguage_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("placeholders");
    const QList<std::pair<const char*, int>> keys{
        {"plugin.error.missingField", 2}, {"plugin.error.unknownEntryPoint", 2}, {"plugin.error.unknownRunner", 2},
        {"plugin.error.unknownContext", 2}, {"plugin.error.wrongEntryPoint", 3}, {"plugin.error.promptSelection", 1},
        {"plugin.error.syntax", 1}, {"plugin.error.notAPlugin", 0}, {"plugin.error.noActions", 0},
        {"plugin.error.unreadable", 0}};
    for (const auto& [key, count] : keys)
        QTest::newRow(key) << QString::fromLatin1(key) << count;
}

void PluginProblemTest::everyKeyInEveryLanguage()
{
    QFETCH(QString, key);
    QFETCH(int, placeholders);
    const QString english = ModuleStrings::lookup(QStringLiteral("AI"), key, QStringLiteral("en"));
    QVERIFY2(english != key, "missing in English");
    for (const QString& language : ModuleStrings::languages) {
        const QString text = ModuleStrings::lookup(QStringLiteral("AI"), key, language);
        if (language != u"en")
            QVERIFY2(text != english, qPrintable(language + QStringLiteral(" falls back to English")));
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(text.count(QStringLiteral("%") + QString::number(n)), n <= placeholders ? 1 : 0);
    }
}

QTEST_GUILESS_MAIN(PluginProblemTest)
#include "tst_PluginProblem.moc"
