#include "AIProviders/AIActionAuthor.h"

#include "AIProviders/ImageFormatAvailability.h"

#include <QSet>
#include <QStringList>

namespace AIActionAuthor {

QString systemPrompt(const QList<ImageFormat>& writableFormats)
{
    QStringList formats;
    for (ImageFormat format : writableFormats)
        formats << toRaw(format);
    const QStringList lines{
        // This system is a Linux desktop: a model told otherwise writes scripts for tools it lacks.
        QStringLiteral("You write plugins for a Linux desktop utility called Ambrel. The user describes what they want. Reply with ONLY a YAML document, no prose and no code fences."),
        QString(),
        QStringLiteral("A plugin looks like this:"),
        QString(),
        QStringLiteral("name: A short plugin name"),
        QStringLiteral("actions:"),
        QStringLiteral("  - title: A short button label, at most three words"),
        QStringLiteral("    on: text"),
        QStringLiteral("    icon: an SF Symbols name"),
        QStringLiteral("    run: javascript"),
        QStringLiteral("    output: replace"),
        QStringLiteral("    script: |-"),
        QStringLiteral("      output = input.toUpperCase()"),
        QString(),
        QStringLiteral("Every action MUST declare `on:`, which says where it appears:"),
        QString(),
        QStringLiteral("- `on: text` runs on text the user has selected in any application. The action reads the selection and produces text."),
        QStringLiteral("- `on: files` runs on files the user right-clicked in the file manager."),
        QString(),
        QStringLiteral("Choose `run:` from exactly these, and prefer the earliest one that can do the job:"),
        QString(),
        QStringLiteral("1. `run: convertImage` with `format:` (one of ") + formats.join(QStringLiteral(", "))
            + QStringLiteral(") and optional `quality:` 1-100. Only with `on: files`. Built in, so it needs no permission from the user."),
        QStringLiteral("2. `run: resizeImage` with `maxPixels:` for the longest edge. Only with `on: files`. Also built in."),
        QStringLiteral("3. `run: javascript` with `script:`. Only with `on: text`. The script gets the selection in the variable `input` and assigns the result to `output`. It runs in a plain JavaScript engine with NO file system, NO network and NO libraries \u2014 do not use require, fetch, or Node APIs."),
        QStringLiteral("4. `run: ai` with `prompt:` and optional `system:`. Only with `on: text`. The prompt MUST contain {{selection}}, and may contain {{language}}. Use this only when the task needs judgement, such as summarising or rewriting."),
        QStringLiteral("5. `run: shell` with `script:`, and `requires:` listing any command-line tools it needs. Use this ONLY when nothing above can do the job, because the user has to read and approve it before it runs."),
        QStringLiteral("6. `run: applescript` with `script:`, for controlling other applications. Also needs the user's approval."),
        QString(),
        QStringLiteral("A shell or AppleScript action must never have the selection or a filename pasted into its text. It reads them from the environment: $AMBREL_SELECTION is the selected text, $AMBREL_FILES is the chosen file paths one per line, and $AMBREL_DIRECTORY is the folder."),
        QString(),
        QStringLiteral("Set `output: replace` only when the result is a rewrite the user would want written back over their selection; use `output: show` for anything that produces new information, such as a summary. `output:` applies only to `on: text`."),
        QString(),
        QStringLiteral("Write `script:` and `prompt:` as `|-` blocks so they stay readable."),
    };
    return lines.join(u'\n');
}

QString systemPrompt()
{
    return systemPrompt(ImageFormatAvailability::writable());
}

QString strippedReply(const QString& reply)
{
    static const QString fence = QStringLiteral("```");
    QString text = reply.trimmed();
    if (text.startsWith(fence)) {
        const qsizetype lineEnd = text.indexOf(u'\n');
        if (lineEnd >= 0)
            text.remove(0, lineEnd + 1);
        const qsizetype last = text.lastIndexOf(fence);
        if (last >= 0)
            text.truncate(last);
        text = text.trimmed();
    }
    return text;
}

std::expected<PluginManifest, AuthoringError> makeManifest(const QString& reply, const SymbolCheck& symbolExists)
{
    const QString text = strippedReply(reply);
    if (text.isEmpty())
        return std::unexpected(AuthoringError::unparseable());
    auto manifest = PluginManifest::decode(text);
    if (!manifest)
        return std::unexpected(AuthoringError::rejected(manifest.error()));
    const SymbolCheck& exists = symbolExists ? symbolExists : SymbolCheck(isKnownSymbol);
    for (PluginManifest::Action& action : manifest->actions)
        if (!exists(action.symbolName))
            action.symbolName = QStringLiteral("sparkles");
    return std::move(*manifest);
}

bool isKnownSymbol(const QString& name)
{
    // The symbols of the built-in actions and the ones plug-ins most often ask for.
    static const QSet<QString> known{
        "sparkles", "wand.and.sparkles", "text.append", "questionmark.circle", "character.bubble", "text.cursor",
        "textformat", "textformat.abc", "textformat.size", "text.quote", "text.bubble",
        "text.alignleft", "text.badge.checkmark", "list.bullet", "list.number", "character.book.closed",
        "character.cursor.ibeam", "wand.and.stars", "pencil", "pencil.and.outline", "highlighter", "scissors",
        "doc", "doc.text", "doc.on.doc", "doc.plaintext", "doc.richtext", "folder", "folder.badge.plus",
        "photo", "photo.on.rectangle", "photo.stack", "camera", "arrow.up.left.and.arrow.down.right",
        "arrow.down.right.and.arrow.up.left", "arrow.triangle.2.circlepath", "arrow.triangle.branch",
        "arrow.uturn.backward", "arrow.clockwise", "arrow.right", "link", "globe", "translate",
        "magnifyingglass", "terminal", "chevron.left.forwardslash.chevron.right", "curlybraces", "number",
        "function", "sum", "percent", "dollarsign.circle", "calendar", "clock", "checkmark", "checkmark.circle",
        "xmark", "trash", "tag", "star", "heart", "bolt", "gearshape", "gearshape.2", "hammer", "wrench",
        "lock", "key", "envelope", "paperplane", "bubble.left", "quote.bubble", "lightbulb", "brain",
        "book", "bookmark", "square.and.arrow.up", "square.and.arrow.down", "square.grid.2x2", "tray",
        "archivebox", "music.note", "film", "play", "mic", "speaker.wave.2", "eye", "signature",
    };
    return known.contains(name);
}

} // namespace AIActionAuthor
