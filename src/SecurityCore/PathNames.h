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

// Paths of the user's files. Qt's own helpers take a path beginning with ":" for one of the
// program's resources (QDir::isAbsolutePath(":q") is true, QDir("/f").filePath(":n") is ":n");
// these treat ":" as the ordinary character it is in a file name.
// Absolute only when it begins with "/".
bool isAbsolute(const QString& path);
// The folder, one "/" and the name; the name is never taken for a path of its own.
QString join(const QString& folder, const QString& name);
// A path fit to act on: absolute, without NUL, and not reached through a last "." or "..".
// A relative path would be taken from the working folder, the system reads a path only up to a
// NUL (so it would name an ancestor), and a folder named through "." or ".." can be copied but
// not removed, only emptied.
bool isUsable(const QString& path);

} // namespace PathNames
