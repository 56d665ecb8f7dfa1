#include "Platform/OnDemandModule.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

namespace Platform {

namespace {
QString executableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before there is an application object (the helper mode, the executable's own start).
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return executable.isEmpty() ? QString() : QFileInfo(executable).path();
}
} // namespace

QString onDemandModulePath(const QString& fileName, const QString& buildPath)
{
    if (const QString folder = executableFolder(); !folder.isEmpty())
        if (const QString beside = folder + u'/' + fileName; QFileInfo(beside).isFile())
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
