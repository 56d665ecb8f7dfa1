// The application model: the file manager's menu, its templates and the new-file shortcut.

#include "App/AppModel.h"
#include "App/AppModelParts.h"

#include "AIProviders/AIActionTemplate.h"
#include "LocalActions/Files/FileCreator.h"
#include "LocalActions/Files/FileNameVariables.h"
#include "LocalActions/Finder/SharedPreferencesStore.h"
#include "LocalActions/LocalActionsStrings.h"
#include "SecurityCore/PathNames.h"
#include "System/FinderWindowReader.h"

#include <QCalendar>
#include <QPointer>

namespace {

QString describe(FileCreator::CreationError error)
{
    switch (error) {
    case FileCreator::CreationError::notPermitted: return QStringLiteral("not permitted");
    case FileCreator::CreationError::templateMissing: return QStringLiteral("template missing");
    case FileCreator::CreationError::creationFailed: break;
    }
    return QStringLiteral("creation failed");
}

} // namespace

using namespace AppModelParts;

void AppModel::setMenuPreferences(const FinderMenuPreferences& preferences)
{
    const bool changed = !(preferences == m_menuPreferences);
    m_menuPreferences = preferences;
    saveMenuPreferences();
    if (changed)
        emit menuPreferencesChanged();
}

void AppModel::saveMenuPreferences()
{
    // A fresh store for every save: the extension's folder may have appeared since the last one.
    m_menuPreferences.save(*m_services.userDefaults, SharedPreferencesStore(m_services.folders));
}

void AppModel::setFinderAction(const QString& id, bool enabled)
{
    FinderMenuPreferences menu = m_menuPreferences;
    if (enabled) {
        menu.disabledActionIDs.remove(id);
        setMenuPreferences(menu);
        return;
    }
    menu.disabledActionIDs.insert(id);
    setMenuPreferences(menu);
    menu = m_menuPreferences;
    menu.promotedActionIDs.removeAll(id);
    setMenuPreferences(menu);
}

void AppModel::toggleFinderActionPromotion(const QString& id)
{
    FinderMenuPreferences menu = m_menuPreferences;
    if (menu.isPromoted(id)) {
        menu.promotedActionIDs.removeAll(id);
    } else {
        if (!menu.canPromoteMore())
            return;
        menu.promotedActionIDs.append(id);
    }
    setMenuPreferences(menu);
}

void AppModel::setFinderMenuEnabled(bool enabled)
{
    FinderMenuPreferences menu = m_menuPreferences;
    menu.setFullyDisabled(!enabled);
    setMenuPreferences(menu);
}

void AppModel::setNewFileShortcut(const std::optional<GlobalHotKey::Combination>& shortcut)
{
    const bool changed = shortcut != m_newFileShortcut;
    m_newFileShortcut = shortcut;
    if (changed)
        emit newFileShortcutChanged();
    if (shortcut)
        m_services.userDefaults->setData(keyShortcut, shortcut->toJsonData());
    else
        m_services.userDefaults->remove(keyShortcut);
    applyNewFileShortcut();
}

QList<SettingsModel::TemplateImportFailure> AppModel::importTemplates(const QStringList& paths)
{
    // "Templates" in the data home; those imported into the application's own folder before keep
    // their paths and go on working.
    const TemplateImport importer(TemplateImport::folderIn(m_services.folders.dataHome()));
    QList<TemplateImportFailure> failures;
    for (const QString& path : paths) {
        const auto imported = importer.import(path);
        if (!imported) {
            failures.append({PathNames::lastComponent(path), imported.error()});
            continue;
        }
        FinderMenuPreferences menu = m_menuPreferences;
        menu.customTemplates.append(*imported);
        setMenuPreferences(menu);
    }
    return failures;
}

void AppModel::publishCustomFinderActions(FinderMenuPreferences& menu) const
{
    // The user's own actions on files become the file-manager extension's custom actions.
    menu.customActions = {};
    for (const AIActionTemplate& action : m_ai->customActions()) {
        if (action.scope != ActionScope::files)
            continue;
        menu.customActions.append(CustomFinderAction{action.id, action.titleKey, action.symbolName,
                                                     action.supportedContexts, action.kind.needsModel()});
    }
}

void AppModel::applyNewFileShortcut()
{
    bool refused = false;
    if (!m_newFileShortcut) {
        m_newFileHotKey->unregister();
    } else {
        QPointer<AppModel> self(this);
        refused = !m_newFileHotKey->registerHotKey(*m_newFileShortcut, [self] {
            if (self)
                self->createFileInFrontmostFinderWindow();
        });
    }
    if (refused != m_newFileShortcutRefused) {
        m_newFileShortcutRefused = refused;
        emit newFileShortcutRefusedChanged();
    }
}

void AppModel::createFileInFrontmostFinderWindow()
{
    auto alert = [this] {
        if (m_hooks.alertSound)
            m_hooks.alertSound();
    };
    const auto folder = FinderWindowReader::frontWindowFolder(*m_services.workspace, *m_services.finderWindows);
    if (!folder)
        return alert();
    const QList<FileTemplate> templates = m_menuPreferences.enabledTemplates();
    if (templates.isEmpty())
        return alert();
    const QString pattern = m_menuPreferences.newFileBaseName.isEmpty()
        ? LocalActionsStrings::string(QStringLiteral("newFile.defaultName"))
        : m_menuPreferences.newFileBaseName;
    const QString baseName = FileNameVariables::expand(pattern, m_services.clock->now().toLocalTime(),
                                                       QCalendar(QCalendar::System::Gregorian));
    const auto created = FileCreator().createFile(templates.first(), *folder, baseName);
    if (!created) {
        m_logger.error(QStringLiteral("Shortcut could not create a file: %1").arg(describe(created.error())));
        return alert();
    }
    m_services.workspace->revealFiles({*created});
}
