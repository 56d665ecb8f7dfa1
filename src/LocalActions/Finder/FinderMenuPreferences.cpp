#include "LocalActions/Finder/FinderMenuPreferences.h"

#include "LocalActions/Finder/FinderActionCatalog.h"
#include "LocalActions/Finder/SharedPreferencesStore.h"
#include "Platform/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QString keyDisabledActionIDs = QStringLiteral("disabledActionIDs");
const QString keyDisabledTemplateIDs = QStringLiteral("disabledTemplateIDs");
const QString keyCustomTemplates = QStringLiteral("customTemplates");
const QString keyNewFileBaseName = QStringLiteral("newFileBaseName");
const QString keyUsesSingleSubmenu = QStringLiteral("usesSingleSubmenu");
const QString keyGroupsFileTemplates = QStringLiteral("groupsFileTemplates");
const QString keyPromotedActionIDs = QStringLiteral("promotedActionIDs");
const QString keyPreferredTerminalBundleID = QStringLiteral("preferredTerminalBundleID");
const QString keyCustomActions = QStringLiteral("customActions");
const QString keyActionIDsDisabledBeforeMenuOff = QStringLiteral("actionIDsDisabledBeforeMenuOff");
const QString keyIsAIConfigured = QStringLiteral("isAIConfigured");

QJsonArray sortedArray(const QSet<QString>& set)
{
    QStringList list(set.cbegin(), set.cend());
    list.sort();
    return QJsonArray::fromStringList(list);
}

QSet<QString> builtInIDs()
{
    QSet<QString> ids;
    for (const ActionDefinition& d : FinderActionCatalog::all())
        ids.insert(d.id);
    return ids;
}

std::expected<QJsonValue, DecodingError> required(const QJsonObject& o, const QString& key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return std::unexpected(Coding::missingKey(key));
    return v;
}

std::expected<QSet<QString>, DecodingError> stringSet(const QJsonValue& v, const QString& key)
{
    auto list = Coding::stringList(v, key);
    if (!list)
        return std::unexpected(list.error());
    return QSet<QString>(list->cbegin(), list->cend());
}

} // namespace

const FinderMenuPreferences& FinderMenuPreferences::defaults()
{
    static const FinderMenuPreferences d;
    return d;
}

bool FinderMenuPreferences::isFullyDisabled() const
{
    if (disabledActionIDs.isEmpty())
        return false;
    for (const ActionDefinition& d : FinderActionCatalog::all())
        if (!disabledActionIDs.contains(d.id))
            return false;
    return true;
}

void FinderMenuPreferences::setFullyDisabled(bool off)
{
    if (off == isFullyDisabled())
        return;
    if (off) {
        actionIDsDisabledBeforeMenuOff = disabledActionIDs;
        disabledActionIDs = builtInIDs();
    } else {
        disabledActionIDs = actionIDsDisabledBeforeMenuOff.value_or(QSet<QString>());
        actionIDsDisabledBeforeMenuOff.reset();
    }
}

FinderMenuPreferences::Partition FinderMenuPreferences::partition(const QList<ActionDefinition>& actions) const
{
    Partition p;
    if (!usesSingleSubmenu || promotedActionIDs.isEmpty()) {
        p.nested = actions;
        return p;
    }
    QSet<QString> promotedIDs;
    for (const QString& id : promotedActionIDs) {
        if (promotedIDs.contains(id))
            continue;
        for (const ActionDefinition& a : actions) {
            if (a.id == id) {
                p.promoted << a;
                promotedIDs.insert(id);
                break;
            }
        }
    }
    for (const ActionDefinition& a : actions)
        if (!promotedIDs.contains(a.id))
            p.nested << a;
    return p;
}

QList<FileTemplate> FinderMenuPreferences::allTemplates() const
{
    return FileTemplate::builtIns() + customTemplates;
}

QList<FileTemplate> FinderMenuPreferences::enabledTemplates() const
{
    QList<FileTemplate> enabled;
    for (const FileTemplate& t : allTemplates())
        if (!disabledTemplateIDs.contains(t.id))
            enabled << t;
    return enabled;
}

FinderMenuPreferences FinderMenuPreferences::load(const Platform::UserDefaults& defaults)
{
    const auto data = defaults.dataValue(QString::fromLatin1(userDefaultsKey));
    if (!data)
        return FinderMenuPreferences::defaults();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(*data, &error);
    if (error.error != QJsonParseError::NoError)
        return FinderMenuPreferences::defaults();
    return fromJson<FinderMenuPreferences>(doc.object()).value_or(FinderMenuPreferences::defaults());
}

