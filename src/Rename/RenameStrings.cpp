#include "Rename/RenameStrings.h"

#include "AI/AIStrings.h"
#include "LocalActions/LocalActionsStrings.h"

namespace RenameStrings {

QString string(const QString& key)
{
    const QString text = LocalActionsStrings::string(key);
    return text == key ? AIStrings::string(key) : text;
}

} // namespace RenameStrings
