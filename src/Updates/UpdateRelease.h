#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <variant>

// A release offered by the version service.
struct UpdateRelease {
    QString version;
    std::optional<QString> notes;
    QUrl url; // the zip archive
    std::optional<QString> minimumSystem;

    bool operator==(const UpdateRelease&) const = default;
};

// What one answer of the version service means for this build. Pure, so that it can be
// exercised on its own.
namespace UpdateReply {

// The answer could not be used: the published releases keep what they held.
struct Malformed {
    bool operator==(const Malformed&) const = default;
};
// The offered version is not newer than the running one.
struct UpToDate {
    bool operator==(const UpToDate&) const = default;
};
struct Available {
    UpdateRelease release;
    bool operator==(const Available&) const = default;
};
// Newer, but it needs a newer operating system than the running one.
struct NeedsNewerSystem {
    UpdateRelease release;
    bool operator==(const NeedsNewerSystem&) const = default;
};
using Verdict = std::variant<Malformed, UpToDate, Available, NeedsNewerSystem>;

// Bodies above this size are not read.
inline constexpr qint64 maxBodySize = 1024 * 1024;

// The body must be a JSON object with a string "version" and a string "url" that is an https
// address (http only for a loopback host); "notes" and "minimumSystem" count only as strings.
Verdict decide(const QByteArray& body, const QString& currentVersion, const QString& systemVersion);

// https with a host, or http to 127.0.0.0/8, ::1 or "localhost".
bool isAcceptableArchiveURL(const QUrl& url);

} // namespace UpdateReply
