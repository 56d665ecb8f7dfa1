// The application model: the selection toolbar's settings and its monitor.

#include "App/AppModel.h"
#include "App/AppModelParts.h"

#include "AIProviders/AIActionTemplate.h"
#include "Selection/CurrencyPreference.h"

namespace {

QStringList sortedList(const QSet<QString>& set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list;
}

} // namespace

using namespace AppModelParts;

void AppModel::pushSelectionSettings()
{
    auto& d = *m_services.userDefaults;
    SelectionSettings s = m_selection;

    const auto engineID = d.stringValue(keySearchEngine);
    for (const SearchEngine& engine : SearchEngine::all()) {
        if (engineID && engine.id == *engineID) {
            s.searchEngine = engine;
            break;
        }
    }

    const auto serviceID = d.stringValue(keyTranslationService);
    s.translationService = TranslationService::named(serviceID);
    if (!serviceID || *serviceID != s.translationService.id)
        d.setString(keyTranslationService, s.translationService.id);

    if (const auto targetID = d.stringValue(keyTranslationTarget))
        if (auto target = TranslationTarget::named(*targetID))
            s.translationTarget = *target;

    if (const auto currency = d.stringValue(keyTargetCurrency); currency && CurrencyPreference::codes().contains(*currency))
        s.targetCurrency = *currency;

    s.blocklist = m_blockedApps;
    s.actionPreferences = m_actionPreferences;
    setSelection(s);
}

// The monitor takes the stored settings; what was never chosen keeps the monitor's own default.
void AppModel::applySelectionSettings()
{
    SelectionMonitor& monitor = *m_selectionMonitor;
    const SelectionSettings& s = m_selection;
    monitor.setSearchEngine(s.searchEngine.value_or(SearchEngine::defaultEngine()));
    monitor.setTranslationService(s.translationService);
    monitor.setTranslationTarget(s.translationTarget.value_or(TranslationTarget::defaultTarget()));
    monitor.setTargetCurrency(s.targetCurrency.value_or(CurrencyPreference::localCode()));
    monitor.setBlocklist(s.blocklist);
    monitor.setActionPreferences(s.actionPreferences);
    monitor.setOutputLanguage(s.outputLanguage);
}

void AppModel::setSelection(const SelectionSettings& settings)
{
    if (settings == m_selection)
        return;
    m_selection = settings;
    emit selectionSettingsChanged();
}

void AppModel::setActionPreferences(const ActionPreferences& preferences)
{
    const bool changed = !(preferences == m_actionPreferences);
    m_actionPreferences = preferences;
    pushActionPreferences();
    if (changed)
        emit actionPreferencesChanged();
}

void AppModel::pushActionPreferences()
{
    m_actionPreferences.save(*m_services.userDefaults);
    SelectionSettings s = m_selection;
    s.actionPreferences = m_actionPreferences;
    setSelection(s);
}

void AppModel::toggleAction(const QString& id)
{
    ActionPreferences p = m_actionPreferences;
    if (!p.hiddenIDs.remove(id))
        p.hiddenIDs.insert(id);
    setActionPreferences(p);
}

namespace {
QStringList identifiers(const QList<ActionDefinition>& displayed)
{
    QStringList ids;
    for (const auto& d : displayed)
        ids << d.id;
    return ids;
}
} // namespace

void AppModel::moveAction(const QString& id, qsizetype step, const QList<ActionDefinition>& displayed)
{
    ActionPreferences p = m_actionPreferences;
    p.move(id, step, identifiers(displayed));
    setActionPreferences(p);
}

void AppModel::moveActions(const std::set<qsizetype>& offsets, qsizetype destination, const QList<ActionDefinition>& displayed)
{
    ActionPreferences p = m_actionPreferences;
    p.move(offsets, destination, identifiers(displayed));
    setActionPreferences(p);
}

void AppModel::setShowsAIActions(bool shows)
{
    ActionPreferences p = m_actionPreferences;
    p.showsAIActions = shows;
    setActionPreferences(p);
}

void AppModel::setBlockedApps(const QSet<QString>& apps)
{
    const bool changed = apps != m_blockedApps;
    m_blockedApps = apps;
    m_services.userDefaults->setStringList(keyBlockedApps, sortedList(apps));
    SelectionSettings s = m_selection;
    s.blocklist = apps;
    setSelection(s);
    if (changed)
        emit blockedAppsChanged();
}

const QSet<QString>& AppModel::passwordApps()
{
    return SelectionMonitor::defaultBlocklist();
}

bool AppModel::excludesPasswordApps() const
{
    return m_blockedApps.contains(passwordApps());
}

void AppModel::setExcludesPasswordApps(bool excludes)
{
    QSet<QString> apps = m_blockedApps;
    if (excludes)
        apps.unite(passwordApps());
    else
        apps.subtract(passwordApps());
    setBlockedApps(apps);
}

QList<ActionDefinition> AppModel::allSelectionActions() const
{
    QList<ActionDefinition> actions = TextActionCatalog::all();
    for (const AIActionTemplate& t : AIActionTemplate::builtIns())
        if (t.scope == ActionScope::text)
            actions << t.actionDefinition();
    for (const AIActionTemplate& t : m_ai->customActions())
        if (t.scope == ActionScope::text)
            actions << t.actionDefinition();
    return actions;
}

void AppModel::applySelectionOption(const QString& key)
{
    const auto value = m_services.userDefaults->stringValue(key);
    SelectionSettings s = m_selection;
    if (key == keySearchEngine) {
        s.searchEngine = SearchEngine::defaultEngine();
        for (const SearchEngine& engine : SearchEngine::all())
            if (value && engine.id == *value)
                s.searchEngine = engine;
    } else if (key == keyTranslationService) {
        s.translationService = TranslationService::named(value);
    } else if (key == keyTranslationTarget) {
        s.translationTarget = value ? TranslationTarget::named(*value) : std::nullopt;
    } else if (key == keyTargetCurrency) {
        s.targetCurrency = value;
    }
    setSelection(s);
}

void AppModel::syncSelectionMonitor()
{
    const bool setting = m_services.userDefaults->boolValue(keyAutoShow).value_or(false);
    const bool accessibility = m_permissions->isGranted(Permission::accessibility);
    m_selectionWanted = setting && accessibility;
    if (m_selectionWanted)
        m_selectionMonitor->start();
    else
        m_selectionMonitor->stop();
    const bool running = m_selectionMonitor->isEnabled();
    const QString state = QStringLiteral("selection toolbar wanted=%1 running=%2 accessibility=%3 setting=%4")
                              .arg(int(m_selectionWanted))
                              .arg(int(running))
                              .arg(int(accessibility))
                              .arg(int(setting));
    // Said once per change: the permission poll of an open welcome window syncs every second.
    if (state == m_selectionStateLogged)
        return;
    m_selectionStateLogged = state;
    m_logger.info(state);
}
