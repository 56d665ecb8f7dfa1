#include "AI/AIStrings.h"

#include "AIProviders/AIProvidersStrings.h"
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
    // The AI errors' texts live with the AI providers; these windows show them too.
    if (text == key)
        text = AIProvidersStrings::string(key);
    return text;
}

} // namespace AIStrings
