#pragma once

#include <QString>

// The update controls' texts, in the interface language.
namespace UpdatesStrings {
QString string(const QString& key);
}
