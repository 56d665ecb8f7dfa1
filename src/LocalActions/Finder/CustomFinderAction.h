#pragma once

#include "ContextCore/Coding.h"
#include "ContextCore/ContextKind.h"

#include <QJsonObject>
#include <QString>

// One of the user's own actions for files, as the file-manager extension is told about it.
struct CustomFinderAction {
    QString id;         // what a request names
    QString title;      // shown as written, not a key
    QString symbolName;
    ContextKindSet contexts; // the selections it applies to; empty: never offered
    bool needsModel = false;

    bool operator==(const CustomFinderAction&) const = default;
};

// All five keys; "contexts" is an array of kind identifiers.
QJsonObject toJson(const CustomFinderAction& action);
template <>
std::expected<CustomFinderAction, DecodingError> fromJson<CustomFinderAction>(const QJsonValue& value);
