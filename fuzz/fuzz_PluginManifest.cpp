// Feeds arbitrary text to the plug-in file reader. Beyond crashes and undefined behaviour it
// checks two properties: a parse error names a line of the text, and every manifest that decodes
// is written to a text that decodes to the same manifest.

#include "ContextCore/PluginManifest.h"
#include "ContextCore/YAMLSubset.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void failWith(const char* what, const QString& text)
{
    std::fprintf(stderr, "%s\n--- text ---\n%s\n--- end ---\n", what, text.toUtf8().constData());
    std::abort();
}

// What the layout leaves out on purpose: an empty author or identifier is not written, and a
// script on files has no output line.
PluginManifest asWritten(PluginManifest manifest)
{
    if (manifest.author && manifest.author->isEmpty())
        manifest.author.reset();
    if (manifest.identifier && manifest.identifier->isEmpty())
        manifest.identifier.reset();
    for (auto& action : manifest.actions) {
        if (auto* script = std::get_if<PluginManifest::Body::Script>(&action.body.value); script && action.scope == ActionScope::files)
            script->replacesSelection = false;
    }
    return manifest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    const auto parsed = YAMLSubset::parse(text);
    if (!parsed) {
        const auto& error = parsed.error();
        const qsizetype lines = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).count(u'\n') + 1;
        const bool isEmpty = error.kind == YAMLSubset::ParseError::Kind::empty;
        if (isEmpty ? error.line != 0 : (error.line < 1 || error.line > lines))
            failWith("parse error outside the text", text);
    }

    const auto manifest = PluginManifest::decode(text);
    if (parsed.has_value() == (!manifest && manifest.error().kind == PluginManifest::ManifestError::Kind::syntax))
        failWith("decode and parse disagree", text);
    if (!manifest)
        return 0;

    const QString written = manifest->encoded();
    const auto again = PluginManifest::decode(written);
    if (!again)
        failWith(qPrintable(QStringLiteral("written text does not decode:\n") + written), text);
    if (*again != asWritten(*manifest))
        failWith(qPrintable(QStringLiteral("written text decodes differently:\n") + written), text);
    if (again->encoded() != written)
        failWith("writing is not stable", text);
    return 0;
}
