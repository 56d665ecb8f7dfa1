#include "ContextCore/PluginManifest.h"

#include <QTest>

using ManifestError = PluginManifest::ManifestError;
using Action = PluginManifest::Action;
using Body = PluginManifest::Body;
using YAMLSubset::ParseError;

Q_DECLARE_METATYPE(PluginManifest)
Q_DECLARE_METATYPE(PluginManifest::ManifestError)

namespace {

QString describe(const ManifestError& error)
{
    static const char* const names[] = {"missingField",  "unknownEntryPoint",      "unknownRunner", "unknownContext",
                                        "runnerWrongEntryPoint", "promptMissingSelection", "syntax",
                                        "notAMapping", "missingName", "noActions"};
    return QStringLiteral("%1(value: %2, scope: %3, action: %4, parse: %5/%6 line %7)")
        .arg(QLatin1String(names[int(error.kind)]), error.value, error.scope, error.action)
        .arg(int(error.parseError.kind))
        .arg(error.parseError.detail)
        .arg(error.parseError.line);
}

QString describe(const PluginManifest& manifest)
{
    // The encoded text shows every field except what the layout leaves out, so add those.
    QString extra = QStringLiteral("author %1, identifier %2;")
                        .arg(manifest.author ? u'"' + *manifest.author + u'"' : QStringLiteral("none"),
                             manifest.identifier ? u'"' + *manifest.identifier + u'"' : QStringLiteral("none"));
    for (const Action& action : manifest.actions) {
        if (const auto* script = action.body.script())
            extra += QStringLiteral(" replaces %1, tools [%2];").arg(script->replacesSelection).arg(script->script.requiredTools.join(u'|'));
    }
    return extra + u'\n' + manifest.encoded();
}

Action textScript(const QString& title, const QString& source, bool replaces = false, const QStringList& tools = {},
                  ScriptLanguage language = ScriptLanguage::shell)
{
    return Action{title, ActionScope::text, QStringLiteral("text.cursor"), contexts(ActionScope::text),
                  Body::Script{ScriptAction{language, source, tools}, replaces}};
}

Action filesScript(const QString& title, const QString& source, const QStringList& tools = {})
{
    return Action{title, ActionScope::files, QStringLiteral("folder"), contexts(ActionScope::files),
                  Body::Script{ScriptAction{ScriptLanguage::shell, source, tools}, false}};
}

Action promptAction(const QString& title, const QString& system, const QString& user, bool replaces = false)
{
    return Action{title, ActionScope::text, QStringLiteral("text.cursor"), contexts(ActionScope::text),
                  Body::Prompt{system, user, replaces}};
}

Action operation(const QString& title, const FileOperation& op, const ContextKindSet& kinds = contexts(ActionScope::files))
{
    return Action{title, ActionScope::files, QStringLiteral("folder"), kinds, Body(op)};
}

PluginManifest manifest(const QList<Action>& actions, const QString& name = QStringLiteral("Tools"),
                        std::optional<QString> author = std::nullopt, std::optional<QString> identifier = std::nullopt)
{
    return PluginManifest{name, author, identifier, actions};
}

Action withIcon(Action action, const QString& icon)
{
    action.symbolName = icon;
    return action;
}

Action withContexts(Action action, const ContextKindSet& kinds)
{
    action.contexts = kinds;
    return action;
}

// The worked example: three actions of three kinds, one title in quotes.
PluginManifest textTools()
{
    return manifest({withIcon(textScript("Upper case", "output = input.toUpperCase()", true, {}, ScriptLanguage::javaScript), "textformat"),
                     withIcon(operation("To PNG", FileOperation::convertImage(ImageFormat::png, 90), {ContextKind::image}), "photo"),
                     promptAction("Explain: briefly", "Be brief.", "Summarise:\n\n{{selection}}")},
                    "Text tools", std::nullopt, "example.text-tools");
}

} // namespace

