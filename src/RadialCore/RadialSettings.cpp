#include "RadialCore/RadialSettings.h"

#include "ContextCore/StoredDocument.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace {

double clampTo(double value, RadialSettings::Range range)
{
    if (!std::isfinite(value))
        return std::isinf(value) && value > 0 ? range.upper : range.lower;
    return std::min(range.upper, std::max(range.lower, value));
}

QJsonArray sortedArray(const QSet<QString>& set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return QJsonArray::fromStringList(list);
}

} // namespace

QString toRaw(RadialShape shape)
{
    return shape == RadialShape::circle ? QStringLiteral("circle") : QStringLiteral("semicircle");
}
template <>
std::optional<RadialShape> fromRaw<RadialShape>(const QString& raw)
{
    return Coding::caseNamed(radialShapeCases, raw);
}
template <>
std::span<const RadialShape> allCases<RadialShape>()
{
    return radialShapeCases;
}
QString titleKey(RadialShape shape)
{
    return QStringLiteral("radial.shape.") + toRaw(shape);
}
QString detailKey(RadialShape shape)
{
    return titleKey(shape) + QStringLiteral(".detail");
}

QString toRaw(RadialConfirmation confirmation)
{
    return confirmation == RadialConfirmation::onRelease ? QStringLiteral("onRelease") : QStringLiteral("onClick");
}
template <>
std::optional<RadialConfirmation> fromRaw<RadialConfirmation>(const QString& raw)
{
    return Coding::caseNamed(radialConfirmationCases, raw);
}
template <>
std::span<const RadialConfirmation> allCases<RadialConfirmation>()
{
    return radialConfirmationCases;
}
QString titleKey(RadialConfirmation confirmation)
{
    return QStringLiteral("radial.confirm.") + toRaw(confirmation);
}
QString detailKey(RadialConfirmation confirmation)
{
    return titleKey(confirmation) + QStringLiteral(".detail");
}

QString toRaw(RadialSource source)
{
    return source == RadialSource::runningApps ? QStringLiteral("runningApps") : QStringLiteral("installedApps");
}
template <>
std::optional<RadialSource> fromRaw<RadialSource>(const QString& raw)
{
    return Coding::caseNamed(radialSourceCases, raw);
}
template <>
std::span<const RadialSource> allCases<RadialSource>()
{
    return radialSourceCases;
}
QString titleKey(RadialSource source)
{
    return QStringLiteral("radial.source.") + toRaw(source);
}
QString detailKey(RadialSource source)
{
    return titleKey(source) + QStringLiteral(".detail");
}

QJsonObject toJson(const RadialItem& item)
{
    return {{QStringLiteral("bundleIdentifier"), item.bundleIdentifier},
            {QStringLiteral("name"), item.name},
            {QStringLiteral("isPinned"), item.isPinned}};
}

template <>
std::expected<RadialItem, DecodingError> fromJson<RadialItem>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("RadialItem")));
    const QJsonObject o = value.toObject();
    auto id = Coding::requiredString(o, QStringLiteral("bundleIdentifier"));
    if (!id)
        return std::unexpected(id.error());
    auto name = Coding::requiredString(o, QStringLiteral("name"));
    if (!name)
        return std::unexpected(name.error());
    auto pinned = Coding::requiredBool(o, QStringLiteral("isPinned"));
    if (!pinned)
        return std::unexpected(pinned.error());
    return RadialItem{*id, *name, *pinned};
}

const QSet<QString>& RadialSettings::defaultExclusions()
{
    static const QSet<QString> set{
        QStringLiteral("com.figma.Desktop"),
        QStringLiteral("com.bohemiancoding.sketch3"),
        QStringLiteral("org.blenderfoundation.blender"),
        QStringLiteral("com.adobe.Photoshop"),
        QStringLiteral("com.adobe.Illustrator"),
        QStringLiteral("com.autodesk.fusion360"),
        QStringLiteral("com.unity3d.UnityEditor"),
        QStringLiteral("com.sketchup.SketchUp"),
        QStringLiteral("com.googlecode.iterm2"),
        QStringLiteral("com.apple.Terminal"),
        QStringLiteral("io.alacritty"),
        QStringLiteral("net.kovidgoyal.kitty"),
        QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("com.github.wez.wezterm"),
    };
    return set;
}

RadialSettings RadialSettings::clamped() const
{
    RadialSettings out = *this;
    out.holdThreshold = clampTo(holdThreshold, holdRange);
    out.movementThreshold = clampTo(movementThreshold, movementRange);
    out.radius = clampTo(radius, radiusRange);
    out.visibleCount = std::min(visibleRange.upper, std::max(visibleRange.lower, visibleCount));
    return out;
}

