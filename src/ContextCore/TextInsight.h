#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// Recognises a plain arithmetic expression or a money amount in a selected text, and formats a
// number for display. Pure apart from reading the current locale when formatting.
namespace TextInsight {

struct Money {
    double amount = 0;
    QString currencyCode; // upper-case ISO 4217
    bool operator==(const Money&) const = default;
};

// The value of a plain arithmetic expression of 3 to 120 characters (+ - * / × ÷, parentheses,
// decimal numbers with a full stop), or none when the text is no such expression or its value is
// not finite.
std::optional<double> arithmeticResult(const QString& text);

// An amount with a leading currency symbol ("HK$12") or with a known code before or after it
// ("100 usd"), in a text of at most 40 characters. Commas are thousands separators.
std::optional<Money> money(const QString& text);

// The value with the locale's grouping and decimal separator and at most 6 decimals, rounded half
// to even from the shortest decimal form that reads back as the value; no trailing zeros.
QString format(double value, const QLocale& locale);
// As above, in the user's current locale.
QString format(double value);

// Symbol to code, and the codes recognised in the code form.
struct SymbolCode {
    QString symbol;
    QString code;
};
const QList<SymbolCode>& symbolCodes();
const QStringList& knownCodes();

} // namespace TextInsight
