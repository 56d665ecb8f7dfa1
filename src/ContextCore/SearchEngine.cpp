#include "ContextCore/SearchEngine.h"

#include "ContextCore/TranslationService.h"

const SearchEngine& SearchEngine::google()
{
    static const SearchEngine e{QStringLiteral("google"), QStringLiteral("https://www.google.com/search?q={query}")};
    return e;
}

const SearchEngine& SearchEngine::bing()
{
    static const SearchEngine e{QStringLiteral("bing"), QStringLiteral("https://www.bing.com/search?q={query}")};
    return e;
}

const SearchEngine& SearchEngine::baidu()
{
    static const SearchEngine e{QStringLiteral("baidu"), QStringLiteral("https://www.baidu.com/s?wd={query}")};
    return e;
}

const SearchEngine& SearchEngine::duckDuckGo()
{
    static const SearchEngine e{QStringLiteral("duckduckgo"), QStringLiteral("https://duckduckgo.com/?q={query}")};
    return e;
}

const QList<SearchEngine>& SearchEngine::all()
{
    static const QList<SearchEngine> engines{google(), bing(), baidu(), duckDuckGo()};
    return engines;
}

const SearchEngine& SearchEngine::defaultFor(const LocaleParts& locale)
{
    return locale.regionCode == QStringLiteral("CN") ? baidu() : google();
}

const SearchEngine& SearchEngine::defaultEngine()
{
    static const SearchEngine& e = defaultFor(LocaleParts::current());
    return e;
}

QString SearchEngine::displayName() const
{
    if (id == google().id)
        return QStringLiteral("Google");
    if (id == bing().id)
        return QStringLiteral("Bing");
    if (id == baidu().id)
        return QStringLiteral("百度");
    if (id == duckDuckGo().id)
        return QStringLiteral("DuckDuckGo");
    return id;
}

std::optional<QUrl> SearchEngine::url(const QString& query) const
{
    const auto encoded = TranslationService::encodeValue(query);
    if (!encoded)
        return std::nullopt;
    QString address = urlTemplate;
    address.replace(QStringLiteral("{query}"), *encoded);
    return TranslationService::parseAddress(address);
}
