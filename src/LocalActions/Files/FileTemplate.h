#pragma once

#include "ContextCore/OneKeyJson.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <expected>
#include <optional>
#include <variant>

// One kind of new file: its identifier, title, extension, symbol, group and first contents. The
// built-in table is fixed; the user's own templates (a model file on disk) are stored as JSON in
// the file-manager menu settings, so the JSON form below is a stored format.
struct FileTemplate {
    struct BuiltIn {
        QString boilerplate; // written as UTF-8
        bool operator==(const BuiltIn&) const = default;
    };
    struct Office {
        QString kind; // an office document kind's raw value, only read when a file is made
        bool operator==(const Office&) const = default;
    };
    struct File {
        QString path; // absolute path of the model file
        bool operator==(const File&) const = default;
    };
    using Source = std::variant<BuiltIn, Office, File>;

    QString id;
    QString titleKey;
    bool isBuiltIn = false;
    QString fileExtension; // without the dot; may be empty
    QString symbolName;
    Source source;
    std::optional<QString> categoryKey;

    bool operator==(const FileTemplate&) const = default;

    // The 17 built-in templates, in menu order.
    static const QList<FileTemplate>& builtIns();
    static const FileTemplate& plainText();
    static const FileTemplate& markdown();
    static const FileTemplate& richText();
    static const QList<FileTemplate>& officeTemplates();
    static const QList<FileTemplate>& developerTemplates();
    static const QList<FileTemplate>& dataTemplates();
    // The built-in template with exactly this identifier.
    static std::optional<FileTemplate> builtIn(const QString& id);

    // The MIME type of files with this extension; "application/octet-stream" when unknown.
    QString contentType() const;
};

QJsonObject toJson(const FileTemplate::Source& source);
std::expected<FileTemplate::Source, OneKeyJson::DecodingError> sourceFromJson(const QJsonValue& value);

QJsonObject toJson(const FileTemplate& fileTemplate);
// Every key but "categoryKey" is required; a missing key or a wrong type fails the whole template.
std::expected<FileTemplate, OneKeyJson::DecodingError> fileTemplateFromJson(const QJsonValue& value);
