#include "ContextCore/LocaleParts.h"
#include "ContextCore/SearchEngine.h"
#include "ContextCore/TranslationService.h"

#include <QtTest>

namespace {

QString encoded(const std::optional<QUrl>& url)
{
    return url ? url->toString(QUrl::FullyEncoded) : QStringLiteral("<none>");
}

} // namespace

class TestWebSearch : public QObject {
    Q_OBJECT

private slots:
    void tables()
    {
        QStringList ids;
        QStringList names;
        for (const SearchEngine& e : SearchEngine::all()) {
            ids << e.id;
            names << e.displayName();
            QVERIFY(e.urlTemplate.startsWith(u"https://"));
            QVERIFY(e.urlTemplate.contains(u"{query}"));
        }
        QCOMPARE(ids, QStringList({"google", "bing", "baidu", "duckduckgo"}));
        QCOMPARE(names, QStringList({"Google", "Bing", QStringLiteral("百度"), "DuckDuckGo"}));
        QCOMPARE((SearchEngine{QStringLiteral("custom"), QStringLiteral("https://x/?q={query}")}).displayName(),
                 QStringLiteral("custom"));

        ids.clear();
        for (const TranslationService& s : TranslationService::all())
            ids << s.id;
        QCOMPARE(ids, QStringList({"google", "bing", "baidu", "youdao-dict"}));
        ids.clear();
        for (const TranslationTarget& t : TranslationTarget::all())
            ids << t.id;
        QCOMPARE(ids, QStringList({"zh-Hant", "zh-Hans", "en", "ja", "ko", "fr", "de", "es"}));
    }

