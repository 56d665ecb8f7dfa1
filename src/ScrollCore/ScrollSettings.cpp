#include "ScrollCore/ScrollSettings.h"

#include "ContextCore/StoredDocument.h"
#include "Platform/EventTaps.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace {

double clampTo(double value, ScrollTuning::Range range)
{
    if (std::isnan(value))
        return range.lower;
    return std::min(range.upper, std::max(range.lower, value));
}

} // namespace

ScrollTuning ScrollTuning::clamped() const
{
    return {clampTo(step, stepRange), clampTo(decay, decayRange), clampTo(maximumDuration, durationRange)};
}

QString toRaw(ScrollPreset preset)
{
    switch (preset) {
    case ScrollPreset::windowsLike: return QStringLiteral("windowsLike");
    case ScrollPreset::smooth: return QStringLiteral("smooth");
    case ScrollPreset::system: return QStringLiteral("system");
    }
    return {};
}

template <>
std::optional<ScrollPreset> fromRaw<ScrollPreset>(const QString& raw)
{
    return Coding::caseNamed(scrollPresetCases, raw);
}

template <>
std::span<const ScrollPreset> allCases<ScrollPreset>()
{
    return scrollPresetCases;
}

ScrollTuning tuningOf(ScrollPreset preset)
{
    switch (preset) {
    case ScrollPreset::windowsLike: return {48, 0.28, 0.24};
    case ScrollPreset::smooth: return {62, 0.14, 0.6};
    case ScrollPreset::system: return {0, 1.0, 0};
    }
    return {};
}

QString titleKey(ScrollPreset preset)
{
    return QStringLiteral("scroll.preset.") + toRaw(preset);
}

QString detailKey(ScrollPreset preset)
{
    return titleKey(preset) + QStringLiteral(".detail");
}

QString toRaw(ScrollModifier modifier)
{
    switch (modifier) {
    case ScrollModifier::command: return QStringLiteral("command");
    case ScrollModifier::option: return QStringLiteral("option");
    case ScrollModifier::control: return QStringLiteral("control");
    case ScrollModifier::shift: return QStringLiteral("shift");
    }
    return {};
}

template <>
std::optional<ScrollModifier> fromRaw<ScrollModifier>(const QString& raw)
{
    return Coding::caseNamed(scrollModifierCases, raw);
}

template <>
std::span<const ScrollModifier> allCases<ScrollModifier>()
{
    return scrollModifierCases;
}

QString titleKey(ScrollModifier modifier)
{
    return QStringLiteral("scroll.modifier.") + toRaw(modifier);
}

std::optional<QString> systemConflictKey(ScrollModifier modifier)
{
    if (modifier == ScrollModifier::option)
        return std::nullopt;
    return QStringLiteral("scroll.modifier.conflict.") + toRaw(modifier);
}

quint64 flagMask(ScrollModifier modifier)
{
    switch (modifier) {
    case ScrollModifier::command: return Platform::TapEvent::commandMask;
    case ScrollModifier::option: return Platform::TapEvent::optionMask;
    case ScrollModifier::control: return Platform::TapEvent::controlMask;
    case ScrollModifier::shift: return Platform::TapEvent::shiftMask;
    }
    return 0;
}

ScrollModifierSet ScrollModifierSet::active(quint64 flags)
{
    ScrollModifierSet set;
    for (ScrollModifier m : scrollModifierCases)
        if (flags & flagMask(m))
            set.insert(m);
    return set;
}

QString toRaw(ScrollModifierAction action)
{
    switch (action) {
    case ScrollModifierAction::none: return QStringLiteral("none");
    case ScrollModifierAction::dash: return QStringLiteral("dash");
    case ScrollModifierAction::precise: return QStringLiteral("precise");
    case ScrollModifierAction::flipAxis: return QStringLiteral("flipAxis");
    case ScrollModifierAction::passThrough: return QStringLiteral("passThrough");
    }
    return {};
}

template <>
std::optional<ScrollModifierAction> fromRaw<ScrollModifierAction>(const QString& raw)
{
    return Coding::caseNamed(scrollModifierActionCases, raw);
}

