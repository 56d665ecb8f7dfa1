#include "AI/AIStrings.h"

#include "SecurityCore/ModuleStrings.h"

namespace AIStrings {

QString string(const QString& key)
{
    return ModuleStrings::lookup(QStringLiteral("AI"), key);
}

} // namespace AIStrings