namespace QTest {
template<> char* toString(const ManifestError& error) { return qstrdup(describe(error).toUtf8().constData()); }
template<> char* toString(const PluginManifest& manifest) { return qstrdup(describe(manifest).toUtf8().constData()); }
} // namespace QTest

class PluginManifestTest : public QObject {
    Q_OBJECT
private slots:
    void decodes_data();
    void decodes();
    void refuses_data();
    void refuses();
    void writesTheWorkedExample();
    void writesTheLayout_data();
    void writesTheLayout();
    void roundTrips_data();
    void roundTrips();
    void fileExtension();
};

void PluginManifestTest::decodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<PluginManifest>("expected");

    QTest::newRow("defaults of a text action") << "name: T\nactions:\n  - title: A\n    on: text\n    script: echo"
                                               << manifest({textScript("A", "echo")}, "T");
    QTest::newRow("defaults of a files action") << "name: T\nactions:\n  - title: A\n    on: files\n    script: ls"
                                                << manifest({filesScript("A", "ls")}, "T");
    QTest::newRow("author and identifier") << "name: T\nauthor:\nidentifier: x.y\nactions:\n - title: A\n   on: text\n   script: s"
                                           << manifest({textScript("A", "s")}, "T", QString(), "x.y");
    QTest::newRow("non-scalar author ignored") << "name: T\nauthor:\n  a: b\nidentifier: [x]\nactions:\n - title: A\n   on: text\n   script: s"
                                               << manifest({textScript("A", "s")}, "T");
    QTest::newRow("unknown keys ignored") << "name: T\nversion: 2\nactions:\n - title: A\n   colour: red\n   on: text\n   script: s"
                                          << manifest({textScript("A", "s")}, "T");
    QTest::newRow("non-scalar run is shell") << "name: T\nactions:\n - title: A\n   on: text\n   run: [x]\n   script: s"
                                             << manifest({textScript("A", "s")}, "T");
    QTest::newRow("replace is exact") << "name: T\nactions:\n - title: A\n   on: text\n   output: replace\n   script: s\n"
                                         " - title: B\n   on: text\n   output: Replace\n   script: s"
                                      << manifest({textScript("A", "s", true), textScript("B", "s")}, "T");
    QTest::newRow("tools in order, empty and nested left out")
        << "name: T\nactions:\n - title: A\n   on: text\n   requires:\n     - jq\n     - ''\n     - a: b\n     - curl\n   script: s"
        << manifest({textScript("A", "s", false, {"jq", "curl"})}, "T");
    QTest::newRow("one tool as a scalar") << "name: T\nactions:\n - title: A\n   on: files\n   run: applescript\n   requires: osascript\n   script: s"
                                          << manifest({Action{"A", ActionScope::files, "folder", contexts(ActionScope::files),
                                                              Body::Script{ScriptAction{ScriptLanguage::appleScript, "s", {"osascript"}}, false}}},
                                                      "T");
    QTest::newRow("block script") << "name: T\nactions:\n - title: A\n   on: text\n   script: |-\n     echo a\n\n       b\n\n"
                                  << manifest({textScript("A", "echo a\n\n  b")}, "T");
    QTest::newRow("prompt without system") << "name: T\nactions:\n - title: A\n   on: text\n   run: ai\n   output: replace\n   prompt: 'Fix {{selection}}'"
                                           << manifest({promptAction("A", "", "Fix {{selection}}", true)}, "T");
    QTest::newRow("quality not an integer") << "name: T\nactions:\n - title: A\n   on: files\n   run: convertImage\n   format: webp\n   quality: high"
                                            << manifest({operation("A", FileOperation::convertImage(ImageFormat::webp, 85))}, "T");
    QTest::newRow("quality absent") << "name: T\nactions:\n - title: A\n   on: files\n   run: convertImage\n   format: jpeg"
                                    << manifest({operation("A", FileOperation::convertImage(ImageFormat::jpeg, 85))}, "T");
    QTest::newRow("quality out of range kept") << "name: T\nactions:\n - title: A\n   on: files\n   run: convertImage\n   format: png\n   quality: -3"
                                               << manifest({operation("A", FileOperation::convertImage(ImageFormat::png, -3))}, "T");
    QTest::newRow("resize") << "name: T\nactions:\n - title: A\n   on: files\n   run: resizeImage\n   maxPixels: +1024"
                            << manifest({operation("A", FileOperation::resizeImage(1024))}, "T");
    QTest::newRow("one context as a scalar") << "name: T\nactions:\n - title: A\n   on: files\n   contexts: image\n   script: s"
                                             << manifest({withContexts(filesScript("A", "s"), {ContextKind::image})}, "T");
    QTest::newRow("repeated context counts once") << "name: T\nactions:\n - title: A\n   on: text\n   contexts: [selectedURL, selectedURL, secureText]\n   script: s"
                                                  << manifest({withContexts(textScript("A", "s"), {ContextKind::selectedURL, ContextKind::secureText})}, "T");
    QTest::newRow("empty contexts give the default") << "name: T\nactions:\n - title: A\n   on: text\n   contexts: []\n   script: s\n"
                                                        " - title: B\n   on: files\n   contexts:\n   script: s"
                                                     << manifest({textScript("A", "s"), filesScript("B", "s")}, "T");
    QTest::newRow("empty icon kept") << "name: T\nactions:\n - title: A\n   on: text\n   icon: ''\n   script: s"
                                     << manifest({withIcon(textScript("A", "s"), "")}, "T");
    QTest::newRow("actions as one scalar item") << "name: T\nactions:\n  -\n    title: A\n    on: text\n    script: s"
                                                << manifest({textScript("A", "s")}, "T");
}

