#pragma once

#include "ContextCore/Coding.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <optional>

// Pixels per wheel line, the share of the rest paid out per sixtieth of a second, and the seconds
// after the latest wheel step at which whatever is still owed is paid at once.
struct ScrollTuning {
    double step = 0;
    double decay = 0;
    double maximumDuration = 0;

    struct Range {
        double lower;
        double upper;
    };
    static constexpr Range stepRange{10, 200};
    static constexpr Range decayRange{0.05, 1.0};
    static constexpr Range durationRange{0.05, 1.5};

    // Each field brought into its range; NaN becomes the lower bound.
    ScrollTuning clamped() const;
    bool operator==(const ScrollTuning&) const = default;
};

enum class ScrollPreset { windowsLike, smooth, system };
inline constexpr std::array<ScrollPreset, 3> scrollPresetCases{ScrollPreset::windowsLike, ScrollPreset::smooth,
                                                                ScrollPreset::system};
QString toRaw(ScrollPreset preset);
template <>
std::optional<ScrollPreset> fromRaw<ScrollPreset>(const QString& raw);
template <>
std::span<const ScrollPreset> allCases<ScrollPreset>();
// As the preset stands, not clamped.
ScrollTuning tuningOf(ScrollPreset preset);
QString titleKey(ScrollPreset preset);
QString detailKey(ScrollPreset preset);

struct ScrollAxisSettings {
    bool isSmoothed = false;
    bool isReversed = false;
    double speed = 1.0;

    // What the settings page offers; the model itself does not clamp the speed.
    static constexpr ScrollTuning::Range speedRange{0.25, 4.0};
    bool operator==(const ScrollAxisSettings&) const = default;
};

enum class ScrollModifier { command, option, control, shift };
inline constexpr std::array<ScrollModifier, 4> scrollModifierCases{ScrollModifier::command, ScrollModifier::option,
                                                                   ScrollModifier::control, ScrollModifier::shift};
QString toRaw(ScrollModifier modifier);
template <>
std::optional<ScrollModifier> fromRaw<ScrollModifier>(const QString& raw);
template <>
std::span<const ScrollModifier> allCases<ScrollModifier>();
QString titleKey(ScrollModifier modifier);
// The warning shown while the key is bound to an action: it has a use of its own on the desktop.
std::optional<QString> systemConflictKey(ScrollModifier modifier);
// The key's bit among the event's modifier flags.
quint64 flagMask(ScrollModifier modifier);

// A set of held modifier keys, one bit each in case order; no allocation on the event path.
struct ScrollModifierSet {
    quint8 bits = 0;
    static ScrollModifierSet active(quint64 flags);
    bool contains(ScrollModifier m) const { return bits & (1u << int(m)); }
    void insert(ScrollModifier m) { bits |= quint8(1u << int(m)); }
    bool operator==(const ScrollModifierSet&) const = default;
};

enum class ScrollModifierAction { none, dash, precise, flipAxis, passThrough };
inline constexpr std::array<ScrollModifierAction, 5> scrollModifierActionCases{
    ScrollModifierAction::none, ScrollModifierAction::dash, ScrollModifierAction::precise,
    ScrollModifierAction::flipAxis, ScrollModifierAction::passThrough};
QString toRaw(ScrollModifierAction action);
template <>
std::optional<ScrollModifierAction> fromRaw<ScrollModifierAction>(const QString& raw);
template <>
std::span<const ScrollModifierAction> allCases<ScrollModifierAction>();
QString titleKey(ScrollModifierAction action);

struct ScrollModifierBindings {
    ScrollModifierAction command = ScrollModifierAction::none;
    ScrollModifierAction option = ScrollModifierAction::dash;
    ScrollModifierAction control = ScrollModifierAction::none;
    ScrollModifierAction shift = ScrollModifierAction::none;

    ScrollModifierAction action(ScrollModifier modifier) const;
    ScrollModifierAction& action(ScrollModifier modifier);
    bool operator==(const ScrollModifierBindings&) const = default;
};

