#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

// The symbol names the models carry, as this desktop's themed icons. Each symbol maps to
// freedesktop icon names, tried in order in the user's theme and then in the fallback theme
// (Platform::IconTheme); when none is found a short text stands in.
namespace SymbolIcons {

struct Entry {
    QStringList iconNames;
    QString glyph; // the text drawn when no icon is found
};

// The entry of a symbol; an unknown symbol gets a generic one.
Entry entry(const QString& symbolName);
// Null when no icon of the entry exists here.
QIcon icon(const QString& symbolName);
QString glyph(const QString& symbolName);

} // namespace SymbolIcons