void PluginManifestTest::decodes()
{
    QFETCH(QString, text);
    QFETCH(PluginManifest, expected);
    const auto decoded = PluginManifest::decode(text);
    if (!decoded)
        QFAIL(qPrintable(describe(decoded.error())));
    QCOMPARE(*decoded, expected);
}

void PluginManifestTest::refuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<ManifestError>("expected");

    const QString head = QStringLiteral("name: T\nactions:\n");
    QTest::newRow("syntax") << "name: T\n\tactions:" << ManifestError::syntax(ParseError::tabIndentation(2));
    QTest::newRow("nothing at all") << "# none" << ManifestError::syntax(ParseError::empty());
    QTest::newRow("top sequence") << "- name: T" << ManifestError::notAMapping();
    QTest::newRow("top scalar item list") << "- a\n- b" << ManifestError::notAMapping();
    QTest::newRow("no name and no actions") << "author: x" << ManifestError::missingName();
    QTest::newRow("empty name") << "name: ''\nactions: [a]" << ManifestError::missingName();
    QTest::newRow("name not a scalar") << "name:\n  a: b\nactions: [a]" << ManifestError::missingName();
    QTest::newRow("actions missing") << "name: T" << ManifestError::noActions();
    QTest::newRow("actions empty list") << "name: T\nactions: []" << ManifestError::noActions();
    QTest::newRow("actions empty scalar") << "name: T\nactions:" << ManifestError::noActions();
    QTest::newRow("actions a mapping") << "name: T\nactions:\n  title: A" << ManifestError::noActions();

    QTest::newRow("no title") << head + " - on: text\n   script: s" << ManifestError::missingField("title", "(untitled)");
    QTest::newRow("empty title") << head + " - title: ''\n   on: text" << ManifestError::missingField("title", "(untitled)");
    QTest::newRow("item not a mapping") << "name: T\nactions: x" << ManifestError::missingField("title", "(untitled)");
    QTest::newRow("first failure wins") << head + " - title: A\n   on: text\n   script: s\n - on: x\n - title: C\n   run: python"
                                        << ManifestError::missingField("title", "(untitled)");
    QTest::newRow("no on") << head + " - title: A\n   run: python" << ManifestError::missingField("on", "A");
    QTest::newRow("on not a scalar") << head + " - title: A\n   on: [text]" << ManifestError::missingField("on", "A");
    QTest::newRow("on is case-sensitive") << head + " - title: A\n   on: Text\n   run: python" << ManifestError::unknownEntryPoint("Text", "A");
    QTest::newRow("unknown runner") << head + " - title: A\n   on: text\n   run: python" << ManifestError::unknownRunner("python", "A");
    QTest::newRow("runner is case-sensitive") << head + " - title: A\n   on: text\n   run: Shell\n   script: s" << ManifestError::unknownRunner("Shell", "A");
    QTest::newRow("no run and no script") << head + " - title: A\n   on: text" << ManifestError::missingField("script", "A");
    QTest::newRow("empty script") << head + " - title: A\n   on: text\n   script: |-\n" << ManifestError::missingField("script", "A");
    QTest::newRow("javascript on files before its script") << head + " - title: A\n   on: files\n   run: javascript"
                                                           << ManifestError::runnerWrongEntryPoint("javascript", "files", "A");
    QTest::newRow("javascript with tools") << head + " - title: A\n   on: text\n   run: javascript\n   requires: [node]\n   script: s"
                                           << ManifestError::runnerWrongEntryPoint("javascript", "requires", "A");
    QTest::newRow("javascript with tools checked after its script") << head + " - title: A\n   on: text\n   run: javascript\n   requires: [node]"
                                                                    << ManifestError::missingField("script", "A");
    QTest::newRow("ai on files before its prompt") << head + " - title: A\n   on: files\n   run: ai"
                                                   << ManifestError::runnerWrongEntryPoint("ai", "files", "A");
    QTest::newRow("ai without prompt") << head + " - title: A\n   on: text\n   run: ai\n   system: s" << ManifestError::missingField("prompt", "A");
    QTest::newRow("prompt without the selection") << head + " - title: A\n   on: text\n   run: ai\n   prompt: Fix {{ selection }}"
                                                  << ManifestError::promptMissingSelection("A");
    QTest::newRow("conversion on text") << head + " - title: A\n   on: text\n   run: convertImage\n   format: png"
                                        << ManifestError::runnerWrongEntryPoint("convertImage", "text", "A");
    QTest::newRow("resize on text") << head + " - title: A\n   on: text\n   run: resizeImage"
                                    << ManifestError::runnerWrongEntryPoint("resizeImage", "text", "A");
    QTest::newRow("format absent") << head + " - title: A\n   on: files\n   run: convertImage" << ManifestError::missingField("format", "A");
    QTest::newRow("format in capitals") << head + " - title: A\n   on: files\n   run: convertImage\n   format: PNG" << ManifestError::missingField("format", "A");
    QTest::newRow("format jpg") << head + " - title: A\n   on: files\n   run: convertImage\n   format: jpg" << ManifestError::missingField("format", "A");
    QTest::newRow("format a list") << head + " - title: A\n   on: files\n   run: convertImage\n   format: [png]" << ManifestError::missingField("format", "A");
    QTest::newRow("max pixels zero") << head + " - title: A\n   on: files\n   run: resizeImage\n   maxPixels: 0" << ManifestError::missingField("maxPixels", "A");
    QTest::newRow("max pixels negative") << head + " - title: A\n   on: files\n   run: resizeImage\n   maxPixels: -5" << ManifestError::missingField("maxPixels", "A");
    QTest::newRow("max pixels not a number") << head + " - title: A\n   on: files\n   run: resizeImage\n   maxPixels: 1e3" << ManifestError::missingField("maxPixels", "A");
    QTest::newRow("file kind on text") << head + " - title: A\n   on: text\n   contexts: [selectedText, image]\n   script: s"
                                       << ManifestError::unknownContext("image", "A");
    QTest::newRow("text kind on files") << head + " - title: A\n   on: files\n   contexts: selectedText\n   script: s"
                                        << ManifestError::unknownContext("selectedText", "A");
    QTest::newRow("unknown kind") << head + " - title: A\n   on: files\n   contexts: [Image]\n   script: s" << ManifestError::unknownContext("Image", "A");
    QTest::newRow("nested context item") << head + " - title: A\n   on: files\n   contexts:\n     - a: b\n   script: s"
                                         << ManifestError::unknownContext("", "A");
    QTest::newRow("contexts looked at after the body") << head + " - title: A\n   on: files\n   contexts: [bogus]"
                                                       << ManifestError::missingField("script", "A");
}

