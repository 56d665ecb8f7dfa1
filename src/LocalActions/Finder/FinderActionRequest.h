#pragma once

#include "ContextCore/Coding.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// One request of the file-manager extension: the action the user picked in its menu, and the
// selection it concerns. It travels as one JSON file through the hand-off queue.
struct FinderActionRequest {
    QString actionID;
    std::optional<QString> templateID;
    std::optional<QString> terminalBundleID;
    QStringList selectedPaths;
    std::optional<QString> directoryPath;
    QString baseName; // may hold name variables such as "{date}"

    // The selected paths as file URLs; a trailing "/" marks a folder and is kept.
    QList<QUrl> selectedURLs() const;
    std::optional<QUrl> directoryURL() const;

    bool operator==(const FinderActionRequest&) const = default;

    // The bytes of a queue file, or nothing when they are not one request.
    static std::optional<FinderActionRequest> decode(const QByteArray& bytes);
};

// Fails when a required key is missing or a key holds a value of another type. A null optional
// value reads as absent; unknown keys are ignored.
template <>
std::expected<FinderActionRequest, DecodingError> fromJson<FinderActionRequest>(const QJsonValue& value);

// Absent optional fields are left out.
QJsonObject toJson(const FinderActionRequest& request);
// Compact UTF-8 JSON with every "/" written as "\/", as the extension writes its queue files.
QByteArray encode(const FinderActionRequest& request);
