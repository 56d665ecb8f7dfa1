#pragma once

#include "ActionCore/ActionDefinition.h"
#include "ContextCore/ContextSnapshot.h"
#include "ContextCore/SearchEngine.h"
#include "ContextCore/TranslationService.h"
#include "Platform/Pasteboard.h"
#include "Platform/Workspace.h"

#include <QList>
#include <QString>

#include <variant>

// The seven text actions the toolbar offers without AI, and performing a pressed one at once.
namespace TextActionCatalog {

const ActionDefinition& openLink();
const ActionDefinition& calculate();
const ActionDefinition& convertCurrency();
const ActionDefinition& copy();
const ActionDefinition& copyPlain();
const ActionDefinition& translate();
const ActionDefinition& search();
// The seven in the order above (not the display order, which the arranger decides).
const QList<ActionDefinition>& all();

struct Text {
    QString text; // to show in the result panel
    bool operator==(const Text&) const = default;
};
struct Done {
    bool operator==(const Done&) const = default;
};
struct NothingToDo {
    bool operator==(const NothingToDo&) const = default;
};
using Outcome = std::variant<Text, Done, NothingToDo>;

// The actions that may be offered for the snapshot's text: all seven, less calculate without an
// arithmetic result and convert currency without an amount. The kind is the arranger's business.
QList<ActionDefinition> availableActions(const ContextSnapshot& snapshot);

struct Settings {
    SearchEngine searchEngine;
    TranslationService translationService;
    TranslationTarget translationTarget;
    QString targetCurrency;
};

Outcome perform(const ActionDefinition& action, const ContextSnapshot& snapshot, const Settings& settings,
                Platform::Pasteboard& pasteboard, Platform::Workspace& workspace);

} // namespace TextActionCatalog
