#include "Selection/SelectionStrings.h"

#include "SecurityCore/ModuleStrings.h"

namespace SelectionStrings {

QString string(const QString& key)
{
    return ModuleStrings::lookup(QStringLiteral("Selection"), key);
}

} // namespace SelectionStrings
