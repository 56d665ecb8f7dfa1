#include "ContextCore/VersionOrder.h"

#include <QStringList>

namespace VersionOrder {
namespace {

qint64 pieceValue(const QString& piece)
{
    // The leading run of numeric characters, by code point so digits beyond the BMP count too.
    const QList<uint> codePoints = piece.toUcs4();
    qsizetype end = 0;
    while (end < codePoints.size() && QChar::isNumber(char32_t(codePoints[end])))
        ++end;
    if (end == 0)
        return 0;
    qint64 value = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const uint c = codePoints[i];
        if (c < '0' || c > '9')
            return 0;
        const int digit = int(c - '0');
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

QList<qint64> components(const QString& version)
{
    QList<qint64> result;
    for (const QString& piece : version.split(u'.', Qt::SkipEmptyParts))
        result << pieceValue(piece);
    return result;
}

bool isNewer(const QString& version, const QString& other)
{
    const QList<qint64> a = components(version);
    const QList<qint64> b = components(other);
    const qsizetype n = std::max(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const qint64 x = i < a.size() ? a[i] : 0;
        const qint64 y = i < b.size() ? b[i] : 0;
        if (x != y)
            return x > y;
    }
    return false;
}

} // namespace VersionOrder

QString dotted(const OperatingSystemVersion& version)
{
    return QStringLiteral("%1.%2.%3").arg(version.majorVersion).arg(version.minorVersion).arg(version.patchVersion);
}
