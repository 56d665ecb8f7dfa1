#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// Reading and writing the desktop entry files that describe applications and autostart items.
namespace DesktopEntry {

// The keys of the "[Desktop Entry]" group as written (localised ones keep their "[xx]"); the
// first of duplicate keys wins. Only blanks and tabs around keys and values are dropped: any
// other white space belongs to the value. None when the file cannot be read or has no such group.
std::optional<QHash<QString, QString>> readGroup(const QString& path);

// Undoes the escapes of a string value: \s \n \t \r \\.
QString unescapeValue(const QString& value);
// The escapes of a string value, so that the value reads back as it stands whatever white space
// it begins or ends with: \s for a space at either end, \n \t \r \\.
QString escapeValue(const QString& value);

// One argument of an Exec value (before `escapeValue`): quoted when it holds a reserved
// character or any white space, with " ` $ \ escaped inside the quotes, and % written as %%.
QString execArgument(const QString& argument);

// An unescaped Exec value split into arguments: blanks separate them, double quotes group them,
// and inside quotes a backslash escapes the next character. None when a quote is left open.
std::optional<QStringList> splitExec(const QString& exec);

} // namespace DesktopEntry
