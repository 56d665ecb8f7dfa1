#pragma once

#include "ContextCore/Coding.h"

#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <set>

enum class RadialShape { circle, semicircle };
inline constexpr std::array<RadialShape, 2> radialShapeCases{RadialShape::circle, RadialShape::semicircle};
QString toRaw(RadialShape shape);
template <>
std::optional<RadialShape> fromRaw<RadialShape>(const QString& raw);
template <>
std::span<const RadialShape> allCases<RadialShape>();
QString titleKey(RadialShape shape);
QString detailKey(RadialShape shape);

enum class RadialConfirmation { onRelease, onClick };
inline constexpr std::array<RadialConfirmation, 2> radialConfirmationCases{RadialConfirmation::onRelease,
                                                                           RadialConfirmation::onClick};
QString toRaw(RadialConfirmation confirmation);
template <>
std::optional<RadialConfirmation> fromRaw<RadialConfirmation>(const QString& raw);
template <>
std::span<const RadialConfirmation> allCases<RadialConfirmation>();
QString titleKey(RadialConfirmation confirmation);
QString detailKey(RadialConfirmation confirmation);

enum class RadialSource { runningApps, installedApps };
inline constexpr std::array<RadialSource, 2> radialSourceCases{RadialSource::runningApps, RadialSource::installedApps};
QString toRaw(RadialSource source);
template <>
std::optional<RadialSource> fromRaw<RadialSource>(const QString& raw);
template <>
std::span<const RadialSource> allCases<RadialSource>();
QString titleKey(RadialSource source);
QString detailKey(RadialSource source);

// One application on the ring.
struct RadialItem {
    QString bundleIdentifier;
    QString name;
    bool isPinned = false;

    inline static const QString cancelIdentifier = QStringLiteral("com.corvish.radial.cancel");
    // The item that closes the ring without launching anything.
    static RadialItem cancel() { return {cancelIdentifier, QString(), true}; }
    bool isCancel() const { return bundleIdentifier == cancelIdentifier; }
    const QString& id() const { return bundleIdentifier; }
    bool operator==(const RadialItem&) const = default;
};
QJsonObject toJson(const RadialItem& item);
// All three keys are required.
template <>
std::expected<RadialItem, DecodingError> fromJson<RadialItem>(const QJsonValue& value);

// The radial menu's settings, stored as one JSON document.
struct RadialSettings {
    struct Range {
        double lower;
        double upper;
    };
    struct CountRange {
        int lower;
        int upper;
    };
    static constexpr Range holdRange{0.05, 0.6};
    static constexpr Range movementRange{2.0, 40.0};
    static constexpr Range radiusRange{70.0, 200.0};
    static constexpr CountRange visibleRange{3, 12};

    // Design, 3D and engineering applications and terminals, whose middle button matters to them.
    static const QSet<QString>& defaultExclusions();

    bool isEnabled = false;
    RadialShape shape = RadialShape::circle;
    RadialConfirmation confirmation = RadialConfirmation::onRelease;
    RadialSource source = RadialSource::runningApps;
    bool hasCancelItem = true;
    double holdThreshold = 0.18;     // seconds
    double movementThreshold = 6.0;  // points
    double radius = 92.0;            // points
    int visibleCount = 5;
    QSet<QString> excludedApps = defaultExclusions();
    QSet<QString> dismissedExclusions;
    QList<RadialItem> pinned;
    bool fillsFromRecentApps = true;
    QSet<QString> suppressed;

    // The numbers brought into their ranges (a number that is not finite becomes the lower bound).
    RadialSettings clamped() const;
    // Whether the radial menu leaves this application's middle button alone.
    bool leavesAlone(const std::optional<QString>& bundleIdentifier) const;
    void exclude(const QString& bundleIdentifier);
    // A default exclusion taken off is remembered, so that loading does not bring it back.
    void stopExcluding(const QString& bundleIdentifier);
    // Pins the application at the end unless it is pinned already; it is no longer suppressed.
    void pin(const RadialItem& item);
    // Unpins every item of the application and keeps it off the ring.
    void remove(const QString& bundleIdentifier);
    void unsuppress(const QString& bundleIdentifier);
    // Reorders the pinned items as dragging rows of a list does: the rows at `sources` (invalid
    // ones ignored) move, in their order, to before the row that stood at `destination`.
    void movePinned(const std::set<qsizetype>& sources, qsizetype destination);

    bool operator==(const RadialSettings&) const = default;
};

// Every field under its name; sets as sorted arrays.
QJsonObject toJson(const RadialSettings& settings);
// Field by field: a missing or unreadable field takes its default, the others are kept. Fails only
// for a value that is not an object. Not clamped.
template <>
std::expected<RadialSettings, DecodingError> fromJson<RadialSettings>(const QJsonValue& value);
