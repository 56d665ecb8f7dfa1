#include "ContextCore/TextInsight.h"

#include "SecurityCore/TextMetrics.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace TextInsight {

namespace {

// Text to double in the C locale, whatever the process locale says; the whole text must be
// consumed. Callers check the shape of the text first: this accepts what strtod accepts.
std::optional<double> cLocaleDouble(const QString& text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray bytes = text.toLatin1();
    if (bytes.isEmpty())
        return std::nullopt;
    char* end = nullptr;
    const double value = strtod_l(bytes.constData(), &end, cLocale);
    if (end != bytes.constData() + bytes.size())
        return std::nullopt;
    return value;
}

// A decimal amount: sign, digits, fraction, exponent. No words for infinity or not-a-number, no
// hexadecimal, and the value must be finite ("1e999" is not an amount).
std::optional<double> amount(const QString& text)
{
    static const QRegularExpression shape(
        QStringLiteral("\\A[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?\\z"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    const std::optional<double> value = cLocaleDouble(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

QString withoutCommas(QString text)
{
    return text.remove(QLatin1Char(','));
}

QString trimmedSpacesAndTabs(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (start < end && blank(text.at(start)))
        ++start;
    while (end > start && blank(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

bool isOperator(QChar c)
{
    return c == u'+' || c == u'-' || c == u'*' || c == u'/' || c == u'\u00D7' || c == u'\u00F7';
}

bool isArithmeticCharacter(QChar c)
{
    static const QString allowed = QStringLiteral("0123456789.+-*/()\u00D7\u00F7 %");
    return allowed.contains(c);
}

// Recursive descent over the prepared text; every operator is left-associative.
class Parser {
public:
    explicit Parser(const QString& text) : m_text(text) {}

    std::optional<double> parseAll()
    {
        const std::optional<double> value = expression();
        if (!value || m_pos != m_text.size())
            return std::nullopt;
        return value;
    }

private:
    bool at(QChar c) const { return m_pos < m_text.size() && m_text.at(m_pos) == c; }

    std::optional<double> expression()
    {
        std::optional<double> value = term();
        while (value && (at(u'+') || at(u'-'))) {
            const bool plus = at(u'+');
            ++m_pos;
            const std::optional<double> right = term();
            if (!right)
                return std::nullopt;
            value = plus ? *value + *right : *value - *right;
        }
        return value;
    }

    std::optional<double> term()
    {
        std::optional<double> value = factor();
        while (value && (at(u'*') || at(u'/'))) {
            const bool times = at(u'*');
            ++m_pos;
            const std::optional<double> right = factor();
            if (!right)
                return std::nullopt;
            value = times ? *value * *right : *value / *right;
        }
        return value;
    }

    std::optional<double> factor()
    {
        if (at(u'-')) {
            ++m_pos;
            const std::optional<double> inner = factor();
            if (!inner)
                return std::nullopt;
            return -*inner;
        }
        if (at(u'(')) {
            ++m_pos;
            const std::optional<double> inner = expression();
            if (!inner || !at(u')'))
                return std::nullopt;
            ++m_pos;
            return inner;
        }
        return number();
    }

    // The longest run of digits and at most one full stop.
    std::optional<double> number()
    {
        const qsizetype start = m_pos;
        bool sawStop = false;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c >= u'0' && c <= u'9') {
                ++m_pos;
            } else if (c == u'.' && !sawStop) {
                sawStop = true;
                ++m_pos;
            } else {
                break;
            }
        }
        if (m_pos == start)
            return std::nullopt;
        return cLocaleDouble(m_text.mid(start, m_pos - start));
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};

// How a locale groups the integer digits, read off its own rendering of integers so that
// grouping such as 12,34,567 comes out right.
struct Grouping {
    int first = 0;  // digits in the group next to the decimal separator; 0 for no grouping
    int higher = 0; // digits in every further group
    int least = 1;  // group only when at least first + least digits
    QString separator;
};

Grouping groupingOf(const QLocale& locale)
{
    Grouping grouping;
    grouping.separator = locale.groupSeparator();
    if (grouping.separator.isEmpty())
        return grouping;
    const QStringList groups = locale.toString(qulonglong(1234567890123456789ULL)).split(grouping.separator);
    if (groups.size() < 2)
        return grouping;
    const auto digitsIn = [](const QString& group) {
        int n = 0;
        for (const uint c : group.toUcs4())
            n += QChar::isDigit(c) ? 1 : 0;
        return n;
    };
    grouping.first = digitsIn(groups.last());
    grouping.higher = groups.size() > 2 ? digitsIn(groups.at(groups.size() - 2)) : grouping.first;
    if (grouping.first <= 0 || grouping.higher <= 0)
        return Grouping{};
    qulonglong smallest = 1;
    for (int i = 0; i < grouping.first; ++i)
        smallest *= 10;
    if (!locale.toString(smallest).contains(grouping.separator))
        grouping.least = 2;
    return grouping;
}

QString localDigits(const QString& asciiDigits, const QLocale& locale)
{
    const QList<uint> zero = locale.zeroDigit().toUcs4();
    if (zero.size() != 1 || zero.first() == '0')
        return asciiDigits;
    QList<uint> out;
    out.reserve(asciiDigits.size());
    for (const QChar c : asciiDigits)
        out << zero.first() + (c.unicode() - u'0');
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(out.constData()), out.size());
}

QString grouped(const QString& digits, const Grouping& grouping, const QLocale& locale)
{
    if (grouping.first <= 0 || digits.size() < grouping.first + grouping.least)
        return localDigits(digits, locale);
    QStringList groups;
    qsizetype end = digits.size();
    int size = grouping.first;
    while (end > 0) {
        const qsizetype start = std::max<qsizetype>(0, end - size);
        groups.prepend(localDigits(digits.mid(start, end - start), locale));
        end = start;
        size = grouping.higher;
    }
    return groups.join(grouping.separator);
}

// Adds one unit in the last place of a decimal digit string; false when it overflows.
bool incremented(QString& digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits.at(i) != u'9') {
            digits[i] = QChar(digits.at(i).unicode() + 1);
            return true;
        }
        digits[i] = u'0';
    }
    return false;
}

} // namespace

const QList<SymbolCode>& symbolCodes()
{
    static const QList<SymbolCode> table{
        {QStringLiteral("$"), QStringLiteral("USD")},
        {QStringLiteral("US$"), QStringLiteral("USD")},
        {QStringLiteral("\u20AC"), QStringLiteral("EUR")},
        {QStringLiteral("\u00A3"), QStringLiteral("GBP")},
        {QStringLiteral("\u00A5"), QStringLiteral("JPY")},
        {QStringLiteral("\uFFE5"), QStringLiteral("CNY")},
        {QStringLiteral("CN\u00A5"), QStringLiteral("CNY")},
        {QStringLiteral("\u20A9"), QStringLiteral("KRW")},
        {QStringLiteral("\u20B9"), QStringLiteral("INR")},
        {QStringLiteral("HK$"), QStringLiteral("HKD")},
        {QStringLiteral("NT$"), QStringLiteral("TWD")},
        {QStringLiteral("\u20BD"), QStringLiteral("RUB")},
        {QStringLiteral("\u20BA"), QStringLiteral("TRY")},
        {QStringLiteral("R$"), QStringLiteral("BRL")},
        {QStringLiteral("A$"), QStringLiteral("AUD")},
        {QStringLiteral("C$"), QStringLiteral("CAD")},
    };
    return table;
}

const QStringList& knownCodes()
{
    static const QStringList table{
        QStringLiteral("USD"), QStringLiteral("EUR"), QStringLiteral("GBP"), QStringLiteral("JPY"),
        QStringLiteral("CNY"), QStringLiteral("KRW"), QStringLiteral("INR"), QStringLiteral("HKD"),
        QStringLiteral("TWD"), QStringLiteral("RUB"), QStringLiteral("TRY"), QStringLiteral("BRL"),
        QStringLiteral("AUD"), QStringLiteral("CAD"), QStringLiteral("CHF"), QStringLiteral("SGD"),
        QStringLiteral("SEK"), QStringLiteral("NZD"), QStringLiteral("THB"),
    };
    return table;
}

std::optional<double> arithmeticResult(const QString& text)
{
    // Every allowed character is one code unit, so a longer text can hold no expression: it is
    // turned away before it is split into characters (a selection may be megabytes long).
    if (QStringView(text).trimmed().size() > 120)
        return std::nullopt;
    const QString trimmed = text.trimmed();
    const QStringList characters = TextMetrics::characters(trimmed);
    if (characters.size() < 3 || characters.size() > 120)
        return std::nullopt;
    bool hasOperator = false;
    for (const QString& character : characters) {
        // A digit with a combining mark is one character and none of the allowed ones.
        if (character.size() != 1 || !isArithmeticCharacter(character.at(0)))
            return std::nullopt;
        hasOperator = hasOperator || isOperator(character.at(0));
    }
    if (!hasOperator)
        return std::nullopt;

    QString prepared = trimmed;
    prepared.replace(u'\u00D7', u'*');
    prepared.replace(u'\u00F7', u'/');
    prepared.remove(u' ');

    const std::optional<double> value = Parser(prepared).parseAll();
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

std::optional<Money> money(const QString& text)
{
    // An amount is short: beyond 40 characters of 16 code units each there is nothing to count.
    if (QStringView(text).trimmed().size() > 40 * 16)
        return std::nullopt;
    const QString trimmed = text.trimmed();
    if (TextMetrics::characterCount(trimmed) > 40)
        return std::nullopt;

    // Longest symbols first, so that "HK$12" is Hong Kong dollars and not "$" after "HK".
    static const QList<SymbolCode> bySymbolLength = [] {
        QList<SymbolCode> sorted = symbolCodes();
        std::stable_sort(sorted.begin(), sorted.end(), [](const SymbolCode& a, const SymbolCode& b) {
            return TextMetrics::characterCount(a.symbol) > TextMetrics::characterCount(b.symbol);
        });
        return sorted;
    }();
    for (const SymbolCode& entry : bySymbolLength) {
        if (TextMetrics::prefix(trimmed, TextMetrics::characterCount(entry.symbol)) != entry.symbol)
            continue;
        const QString rest = withoutCommas(trimmedSpacesAndTabs(trimmed.mid(entry.symbol.size())));
        if (const std::optional<double> value = amount(rest))
            return Money{*value, entry.code};
    }

    const QStringList pieces = trimmed.split(u' ', Qt::SkipEmptyParts);
    if (pieces.size() != 2)
        return std::nullopt;
    const auto asCode = [](const QString& piece) -> std::optional<QString> {
        const QString upper = piece.toUpper();
        if (knownCodes().contains(upper))
            return upper;
        return std::nullopt;
    };
    if (const auto value = amount(withoutCommas(pieces.at(0)))) {
        if (const auto code = asCode(pieces.at(1)))
            return Money{*value, *code};
    }
    if (const auto value = amount(withoutCommas(pieces.at(1)))) {
        if (const auto code = asCode(pieces.at(0)))
            return Money{*value, *code};
    }
    return std::nullopt;
}

QString format(double value, const QLocale& locale)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");

    // The shortest decimal digits that read back as the value, and their power of ten.
    char buffer[64];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const QString scientific = QString::fromLatin1(buffer, written.ptr - buffer);
    const qsizetype e = scientific.indexOf(u'e');
    QString mantissa = scientific.left(e);
    const int exponent = scientific.mid(e + 1).toInt();
    bool negative = mantissa.startsWith(u'-');
    if (negative)
        mantissa.remove(0, 1);
    const QString digits = QString(mantissa).remove(u'.');

    const qsizetype point = exponent + 1; // digits before the decimal separator
    QString whole;
    QString fraction;
    if (point <= 0) {
        whole = QStringLiteral("0");
        fraction = QString(-point, u'0') + digits;
    } else if (point >= digits.size()) {
        whole = digits + QString(point - digits.size(), u'0');
    } else {
        whole = digits.left(point);
        fraction = digits.mid(point);
    }

    constexpr qsizetype maxDecimals = 6;
    if (fraction.size() > maxDecimals) {
        const QString dropped = fraction.mid(maxDecimals);
        fraction.truncate(maxDecimals);
        bool roundUp = false;
        if (dropped.at(0) > u'5') {
            roundUp = true;
        } else if (dropped.at(0) == u'5') {
            const bool exactlyHalf = dropped.mid(1).count(u'0') == dropped.size() - 1;
            roundUp = !exactlyHalf || (fraction.back().unicode() - u'0') % 2 == 1;
        }
        if (roundUp) {
            QString all = whole + fraction;
            if (!incremented(all))
                all.prepend(u'1');
            whole = all.left(all.size() - maxDecimals);
            fraction = all.right(maxDecimals);
        }
    }
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (whole == QLatin1String("0") && fraction.isEmpty())
        negative = false; // no "-0"

    QString out = grouped(whole, groupingOf(locale), locale);
    if (!fraction.isEmpty())
        out += locale.decimalPoint() + localDigits(fraction, locale);
    if (negative)
        out.prepend(locale.negativeSign());
    return out;
}

QString format(double value)
{
    return format(value, QLocale());
}

} // namespace TextInsight
