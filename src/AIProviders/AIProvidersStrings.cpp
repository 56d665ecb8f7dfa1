#include "AIProviders/AIProvidersStrings.h"

#include "SecurityCore/ModuleStrings.h"

namespace AIProvidersStrings {

QString string(const QString& key)
{
    return ModuleStrings::lookup(QStringLiteral("AIProviders"), key);
}

} // namespace AIProvidersStrings
