#pragma once

#include "AIProviders/AIActionTemplate.h"
#include "ContextCore/PluginManifest.h"

#include <QList>
#include <QString>

#include <optional>

// Plug-in files and AI action templates describe the same actions; this converts between them.
namespace PluginBridge {

// One template per action, in order, each a custom action with a fresh identifier.
QList<AIActionTemplate> templates(const PluginManifest& manifest);
// A manifest with one action per template; nothing is validated.
PluginManifest describing(const QList<AIActionTemplate>& templates, const QString& name,
                          const std::optional<QString>& author);

} // namespace PluginBridge
