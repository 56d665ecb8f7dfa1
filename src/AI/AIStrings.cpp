#include "AI/AIStrings.h"

#include "ActionCore/ActionCoreStrings.h"
#include "SecurityCore/ModuleStrings.h"
#include "System/AppStrings.h"

namespace AIStrings {

QString string(const QString& key)
{
    QString text = ModuleStrings::lookup(QStringLiteral("AI"), key);
    if (text == key)
        text = AppStrings::string(key);
    if (text == key)
        text = ActionCoreStrings::string(key);
    return text;
}

} // namespace AIStrings
