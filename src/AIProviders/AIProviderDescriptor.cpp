#include "AIProviders/AIProviderDescriptor.h"

template <>
std::span<const AIProviderID> allCases<AIProviderID>()
{
    return aiProviderIDCases;
}

QString toRaw(AIProviderID id)
{
    switch (id) {
    case AIProviderID::alibabaBailian: return QStringLiteral("alibabaBailian");
    case AIProviderID::openRouter: return QStringLiteral("openRouter");
    case AIProviderID::ollama: return QStringLiteral("ollama");
    case AIProviderID::openAICompatible: return QStringLiteral("openAICompatible");
    }
    Q_UNREACHABLE();
    return QString();
}

template <>
std::optional<AIProviderID> fromRaw<AIProviderID>(const QString& raw)
{
    for (AIProviderID id : aiProviderIDCases) {
        if (toRaw(id) == raw)
            return id;
    }
    return std::nullopt;
}

QJsonValue toJson(AIProviderID id)
{
    return toRaw(id);
}

template <>
std::expected<AIProviderID, DecodingError> fromJson<AIProviderID>(const QJsonValue& value)
{
    return Coding::decodeStringRaw<AIProviderID>(value, QStringLiteral("AIProviderID"));
}

namespace AIProvidersCoding {

std::expected<QUrl, DecodingError> requiredURL(const QJsonObject& object, const QString& key)
{
    auto text = Coding::requiredString(object, key);
    if (!text)
        return std::unexpected(text.error());
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid() || url.isEmpty())
        return std::unexpected(DecodingError{QStringLiteral("Invalid URL string for key \"%1\".").arg(key)});
    return url;
}

} // namespace AIProvidersCoding

QJsonObject toJson(const AIRegion& region)
{
    return QJsonObject{{QStringLiteral("id"), region.id},
                       {QStringLiteral("displayNameKey"), region.displayNameKey},
                       {QStringLiteral("baseURL"), region.baseURL.toString(QUrl::FullyEncoded)}};
}

template <>
std::expected<AIRegion, DecodingError> fromJson<AIRegion>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("AIRegion")));
    const QJsonObject o = value.toObject();
    auto id = Coding::requiredString(o, QStringLiteral("id"));
    if (!id)
        return std::unexpected(id.error());
    auto name = Coding::requiredString(o, QStringLiteral("displayNameKey"));
    if (!name)
        return std::unexpected(name.error());
    auto url = AIProvidersCoding::requiredURL(o, QStringLiteral("baseURL"));
    if (!url)
        return std::unexpected(url.error());
    return AIRegion{*id, *name, *url};
}

QJsonObject toJson(const AIModelOption& model)
{
    return QJsonObject{{QStringLiteral("id"), model.id}, {QStringLiteral("summaryKey"), model.summaryKey}};
}

template <>
std::expected<AIModelOption, DecodingError> fromJson<AIModelOption>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("AIModelOption")));
    const QJsonObject o = value.toObject();
    auto id = Coding::requiredString(o, QStringLiteral("id"));
    if (!id)
        return std::unexpected(id.error());
    auto summary = Coding::requiredString(o, QStringLiteral("summaryKey"));
    if (!summary)
        return std::unexpected(summary.error());
    return AIModelOption{*id, *summary};
}

std::optional<AIRegion> AIProviderDescriptor::region(const QString& regionID) const
{
    for (const AIRegion& r : regions) {
        if (r.id == regionID)
            return r;
    }
    return std::nullopt;
}

// The remote hosts are the providers' published OpenAI-compatible endpoints; the local server
// listens on the loopback interface only.
const AIProviderDescriptor& AIProviderDescriptor::alibabaBailian()
{
    static const AIProviderDescriptor d{
        AIProviderID::alibabaBailian,
        QStringLiteral("provider.alibaba.name"),
        {AIRegion{QStringLiteral("cn-beijing"), QStringLiteral("provider.alibaba.region.beijing"),
                  QUrl(QStringLiteral("https://dashscope.aliyuncs.com/compatible-mode/v1"))},
         AIRegion{QStringLiteral("intl"), QStringLiteral("provider.alibaba.region.international"),
                  QUrl(QStringLiteral("https://dashscope-intl.aliyuncs.com/compatible-mode/v1"))}},
        QStringLiteral("cn-beijing"),
        {AIModelOption{QStringLiteral("qwen-plus"), QStringLiteral("model.summary.balanced")},
         AIModelOption{QStringLiteral("qwen-max"), QStringLiteral("model.summary.highestQuality")},
         AIModelOption{QStringLiteral("qwen-turbo"), QStringLiteral("model.summary.fastest")}},
        QStringLiteral("qwen-plus"),
        false,
        false,
    };
    return d;
}

const AIProviderDescriptor& AIProviderDescriptor::openRouter()
{
    static const AIProviderDescriptor d{
        AIProviderID::openRouter,
        QStringLiteral("provider.openRouter.name"),
        {AIRegion{QStringLiteral("global"), QStringLiteral("provider.openRouter.region.global"),
                  QUrl(QStringLiteral("https://openrouter.ai/api/v1"))}},
        QStringLiteral("global"),
        {},
        QStringLiteral("openai/gpt-4o-mini"),
        true,
        false,
    };
    return d;
}

const AIProviderDescriptor& AIProviderDescriptor::ollama()
{
    static const AIProviderDescriptor d{
        AIProviderID::ollama,
        QStringLiteral("provider.ollama.name"),
        {AIRegion{QStringLiteral("local"), QStringLiteral("provider.ollama.region.local"),
                  QUrl(QStringLiteral("http://127.0.0.1:11434/v1"))}},
        QStringLiteral("local"),
        {},
        QStringLiteral("llama3.2"),
        true,
        false,
    };
    return d;
}

const AIProviderDescriptor& AIProviderDescriptor::openAICompatible()
{
    static const AIProviderDescriptor d{
        AIProviderID::openAICompatible, QStringLiteral("provider.custom.name"), {}, QString(), {}, QString(), false, false,
    };
    return d;
}

const QList<AIProviderDescriptor>& AIProviderDescriptor::all()
{
    static const QList<AIProviderDescriptor> list{alibabaBailian(), openRouter(), ollama(), openAICompatible()};
    return list;
}

const AIProviderDescriptor& AIProviderDescriptor::descriptor(AIProviderID id)
{
    switch (id) {
    case AIProviderID::alibabaBailian: return alibabaBailian();
    case AIProviderID::openRouter: return openRouter();
    case AIProviderID::ollama: return ollama();
    case AIProviderID::openAICompatible: return openAICompatible();
    }
    Q_UNREACHABLE();
    return openAICompatible();
}
