#include "ContextCore/PluginManifest.h"

#include <QStringList>

#include <algorithm>

namespace {

using ManifestError = PluginManifest::ManifestError;
using Body = PluginManifest::Body;

const QString untitled = QStringLiteral("(untitled)");
const QString selectionPlaceholder = QStringLiteral("{{selection}}");
constexpr qint64 defaultQuality = 85;

std::optional<QString> scalar(const YAMLValue& mapping, const QString& key)
{
    if (const auto value = mapping[key])
        return value->stringValue();
    return std::nullopt;
}

std::optional<QString> nonEmptyScalar(const YAMLValue& mapping, const QString& key)
{
    auto text = scalar(mapping, key);
    if (text && text->isEmpty())
        return std::nullopt;
    return text;
}

std::optional<YAMLValue::Sequence> sequence(const YAMLValue& mapping, const QString& key)
{
    if (const auto value = mapping[key])
        return value->sequenceValue();
    return std::nullopt;
}

std::expected<Body, ManifestError> decodeBody(const YAMLValue& item, const QString& title, const QString& on,
                                              ActionScope scope)
{
    const QString run = scalar(item, QStringLiteral("run")).value_or(QStringLiteral("shell"));
    const bool replaces = scalar(item, QStringLiteral("output")) == QStringLiteral("replace");

    if (run == u"ai") {
        if (scope == ActionScope::files)
            return std::unexpected(ManifestError::runnerWrongEntryPoint(run, on, title));
        const auto prompt = nonEmptyScalar(item, QStringLiteral("prompt"));
        if (!prompt)
            return std::unexpected(ManifestError::missingField(QStringLiteral("prompt"), title));
        if (!prompt->contains(selectionPlaceholder))
            return std::unexpected(ManifestError::promptMissingSelection(title));
        const QString system = scalar(item, QStringLiteral("system")).value_or(QString());
        return Body::Prompt{system, *prompt, replaces};
    }

    if (const auto language = ScriptLanguages::fromManifestName(run)) {
        if (!ScriptLanguages::supports(*language, scope))
            return std::unexpected(ManifestError::runnerWrongEntryPoint(run, on, title));
        const auto source = nonEmptyScalar(item, QStringLiteral("script"));
        if (!source)
            return std::unexpected(ManifestError::missingField(QStringLiteral("script"), title));
        QStringList tools;
        for (const YAMLValue& tool : sequence(item, QStringLiteral("requires")).value_or(YAMLValue::Sequence{})) {
            if (const auto name = tool.stringValue(); name && !name->isEmpty())
                tools.append(*name);
        }
        if (*language == ScriptLanguage::javaScript && !tools.isEmpty())
            return std::unexpected(ManifestError::runnerWrongEntryPoint(run, QStringLiteral("requires"), title));
        return Body::Script{ScriptAction{*language, *source, tools}, replaces};
    }

    if (run == u"convertImage") {
        if (scope == ActionScope::text)
            return std::unexpected(ManifestError::runnerWrongEntryPoint(run, on, title));
        const auto formatName = scalar(item, QStringLiteral("format"));
        const auto format = formatName ? fromRaw<ImageFormat>(*formatName) : std::nullopt;
        if (!format)
            return std::unexpected(ManifestError::missingField(QStringLiteral("format"), title));
        qint64 quality = defaultQuality;
        if (const auto value = item[QStringLiteral("quality")])
            quality = value->intValue().value_or(defaultQuality);
        return FileOperation::convertImage(*format, quality);
    }

    if (run == u"resizeImage") {
        if (scope == ActionScope::text)
            return std::unexpected(ManifestError::runnerWrongEntryPoint(run, on, title));
        const auto value = item[QStringLiteral("maxPixels")];
        const auto maxPixels = value ? value->intValue() : std::nullopt;
        if (!maxPixels || *maxPixels <= 0)
            return std::unexpected(ManifestError::missingField(QStringLiteral("maxPixels"), title));
        return FileOperation::resizeImage(*maxPixels);
    }

    return std::unexpected(ManifestError::unknownRunner(run, title));
}

std::expected<PluginManifest::Action, ManifestError> decodeAction(const YAMLValue& item)
{
    const auto title = nonEmptyScalar(item, QStringLiteral("title"));
    if (!title)
        return std::unexpected(ManifestError::missingField(QStringLiteral("title"), untitled));

    const auto on = scalar(item, QStringLiteral("on"));
    if (!on)
        return std::unexpected(ManifestError::missingField(QStringLiteral("on"), *title));
    const auto scope = fromRaw<ActionScope>(*on);
    if (!scope)
        return std::unexpected(ManifestError::unknownEntryPoint(*on, *title));

    auto body = decodeBody(item, *title, *on, *scope);
    if (!body)
        return std::unexpected(body.error());

    // Contexts are looked at only once the body is valid.
    ContextKindSet kinds = contexts(*scope);
    if (const auto listed = sequence(item, QStringLiteral("contexts")); listed && !listed->isEmpty()) {
        kinds.clear();
        for (const YAMLValue& entry : *listed) {
            const QString text = entry.stringValue().value_or(QString());
            const auto kind = fromRaw<ContextKind>(text);
            if (!kind || isFileKind(*kind) != (*scope == ActionScope::files))
                return std::unexpected(ManifestError::unknownContext(text, *title));
            kinds.insert(*kind);
        }
    }

    const QString icon = scalar(item, QStringLiteral("icon")).value_or(defaultSymbolName(*scope));
    return PluginManifest::Action{*title, *scope, icon, kinds, *std::move(body)};
}

// --- writing -------------------------------------------------------------------------------------

// Whether `snippet`, read alone, is a mapping whose one value is the text `expected`.
bool readsBack(const QString& snippet, const QString& expected)
{
    const auto parsed = YAMLSubset::parse(snippet);
    if (!parsed)
        return false;
    const auto entries = parsed->mappingValue();
    return entries && entries->size() == 1 && entries->first().stringValue() == expected;
}

bool plainIsAllowed(const QString& text)
{
    static const QString leading = QStringLiteral("#&*!|>[]{},\"'%@`");
    return !text.isEmpty() && !text.startsWith(u' ') && !text.endsWith(u' ') && !text.contains(QStringLiteral(": "))
        && !text.contains(QStringLiteral(" #")) && !text.endsWith(u':') && !leading.contains(text.front());
}

// `controls` also escapes tab and carriage return, for texts whose plain form would not survive.
QString doubleQuoted(const QString& text, bool controls)
{
    QString result;
    result.reserve(text.size() + 2);
    result.append(u'"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': result.append(QStringLiteral("\\\\")); break;
        case u'"': result.append(QStringLiteral("\\\"")); break;
        case u'\n': result.append(QStringLiteral("\\n")); break;
        case u'\t': controls ? result.append(QStringLiteral("\\t")) : result.append(c); break;
        case u'\r': controls ? result.append(QStringLiteral("\\r")) : result.append(c); break;
        default: result.append(c); break;
        }
    }
    result.append(u'"');
    return result;
}

