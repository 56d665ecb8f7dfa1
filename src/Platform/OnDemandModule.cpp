#include "Platform/OnDemandModule.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

namespace Platform {

QString onDemandModulePath(const QString& fileName, const QString& buildPath)
{
    if (QCoreApplication::instance())
        if (const QString beside = QCoreApplication::applicationDirPath() + u'/' + fileName; QFileInfo(beside).isFile())
            return beside;
    return QFileInfo(buildPath).isFile() ? buildPath : QString();
}

QList<QFunctionPointer> onDemandModuleFunctions(const QString& fileName, const QString& buildPath,
                                                std::initializer_list<const char*> symbols)
{
    const QString path = onDemandModulePath(fileName, buildPath);
    if (path.isEmpty())
        return {};
    QLibrary library(path);
    QList<QFunctionPointer> functions;
    for (const char* symbol : symbols) {
        const QFunctionPointer f = library.resolve(symbol);
        if (!f)
            return {};
        functions.append(f);
    }
    return functions;
}

} // namespace Platform