void PluginManifestTest::refuses()
{
    QFETCH(QString, text);
    QFETCH(ManifestError, expected);
    const auto decoded = PluginManifest::decode(text);
    if (decoded)
        QFAIL(qPrintable(QStringLiteral("decoded as ") + describe(*decoded)));
    QCOMPARE(decoded.error(), expected);
}

void PluginManifestTest::writesTheWorkedExample()
{
    const QString expected = QStringLiteral(
        "name: Text tools\n"
        "identifier: example.text-tools\n"
        "\n"
        "actions:\n"
        "  - title: Upper case\n"
        "    on: text\n"
        "    icon: textformat\n"
        "    run: javascript\n"
        "    output: replace\n"
        "    script: |-\n"
        "      output = input.toUpperCase()\n"
        "\n"
        "  - title: To PNG\n"
        "    on: files\n"
        "    icon: photo\n"
        "    contexts: [image]\n"
        "    run: convertImage\n"
        "    format: png\n"
        "    quality: 90\n"
        "\n"
        "  - title: \"Explain: briefly\"\n"
        "    on: text\n"
        "    icon: text.cursor\n"
        "    run: ai\n"
        "    output: show\n"
        "    system: |-\n"
        "      Be brief.\n"
        "    prompt: |-\n"
        "      Summarise:\n"
        "\n"
        "      {{selection}}\n");
    QCOMPARE(textTools().encoded(), expected);
    QCOMPARE(PluginManifest::decode(expected), textTools());
}

