#pragma once

#include <QString>

// The local-actions module's texts, in the interface language.
namespace LocalActionsStrings {
QString string(const QString& key);
}
