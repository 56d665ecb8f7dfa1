#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/ModuleStrings.h"

#include <QTest>

class ModuleStringsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ModuleStrings::setUserDefaults(nullptr); }
    void fallback_data();
    void fallback();
    void languageChoice_data();
    void languageChoice();
    void interfaceLanguageComesFromDefaults();
    void unknownModuleYieldsKey();
};

void ModuleStringsTest::fallback_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("en") << "en" << "greeting" << "Hello";
    QTest::newRow("zh-Hans") << "zh-Hans" << "greeting" << QString::fromUtf8("你好");
    QTest::newRow("zh-Hant") << "zh-Hant" << "greeting" << QString::fromUtf8("您好");
    QTest::newRow("zh-Hant falls back to English, not Simplified") << "zh-Hant" << "menu.quit" << "Quit";
    QTest::newRow("zh-Hans missing key falls back to English") << "zh-Hans" << "only.english" << "Only in English";
    QTest::newRow("missing everywhere yields the key") << "zh-Hans" << "no.such.key" << "no.such.key";
    QTest::newRow("topic table") << "en" << "from.topic.table" << "From a topic table";
    QTest::newRow("topic table through fallback") << "zh-Hant" << "from.topic.table" << "From a topic table";
}

void ModuleStringsTest::fallback()
{
    QFETCH(QString, language);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(ModuleStrings::lookup("Fixture", key, language), expected);
}

void ModuleStringsTest::languageChoice_data()
{
    QTest::addColumn<QStringList>("preferred");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << QStringList{} << "en";
    QTest::newRow("unsupported only") << QStringList{"fr-FR", "de"} << "en";
    QTest::newRow("first supported wins") << QStringList{"fr", "zh-Hans-CN", "en"} << "zh-Hans";
    QTest::newRow("traditional by script") << QStringList{"zh-Hant-HK"} << "zh-Hant";
    QTest::newRow("traditional by region") << QStringList{"zh_TW"} << "zh-Hant";
    QTest::newRow("simplified by default") << QStringList{"zh"} << "zh-Hans";
    QTest::newRow("english region") << QStringList{"en-GB", "zh-Hans"} << "en";
}

void ModuleStringsTest::languageChoice()
{
    QFETCH(QStringList, preferred);
    QFETCH(QString, expected);
    QCOMPARE(ModuleStrings::languageFor(preferred), expected);
}

void ModuleStringsTest::interfaceLanguageComesFromDefaults()
{
    auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    ModuleStrings::setUserDefaults(defaults);
    defaults->setStringList("AppleLanguages", {"zh-Hant"});
    QCOMPARE(ModuleStrings::lookup("Fixture", "greeting"), QString::fromUtf8("您好"));
    defaults->setStringList("AppleLanguages", {"zh-Hans"});
    QCOMPARE(ModuleStrings::lookup("Fixture", "greeting"), QString::fromUtf8("你好"));
    // A value of the wrong type counts as absent: the system's languages decide again.
    defaults->setString("AppleLanguages", "zh-Hant");
    QCOMPARE(ModuleStrings::currentLanguage(), ModuleStrings::languageFor(QLocale::system().uiLanguages()));
}

void ModuleStringsTest::unknownModuleYieldsKey()
{
    QCOMPARE(ModuleStrings::lookup("NoSuchModule", "greeting", "en"), QStringLiteral("greeting"));
}

QTEST_GUILESS_MAIN(ModuleStringsTest)
#include "tst_ModuleStrings.moc"