    void searchAddress_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expected");
        QTest::newRow("space and ampersand") << "google" << "a b&c" << "https://www.google.com/search?q=a%20b%26c";
        QTest::newRow("chinese by byte") << "google" << QStringLiteral("中文")
                                         << "https://www.google.com/search?q=%E4%B8%AD%E6%96%87";
        QTest::newRow("plus, slash, hash, percent") << "bing" << "1+1/2#3%"
                                                    << "https://www.bing.com/search?q=1%2B1%2F2%233%25";
        QTest::newRow("unreserved stay") << "baidu" << "Az09-._~" << "https://www.baidu.com/s?wd=Az09-._~";
        QTest::newRow("empty query") << "google" << "" << "https://www.google.com/search?q=";
        QTest::newRow("duckduckgo") << "duckduckgo" << "x y" << "https://duckduckgo.com/?q=x%20y";
        QTest::newRow("unpaired surrogate") << "google" << QString(QChar(0xD800)) << "<none>";
    }
    void searchAddress()
    {
        QFETCH(QString, engine);
        QFETCH(QString, query);
        QFETCH(QString, expected);
        const auto it = std::find_if(SearchEngine::all().begin(), SearchEngine::all().end(),
                                     [&](const SearchEngine& e) { return e.id == engine; });
        QVERIFY(it != SearchEngine::all().end());
        QCOMPARE(encoded(it->url(query)), expected);
    }

    void everyPlaceholderIsReplaced()
    {
        const SearchEngine twice{QStringLiteral("t"), QStringLiteral("https://example.com/{query}?again={query}")};
        QCOMPARE(encoded(twice.url(QStringLiteral("a b"))), QStringLiteral("https://example.com/a%20b?again=a%20b"));
        const SearchEngine broken{QStringLiteral("b"), QStringLiteral("https://exa mple.com/?q={query}")};
        QCOMPARE(encoded(broken.url(QStringLiteral("x"))), QStringLiteral("<none>"));
    }

    void translationAddress_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("google, simplified") << "google" << "zh-Hans" << "a b"
                                            << "https://translate.google.com/?sl=auto&tl=zh-CN&op=translate&text=a%20b";
        QTest::newRow("google, traditional") << "google" << "zh-Hant" << "x"
                                             << "https://translate.google.com/?sl=auto&tl=zh-TW&op=translate&text=x";
        QTest::newRow("bing, simplified") << "bing" << "zh-Hans" << "x"
                                          << "https://www.bing.com/translator/?text=x&from=&to=zh-Hans";
        QTest::newRow("bing, text holding the placeholder")
            << "bing" << "ja" << "{target}" << "https://www.bing.com/translator/?text=%7Btarget%7D&from=&to=ja";
        QTest::newRow("baidu ignores the target") << "baidu" << "zh-Hans" << QStringLiteral("中")
                                                  << "https://fanyi.baidu.com/#auto/auto/%E4%B8%AD";
        QTest::newRow("youdao ignores the target") << "youdao-dict" << "fr" << "a&b"
                                                   << "https://dict.youdao.com/result?word=a%26b&lang=auto";
        QTest::newRow("empty text") << "google" << "en" << ""
                                    << "https://translate.google.com/?sl=auto&tl=en&op=translate&text=";
    }
    void translationAddress()
    {
        QFETCH(QString, service);
        QFETCH(QString, target);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const auto t = TranslationTarget::named(target);
        QVERIFY(t);
        QCOMPARE(TranslationService::named(service).id, service);
        QCOMPARE(encoded(TranslationService::named(service).url(text, *t)), expected);
    }

    void codes()
    {
        const auto& zh = TranslationTarget::simplifiedChinese();
        QCOMPARE(TranslationService::code(TranslationService::CodeStyle::google, zh), QStringLiteral("zh-CN"));
        QCOMPARE(TranslationService::code(TranslationService::CodeStyle::bing, zh), QStringLiteral("zh-Hans"));
        QCOMPARE(TranslationService::code(TranslationService::CodeStyle::automatic, zh), QString());
    }

    void lookups()
    {
        QVERIFY(!TranslationTarget::named(QStringLiteral("pt")));
        QVERIFY(!TranslationTarget::named(QStringLiteral("ZH-HANS")));
        QCOMPARE(TranslationTarget::named(QStringLiteral("ko"))->displayName, QStringLiteral("한국어"));
        QCOMPARE(TranslationService::named(std::nullopt), TranslationService::defaultService());
        QCOMPARE(TranslationService::named(QStringLiteral("deepl")), TranslationService::defaultService());
        QCOMPARE(TranslationService::named(QStringLiteral("youdao-dict")), TranslationService::youdaoDictionary());
    }

    void localeParts_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("region");
        QTest::newRow("language only") << "zh" << "zh" << "" << "";
        QTest::newRow("bcp47 with script") << "zh-Hant-TW" << "zh" << "Hant" << "TW";
        QTest::newRow("underscores") << "zh_Hans_CN" << "zh" << "Hans" << "CN";
        QTest::newRow("posix with encoding") << "en_US.UTF-8" << "en" << "" << "US";
        QTest::newRow("modifier") << "de_DE@euro" << "de" << "" << "DE";
        QTest::newRow("numeric region") << "es-419" << "es" << "" << "419";
        QTest::newRow("C") << "C" << "" << "" << "";
        QTest::newRow("empty") << "" << "" << "" << "";
    }
    void localeParts()
    {
        QFETCH(QString, identifier);
        QFETCH(QString, language);
        QFETCH(QString, script);
        QFETCH(QString, region);
        const LocaleParts parts = LocaleParts::fromIdentifier(identifier);
        QCOMPARE(parts.languageCode.value_or(QString()), language);
        QCOMPARE(parts.scriptCode.value_or(QString()), script);
        QCOMPARE(parts.regionCode.value_or(QString()), region);
    }

    void defaults_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("target");
        QTest::newRow("mainland") << "zh_Hans_CN" << "baidu" << "baidu" << "zh-Hans";
        QTest::newRow("english in CN") << "en_CN" << "baidu" << "baidu" << "en";
        QTest::newRow("taiwan") << "zh_Hant_TW" << "google" << "google" << "zh-Hant";
        QTest::newRow("chinese without script or region") << "zh" << "google" << "google" << "zh-Hant";
        QTest::newRow("hans without region") << "zh-Hans" << "google" << "google" << "zh-Hans";
        QTest::newRow("japanese") << "ja_JP" << "google" << "google" << "ja";
        QTest::newRow("portuguese has no target") << "pt_BR" << "google" << "google" << "en";
        QTest::newRow("no language") << "" << "google" << "google" << "en";
    }
    void defaults()
    {
        QFETCH(QString, identifier);
        QFETCH(QString, engine);
        QFETCH(QString, service);
        QFETCH(QString, target);
        const LocaleParts parts = LocaleParts::fromIdentifier(identifier);
        QCOMPARE(SearchEngine::defaultFor(parts).id, engine);
        QCOMPARE(TranslationService::defaultFor(parts).id, service);
        QCOMPARE(TranslationTarget::defaultFor(parts).id, target);
    }

    void currentLocaleTakesTheSystemsScript()
    {
        // A system locale names its script even when the identifier did not: zh_CN is Hans.
        const LocaleParts parts = LocaleParts::fromLocale(QLocale(QStringLiteral("zh_CN")));
        QCOMPARE(parts.scriptCode, QStringLiteral("Hans"));
        QCOMPARE(parts.regionCode, QStringLiteral("CN"));
        QCOMPARE(TranslationTarget::defaultFor(parts), TranslationTarget::simplifiedChinese());
        QCOMPARE(TranslationTarget::defaultFor(LocaleParts::fromLocale(QLocale::c())), TranslationTarget::english());
    }
};

QTEST_GUILESS_MAIN(TestWebSearch)
#include "tst_WebSearch.moc"
