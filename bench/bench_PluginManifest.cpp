#include "ContextCore/PluginManifest.h"

#include <benchmark/benchmark.h>

namespace {

// A plug-in with `count` actions of every kind, as a user or the model would write it.
PluginManifest pluginWith(int count)
{
    PluginManifest manifest{QStringLiteral("Benchmark tools"), QStringLiteral("Ambrel"), QStringLiteral("example.bench"), {}};
    for (int i = 0; i < count; ++i) {
        const QString title = QStringLiteral("Action %1: step").arg(i);
        switch (i % 4) {
        case 0:
            manifest.actions.append({title, ActionScope::text, QStringLiteral("textformat"), contexts(ActionScope::text),
                                     PluginManifest::Body::Script{
                                         ScriptAction{ScriptLanguage::shell,
                                                      QStringLiteral("#!/bin/sh\n# upper-case the selection\nprintf '%s' \"$AMBREL_SELECTION\" \\\n"
                                                                     "  | tr '[:lower:]' '[:upper:]'\n\nexit 0"),
                                                      {QStringLiteral("tr"), QStringLiteral("printf")}},
                                         true}});
            break;
        case 1:
            manifest.actions.append({title, ActionScope::text, QStringLiteral("text.bubble"), {ContextKind::selectedText},
                                     PluginManifest::Body::Prompt{QStringLiteral("You are a careful editor.\nAnswer briefly."),
                                                                  QStringLiteral("Rewrite this politely:\n\n{{selection}}"), false}});
            break;
        case 2:
            manifest.actions.append({title, ActionScope::files, QStringLiteral("photo"), {ContextKind::image},
                                     PluginManifest::Body(FileOperation::convertImage(ImageFormat::webp, 80))});
            break;
        default:
            manifest.actions.append({title, ActionScope::files, QStringLiteral("folder"), contexts(ActionScope::files),
                                     PluginManifest::Body::Script{
                                         ScriptAction{ScriptLanguage::shell,
                                                      QStringLiteral("for f in $AMBREL_FILES; do\n  wc -l \"$f\"\ndone"), {}},
                                         false}});
            break;
        }
    }
    return manifest;
}

void decodePluginWith100Actions(benchmark::State& state)
{
    const QString text = pluginWith(100).encoded();
    for (auto _ : state) {
        auto decoded = PluginManifest::decode(text);
        if (!decoded || decoded->actions.size() != 100)
            state.SkipWithError("the plug-in did not decode");
        benchmark::DoNotOptimize(decoded);
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(decodePluginWith100Actions)->Unit(benchmark::kMicrosecond);

void encodePluginWith100Actions(benchmark::State& state)
{
    const PluginManifest manifest = pluginWith(100);
    for (auto _ : state) {
        QString text = manifest.encoded();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(encodePluginWith100Actions)->Unit(benchmark::kMicrosecond);

} // namespace
