#include "ContextCore/TranslationService.h"

namespace {

TranslationTarget target(const char* id, const QString& name, const char* google, const char* bing)
{
    return {QLatin1String(id), name, QLatin1String(google), QLatin1String(bing)};
}

} // namespace

const TranslationTarget& TranslationTarget::traditionalChinese()
{
    static const TranslationTarget t = target("zh-Hant", QStringLiteral("繁體中文"), "zh-TW", "zh-Hant");
    return t;
}

const TranslationTarget& TranslationTarget::simplifiedChinese()
{
    static const TranslationTarget t = target("zh-Hans", QStringLiteral("简体中文"), "zh-CN", "zh-Hans");
    return t;
}

const TranslationTarget& TranslationTarget::english()
{
    static const TranslationTarget t = target("en", QStringLiteral("English"), "en", "en");
    return t;
}

const TranslationTarget& TranslationTarget::japanese()
{
    static const TranslationTarget t = target("ja", QStringLiteral("日本語"), "ja", "ja");
    return t;
}

const TranslationTarget& TranslationTarget::korean()
{
    static const TranslationTarget t = target("ko", QStringLiteral("한국어"), "ko", "ko");
    return t;
}

const TranslationTarget& TranslationTarget::french()
{
    static const TranslationTarget t = target("fr", QStringLiteral("Français"), "fr", "fr");
    return t;
}

const TranslationTarget& TranslationTarget::german()
{
    static const TranslationTarget t = target("de", QStringLiteral("Deutsch"), "de", "de");
    return t;
}

const TranslationTarget& TranslationTarget::spanish()
{
    static const TranslationTarget t = target("es", QStringLiteral("Español"), "es", "es");
    return t;
}

const QList<TranslationTarget>& TranslationTarget::all()
{
    static const QList<TranslationTarget> targets{traditionalChinese(), simplifiedChinese(), english(), japanese(),
                                                  korean(),             french(),            german(),  spanish()};
    return targets;
}

std::optional<TranslationTarget> TranslationTarget::named(const QString& id)
{
    for (const TranslationTarget& t : all()) {
        if (t.id == id)
            return t;
    }
    return std::nullopt;
}

const TranslationTarget& TranslationTarget::defaultFor(const LocaleParts& locale)
{
    if (!locale.languageCode)
        return english();
    if (*locale.languageCode == u"zh")
        return locale.scriptCode == QStringLiteral("Hans") ? simplifiedChinese() : traditionalChinese();
    for (const TranslationTarget& t : all()) {
        if (t.id == *locale.languageCode)
            return t;
    }
    return english();
}

const TranslationTarget& TranslationTarget::defaultTarget()
{
    return defaultFor(LocaleParts::current());
}

const TranslationService& TranslationService::google()
{
    static const TranslationService s{QStringLiteral("google"), QStringLiteral("Google"),
                                      QStringLiteral("https://translate.google.com/?sl=auto&tl={target}&op=translate&text={text}"),
                                      CodeStyle::google};
    return s;
}

const TranslationService& TranslationService::bing()
{
    static const TranslationService s{QStringLiteral("bing"), QStringLiteral("Bing"),
                                      QStringLiteral("https://www.bing.com/translator/?text={text}&from=&to={target}"),
                                      CodeStyle::bing};
    return s;
}

const TranslationService& TranslationService::baidu()
{
    static const TranslationService s{QStringLiteral("baidu"), QStringLiteral("百度翻译"),
                                      QStringLiteral("https://fanyi.baidu.com/#auto/auto/{text}"), CodeStyle::automatic};
    return s;
}

const TranslationService& TranslationService::youdaoDictionary()
{
    static const TranslationService s{QStringLiteral("youdao-dict"), QStringLiteral("有道词典"),
                                      QStringLiteral("https://dict.youdao.com/result?word={text}&lang=auto"),
                                      CodeStyle::automatic};
    return s;
}

const QList<TranslationService>& TranslationService::all()
{
    static const QList<TranslationService> services{google(), bing(), baidu(), youdaoDictionary()};
    return services;
}

const TranslationService& TranslationService::named(const std::optional<QString>& id)
{
    if (id) {
        for (const TranslationService& s : all()) {
            if (s.id == *id)
                return s;
        }
    }
    return defaultService();
}

const TranslationService& TranslationService::defaultFor(const LocaleParts& locale)
{
    return locale.regionCode == QStringLiteral("CN") ? baidu() : google();
}

const TranslationService& TranslationService::defaultService()
{
    static const TranslationService& s = defaultFor(LocaleParts::current());
    return s;
}

QString TranslationService::code(CodeStyle style, const TranslationTarget& target)
{
    switch (style) {
    case CodeStyle::google: return target.google;
    case CodeStyle::bing: return target.bing;
    case CodeStyle::automatic: return QString();
    }
    Q_UNREACHABLE();
    return QString();
}

std::optional<QUrl> TranslationService::url(const QString& text, const TranslationTarget& target) const
{
    const auto encoded = encodeValue(text);
    if (!encoded)
        return std::nullopt;
    QString address = urlTemplate;
    address.replace(QStringLiteral("{text}"), *encoded);
    // After the text: braces in the text are already encoded, so its own "{target}" stays.
    address.replace(QStringLiteral("{target}"), code(codeStyle, target));
    return parseAddress(address);
}

const QString& TranslationService::valueAllowed()
{
    static const QString allowed =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~");
    return allowed;
}

std::optional<QString> TranslationService::encodeValue(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return std::nullopt;
            ++i;
        } else if (c.isLowSurrogate()) {
            return std::nullopt;
        }
    }
    const QByteArray utf8 = text.toUtf8();
    QString out;
    out.reserve(utf8.size() * 3);
    static const char hex[] = "0123456789ABCDEF";
    for (char ch : utf8) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80 && valueAllowed().contains(QLatin1Char(char(byte)))) {
            out += QLatin1Char(char(byte));
        } else {
            out += u'%';
            out += QLatin1Char(hex[byte >> 4]);
            out += QLatin1Char(hex[byte & 0xF]);
        }
    }
    return out;
}

std::optional<QUrl> TranslationService::parseAddress(const QString& address)
{
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}
