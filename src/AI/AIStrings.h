#pragma once

#include <QString>

// The AI windows' texts, in the interface language; a key without an entry yields itself.
namespace AIStrings {
QString string(const QString& key);
}