struct ScrollProfile {
    ScrollPreset preset = ScrollPreset::windowsLike;
    std::optional<ScrollTuning> customTuning;
    ScrollAxisSettings vertical{.isSmoothed = true};
    ScrollAxisSettings horizontal;

    // The custom tuning, else the preset's, clamped.
    ScrollTuning tuning() const;
    // The preset's own tuning from now on; the axes stay.
    void adopt(ScrollPreset newPreset);
    bool operator==(const ScrollProfile&) const = default;
};

// Smoothing off for one application, or a profile of its own.
struct ScrollAppMode {
    std::optional<ScrollProfile> custom; // none: off

    static ScrollAppMode off() { return {}; }
    static ScrollAppMode customised(ScrollProfile profile) { return {std::move(profile)}; }
    bool isCustom() const { return custom.has_value(); }
    const ScrollProfile* profile() const { return custom ? &*custom : nullptr; }
    QString titleKey() const;
    bool operator==(const ScrollAppMode&) const = default;
};

struct ScrollAppSettings {
    QString bundleIdentifier;
    ScrollAppMode mode;
    bool operator==(const ScrollAppSettings&) const = default;
};

struct ScrollSettings {
    bool isEnabled = false;
    ScrollProfile global;
    ScrollModifierBindings modifiers;
    QList<ScrollAppSettings> apps;
    QSet<QString> dismissedDefaults;

    // The first entry for the application; none for no application.
    const ScrollAppSettings* settings(const QString* bundleIdentifier) const;
    std::optional<ScrollAppSettings> settings(const std::optional<QString>& bundleIdentifier) const;
    // The application's profile: its own, the global one without an entry, none when it is off.
    const ScrollProfile* profile(const QString* bundleIdentifier) const;
    std::optional<ScrollProfile> profile(const std::optional<QString>& bundleIdentifier) const;

    void setSettings(const ScrollAppSettings& entry);
    void setMode(const ScrollAppMode& mode, const QString& bundleIdentifier);
    void startCustomising(const QString& bundleIdentifier);
    void removeSettings(const QString& bundleIdentifier);

    static const QSet<QString>& defaultExclusions();
    static const QHash<QString, QString>& knownAppNames();
    static QList<ScrollAppSettings> defaultAppSettings();
    static QString displayName(const QString& bundleIdentifier);
    // What the application starts from before anything is loaded.
    static ScrollSettings defaults();

    bool operator==(const ScrollSettings&) const = default;
};

// Plain string order of identifiers, stable for equal ones.
void sortByIdentifier(QList<ScrollAppSettings>& apps);

// JSON, in field order. Below the root every key is required but "customTuning"; the root's own
// reading (every key optional, and the older flat layout) is the store's.
QJsonObject toJson(const ScrollTuning& tuning);
QJsonObject toJson(const ScrollAxisSettings& axis);
QJsonObject toJson(const ScrollModifierBindings& bindings);
QJsonObject toJson(const ScrollProfile& profile);
QJsonObject toJson(const ScrollAppMode& mode);
QJsonObject toJson(const ScrollAppSettings& app);
QJsonObject toJson(const ScrollSettings& settings);
template <>
std::expected<ScrollTuning, DecodingError> fromJson<ScrollTuning>(const QJsonValue& value);
template <>
std::expected<ScrollAxisSettings, DecodingError> fromJson<ScrollAxisSettings>(const QJsonValue& value);
template <>
std::expected<ScrollModifierBindings, DecodingError> fromJson<ScrollModifierBindings>(const QJsonValue& value);
template <>
std::expected<ScrollProfile, DecodingError> fromJson<ScrollProfile>(const QJsonValue& value);
template <>
std::expected<ScrollAppMode, DecodingError> fromJson<ScrollAppMode>(const QJsonValue& value);
template <>
std::expected<ScrollAppSettings, DecodingError> fromJson<ScrollAppSettings>(const QJsonValue& value);
template <>
std::expected<ScrollSettings, DecodingError> fromJson<ScrollSettings>(const QJsonValue& value);
