#pragma once

#include "ContextCore/ActionScope.h"
#include "ContextCore/Coding.h"

#include <QHashFunctions>
#include <QJsonObject>
#include <QStringList>

#include <array>

// The language a script action is written in.
enum class ScriptLanguage {
    shell,
    appleScript,
    javaScript,
};

inline constexpr std::array<ScriptLanguage, 3> scriptLanguageCases{ScriptLanguage::shell, ScriptLanguage::appleScript,
                                                                    ScriptLanguage::javaScript};

inline size_t qHash(ScriptLanguage language, size_t seed = 0) noexcept
{
    return ::qHash(int(language), seed);
}

template <>
std::span<const ScriptLanguage> allCases<ScriptLanguage>();
template <>
std::optional<ScriptLanguage> fromRaw<ScriptLanguage>(const QString& raw);
QString toRaw(ScriptLanguage language); // also its id: "shell", "appleScript", "javaScript"

namespace ScriptLanguages {

// The spelling in plug-in files: "shell", "applescript", "javascript" (exactly, lower case).
QString manifestName(ScriptLanguage language);
std::optional<ScriptLanguage> fromManifestName(const QString& name);

// The program a script is handed to, with its leading arguments.
struct Interpreter {
    QString path;
    QStringList arguments;
    bool operator==(const Interpreter&) const = default;
};
// None for JavaScript, which runs in the program's own helper.
std::optional<Interpreter> interpreter(ScriptLanguage language);

bool runsOutsideTheApp(ScriptLanguage language);
// JavaScript gets only the selected text, so it is never offered on files.
bool supports(ScriptLanguage language, ActionScope scope);

} // namespace ScriptLanguages

QString titleKey(ScriptLanguage language); // "script.language." + raw value
QString reachKey(ScriptLanguage language); // "script.reach." + raw value

QJsonValue toJson(ScriptLanguage language);
template <>
std::expected<ScriptLanguage, DecodingError> fromJson<ScriptLanguage>(const QJsonValue& value);

// The environment variables a shell or AppleScript script receives.
enum class ScriptVariable {
    selection, // the selected text
    filePaths, // the selected files' paths, one per line
    directory, // the target folder
};

inline constexpr std::array<ScriptVariable, 3> scriptVariableCases{ScriptVariable::selection, ScriptVariable::filePaths,
                                                                    ScriptVariable::directory};

template <>
std::span<const ScriptVariable> allCases<ScriptVariable>();
template <>
std::optional<ScriptVariable> fromRaw<ScriptVariable>(const QString& raw);
QString toRaw(ScriptVariable variable); // the variable's name, "AMBREL_SELECTION", ...
// "script.variable." + the name without "AMBREL_", lower-cased.
QString explanationKey(ScriptVariable variable);

// The body of an action that runs a script.
struct ScriptAction {
    using Language = ScriptLanguage;
    using Variable = ScriptVariable;

    Language language = Language::shell;
    QString source;            // exactly as written in the plug-in
    QStringList requiredTools; // names of command-line tools it expects; never interpreted here

    // Lower-case hexadecimal SHA-256 of the UTF-8 source alone: the language and the tools are
    // not part of it, and any edit to the source changes it.
    QString fingerprint() const;

    bool operator==(const ScriptAction&) const = default;
};

// {"language": raw value, "source": text, "requiredTools": [names]}; all three are required.
QJsonObject toJson(const ScriptAction& script);
template <>
std::expected<ScriptAction, DecodingError> fromJson<ScriptAction>(const QJsonValue& value);
