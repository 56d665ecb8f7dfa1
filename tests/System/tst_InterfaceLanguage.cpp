#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/ModuleStrings.h"
#include "System/InterfaceLanguage.h"

#include <QTest>

Q_DECLARE_METATYPE(InterfaceLanguage)

class InterfaceLanguageTest : public QObject {
    Q_OBJECT
private slots:
    void rawValues_data();
    void rawValues();
    void applyStoresTheChoice_data();
    void applyStoresTheChoice();
    void current_data();
    void current();
    void storedValueThatIsNoListReadsAsSystem();
    void choiceReachesTheStringLookup();
    void toolkitTexts_data();
    void toolkitTexts();
};

void InterfaceLanguageTest::rawValues_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<bool>("known");
    QTest::newRow("system") << "system" << true;
    QTest::newRow("en") << "en" << true;
    QTest::newRow("zh-Hans") << "zh-Hans" << true;
    QTest::newRow("zh-Hant") << "zh-Hant" << true;
    QTest::newRow("case matters") << "zh-hans" << false;
    QTest::newRow("region tag") << "en-US" << false;
    QTest::newRow("empty") << "" << false;
}

void InterfaceLanguageTest::rawValues()
{
    QFETCH(QString, raw);
    QFETCH(bool, known);
    const auto language = interfaceLanguageFromRaw(raw);
    QCOMPARE(language.has_value(), known);
    if (known)
        QCOMPARE(toRaw(*language), raw);
}

void InterfaceLanguageTest::applyStoresTheChoice_data()
{
    QTest::addColumn<InterfaceLanguage>("language");
    QTest::addColumn<QStringList>("stored"); // empty: the key is gone
    QTest::newRow("english") << InterfaceLanguage::english << QStringList{"en"};
    QTest::newRow("simplified") << InterfaceLanguage::simplifiedChinese << QStringList{"zh-Hans"};
    QTest::newRow("traditional") << InterfaceLanguage::traditionalChinese << QStringList{"zh-Hant"};
    QTest::newRow("system") << InterfaceLanguage::system << QStringList{};
}

void InterfaceLanguageTest::applyStoresTheChoice()
{
    QFETCH(InterfaceLanguage, language);
    QFETCH(QStringList, stored);
    Platform::SimulatedUserDefaults defaults;
    defaults.setStringList(QStringLiteral("AppleLanguages"), {QStringLiteral("zh-Hant"), QStringLiteral("en")});
    defaults.setBool(QStringLiteral("other.key"), true);

    applyInterfaceLanguage(defaults, language);
    if (stored.isEmpty())
        QVERIFY(!defaults.contains(QStringLiteral("AppleLanguages")));
    else
        QCOMPARE(defaults.stringListValue(QStringLiteral("AppleLanguages")), std::optional<QStringList>(stored));
    QCOMPARE(defaults.boolValue(QStringLiteral("other.key")), std::optional<bool>(true));
    // Read back with a system list that names no supported language, so only the stored choice
    // can make it anything but `system`.
    QCOMPARE(currentInterfaceLanguage(defaults, {QStringLiteral("fr-FR")}), language);
}

void InterfaceLanguageTest::current_data()
{
    QTest::addColumn<QStringList>("stored"); // none stored when it holds only "-"
    QTest::addColumn<QStringList>("systemList");
    QTest::addColumn<InterfaceLanguage>("expected");
    const QStringList none{"-"};
    QTest::newRow("system list begins with en") << none << QStringList{"en", "zh-Hans-CN"} << InterfaceLanguage::english;
    QTest::newRow("system list begins with a region tag") << none << QStringList{"zh-Hans-CN", "en"} << InterfaceLanguage::system;
    QTest::newRow("system list begins with en-US") << none << QStringList{"en-US"} << InterfaceLanguage::system;
    QTest::newRow("empty system list") << none << QStringList{} << InterfaceLanguage::system;
    QTest::newRow("stored wins over the system") << QStringList{"zh-Hant"} << QStringList{"en"} << InterfaceLanguage::traditionalChinese;
    QTest::newRow("only the first stored entry counts") << QStringList{"fr", "en"} << QStringList{"en"} << InterfaceLanguage::system;
    QTest::newRow("stored empty list") << QStringList{} << QStringList{"en"} << InterfaceLanguage::system;
    QTest::newRow("stored literal system") << QStringList{"system"} << QStringList{"en"} << InterfaceLanguage::system;
}

void InterfaceLanguageTest::current()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, systemList);
    QFETCH(InterfaceLanguage, expected);
    Platform::SimulatedUserDefaults defaults;
    if (stored != QStringList{"-"})
        defaults.setStringList(QStringLiteral("AppleLanguages"), stored);
    QCOMPARE(currentInterfaceLanguage(defaults, systemList), expected);
}

void InterfaceLanguageTest::storedValueThatIsNoListReadsAsSystem()
{
    Platform::SimulatedUserDefaults defaults;
    defaults.setString(QStringLiteral("AppleLanguages"), QStringLiteral("en"));
    QCOMPARE(currentInterfaceLanguage(defaults, {QStringLiteral("en")}), InterfaceLanguage::system);
}

void InterfaceLanguageTest::choiceReachesTheStringLookup()
{
    auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    ModuleStrings::setUserDefaults(defaults);
    applyInterfaceLanguage(*defaults, InterfaceLanguage::traditionalChinese);
    QCOMPARE(ModuleStrings::currentLanguage(), QStringLiteral("zh-Hant"));
    applyInterfaceLanguage(*defaults, InterfaceLanguage::english);
    QCOMPARE(ModuleStrings::currentLanguage(), QStringLiteral("en"));
    ModuleStrings::setUserDefaults(nullptr);
}

void InterfaceLanguageTest::toolkitTexts_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("ok");
    QTest::newRow("English") << "en" << false << "OK";
    QTest::newRow("Simplified Chinese") << "zh-Hans" << true << QString::fromUtf8("确定");
    QTest::newRow("Traditional Chinese") << "zh-Hant" << true << QString::fromUtf8("確定");
}

// The text Qt gives the standard OK button of its dialogs and alerts.
void InterfaceLanguageTest::toolkitTexts()
{
    QFETCH(QString, language);
    QFETCH(bool, loaded);
    QFETCH(QString, ok);
    QCOMPARE(loadToolkitTranslations(language), loaded);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), ok);
}

QTEST_GUILESS_MAIN(InterfaceLanguageTest)
#include "tst_InterfaceLanguage.moc"
