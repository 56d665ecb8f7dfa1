#pragma once

#include "AIProviders/AIActionTemplate.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <expected>
#include <optional>

// A set of AI actions in a file of their own, to carry them between machines.
struct AIActionLibrary {
    static constexpr qint64 currentFormatVersion = 1;
    static inline const QString fileExtension = QStringLiteral("ambrel-actions");

    enum class ImportErrorKind {
        unsupportedVersion, // the file is newer than this program reads
        unreadable,         // not JSON, a required key missing, a value of the wrong type, a bad template
        noActions,
    };
    struct ImportError {
        ImportErrorKind kind = ImportErrorKind::unreadable;
        qint64 version = 0; // of unsupportedVersion
        bool operator==(const ImportError&) const = default;
    };

    qint64 formatVersion = currentFormatVersion;
    QString name;
    std::optional<QString> author;
    QList<AIActionTemplate> actions;

    // Versions up to the current one are read; the version is checked before the actions.
    static std::expected<AIActionLibrary, ImportError> decode(const QByteArray& data);
    // Pretty-printed JSON with sorted keys; "author" only when there is one.
    QByteArray encoded() const;

    bool operator==(const AIActionLibrary&) const = default;
};
