#include "ContextCore/StandardOrder.h"

namespace StandardOrder {

namespace {

// The run of digits or of other characters starting at `i`.
QStringView run(const QString& s, qsizetype i)
{
    const bool digits = s.at(i).isDigit();
    qsizetype j = i;
    while (j < s.size() && s.at(j).isDigit() == digits)
        ++j;
    return QStringView(s).mid(i, j - i);
}

int compareNumbers(QStringView a, QStringView b)
{
    while (a.size() > 1 && a.front() == u'0')
        a = a.mid(1);
    while (b.size() > 1 && b.front() == u'0')
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

int compare(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const QStringView x = run(a, i), y = run(b, j);
        int c;
        if (x.front().isDigit() && y.front().isDigit())
            c = compareNumbers(x, y);
        else
            c = QString::localeAwareCompare(x.toString().toCaseFolded(), y.toString().toCaseFolded());
        if (c != 0)
            return c < 0 ? -1 : 1;
        i += x.size();
        j += y.size();
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    const int tie = QString::localeAwareCompare(a, b);
    return tie < 0 ? -1 : tie > 0 ? 1 : 0;
}

} // namespace StandardOrder
