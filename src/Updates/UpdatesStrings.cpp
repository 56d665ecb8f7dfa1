#include "Updates/UpdatesStrings.h"

#include "SecurityCore/ModuleStrings.h"

namespace UpdatesStrings {

QString string(const QString& key)
{
    return ModuleStrings::lookup(QStringLiteral("Updates"), key);
}

} // namespace UpdatesStrings
