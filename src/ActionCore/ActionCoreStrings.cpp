#include "ActionCore/ActionCoreStrings.h"

#include "SecurityCore/ModuleStrings.h"

namespace ActionCoreStrings {

QString string(const QString& key)
{
    return ModuleStrings::lookup(QStringLiteral("ActionCore"), key);
}

} // namespace ActionCoreStrings
