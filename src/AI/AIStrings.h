#pragma once

#include <QString>

// The texts of the AI windows: the application's own table first, then the tables of the modules
// whose keys these windows show (scope titles of the action model, the AI errors), so a user never
// reads a key.
namespace AIStrings {
QString string(const QString& key);
}
