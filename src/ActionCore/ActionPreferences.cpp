#include "ActionCore/ActionPreferences.h"

#include "ContextCore/StoredDocument.h"

#include <QJsonArray>

#include <algorithm>

const ActionPreferences& ActionPreferences::defaultValue()
{
    static const ActionPreferences preferences;
    return preferences;
}

ActionPreferences ActionPreferences::load(const Platform::UserDefaults& defaults)
{
    return StoredDocument::load<ActionPreferences>(defaults, storageKey).value_or(defaultValue());
}

void ActionPreferences::save(Platform::UserDefaults& defaults) const
{
    StoredDocument::write(defaults, storageKey, toJson(*this));
}

QHash<QString, qsizetype> ActionPreferences::pinnedPositions() const
{
    QHash<QString, qsizetype> positions;
    for (qsizetype i = 0; i < pinnedIDs.size(); ++i)
        positions.insert(pinnedIDs[i], positions.value(pinnedIDs[i], i));
    return positions;
}

QList<ActionDefinition> ActionPreferences::ordering(const QList<ActionDefinition>& actions) const
{
    const QHash<QString, qsizetype> positions = pinnedPositions();
    QList<ActionDefinition> ordered = actions;
    std::stable_sort(ordered.begin(), ordered.end(), [&](const ActionDefinition& a, const ActionDefinition& b) {
        const auto pa = positions.constFind(a.id);
        const auto pb = positions.constFind(b.id);
        const bool pinnedA = pa != positions.cend();
        const bool pinnedB = pb != positions.cend();
        if (pinnedA != pinnedB)
            return pinnedA;
        if (pinnedA && *pa != *pb)
            return *pa < *pb;
        if (a.defaultRank != b.defaultRank)
            return a.defaultRank < b.defaultRank;
        return ActionDefinition::tiePrecedes(a, b);
    });
    return ordered;
}

void ActionPreferences::move(const QString& id, qsizetype step, const QStringList& shownIDs)
{
    // A stale pinned id (an action no longer shown) must not be a swap partner: nothing would
    // move on screen. So the shown order is taken over first, as the drag move does.
    if (pinnedIDs != shownIDs)
        pinnedIDs = shownIDs;
    const qsizetype index = pinnedIDs.indexOf(id);
    if (index < 0)
        return;
    const qsizetype target = index + step;
    if (target < 0 || target >= pinnedIDs.size())
        return;
    pinnedIDs.swapItemsAt(index, target);
}

void ActionPreferences::move(const std::set<qsizetype>& offsets, qsizetype destination, const QStringList& shownIDs)
{
    if (pinnedIDs != shownIDs)
        pinnedIDs = shownIDs;

    QStringList moved;
    for (qsizetype offset : offsets) {
        if (offset >= 0 && offset < pinnedIDs.size())
            moved << pinnedIDs[offset];
    }
    if (moved.isEmpty())
        return;

    const qsizetype before = std::count_if(offsets.begin(), offsets.end(), [&](qsizetype o) { return o < destination; });
    for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
        if (*it >= 0 && *it < pinnedIDs.size())
            pinnedIDs.removeAt(*it);
    }
    const qsizetype insertAt = std::clamp<qsizetype>(destination - before, 0, pinnedIDs.size());
    for (qsizetype i = 0; i < moved.size(); ++i)
        pinnedIDs.insert(insertAt + i, moved[i]);
}

QJsonObject toJson(const ActionPreferences& preferences)
{
    QJsonArray hidden;
    QStringList hiddenSorted(preferences.hiddenIDs.begin(), preferences.hiddenIDs.end());
    hiddenSorted.sort();
    for (const QString& id : hiddenSorted)
        hidden.append(id);
    QJsonObject counts;
    for (auto it = preferences.usageCounts.cbegin(); it != preferences.usageCounts.cend(); ++it)
        counts.insert(it.key(), it.value());
    return QJsonObject{
        {QStringLiteral("pinnedIDs"), QJsonArray::fromStringList(preferences.pinnedIDs)},
        {QStringLiteral("hiddenIDs"), hidden},
        {QStringLiteral("usageCounts"), counts},
        {QStringLiteral("showsAIActions"), preferences.showsAIActions},
    };
}

namespace {

std::expected<QStringList, DecodingError> stringArray(const QJsonObject& object, const QString& key)
{
    if (!object.contains(key))
        return std::unexpected(Coding::missingKey(key));
    const QJsonValue value = object.value(key);
    if (!value.isArray())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an array"), QStringLiteral("\"%1\"").arg(key)));
    QStringList list;
    for (const QJsonValue& element : value.toArray()) {
        if (!element.isString())
            return std::unexpected(Coding::typeMismatch(QStringLiteral("a string"), QStringLiteral("\"%1\"").arg(key)));
        list << element.toString();
    }
    return list;
}

} // namespace

template <>
std::expected<ActionPreferences, DecodingError> fromJson<ActionPreferences>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("ActionPreferences")));
    const QJsonObject object = value.toObject();

    auto pinned = stringArray(object, QStringLiteral("pinnedIDs"));
    if (!pinned)
        return std::unexpected(pinned.error());
    auto hidden = stringArray(object, QStringLiteral("hiddenIDs"));
    if (!hidden)
        return std::unexpected(hidden.error());

    const QString countsKey = QStringLiteral("usageCounts");
    if (!object.contains(countsKey))
        return std::unexpected(Coding::missingKey(countsKey));
    if (!object.value(countsKey).isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("\"usageCounts\"")));
    QHash<QString, qint64> counts;
    const QJsonObject countsObject = object.value(countsKey).toObject();
    for (auto it = countsObject.begin(); it != countsObject.end(); ++it) {
        const auto n = Coding::integer(it.value());
        if (!n)
            return std::unexpected(Coding::typeMismatch(QStringLiteral("an integer"), QStringLiteral("\"usageCounts\"")));
        counts.insert(it.key(), *n);
    }

    const QString showsKey = QStringLiteral("showsAIActions");
    if (!object.contains(showsKey))
        return std::unexpected(Coding::missingKey(showsKey));
    if (!object.value(showsKey).isBool())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("a boolean"), QStringLiteral("\"showsAIActions\"")));

    ActionPreferences preferences;
    // The order list never holds an id twice; a stored repeat keeps its first place.
    pinned->removeDuplicates();
    preferences.pinnedIDs = *pinned;
    preferences.hiddenIDs = QSet<QString>(hidden->begin(), hidden->end());
    preferences.usageCounts = counts;
    preferences.showsAIActions = object.value(showsKey).toBool();
    return preferences;
}
