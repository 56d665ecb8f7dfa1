#include "System/AppStrings.h"

#include "SecurityCore/ModuleStrings.h"

namespace AppStrings {

QString string(const QString& key)
{
    return ModuleStrings::lookup(QStringLiteral("System"), key);
}

} // namespace AppStrings
