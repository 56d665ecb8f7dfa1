#include "Platform/OnDemandModule.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace Platform {

QString onDemandModulePath(const QString& fileName, const QString& buildPath)
{
    if (QCoreApplication::instance())
        if (const QString beside = QCoreApplication::applicationDirPath() + u'/' + fileName; QFileInfo(beside).isFile())
            return beside;
    return QFileInfo(buildPath).isFile() ? buildPath : QString();
}

} // namespace Platform
