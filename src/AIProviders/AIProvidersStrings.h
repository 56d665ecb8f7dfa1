#pragma once

#include <QString>

// The AI providers module's texts (provider, region and model names, AI errors, the built-in AI
// actions' titles), in the interface language.
namespace AIProvidersStrings {
QString string(const QString& key);
}
