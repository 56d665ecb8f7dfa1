#pragma once

#include "ContextCore/FileOperation.h"
#include "ContextCore/PluginManifest.h"

#include <QString>

#include <expected>
#include <functional>

// Both ends of asking the model to write a plug-in: the system prompt that teaches it the format
// and the choice of runner, and the step that turns its reply into a validated manifest.
namespace AIActionAuthor {

struct AuthoringError {
    enum class Kind { rejected, unparseable };
    Kind kind = Kind::unparseable;
    PluginManifest::ManifestError manifestError; // of rejected

    static AuthoringError rejected(PluginManifest::ManifestError error) { return {Kind::rejected, std::move(error)}; }
    static AuthoringError unparseable() { return {Kind::unparseable, {}}; }
    bool operator==(const AuthoringError&) const = default;
};

// Whether a symbol name is one the application can show.
using SymbolCheck = std::function<bool(const QString& name)>;

QString systemPrompt(const QList<ImageFormat>& writableFormats);
// With the formats this system's image writer can write.
QString systemPrompt();

// The reply without code fences and surrounding blanks.
QString strippedReply(const QString& reply);
// The plug-in in the reply; an icon that names no known symbol becomes "sparkles".
std::expected<PluginManifest, AuthoringError> makeManifest(const QString& reply, const SymbolCheck& symbolExists = {});

// The symbol names Ambrel's views know.
bool isKnownSymbol(const QString& name);

} // namespace AIActionAuthor
