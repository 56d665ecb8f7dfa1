#pragma once

#include "ContextCore/PluginManifest.h"

#include <QString>

// The one message a user reads for a plug-in that does not validate, whichever window found it.
namespace PluginProblem {

// No plug-in is this long; larger texts and files are refused before they are parsed.
inline constexpr qsizetype maximumSourceBytes = 1024 * 1024;

QString describe(const PluginManifest::ManifestError& error);
// The text of `key` with its two placeholders filled in order.
QString format(const QString& key, const QString& first, const QString& second);

} // namespace PluginProblem
