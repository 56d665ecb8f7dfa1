#include "LocalActions/Finder/FinderActionCatalog.h"

namespace FinderActionCatalog {
namespace {

using enum ContextKind;

ActionDefinition make(const char* id, const char* titleKey, const char* symbol, ContextKindSet contexts,
                      RiskLevel risk, bool requiresAI, OutputBehavior output, int rank)
{
    return ActionDefinition{
        .id = QString::fromLatin1(id),
        .titleKey = QString::fromLatin1(titleKey),
        .symbolName = QString::fromLatin1(symbol),
        .supportedContexts = std::move(contexts),
        .riskLevel = risk,
        .requiresAI = requiresAI,
        .outputBehavior = output,
        .defaultRank = rank,
    };
}

} // namespace

const ActionDefinition& newFile()
{
    static const ActionDefinition d = make("finder.newFile", "action.newFile", "doc.badge.plus", {finderEmpty, folder},
                                           RiskLevel::creates, false, OutputBehavior::none, 10);
    return d;
}

const ActionDefinition& cut()
{
    static const ActionDefinition d = make("finder.cut", "action.cut", "scissors",
                                           {singleFile, multipleFiles, folder, image, archive}, RiskLevel::safe, false,
                                           OutputBehavior::none, 20);
    return d;
}

const ActionDefinition& paste()
{
    static const ActionDefinition d = make("finder.paste", "action.paste", "doc.on.clipboard", {finderEmpty, folder},
                                           RiskLevel::destructive, false, OutputBehavior::none, 30);
    return d;
}

const ActionDefinition& copyPath()
{
    static const ActionDefinition d = make("finder.copyPath", "action.copyPath", "text.line.first.and.arrowtriangle.forward",
                                           {singleFile, multipleFiles, folder, image, archive, finderEmpty},
                                           RiskLevel::safe, false, OutputBehavior::copiedToPasteboard, 40);
    return d;
}

const ActionDefinition& copyName()
{
    static const ActionDefinition d = make("finder.copyName", "action.copyName", "textformat",
                                           {singleFile, multipleFiles, folder, image, archive}, RiskLevel::safe, false,
                                           OutputBehavior::copiedToPasteboard, 50);
    return d;
}

const ActionDefinition& openInTerminal()
{
    static const ActionDefinition d = make("finder.openInTerminal", "action.openInTerminal", "terminal",
                                           {finderEmpty, folder}, RiskLevel::safe, false, OutputBehavior::none, 70);
    return d;
}

const ActionDefinition& smartRename()
{
    static const ActionDefinition d = make("finder.smartRename", "action.smartRename", "sparkles",
                                           {singleFile, multipleFiles, folder, image, archive}, RiskLevel::destructive,
                                           true, OutputBehavior::renameCandidates, 200);
    return d;
}

const QList<ActionDefinition>& all()
{
    static const QList<ActionDefinition> list{newFile(), cut(), paste(), copyPath(), copyName(), openInTerminal(),
                                              smartRename()};
    return list;
}

bool isCustom(const QString& actionID)
{
    for (const ActionDefinition& d : all())
        if (d.id == actionID)
            return false;
    return true;
}

QList<ActionDefinition> availableActions(const ContextSnapshot& snapshot, bool hasPendingCut, bool isAIConfigured,
                                         const QList<CustomFinderAction>& customActions)
{
    QList<ActionDefinition> offered;
    for (const ActionDefinition& d : all()) {
        if (!d.supports(snapshot.kind))
            continue;
        const bool allowed = d.id == paste().id ? hasPendingCut : (!d.requiresAI || isAIConfigured);
        if (allowed)
            offered << d;
    }
    for (const CustomFinderAction& a : customActions) {
        if (!a.contexts.contains(snapshot.kind) || (a.needsModel && !isAIConfigured))
            continue;
        offered << ActionDefinition{
            .id = a.id,
            .titleKey = a.title,
            .symbolName = a.symbolName,
            .supportedContexts = a.contexts,
            .riskLevel = RiskLevel::creates,
            .requiresAI = a.needsModel,
            .outputBehavior = OutputBehavior::none,
            .defaultRank = 300,
        };
    }
    return offered;
}

bool requiresHelper(const ActionDefinition& action)
{
    const QString& id = action.id;
    if (id == newFile().id || id == paste().id || id == openInTerminal().id || id == smartRename().id)
        return true;
    return isCustom(id);
}

bool hasSubmenu(const ActionDefinition& action)
{
    return action.id == newFile().id;
}

} // namespace FinderActionCatalog