template <>
std::span<const ScrollModifierAction> allCases<ScrollModifierAction>()
{
    return scrollModifierActionCases;
}

QString titleKey(ScrollModifierAction action)
{
    return QStringLiteral("scroll.modifier.action.") + toRaw(action);
}

ScrollModifierAction ScrollModifierBindings::action(ScrollModifier modifier) const
{
    return const_cast<ScrollModifierBindings*>(this)->action(modifier);
}

ScrollModifierAction& ScrollModifierBindings::action(ScrollModifier modifier)
{
    switch (modifier) {
    case ScrollModifier::command: return command;
    case ScrollModifier::option: return option;
    case ScrollModifier::control: return control;
    case ScrollModifier::shift: break;
    }
    return shift;
}

ScrollTuning ScrollProfile::tuning() const
{
    return customTuning.value_or(tuningOf(preset)).clamped();
}

void ScrollProfile::adopt(ScrollPreset newPreset)
{
    preset = newPreset;
    customTuning.reset();
}

QString ScrollAppMode::titleKey() const
{
    return custom ? QStringLiteral("scroll.app.mode.custom") : QStringLiteral("scroll.app.mode.off");
}

const ScrollAppSettings* ScrollSettings::settings(const QString* bundleIdentifier) const
{
    if (!bundleIdentifier)
        return nullptr;
    for (const auto& app : apps)
        if (app.bundleIdentifier == *bundleIdentifier)
            return &app;
    return nullptr;
}

std::optional<ScrollAppSettings> ScrollSettings::settings(const std::optional<QString>& bundleIdentifier) const
{
    if (const auto* entry = settings(bundleIdentifier ? &*bundleIdentifier : nullptr))
        return *entry;
    return std::nullopt;
}

const ScrollProfile* ScrollSettings::profile(const QString* bundleIdentifier) const
{
    const auto* entry = settings(bundleIdentifier);
    if (!entry)
        return &global;
    return entry->mode.profile();
}

std::optional<ScrollProfile> ScrollSettings::profile(const std::optional<QString>& bundleIdentifier) const
{
    if (const auto* p = profile(bundleIdentifier ? &*bundleIdentifier : nullptr))
        return *p;
    return std::nullopt;
}

void sortByIdentifier(QList<ScrollAppSettings>& apps)
{
    std::stable_sort(apps.begin(), apps.end(), [](const auto& a, const auto& b) {
        return QString::compare(a.bundleIdentifier, b.bundleIdentifier, Qt::CaseSensitive) < 0;
    });
}

void ScrollSettings::setSettings(const ScrollAppSettings& entry)
{
    dismissedDefaults.remove(entry.bundleIdentifier);
    for (auto& app : apps) {
        if (app.bundleIdentifier == entry.bundleIdentifier) {
            app = entry;
            return;
        }
    }
    apps.append(entry);
    sortByIdentifier(apps);
}

void ScrollSettings::setMode(const ScrollAppMode& mode, const QString& bundleIdentifier)
{
    setSettings({bundleIdentifier, mode});
}

void ScrollSettings::startCustomising(const QString& bundleIdentifier)
{
    setSettings({bundleIdentifier, ScrollAppMode::customised(global)});
}

void ScrollSettings::removeSettings(const QString& bundleIdentifier)
{
    apps.removeIf([&](const auto& app) { return app.bundleIdentifier == bundleIdentifier; });
    if (defaultExclusions().contains(bundleIdentifier))
        dismissedDefaults.insert(bundleIdentifier);
}

