#include "SecurityCore/TextMetrics.h"

#include <QTextBoundaryFinder>

namespace TextMetrics {

QStringList characters(const QString& text)
{
    QStringList out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        out << text.mid(start, end - start);
        start = end;
    }
    return out;
}

qsizetype characterCount(const QString& text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype n = 0;
    while (finder.toNextBoundary() != -1)
        ++n;
    return n;
}

QString prefix(const QString& text, qsizetype n)
{
    if (n <= 0)
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1) {
        if (++count == n)
            return text.left(finder.position());
    }
    return text;
}

} // namespace TextMetrics
