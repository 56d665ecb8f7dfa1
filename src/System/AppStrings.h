#pragma once

#include <QString>

// The application's own texts (menu, permissions, windows), in the interface language. The
// tables live with this module so that every view module can read them; they are split by topic
// ("Resources/<topic>.<language>.json").
namespace AppStrings {
QString string(const QString& key);
}
