#pragma once

#include <QString>

// The AI windows' texts, in the interface language: the module's own table, then the
// application's and the tables of the modules whose keys these windows show (scope titles of the
// action model, the AI errors), so a user never reads a key.
namespace AIStrings {
QString string(const QString& key);
}
