#include "LocalActions/Files/FileNameVariables.h"

namespace FileNameVariables {
namespace {

QString padded(int value, int width)
{
    return QString::asprintf("%0*d", width, value);
}

} // namespace

QString toRaw(Token token)
{
    switch (token) {
    case Token::date: return QStringLiteral("{date}");
    case Token::time: return QStringLiteral("{time}");
    case Token::dateTime: return QStringLiteral("{datetime}");
    case Token::year: return QStringLiteral("{year}");
    case Token::month: return QStringLiteral("{month}");
    case Token::day: return QStringLiteral("{day}");
    }
    return {};
}

std::optional<Token> tokenFromRaw(const QString& raw)
{
    for (const auto token : allTokens)
        if (toRaw(token) == raw)
            return token;
    return std::nullopt;
}

QString example(Token token, const QDateTime& now)
{
    return expand(toRaw(token), now, QCalendar(QCalendar::System::Gregorian));
}

QString toRaw(Preset preset)
{
    switch (preset) {
    case Preset::untitled: return QStringLiteral("untitled");
    case Preset::date: return QStringLiteral("date");
    case Preset::dateAndName: return QStringLiteral("dateAndName");
    case Preset::dateTime: return QStringLiteral("dateTime");
    }
    return {};
}

std::optional<Preset> presetFromRaw(const QString& raw)
{
    for (const auto preset : allPresets)
        if (toRaw(preset) == raw)
            return preset;
    return std::nullopt;
}

QString pattern(Preset preset)
{
    switch (preset) {
    case Preset::untitled: return QString();
    case Preset::date: return QStringLiteral("{date}");
    case Preset::dateAndName: return QStringLiteral("{date} ");
    case Preset::dateTime: return QStringLiteral("{datetime}");
    }
    return {};
}

QString titleKey(Preset preset)
{
    return QStringLiteral("newFile.preset.") + toRaw(preset);
}

std::optional<Preset> matching(const QString& text)
{
    for (const auto preset : allPresets)
        if (pattern(preset) == text)
            return preset;
    return std::nullopt;
}

QString expand(const QString& text, const QDateTime& now, const QCalendar& calendar)
{
    if (!text.contains(u'{'))
        return text;

    const QDate date = now.date();
    const QTime time = now.time();
    const QString year = padded(date.isValid() ? date.year(calendar) : 0, 4);
    const QString month = padded(date.isValid() ? date.month(calendar) : 0, 2);
    const QString day = padded(date.isValid() ? date.day(calendar) : 0, 2);
    const QString hour = padded(time.isValid() ? time.hour() : 0, 2);
    const QString minute = padded(time.isValid() ? time.minute() : 0, 2);
    const QString second = padded(time.isValid() ? time.second() : 0, 2);

    const QString dateValue = year + u'-' + month + u'-' + day;
    const QString timeValue = hour + u'-' + minute + u'-' + second;
    auto value = [&](Token token) {
        switch (token) {
        case Token::date: return dateValue;
        case Token::time: return timeValue;
        case Token::dateTime: return dateValue + u' ' + timeValue;
        case Token::year: return year;
        case Token::month: return month;
        case Token::day: return day;
        }
        return QString();
    };

    // No token is part of another and no value holds a brace, so the order is free.
    QString result = text;
    for (const auto token : allTokens)
        result.replace(toRaw(token), value(token));
    return result;
}

} // namespace FileNameVariables
