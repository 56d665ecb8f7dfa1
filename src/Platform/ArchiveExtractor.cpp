#include "Platform/ArchiveExtractor.h"

namespace Platform {

QString describe(ArchiveExtractor::Error error)
{
    switch (error) {
    case ArchiveExtractor::Error::unreadable: return QStringLiteral("unreadable");
    case ArchiveExtractor::Error::unsafeEntry: return QStringLiteral("unsafe entry");
    case ArchiveExtractor::Error::tooLarge: return QStringLiteral("too large");
    case ArchiveExtractor::Error::writeFailed: return QStringLiteral("write failed");
    }
    return QString();
}

} // namespace Platform
