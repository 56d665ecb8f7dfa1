#include "System/LibraryLink.h"

namespace LibraryLink {

QUrl url(const QString& segment)
{
    return QUrl(ProductSite::root + u'/' + segment + QStringLiteral("/library"));
}

} // namespace LibraryLink
