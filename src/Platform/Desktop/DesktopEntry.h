#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// Reading and writing the desktop entry files that describe applications and autostart items.
namespace DesktopEntry {

// The keys of the "[Desktop Entry]" group as written (localised ones keep their "[xx]"); the
// first of duplicate keys wins. None when the file cannot be read or has no such group.
std::optional<QHash<QString, QString>> readGroup(const QString& path);

// Undoes the escapes of a string value: \s \n \t \r \\.
QString unescapeValue(const QString& value);

// An unescaped Exec value split into arguments: blanks separate them, double quotes group them,
// and inside quotes a backslash escapes the next character. None when a quote is left open.
std::optional<QStringList> splitExec(const QString& exec);

} // namespace DesktopEntry
