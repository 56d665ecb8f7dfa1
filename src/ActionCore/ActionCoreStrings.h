#pragma once

#include <QString>

// The action model's texts, in the interface language; a key without an entry yields itself.
namespace ActionCoreStrings {
QString string(const QString& key);
}
