#include "SecurityCore/ModuleStrings.h"
#include "System/AppStrings.h"
#include "System/Permission.h"

#include <QTest>

// Every text the menu and the permission views show exists in each interface language, so no
// user ever sees a bare key or an English line in a Chinese interface.
class AppStringsTest : public QObject {
    Q_OBJECT
private slots:
    void everyKeyInEveryLanguage_data();
    void everyKeyInEveryLanguage();
    void formatTakesTheVersion();
    void theRingHasOneName_data();
    void theRingHasOneName();
};

void AppStringsTest::everyKeyInEveryLanguage_data()
{
    QTest::addColumn<QString>("key");
    const QStringList menuKeys{"menu.finderMenu", "menu.selectionToolbar", "menu.scroll", "menu.settings",
                               "menu.about", "menu.about.version", "menu.rerunOnboarding", "menu.quit"};
    for (const QString& key : menuKeys)
        QTest::newRow(qPrintable(key)) << key;
    for (Permission p : permissionCases)
        for (const QString& key : {titleKey(p), explanationKey(p), consequenceKey(p), systemNameKey(p)})
            QTest::newRow(qPrintable(key)) << key;
}

void AppStringsTest::everyKeyInEveryLanguage()
{
    QFETCH(QString, key);
    const QString english = ModuleStrings::lookup(QStringLiteral("System"), key, QStringLiteral("en"));
    QVERIFY2(english != key, "missing in English");
    for (const QString& language : {QStringLiteral("zh-Hans"), QStringLiteral("zh-Hant")}) {
        const QString text = ModuleStrings::lookup(QStringLiteral("System"), key, language);
        QVERIFY2(text != english, qPrintable(language + QStringLiteral(" falls back to English")));
    }
}

void AppStringsTest::formatTakesTheVersion()
{
    for (const QString& language : ModuleStrings::languages) {
        const QString format = ModuleStrings::lookup(QStringLiteral("System"), QStringLiteral("menu.about.version"), language);
        QCOMPARE(format.count(QStringLiteral("%1")), 1);
    }
    QVERIFY(AppStrings::string(QStringLiteral("menu.quit")) != QStringLiteral("menu.quit"));
}

void AppStringsTest::theRingHasOneName_data()
{
    QTest::addColumn<QString>("language");
    for (const QString& language : ModuleStrings::languages)
        QTest::newRow(qPrintable(language)) << language;
}

// The tray menu's switch and the settings tab call the radial menu by the same name.
void AppStringsTest::theRingHasOneName()
{
    QFETCH(QString, language);
    const QString tab = ModuleStrings::lookup(QStringLiteral("System"), QStringLiteral("settings.radial"), language);
    const QString item = ModuleStrings::lookup(QStringLiteral("System"), QStringLiteral("menu.radial"), language);
    QVERIFY2(item.contains(tab), qPrintable(item + QStringLiteral(" / ") + tab));
}

QTEST_GUILESS_MAIN(AppStringsTest)
#include "tst_AppStrings.moc"
