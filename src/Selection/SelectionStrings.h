#pragma once

#include <QString>

// The selection toolbar's own texts (result panel and AI run card), in the interface language;
// a key without an entry yields itself.
namespace SelectionStrings {
QString string(const QString& key);
}
