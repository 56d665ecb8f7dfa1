#include "Platform/SystemInfo.h"

#include <QStringList>

namespace Platform {

std::optional<OperatingSystemVersion> OperatingSystemVersion::parse(const QString& text)
{
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.isEmpty() || parts.size() > 3)
        return std::nullopt;
    qint64 numbers[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty() || part.size() > 9)
            return std::nullopt;
        for (QChar c : part) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
        }
        numbers[i] = part.toLongLong();
    }
    return OperatingSystemVersion{numbers[0], numbers[1], numbers[2]};
}

QString buildVersion()
{
    return QStringLiteral(AMBREL_APP_VERSION);
}

} // namespace Platform
