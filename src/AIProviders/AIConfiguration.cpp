#include "AIProviders/AIConfiguration.h"

std::optional<AIConfiguration> AIConfiguration::defaultsFor(const AIProviderDescriptor& descriptor)
{
    const std::optional<AIRegion> region = descriptor.defaultRegion();
    if (!region)
        return std::nullopt;
    return AIConfiguration{descriptor.id, region->id, region->baseURL, descriptor.defaultModelID};
}

QString AIConfiguration::credentialAccount() const
{
    return QStringLiteral("ai.") + toRaw(providerID) + QStringLiteral(".apiKey");
}

QJsonObject toJson(const AIConfiguration& configuration)
{
    return QJsonObject{{QStringLiteral("providerID"), toJson(configuration.providerID)},
                       {QStringLiteral("regionID"), configuration.regionID},
                       {QStringLiteral("baseURL"), configuration.baseURL.toString(QUrl::FullyEncoded)},
                       {QStringLiteral("modelID"), configuration.modelID}};
}

template <>
std::expected<AIConfiguration, DecodingError> fromJson<AIConfiguration>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("AIConfiguration")));
    const QJsonObject o = value.toObject();
    const QJsonValue provider = o.value(QStringLiteral("providerID"));
    if (provider.isUndefined())
        return std::unexpected(Coding::missingKey(QStringLiteral("providerID")));
    auto id = fromJson<AIProviderID>(provider);
    if (!id)
        return std::unexpected(id.error());
    auto region = Coding::requiredString(o, QStringLiteral("regionID"));
    if (!region)
        return std::unexpected(region.error());
    auto url = AIProvidersCoding::requiredURL(o, QStringLiteral("baseURL"));
    if (!url)
        return std::unexpected(url.error());
    auto model = Coding::requiredString(o, QStringLiteral("modelID"));
    if (!model)
        return std::unexpected(model.error());
    return AIConfiguration{*id, *region, *url, *model};
}
