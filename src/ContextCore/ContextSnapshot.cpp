#include "ContextCore/ContextSnapshot.h"

bool ContextSnapshot::isStale(const QDateTime& now, double maxAge) const
{
    const double age = double(capturedAt.msecsTo(now)) / 1000.0;
    return age > maxAge;
}

bool ContextSnapshot::allowsAnyAction() const
{
    return !isSecure && kind != ContextKind::secureText;
}

bool ContextSnapshot::allowsAIAction() const
{
    if (isSecure || kind == ContextKind::secureText)
        return false;
    if (isTextKind(kind))
        return !selectedText.value_or(QString()).trimmed().isEmpty();
    return !selectedFileURLs.isEmpty();
}
