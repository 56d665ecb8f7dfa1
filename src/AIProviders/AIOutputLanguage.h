#pragma once

#include "ContextCore/Coding.h"

#include <QJsonObject>
#include <QString>

#include <variant>

// The language the model must answer in.
struct AIOutputLanguage {
    struct FollowSelection {
        bool operator==(const FollowSelection&) const = default;
    };
    struct FollowInterface {
        bool operator==(const FollowInterface&) const = default;
    };
    struct Explicit {
        QString code; // a translation target's id
        bool operator==(const Explicit&) const = default;
    };

    std::variant<FollowSelection, FollowInterface, Explicit> value;

    static AIOutputLanguage followSelection() { return {FollowSelection{}}; }
    static AIOutputLanguage followInterface() { return {FollowInterface{}}; }
    static AIOutputLanguage explicitLanguage(QString code) { return {Explicit{std::move(code)}}; }

    static inline const QString settingKey = QStringLiteral("ai.outputLanguage");
    static inline const QString defaultSetting = QStringLiteral("selection");
    // "selection", "interface", or any other string as a language code.
    static AIOutputLanguage fromSetting(const QString& setting);
    QString settingValue() const;

    // The phrase put in place of "{{language}}".
    QString languageDescription() const;

    bool operator==(const AIOutputLanguage&) const = default;
};

// {"followSelection": {}}, {"followInterface": {}}, {"explicit": {"_0": code}}.
QJsonObject toJson(const AIOutputLanguage& language);
template <>
std::expected<AIOutputLanguage, DecodingError> fromJson<AIOutputLanguage>(const QJsonValue& value);