const QHash<QString, QString>& ScrollSettings::knownAppNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("com.apple.ScreenSharing"), QStringLiteral("Screen Sharing")},
        {QStringLiteral("com.microsoft.rdc.macos"), QStringLiteral("Microsoft Remote Desktop")},
        {QStringLiteral("com.teamviewer.TeamViewer"), QStringLiteral("TeamViewer")},
        {QStringLiteral("com.anydesk.anydeskmac"), QStringLiteral("AnyDesk")},
        {QStringLiteral("com.realvnc.vncviewer"), QStringLiteral("VNC Viewer")},
        {QStringLiteral("com.nvidia.gfnpc.mall"), QStringLiteral("NVIDIA GeForce NOW")},
        {QStringLiteral("com.moonlight-stream.Moonlight"), QStringLiteral("Moonlight")},
        {QStringLiteral("com.parallels.desktop.console"), QStringLiteral("Parallels Desktop")},
        {QStringLiteral("com.vmware.fusion"), QStringLiteral("VMware Fusion")},
        {QStringLiteral("org.virtualbox.app.VirtualBox"), QStringLiteral("VirtualBox")},
        {QStringLiteral("com.utmapp.UTM"), QStringLiteral("UTM")},
        {QStringLiteral("com.valvesoftware.steam"), QStringLiteral("Steam")},
        {QStringLiteral("com.epicgames.EpicGamesLauncher"), QStringLiteral("Epic Games Launcher")},
        {QStringLiteral("com.apple.iphonesimulator"), QStringLiteral("Simulator")},
        {QStringLiteral("com.adobe.Photoshop"), QStringLiteral("Adobe Photoshop")},
        {QStringLiteral("com.adobe.Illustrator"), QStringLiteral("Adobe Illustrator")},
        {QStringLiteral("com.adobe.AfterEffects"), QStringLiteral("Adobe After Effects")},
        {QStringLiteral("com.blackmagic-design.DaVinciResolve"), QStringLiteral("DaVinci Resolve")},
        {QStringLiteral("org.blenderfoundation.blender"), QStringLiteral("Blender")},
        {QStringLiteral("com.figma.Desktop"), QStringLiteral("Figma")},
    };
    return names;
}

const QSet<QString>& ScrollSettings::defaultExclusions()
{
    static const QSet<QString> set = [] {
        QSet<QString> ids;
        for (auto it = knownAppNames().begin(); it != knownAppNames().end(); ++it)
            ids.insert(it.key());
        return ids;
    }();
    return set;
}

QList<ScrollAppSettings> ScrollSettings::defaultAppSettings()
{
    QStringList ids(defaultExclusions().begin(), defaultExclusions().end());
    std::sort(ids.begin(), ids.end(), [](const QString& a, const QString& b) { return QString::compare(a, b) < 0; });
    QList<ScrollAppSettings> apps;
    for (const auto& id : ids)
        apps.append({id, ScrollAppMode::off()});
    return apps;
}

QString ScrollSettings::displayName(const QString& bundleIdentifier)
{
    if (auto it = knownAppNames().constFind(bundleIdentifier); it != knownAppNames().constEnd())
        return *it;
    static const QSet<QString> generic{QStringLiteral("macos"), QStringLiteral("mac"), QStringLiteral("osx"),
                                       QStringLiteral("app"),   QStringLiteral("desktop"), QStringLiteral("console")};
    QString last;
    for (const auto& part : bundleIdentifier.split(u'.', Qt::SkipEmptyParts))
        if (!generic.contains(part.toLower()))
            last = part;
    return last.isEmpty() ? bundleIdentifier : last;
}

ScrollSettings ScrollSettings::defaults()
{
    ScrollSettings settings;
    settings.apps = defaultAppSettings();
    return settings;
}

QJsonObject toJson(const ScrollTuning& tuning)
{
    return {{QStringLiteral("step"), tuning.step},
            {QStringLiteral("decay"), tuning.decay},
            {QStringLiteral("maximumDuration"), tuning.maximumDuration}};
}

QJsonObject toJson(const ScrollAxisSettings& axis)
{
    return {{QStringLiteral("isSmoothed"), axis.isSmoothed},
            {QStringLiteral("isReversed"), axis.isReversed},
            {QStringLiteral("speed"), axis.speed}};
}

QJsonObject toJson(const ScrollModifierBindings& bindings)
{
    QJsonObject o;
    for (ScrollModifier m : scrollModifierCases)
        o.insert(toRaw(m), toRaw(bindings.action(m)));
    return o;
}

