#pragma once

#include <QString>

// The AI windows' texts, in the interface language: the module's own table, then the
// application's and the action model's (scope titles); a key without an entry yields itself.
namespace AIStrings {
QString string(const QString& key);
}