// The text as it stands after "key: ": the plain or quoted form the layout calls for, unless that
// would read back differently; then the double-quoted form with every control character escaped.
QString quoted(const QString& text)
{
    const QString preferred = plainIsAllowed(text) ? text : doubleQuoted(text, false);
    if (readsBack(QStringLiteral("k: ") + preferred + u'\n', text))
        return preferred;
    return doubleQuoted(text, true);
}

QStringList blockLines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        lines.append(line.isEmpty() ? QString() : QStringLiteral("      ") + line);
    return lines;
}

// A long text as a "|-" block under `key`, or in double quotes where the block would read back
// differently (a leading space or tab, a "---" line, trailing line feeds, white-space lines).
void appendText(QStringList& lines, const QString& key, const QString& text)
{
    const QStringList block = blockLines(text);
    const QString header = key + QStringLiteral(": |-");
    if (readsBack(header + u'\n' + block.join(u'\n') + u'\n', text)) {
        lines.append(QStringLiteral("    ") + header);
        lines.append(block);
    } else {
        lines.append(QStringLiteral("    ") + key + QStringLiteral(": ") + doubleQuoted(text, true));
    }
}

bool flowReadsBack(const QString& list, const QStringList& tools)
{
    const auto parsed = YAMLSubset::parse(QStringLiteral("k: ") + list + u'\n');
    if (!parsed)
        return false;
    const auto entries = parsed->mappingValue();
    if (!entries || entries->size() != 1)
        return false;
    const auto items = entries->first().sequenceValue();
    if (!items || items->size() != tools.size())
        return false;
    for (qsizetype i = 0; i < tools.size(); ++i) {
        if (items->at(i).stringValue() != tools[i])
            return false;
    }
    return true;
}