void PluginManifestTest::writesTheLayout_data()
{
    QTest::addColumn<PluginManifest>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("files script has no output line")
        << manifest({filesScript("A", "ls", {"jq", "curl"})}, "T", QString(), QString())
        << "name: T\n\nactions:\n  - title: A\n    on: files\n    icon: folder\n    run: shell\n    requires: [jq, curl]\n    script: |-\n      ls\n";
    QTest::newRow("text script shows")
        << manifest({textScript("A", "a\n\n  b")}, "T", "Me")
        << "name: T\nauthor: Me\n\nactions:\n  - title: A\n    on: text\n    icon: text.cursor\n    run: shell\n    output: show\n    script: |-\n      a\n\n        b\n";
    QTest::newRow("contexts sorted, resize, empty icon")
        << manifest({withIcon(operation("A", FileOperation::resizeImage(640), {ContextKind::singleFile, ContextKind::image, ContextKind::archive}), "")})
        << "name: Tools\n\nactions:\n  - title: A\n    on: files\n    icon: \"\"\n    contexts: [archive, image, singleFile]\n    run: resizeImage\n    maxPixels: 640\n";
    QTest::newRow("prompt without system, replacing")
        << manifest({promptAction("\"Q\" #1", "", "{{selection}}", true)}, "a\\b: c")
        << "name: \"a\\\\b: c\"\n\nactions:\n  - title: \"\\\"Q\\\" #1\"\n    on: text\n    icon: text.cursor\n    run: ai\n    output: replace\n    prompt: |-\n      {{selection}}\n";
}

void PluginManifestTest::writesTheLayout()
{
    QFETCH(PluginManifest, input);
    QFETCH(QString, expected);
    QCOMPARE(input.encoded(), expected);
}

