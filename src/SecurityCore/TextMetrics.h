#pragma once

#include <QString>
#include <QStringList>

// Text measured as the user sees it: user-perceived characters (grapheme clusters), not QChars.
namespace TextMetrics {

qsizetype characterCount(const QString& text);
QStringList characters(const QString& text);
// The first n characters.
QString prefix(const QString& text, qsizetype n);

} // namespace TextMetrics
