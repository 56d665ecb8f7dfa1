#pragma once

#include <QList>
#include <QString>

#include <initializer_list>

namespace Platform {

// Where a module this application loads on demand lies: beside the executable (an installed
// copy), else where the build put it; empty when neither is there.
QString onDemandModulePath(const QString& fileName, const QString& buildPath);

// The named functions of such a module, in the order asked, all or none: empty when the module
// is not there, does not load or lacks one of them. A loaded module stays loaded.
QList<QFunctionPointer> onDemandModuleFunctions(const QString& fileName, const QString& buildPath,
                                                std::initializer_list<const char*> symbols);

} // namespace Platform