void PluginManifestTest::roundTrips_data()
{
    QTest::addColumn<PluginManifest>("input");
    QTest::addColumn<QString>("fragment"); // a line the text must hold

    // Plain where the layout allows it, double quotes otherwise.
    const QString specials = QStringLiteral("#&*!|>[]{},\"'%@`");
    for (const QChar c : specials) {
        const QString title = c + QStringLiteral("x");
        QTest::addRow("title beginning with %s", qPrintable(QString(c)))
            << manifest({textScript(title, "s")}) << QStringLiteral("  - title: \"") + (c == u'"' ? QStringLiteral("\\\"") : QString(c)) + QStringLiteral("x\"");
    }
    QTest::newRow("colon and space") << manifest({textScript("a: b", "s")}) << "  - title: \"a: b\"";
    QTest::newRow("space and hash") << manifest({textScript("a #b", "s")}) << "  - title: \"a #b\"";
    QTest::newRow("hash kept plain") << manifest({textScript("C#", "s")}) << "  - title: C#";
    QTest::newRow("leading and trailing space") << manifest({withIcon(textScript(" a", "s"), "b ")}) << "    icon: \"b \"";
    QTest::newRow("trailing colon") << manifest({textScript("Note:", "s")}) << "  - title: \"Note:\"";
    QTest::newRow("colon inside a word") << manifest({textScript("https://x.org", "s")}) << "  - title: https://x.org";
    QTest::newRow("empty icon") << manifest({withIcon(textScript("A", "s"), "")}) << "    icon: \"\"";
    QTest::newRow("backslashes") << manifest({textScript("\\n \\", "s")}, "a\\") << "  - title: \\n \\";
    QTest::newRow("non-ASCII") << manifest({textScript(QString::fromUtf8("Übersetzen → 中文"), "s")}) << QString::fromUtf8("  - title: Übersetzen → 中文");

    // A double-quoted value holding an escaped quote before " #".
    QTest::newRow("quote before space and hash") << manifest({textScript("The 5\" #1", "s")}, "The 5\" #1")
                                                 << "name: \"The 5\\\" #1\"";
    // Values holding a line feed, a tab or a carriage return.
    QTest::newRow("line feed in the name") << manifest({textScript("A", "s")}, "a\nb") << "name: \"a\\nb\"";
    QTest::newRow("line feed in the author") << manifest({textScript("A", "s")}, "T", "x\n  y: z") << "author: \"x\\n  y: z\"";
    QTest::newRow("line feed in the identifier") << manifest({textScript("A", "s")}, "T", std::nullopt, "a\n---") << "identifier: \"a\\n---\"";
    QTest::newRow("line feed in a title") << manifest({textScript("a\nb", "s")}) << "  - title: \"a\\nb\"";
    QTest::newRow("line feed in an icon") << manifest({withIcon(textScript("A", "s"), "x\n")}) << "    icon: \"x\\n\"";
    QTest::newRow("leading tab in a title") << manifest({textScript("\tx", "s")}) << "  - title: \"\\tx\"";
    QTest::newRow("trailing carriage return") << manifest({textScript("x\r", "s")}) << "  - title: \"x\\r\"";
    QTest::newRow("no-break space at the end") << manifest({textScript(QString::fromUtf8("x\u00A0"), "s")})
                                               << QString::fromUtf8("  - title: \"x\u00A0\"");
    QTest::newRow("tab in a quoted title") << manifest({textScript(" a\tb", "s")}) << "  - title: \" a\tb\"";

    // Long texts stay blocks unless the block would read back differently.
    QTest::newRow("script with indented lines") << manifest({textScript("A", "if x; then\n  y\nfi")}) << "        y";
    QTest::newRow("script with comment and quotes") << manifest({textScript("A", "# c\necho \"a: b\" 'x' # y")}) << "      # c";
    QTest::newRow("script with trailing spaces") << manifest({textScript("A", "echo   ")}) << "      echo   ";
    QTest::newRow("script line beginning with a tab") << manifest({textScript("A", "for x\n\tdo y")}) << "    script: \"for x\\n\\tdo y\"";
    QTest::newRow("script beginning with spaces") << manifest({textScript("A", "  a\nb")}) << "    script: \"  a\\nb\"";
    QTest::newRow("script holding a marker line") << manifest({textScript("A", "cat <<X\n---\nX")}) << "    script: \"cat <<X\\n---\\nX\"";
    QTest::newRow("indented marker line") << manifest({textScript("A", "a\n  ---  ")}) << "    script: \"a\\n  ---  \"";
    QTest::newRow("script ending with line feeds") << manifest({textScript("A", "echo\n\n")}) << "    script: \"echo\\n\\n\"";
    QTest::newRow("script of one line feed") << manifest({textScript("A", "\n")}) << "    script: \"\\n\"";
    QTest::newRow("white-space line in a script") << manifest({textScript("A", "a\n   \nb")}) << "    script: \"a\\n   \\nb\"";
    QTest::newRow("script line ending with a carriage return") << manifest({textScript("A", "a\r\nb")}) << "    script: \"a\\r\\nb\"";
    QTest::newRow("script of white space only") << manifest({textScript("A", " ")}) << "    script: \" \"";
    QTest::newRow("script with backslashes and quotes falls back") << manifest({textScript("A", "\t\"\\\"")}) << "    script: \"\\t\\\"\\\\\\\"\"";
    QTest::newRow("prompt with a marker line") << manifest({promptAction("A", "", "---\n{{selection}}")}) << "    prompt: \"---\\n{{selection}}\"";
    QTest::newRow("prompt ending with a line feed") << manifest({promptAction("A", "sys", "{{selection}}\n", true)}) << "    system: |-";
    QTest::newRow("system beginning with spaces") << manifest({promptAction("A", "   Be brief.", "{{selection}}")}) << "    system: \"   Be brief.\"";
    QTest::newRow("system with a tab line") << manifest({promptAction("A", "a\n\tb", "x {{selection}}")}) << "    prompt: |-";

    // Tools in the one-line list.
    QTest::newRow("tools plain") << manifest({textScript("A", "s", false, {"jq", "git-lfs"})}) << "    requires: [jq, git-lfs]";
    QTest::newRow("tool with a comma") << manifest({textScript("A", "s", false, {"a,b", "c"})}) << "    requires: [\"a,b\", c]";
    QTest::newRow("tool with quotes and spaces") << manifest({filesScript("A", "s", {" x", "it's", "\"q\"", "a #b", "ok"})})
                                                 << "    requires: [\" x\", \"it's\", \"\\\"q\\\"\", \"a #b\", ok]";
    QTest::newRow("tool with a bracket") << manifest({filesScript("A", "s", {"[", "jq"})}) << "      - \"[\"";
    QTest::newRow("tool with a closing bracket") << manifest({filesScript("A", "s", {"a]"})}) << "    requires: [a]]";

    QTest::newRow("the worked example") << textTools() << "  - title: \"Explain: briefly\"";
    QTest::newRow("every kind of body") << manifest({textScript("A", "s", true, {"t"}, ScriptLanguage::appleScript),
                                                     filesScript("B", "b"),
                                                     promptAction("C", "sys", "{{selection}}", true),
                                                     operation("D", FileOperation::convertImage(ImageFormat::heic, 100)),
                                                     operation("E", FileOperation::resizeImage(std::numeric_limits<qint64>::max())),
                                                     withContexts(textScript("F", "f"), {ContextKind::selectedURL})},
                                                    "All", "Me", "me.all")
                                        << "    maxPixels: 9223372036854775807";
}

void PluginManifestTest::roundTrips()
{
    QFETCH(PluginManifest, input);
    QFETCH(QString, fragment);
    const QString text = input.encoded();
    QVERIFY2(text.split(u'\n').contains(fragment), qPrintable(text));
    const auto decoded = PluginManifest::decode(text);
    if (!decoded)
        QFAIL(qPrintable(describe(decoded.error()) + u'\n' + text));
    QCOMPARE(*decoded, input);
}

void PluginManifestTest::fileExtension()
{
    QCOMPARE(PluginManifest::fileExtension, QStringLiteral("ambrel"));
}

QTEST_GUILESS_MAIN(PluginManifestTest)
#include "tst_PluginManifest.moc"
