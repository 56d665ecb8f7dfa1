#include "Demo/DemoStrings.h"

namespace DemoStrings {

QString string(const QString& key)
{
    return ModuleStrings::lookup(QStringLiteral("Demo"), key);
}

} // namespace DemoStrings