QJsonObject toJson(const ScrollProfile& profile)
{
    QJsonObject o{{QStringLiteral("preset"), toRaw(profile.preset)},
                  {QStringLiteral("vertical"), toJson(profile.vertical)},
                  {QStringLiteral("horizontal"), toJson(profile.horizontal)}};
    if (profile.customTuning)
        o.insert(QStringLiteral("customTuning"), toJson(*profile.customTuning));
    return o;
}

QJsonObject toJson(const ScrollAppMode& mode)
{
    if (mode.custom)
        return OneKeyJson::encodeUnlabelled(QStringLiteral("custom"), toJson(*mode.custom));
    return OneKeyJson::encode(QStringLiteral("off"));
}

QJsonObject toJson(const ScrollAppSettings& app)
{
    return {{QStringLiteral("bundleIdentifier"), app.bundleIdentifier}, {QStringLiteral("mode"), toJson(app.mode)}};
}

QJsonObject toJson(const ScrollSettings& settings)
{
    QJsonArray apps;
    for (const auto& app : settings.apps)
        apps.append(toJson(app));
    QStringList dismissed(settings.dismissedDefaults.begin(), settings.dismissedDefaults.end());
    dismissed.sort();
    return {{QStringLiteral("isEnabled"), settings.isEnabled},
            {QStringLiteral("global"), toJson(settings.global)},
            {QStringLiteral("modifiers"), toJson(settings.modifiers)},
            {QStringLiteral("apps"), apps},
            {QStringLiteral("dismissedDefaults"), QJsonArray::fromStringList(dismissed)}};
}

template <>
std::expected<ScrollTuning, DecodingError> fromJson<ScrollTuning>(const QJsonValue& value)
{
    auto o = StoredDocument::object(value, QStringLiteral("ScrollTuning"));
    if (!o)
        return std::unexpected(o.error());
    auto step = StoredDocument::required<double>(*o, QStringLiteral("step"));
    if (!step)
        return std::unexpected(step.error());
    auto decay = StoredDocument::required<double>(*o, QStringLiteral("decay"));
    if (!decay)
        return std::unexpected(decay.error());
    auto duration = StoredDocument::required<double>(*o, QStringLiteral("maximumDuration"));
    if (!duration)
        return std::unexpected(duration.error());
    return ScrollTuning{*step, *decay, *duration};
}

template <>
std::expected<ScrollAxisSettings, DecodingError> fromJson<ScrollAxisSettings>(const QJsonValue& value)
{
    auto o = StoredDocument::object(value, QStringLiteral("ScrollAxisSettings"));
    if (!o)
        return std::unexpected(o.error());
    auto smoothed = Coding::requiredBool(*o, QStringLiteral("isSmoothed"));
    if (!smoothed)
        return std::unexpected(smoothed.error());
    auto reversed = Coding::requiredBool(*o, QStringLiteral("isReversed"));
    if (!reversed)
        return std::unexpected(reversed.error());
    auto speed = StoredDocument::required<double>(*o, QStringLiteral("speed"));
    if (!speed)
        return std::unexpected(speed.error());
    return ScrollAxisSettings{*smoothed, *reversed, *speed};
}

template <>
std::expected<ScrollModifierBindings, DecodingError> fromJson<ScrollModifierBindings>(const QJsonValue& value)
{
    auto o = StoredDocument::object(value, QStringLiteral("ScrollModifierBindings"));
    if (!o)
        return std::unexpected(o.error());
    ScrollModifierBindings bindings;
    for (ScrollModifier m : scrollModifierCases) {
        auto action = StoredDocument::required<ScrollModifierAction>(*o, toRaw(m), QStringLiteral("ScrollModifierAction"));
        if (!action)
            return std::unexpected(action.error());
        bindings.action(m) = *action;
    }
    return bindings;
}

