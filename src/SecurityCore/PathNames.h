#pragma once

#include <QString>

// File-name parts as this application uses them everywhere. The extension is the text after the
// last dot of the last path component; a name whose only dot is its first character (".bashrc")
// and a name ending in a dot have none. QFileInfo::suffix/completeBaseName differ; use these.
namespace PathNames {

QString lastComponent(const QString& path); // trailing slashes ignored
QString extension(const QString& path);     // "a.tar.gz" -> "gz"
QString baseName(const QString& path);      // "a.tar.gz" -> "a.tar"; ".bashrc" -> ".bashrc"
// name + "." + extension, or the name alone when the extension is empty.
QString withExtension(const QString& name, const QString& extension);

} // namespace PathNames
