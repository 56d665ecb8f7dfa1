#include "ActionCore/ActionCoreStrings.h"
#include "ContextCore/ActionScope.h"
#include "ContextCore/FileOperation.h"
#include "ContextCore/ScriptAction.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/ModuleStrings.h"

#include <QtTest>

namespace {

// Every key the vocabulary hands to the interface.
QStringList vocabularyKeys()
{
    QStringList keys;
    for (ActionScope scope : allCases<ActionScope>())
        keys << titleKey(scope);
    keys << FileOperation::convertImage(ImageFormat::png, 90).titleKey() << FileOperation::resizeImage(512).titleKey();
    for (ScriptLanguage language : allCases<ScriptLanguage>())
        keys << titleKey(language) << reachKey(language);
    for (ScriptVariable variable : allCases<ScriptVariable>())
        keys << explanationKey(variable);
    return keys;
}

} // namespace

class TestActionCoreStrings : public QObject {
    Q_OBJECT

private slots:
    void everyKeyInEveryLanguage_data()
    {
        QTest::addColumn<QString>("language");
        for (const QString& language : ModuleStrings::languages)
            QTest::newRow(qPrintable(language)) << language;
    }
    void everyKeyInEveryLanguage()
    {
        QFETCH(QString, language);
        const QStringList keys = vocabularyKeys();
        for (const QString& key : keys) {
            const QString text = ModuleStrings::lookup(QStringLiteral("ActionCore"), key, language);
            QVERIFY2(text != key && !text.isEmpty(), qPrintable(language + u' ' + key));
            // Not an English fallback in a Chinese table, except for the languages' own names.
            if (language != u"en" && !key.startsWith(u"script.language."))
                QVERIFY2(text != ModuleStrings::lookup(QStringLiteral("ActionCore"), key, QStringLiteral("en")),
                         qPrintable(language + u' ' + key));
        }
    }

    void lookupFollowsTheInterfaceLanguage()
    {
        auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
        ModuleStrings::setUserDefaults(defaults);
        defaults->setStringList(QStringLiteral("AppleLanguages"), {QStringLiteral("zh-Hant-TW")});
        QCOMPARE(ActionCoreStrings::string(QStringLiteral("scope.files")), QStringLiteral("檔案"));
        defaults->setStringList(QStringLiteral("AppleLanguages"), {QStringLiteral("zh-Hans")});
        QCOMPARE(ActionCoreStrings::string(QStringLiteral("scope.files")), QStringLiteral("文件"));
        defaults->setStringList(QStringLiteral("AppleLanguages"), {QStringLiteral("en-GB")});
        QCOMPARE(ActionCoreStrings::string(QStringLiteral("scope.files")), QStringLiteral("Files"));
        QCOMPARE(ActionCoreStrings::string(QStringLiteral("no.such.key")), QStringLiteral("no.such.key"));
        ModuleStrings::setUserDefaults(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestActionCoreStrings)
#include "tst_ActionCoreStrings.moc"
