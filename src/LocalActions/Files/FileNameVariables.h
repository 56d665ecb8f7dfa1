#pragma once

#include <QCalendar>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

// Date and time tokens in new-file name patterns, and the patterns offered as presets.
namespace FileNameVariables {

enum class Token {
    date,     // "{date}": year-month-day
    time,     // "{time}": hour-minute-second
    dateTime, // "{datetime}": date, one blank, time
    year,     // "{year}"
    month,    // "{month}"
    day,      // "{day}"
};
inline constexpr std::array allTokens{Token::date, Token::time, Token::dateTime,
                                      Token::year, Token::month, Token::day};
QString toRaw(Token token);
std::optional<Token> tokenFromRaw(const QString& raw); // exact, braces included
// The token alone expanded at `now` with the Gregorian calendar.
QString example(Token token, const QDateTime& now);

enum class Preset {
    untitled,
    date,
    dateAndName,
    dateTime,
};
inline constexpr std::array allPresets{Preset::untitled, Preset::date, Preset::dateAndName, Preset::dateTime};
QString toRaw(Preset preset); // also its identifier
std::optional<Preset> presetFromRaw(const QString& raw);
QString pattern(Preset preset);
QString titleKey(Preset preset); // "newFile.preset.<id>"
// The preset whose pattern is exactly `pattern`, tried in order.
std::optional<Preset> matching(const QString& pattern);

// Replaces every token in `pattern` with the date and time of `now`, read in the calendar and in
// the time zone `now` carries. Digits are ASCII whatever the locale. A pattern without "{" comes
// back unchanged.
QString expand(const QString& pattern, const QDateTime& now, const QCalendar& calendar = QCalendar());

} // namespace FileNameVariables