// "[a, b]" as the layout has it; a tool that a comma, a quote or spaces would change is quoted.
void appendTools(QStringList& lines, const QStringList& tools)
{
    const QString plain = u'[' + tools.join(QStringLiteral(", ")) + u']';
    if (flowReadsBack(plain, tools)) {
        lines.append(QStringLiteral("    requires: ") + plain);
        return;
    }
    QStringList items;
    for (const QString& tool : tools)
    {
        // A quote mark left open would swallow the items after it, so such a tool is quoted too.
        const bool plain = !tool.contains(u'\'') && !tool.contains(u'"') && flowReadsBack(u'[' + tool + u']', {tool});
        items.append(plain ? tool : doubleQuoted(tool, true));
    }
    const QString escaped = u'[' + items.join(QStringLiteral(", ")) + u']';
    if (flowReadsBack(escaped, tools)) {
        lines.append(QStringLiteral("    requires: ") + escaped);
        return;
    }
    // A bracket or brace anywhere makes the one-line list unreadable; a block list has no such limit.
    lines.append(QStringLiteral("    requires:"));
    for (const QString& tool : tools)
        lines.append(QStringLiteral("      - ") + doubleQuoted(tool, true));
}

QString outputLine(bool replaces)
{
    return replaces ? QStringLiteral("    output: replace") : QStringLiteral("    output: show");
}

void appendBody(QStringList& lines, const PluginManifest::Action& action)
{
    if (const auto* prompt = action.body.prompt()) {
        lines.append(QStringLiteral("    run: ai"));
        lines.append(outputLine(prompt->replacesSelection));
        if (!prompt->system.isEmpty())
            appendText(lines, QStringLiteral("system"), prompt->system);
        appendText(lines, QStringLiteral("prompt"), prompt->user);
    } else if (const auto* script = action.body.script()) {
        lines.append(QStringLiteral("    run: ") + ScriptLanguages::manifestName(script->script.language));
        if (action.scope == ActionScope::text)
            lines.append(outputLine(script->replacesSelection));
        if (!script->script.requiredTools.isEmpty())
            appendTools(lines, script->script.requiredTools);
        appendText(lines, QStringLiteral("script"), script->script.source);
    } else if (const auto* operation = action.body.operation()) {
        if (const auto* conversion = operation->operation.conversion()) {
            lines.append(QStringLiteral("    run: convertImage"));
            lines.append(QStringLiteral("    format: ") + toRaw(conversion->format));
            lines.append(QStringLiteral("    quality: ") + QString::number(conversion->quality));
        } else if (const auto* resize = operation->operation.resize()) {
            lines.append(QStringLiteral("    run: resizeImage"));
            lines.append(QStringLiteral("    maxPixels: ") + QString::number(resize->maxPixels));
        }
    }
}

} // namespace

std::expected<PluginManifest, PluginManifest::ManifestError> PluginManifest::decode(const QString& text)
{
    const auto parsed = YAMLSubset::parse(text);
    if (!parsed)
        return std::unexpected(ManifestError::syntax(parsed.error()));
    const YAMLValue& top = *parsed;
    if (!top.isMapping())
        return std::unexpected(ManifestError::notAMapping());

    const auto name = nonEmptyScalar(top, QStringLiteral("name"));
    if (!name)
        return std::unexpected(ManifestError::missingName());
    const auto items = sequence(top, QStringLiteral("actions"));
    if (!items || items->isEmpty())
        return std::unexpected(ManifestError::noActions());

    PluginManifest manifest;
    manifest.name = *name;
    manifest.author = scalar(top, QStringLiteral("author"));
    manifest.identifier = scalar(top, QStringLiteral("identifier"));
    manifest.actions.reserve(items->size());
    for (const YAMLValue& item : *items) {
        auto action = decodeAction(item);
        if (!action)
            return std::unexpected(action.error());
        manifest.actions.append(*std::move(action));
    }
    return manifest;
}

QString PluginManifest::encoded() const
{
    QStringList lines;
    lines.append(QStringLiteral("name: ") + quoted(name));
    if (author && !author->isEmpty())
        lines.append(QStringLiteral("author: ") + quoted(*author));
    if (identifier && !identifier->isEmpty())
        lines.append(QStringLiteral("identifier: ") + quoted(*identifier));
    lines.append(QString());
    lines.append(QStringLiteral("actions:"));

    for (const Action& action : actions) {
        lines.append(QStringLiteral("  - title: ") + quoted(action.title));
        lines.append(QStringLiteral("    on: ") + toRaw(action.scope));
        lines.append(QStringLiteral("    icon: ") + quoted(action.symbolName));
        if (action.contexts != contexts(action.scope)) {
            QStringList raw;
            for (ContextKind kind : action.contexts)
                raw.append(toRaw(kind));
            raw.sort();
            lines.append(QStringLiteral("    contexts: [") + raw.join(QStringLiteral(", ")) + u']');
        }
        appendBody(lines, action);
        lines.append(QString());
    }

    QString text = lines.join(u'\n');
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u'\n')
        ++begin;
    while (end > begin && text[end - 1] == u'\n')
        --end;
    return text.sliced(begin, end - begin) + u'\n';
}
