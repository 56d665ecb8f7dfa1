#pragma once

#include "ActionCore/ActionDefinition.h"
#include "ContextCore/ContextSnapshot.h"
#include "LocalActions/Finder/CustomFinderAction.h"

#include <QList>
#include <QString>

// The seven built-in actions of the file manager's menu, and which of them and of the user's own
// actions are offered for a selection.
namespace FinderActionCatalog {

const ActionDefinition& newFile();
const ActionDefinition& cut();
const ActionDefinition& paste();
const ActionDefinition& copyPath();
const ActionDefinition& copyName();
const ActionDefinition& openInTerminal();
const ActionDefinition& smartRename();

// In menu order: new file, cut, paste, copy path, copy name, open in terminal, smart rename.
const QList<ActionDefinition>& all();

// No built-in action has this identifier.
bool isCustom(const QString& actionID);

// The built-in actions that apply, in catalogue order, then the custom ones that apply, in the
// given order. Paste needs a pending cut; actions that need a model need one configured. Not
// sorted by rank.
QList<ActionDefinition> availableActions(const ContextSnapshot& snapshot, bool hasPendingCut, bool isAIConfigured,
                                         const QList<CustomFinderAction>& customActions);

// Must be handed to the application rather than done where the menu is drawn: everything but
// cut, copy path and copy name.
bool requiresHelper(const ActionDefinition& action);
// Opens a submenu (the templates of new file).
bool hasSubmenu(const ActionDefinition& action);

} // namespace FinderActionCatalog