template <>
std::expected<ScrollProfile, DecodingError> fromJson<ScrollProfile>(const QJsonValue& value)
{
    auto o = StoredDocument::object(value, QStringLiteral("ScrollProfile"));
    if (!o)
        return std::unexpected(o.error());
    ScrollProfile profile;
    auto preset = StoredDocument::required<ScrollPreset>(*o, QStringLiteral("preset"), QStringLiteral("ScrollPreset"));
    if (!preset)
        return std::unexpected(preset.error());
    profile.preset = *preset;
    if (auto tuning = StoredDocument::readIfPresent(*o, QStringLiteral("customTuning"), profile.customTuning); !tuning)
        return std::unexpected(tuning.error());
    auto vertical = StoredDocument::required<ScrollAxisSettings>(*o, QStringLiteral("vertical"));
    if (!vertical)
        return std::unexpected(vertical.error());
    auto horizontal = StoredDocument::required<ScrollAxisSettings>(*o, QStringLiteral("horizontal"));
    if (!horizontal)
        return std::unexpected(horizontal.error());
    profile.vertical = *vertical;
    profile.horizontal = *horizontal;
    return profile;
}

template <>
std::expected<ScrollAppMode, DecodingError> fromJson<ScrollAppMode>(const QJsonValue& value)
{
    auto found = OneKeyJson::decode(value, {QStringLiteral("off"), QStringLiteral("custom")});
    if (!found)
        return std::unexpected(found.error());
    if (found->name == u"off")
        return ScrollAppMode::off();
    auto profile = StoredDocument::required<ScrollProfile>(found->payload, OneKeyJson::unlabelled);
    if (!profile)
        return std::unexpected(profile.error());
    return ScrollAppMode::customised(*profile);
}

template <>
std::expected<ScrollAppSettings, DecodingError> fromJson<ScrollAppSettings>(const QJsonValue& value)
{
    auto o = StoredDocument::object(value, QStringLiteral("ScrollAppSettings"));
    if (!o)
        return std::unexpected(o.error());
    auto id = Coding::requiredString(*o, QStringLiteral("bundleIdentifier"));
    if (!id)
        return std::unexpected(id.error());
    auto mode = StoredDocument::required<ScrollAppMode>(*o, QStringLiteral("mode"));
    if (!mode)
        return std::unexpected(mode.error());
    return ScrollAppSettings{*id, *mode};
}

template <>
std::expected<ScrollSettings, DecodingError> fromJson<ScrollSettings>(const QJsonValue& value)
{
    auto root = StoredDocument::object(value, QStringLiteral("ScrollSettings"));
    if (!root)
        return std::unexpected(root.error());
    // Every key is optional; one that is there must read.
    ScrollSettings settings;
    StoredDocument::Reader fields(*root);
    fields.ifPresent(QStringLiteral("isEnabled"), settings.isEnabled)
        .ifPresent(QStringLiteral("modifiers"), settings.modifiers)
        .ifPresent(QStringLiteral("dismissedDefaults"), settings.dismissedDefaults);
    if (fields.has(QStringLiteral("global"))) {
        fields.ifPresent(QStringLiteral("global"), settings.global).ifPresent(QStringLiteral("apps"), settings.apps);
        if (fields.error())
            return std::unexpected(*fields.error());
        return settings;
    }

    // The older flat layout: the profile's fields at the top and a plain exclusion list.
    QSet<QString> excluded;
    fields.ifPresent(QStringLiteral("preset"), settings.global.preset, QStringLiteral("ScrollPreset"))
        .ifPresent(QStringLiteral("customTuning"), settings.global.customTuning)
        .ifPresent(QStringLiteral("vertical"), settings.global.vertical)
        .ifPresent(QStringLiteral("horizontal"), settings.global.horizontal)
        .ifPresent(QStringLiteral("excludedApps"), excluded);
    if (fields.error())
        return std::unexpected(*fields.error());
    for (const auto& id : excluded)
        settings.apps.append({id, ScrollAppMode::off()});
    sortByIdentifier(settings.apps);
    for (const auto& id : ScrollSettings::defaultExclusions())
        if (!excluded.contains(id))
            settings.dismissedDefaults.insert(id);
    return settings;
}
