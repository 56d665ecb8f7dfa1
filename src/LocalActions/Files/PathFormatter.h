#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// The text the copy-path and copy-name actions put on the pasteboard: one line per URL, plain
// (not percent-encoded), no line feed after the last.
namespace PathFormatter {

QString posixPaths(const QList<QUrl>& urls);
QString names(const QList<QUrl>& urls);

} // namespace PathFormatter
