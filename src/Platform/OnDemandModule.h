#pragma once

#include <QString>

namespace Platform {

// Where a module this application loads on demand lies: beside the executable (an installed
// copy), else where the build put it; empty when neither is there.
QString onDemandModulePath(const QString& fileName, const QString& buildPath);

} // namespace Platform
