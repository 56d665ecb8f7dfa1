#include "LocalActions/LocalActionsStrings.h"

#include "SecurityCore/ModuleStrings.h"

namespace LocalActionsStrings {

QString string(const QString& key)
{
    return ModuleStrings::lookup(QStringLiteral("LocalActions"), key);
}

} // namespace LocalActionsStrings