void FinderMenuPreferences::save(Platform::UserDefaults& defaults, const SharedPreferencesStore& store) const
{
    defaults.setData(QString::fromLatin1(userDefaultsKey), QJsonDocument(toJson(*this)).toJson(QJsonDocument::Compact));
    (void)store.write(*this); // the extension keeps the previous file; nothing to tell the user
}

QJsonObject toJson(const FinderMenuPreferences& p)
{
    QJsonArray templates;
    for (const FileTemplate& t : p.customTemplates)
        templates.append(toJson(t));
    QJsonArray actions;
    for (const CustomFinderAction& a : p.customActions)
        actions.append(toJson(a));

    QJsonObject o{
        {keyDisabledActionIDs, sortedArray(p.disabledActionIDs)},
        {keyDisabledTemplateIDs, sortedArray(p.disabledTemplateIDs)},
        {keyCustomTemplates, templates},
        {keyNewFileBaseName, p.newFileBaseName},
        {keyUsesSingleSubmenu, p.usesSingleSubmenu},
        {keyGroupsFileTemplates, p.groupsFileTemplates},
        {keyPromotedActionIDs, QJsonArray::fromStringList(p.promotedActionIDs)},
        {keyCustomActions, actions},
        {keyIsAIConfigured, p.isAIConfigured},
    };
    if (p.preferredTerminalBundleID)
        o.insert(keyPreferredTerminalBundleID, *p.preferredTerminalBundleID);
    if (p.actionIDsDisabledBeforeMenuOff)
        o.insert(keyActionIDsDisabledBeforeMenuOff, sortedArray(*p.actionIDsDisabledBeforeMenuOff));
    return o;
}

template <>
std::expected<FinderMenuPreferences, DecodingError> fromJson<FinderMenuPreferences>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("FinderMenuPreferences")));
    const QJsonObject o = value.toObject();
    FinderMenuPreferences p;

    for (auto [key, field] : {std::pair{keyDisabledActionIDs, &p.disabledActionIDs},
                              {keyDisabledTemplateIDs, &p.disabledTemplateIDs}}) {
        auto j = required(o, key);
        if (!j)
            return std::unexpected(j.error());
        auto v = stringSet(*j, key);
        if (!v)
            return std::unexpected(v.error());
        *field = *v;
    }

    auto templates = required(o, keyCustomTemplates);
    if (!templates)
        return std::unexpected(templates.error());
    if (!templates->isArray())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an array"), keyCustomTemplates));
    for (const QJsonValue& t : templates->toArray()) {
        auto decoded = fileTemplateFromJson(t);
        if (!decoded)
            return std::unexpected(decoded.error());
        p.customTemplates << *decoded;
    }

    auto baseName = required(o, keyNewFileBaseName);
    if (!baseName)
        return std::unexpected(baseName.error());
    if (!baseName->isString())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("a string"), keyNewFileBaseName));
    p.newFileBaseName = baseName->toString();

    for (auto [key, field] : {std::pair{keyUsesSingleSubmenu, &p.usesSingleSubmenu},
                              {keyGroupsFileTemplates, &p.groupsFileTemplates},
                              {keyIsAIConfigured, &p.isAIConfigured}}) {
        auto v = Coding::requiredBool(o, key);
        if (!v)
            return std::unexpected(v.error());
        *field = *v;
    }

    auto promotedValue = required(o, keyPromotedActionIDs);
    if (!promotedValue)
        return std::unexpected(promotedValue.error());
    auto promoted = Coding::stringList(*promotedValue, keyPromotedActionIDs);
    if (!promoted)
        return std::unexpected(promoted.error());
    p.promotedActionIDs = *promoted;
    p.promotedActionIDs.removeDuplicates(); // a repeated identifier would be shown twice

    auto actions = required(o, keyCustomActions);
    if (!actions)
        return std::unexpected(actions.error());
    if (!actions->isArray())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an array"), keyCustomActions));
    for (const QJsonValue& a : actions->toArray()) {
        auto decoded = fromJson<CustomFinderAction>(a);
        if (!decoded)
            return std::unexpected(decoded.error());
        p.customActions << *decoded;
    }

    const QJsonValue terminal = o.value(keyPreferredTerminalBundleID);
    if (terminal.isString())
        p.preferredTerminalBundleID = terminal.toString();
    else if (!terminal.isUndefined() && !terminal.isNull())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("a string"), keyPreferredTerminalBundleID));

    const QJsonValue remembered = o.value(keyActionIDsDisabledBeforeMenuOff);
    if (!remembered.isUndefined() && !remembered.isNull()) {
        auto set = stringSet(remembered, keyActionIDsDisabledBeforeMenuOff);
        if (!set)
            return std::unexpected(set.error());
        p.actionIDsDisabledBeforeMenuOff = *set;
    }
    return p;
}