bool RadialSettings::leavesAlone(const std::optional<QString>& bundleIdentifier) const
{
    return bundleIdentifier && excludedApps.contains(*bundleIdentifier);
}

void RadialSettings::exclude(const QString& bundleIdentifier)
{
    excludedApps.insert(bundleIdentifier);
    dismissedExclusions.remove(bundleIdentifier);
}

void RadialSettings::stopExcluding(const QString& bundleIdentifier)
{
    excludedApps.remove(bundleIdentifier);
    if (defaultExclusions().contains(bundleIdentifier))
        dismissedExclusions.insert(bundleIdentifier);
}

void RadialSettings::pin(const RadialItem& item)
{
    suppressed.remove(item.bundleIdentifier);
    for (const auto& p : pinned)
        if (p.bundleIdentifier == item.bundleIdentifier)
            return;
    pinned.append({item.bundleIdentifier, item.name, true});
}

void RadialSettings::remove(const QString& bundleIdentifier)
{
    pinned.removeIf([&](const RadialItem& p) { return p.bundleIdentifier == bundleIdentifier; });
    suppressed.insert(bundleIdentifier);
}

void RadialSettings::unsuppress(const QString& bundleIdentifier)
{
    suppressed.remove(bundleIdentifier);
}

void RadialSettings::movePinned(const std::set<qsizetype>& sources, qsizetype destination)
{
    QList<RadialItem> block;
    QList<qsizetype> valid;
    for (qsizetype i : sources) // ascending
        if (i >= 0 && i < pinned.size()) {
            block.append(pinned[i]);
            valid.append(i);
        }
    if (block.isEmpty())
        return;
    const qsizetype below = std::count_if(sources.begin(), sources.end(), [&](qsizetype i) { return i < destination; });
    for (auto it = valid.rbegin(); it != valid.rend(); ++it)
        pinned.removeAt(*it);
    const qsizetype at = std::clamp<qsizetype>(destination - below, 0, pinned.size());
    for (qsizetype k = 0; k < block.size(); ++k)
        pinned.insert(at + k, block[k]);
}

QJsonObject toJson(const RadialSettings& s)
{
    QJsonArray pinned;
    for (const auto& item : s.pinned)
        pinned.append(toJson(item));
    return {
        {QStringLiteral("isEnabled"), s.isEnabled},
        {QStringLiteral("shape"), toRaw(s.shape)},
        {QStringLiteral("confirmation"), toRaw(s.confirmation)},
        {QStringLiteral("source"), toRaw(s.source)},
        {QStringLiteral("hasCancelItem"), s.hasCancelItem},
        {QStringLiteral("holdThreshold"), s.holdThreshold},
        {QStringLiteral("movementThreshold"), s.movementThreshold},
        {QStringLiteral("radius"), s.radius},
        {QStringLiteral("visibleCount"), s.visibleCount},
        {QStringLiteral("excludedApps"), sortedArray(s.excludedApps)},
        {QStringLiteral("dismissedExclusions"), sortedArray(s.dismissedExclusions)},
        {QStringLiteral("pinned"), pinned},
        {QStringLiteral("fillsFromRecentApps"), s.fillsFromRecentApps},
        {QStringLiteral("suppressed"), sortedArray(s.suppressed)},
    };
}

template <>
std::expected<RadialSettings, DecodingError> fromJson<RadialSettings>(const QJsonValue& value)
{
    const auto object = StoredDocument::object(value, QStringLiteral("RadialSettings"));
    if (!object)
        return std::unexpected(object.error());
    const QJsonObject& o = *object;
    RadialSettings s;
    using StoredDocument::readIfValid;
    readIfValid(o, QStringLiteral("isEnabled"), s.isEnabled);
    readIfValid(o, QStringLiteral("shape"), s.shape);
    readIfValid(o, QStringLiteral("confirmation"), s.confirmation);
    readIfValid(o, QStringLiteral("source"), s.source);
    readIfValid(o, QStringLiteral("hasCancelItem"), s.hasCancelItem);
    readIfValid(o, QStringLiteral("holdThreshold"), s.holdThreshold);
    readIfValid(o, QStringLiteral("movementThreshold"), s.movementThreshold);
    readIfValid(o, QStringLiteral("radius"), s.radius);
    readIfValid(o, QStringLiteral("visibleCount"), s.visibleCount);
    readIfValid(o, QStringLiteral("excludedApps"), s.excludedApps);
    readIfValid(o, QStringLiteral("dismissedExclusions"), s.dismissedExclusions);
    readIfValid(o, QStringLiteral("pinned"), s.pinned);
    readIfValid(o, QStringLiteral("fillsFromRecentApps"), s.fillsFromRecentApps);
    readIfValid(o, QStringLiteral("suppressed"), s.suppressed);
    return s;
}
