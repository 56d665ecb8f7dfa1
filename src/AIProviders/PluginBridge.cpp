#include "AIProviders/PluginBridge.h"

namespace PluginBridge {

QList<AIActionTemplate> templates(const PluginManifest& manifest)
{
    QList<AIActionTemplate> list;
    list.reserve(manifest.actions.size());
    for (const PluginManifest::Action& action : manifest.actions) {
        const QString id = AIActionTemplate::newCustomID();
        if (const auto* script = action.body.script()) {
            list.append(AIActionTemplate::script(id, action.title, action.symbolName, action.scope, action.contexts,
                                                 script->script, script->replacesSelection));
            // The action's own contexts, even none.
            list.last().supportedContexts = action.contexts;
        } else if (const auto* prompt = action.body.prompt()) {
            list.append(AIActionTemplate::make(id, action.title, action.symbolName, prompt->system, prompt->user,
                                               action.contexts,
                                               prompt->replacesSelection ? OutputBehavior::replaceable
                                                                         : OutputBehavior::preview,
                                               false, action.scope));
        } else if (const auto* operation = action.body.operation()) {
            list.append(AIActionTemplate::fileOperation(id, action.title, action.symbolName, operation->operation));
        }
    }
    return list;
}

PluginManifest describing(const QList<AIActionTemplate>& templates, const QString& name,
                          const std::optional<QString>& author)
{
    PluginManifest manifest;
    manifest.name = name;
    manifest.author = author;
    for (const AIActionTemplate& t : templates) {
        const bool replaces = t.outputBehavior == OutputBehavior::replaceable;
        std::optional<PluginManifest::Body> body;
        if (const auto* prompt = t.kind.promptPayload())
            body = PluginManifest::Body(PluginManifest::Body::Prompt{prompt->system, prompt->user, replaces});
        else if (const auto script = t.kind.script())
            body = PluginManifest::Body(PluginManifest::Body::Script{*script, replaces});
        else
            body = PluginManifest::Body(*t.kind.fileOperation());
        manifest.actions.append(PluginManifest::Action{t.titleKey, t.scope, t.symbolName, t.supportedContexts, *body});
    }
    return manifest;
}

} // namespace PluginBridge
