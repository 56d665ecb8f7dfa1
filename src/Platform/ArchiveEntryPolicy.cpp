#include "Platform/ArchiveEntryPolicy.h"

#include <QStringList>

namespace Platform::ArchiveEntryPolicy {

std::optional<QString> acceptedPath(const QString& name, Kind kind)
{
    if (kind != Kind::file && kind != Kind::directory)
        return std::nullopt;
    if (name.isEmpty() || name.startsWith(u'/') || name.contains(QChar(0)) || name.contains(u'\\'))
        return std::nullopt;
    QStringList parts;
    for (const QString& part : name.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u"..")
            return std::nullopt;
        if (part == u".")
            continue;
        parts << part;
    }
    if (parts.isEmpty())
        return std::nullopt;
    // "C:" and the like mean a drive to some unpackers; nothing of ours is named so. Looked for in
    // the clean name, so that "./C:" is no way round it.
    if (parts.first().size() >= 2 && parts.first()[1] == u':')
        return std::nullopt;
    return parts.join(u'/');
}

} // namespace Platform::ArchiveEntryPolicy
