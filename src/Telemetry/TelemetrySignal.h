#pragma once

#include <QMap>
#include <QString>

#include <optional>

// One usage signal as it leaves the machine: a type, string parameters and an optional number.
// Every parameter value passes the redaction rule when the signal is made.
struct TelemetrySignal {
    inline static const QString redacted = QStringLiteral("redacted");

    QString type;
    QMap<QString, QString> parameters;
    std::optional<double> floatValue;

    TelemetrySignal() = default;
    TelemetrySignal(QString type, const QMap<QString, QString>& parameters = {}, std::optional<double> floatValue = {});

    bool operator==(const TelemetrySignal&) const = default;

    // "redacted" for a value longer than 60 user-perceived characters or holding white space or
    // a line break; the value itself otherwise.
    static QString redact(const QString& value);
};
