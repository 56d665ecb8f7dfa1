#include "LocalActions/Files/FileTemplate.h"

#include "LocalActions/Files/OfficeDocument.h"

#include <QMimeDatabase>

namespace {

const QString categoryOffice = QStringLiteral("template.category.office");
const QString categoryCode = QStringLiteral("template.category.code");
const QString categoryData = QStringLiteral("template.category.data");
const QString codeSymbol = QStringLiteral("chevron.left.forwardslash.chevron.right");

FileTemplate make(const char* id, const char* ext, const QString& symbol, std::optional<QString> category,
                  FileTemplate::Source source)
{
    const QString identifier = QString::fromLatin1(id);
    return FileTemplate{identifier, identifier, true, QString::fromLatin1(ext), symbol, std::move(source), std::move(category)};
}

FileTemplate text(const char* id, const char* ext, const char* symbol, const QString& boilerplate,
                  std::optional<QString> category = std::nullopt)
{
    return make(id, ext, QString::fromLatin1(symbol), std::move(category), FileTemplate::BuiltIn{boilerplate});
}

FileTemplate office(OfficeDocument::Kind kind, const char* symbol)
{
    const QString identifier = QStringLiteral("template.") + OfficeDocument::toRaw(kind);
    return FileTemplate{identifier,
                        identifier,
                        true,
                        OfficeDocument::fileExtension(kind),
                        QString::fromLatin1(symbol),
                        FileTemplate::Office{OfficeDocument::toRaw(kind)},
                        categoryOffice};
}

OneKeyJson::DecodingError typeMismatch(const char* key)
{
    return {QStringLiteral("Expected a value of another type for key \"%1\".").arg(QLatin1String(key))};
}

OneKeyJson::DecodingError missingKey(const char* key)
{
    return {QStringLiteral("No value associated with key \"%1\".").arg(QLatin1String(key))};
}

std::expected<QString, OneKeyJson::DecodingError> requiredString(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return std::unexpected(missingKey(key));
    if (!v.isString())
        return std::unexpected(typeMismatch(key));
    return v.toString();
}

const QStringList sourceCases{QStringLiteral("builtIn"), QStringLiteral("office"), QStringLiteral("file")};

} // namespace

const FileTemplate& FileTemplate::plainText()
{
    static const FileTemplate t = text("template.plainText", "txt", "doc.text", QString());
    return t;
}

const FileTemplate& FileTemplate::markdown()
{
    static const FileTemplate t = text("template.markdown", "md", "text.alignleft", QString());
    return t;
}

const FileTemplate& FileTemplate::richText()
{
    static const FileTemplate t = text("template.richText", "rtf", "doc.richtext",
                                       QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\\pard\\f0\\fs24 \\cf0 }"));
    return t;
}

const QList<FileTemplate>& FileTemplate::officeTemplates()
{
    static const QList<FileTemplate> list{
        office(OfficeDocument::Kind::word, "doc.text"),
        office(OfficeDocument::Kind::excel, "tablecells"),
        office(OfficeDocument::Kind::powerPoint, "rectangle.on.rectangle"),
    };
    return list;
}

const QList<FileTemplate>& FileTemplate::developerTemplates()
{
    static const QList<FileTemplate> list{
        text("template.shell", "sh", "terminal", QStringLiteral("#!/bin/sh\n"), categoryCode),
        make("template.python", "py", codeSymbol, categoryCode, BuiltIn{QStringLiteral("#!/usr/bin/env python3\n")}),
        make("template.javascript", "js", codeSymbol, categoryCode, BuiltIn{}),
        make("template.typescript", "ts", codeSymbol, categoryCode, BuiltIn{}),
        text("template.swift", "swift", "swift", QString(), categoryCode),
        text("template.html", "html", "globe",
             QStringLiteral("<!doctype html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n</head>\n<body>\n</body>\n</html>\n"),
             categoryCode),
        text("template.css", "css", "paintbrush", QString(), categoryCode),
    };
    return list;
}

const QList<FileTemplate>& FileTemplate::dataTemplates()
{
    static const QList<FileTemplate> list{
        text("template.json", "json", "curlybraces", QStringLiteral("{\n}\n"), categoryData),
        text("template.yaml", "yml", "list.bullet", QString(), categoryData),
        text("template.xml", "xml", "chevron.left.slash.chevron.right",
             QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"), categoryData),
        text("template.csv", "csv", "tablecells", QString(), categoryData),
    };
    return list;
}

const QList<FileTemplate>& FileTemplate::builtIns()
{
    static const QList<FileTemplate> list = [] {
        QList<FileTemplate> all{plainText(), markdown(), richText()};
        all += officeTemplates();
        all += developerTemplates();
        all += dataTemplates();
        return all;
    }();
    return list;
}

std::optional<FileTemplate> FileTemplate::builtIn(const QString& id)
{
    for (const auto& t : builtIns())
        if (t.id == id)
            return t;
    return std::nullopt;
}

QString FileTemplate::contentType() const
{
    static const QString generic = QStringLiteral("application/octet-stream");
    if (fileExtension.isEmpty())
        return generic;
    const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(QStringLiteral("x.") + fileExtension);
    return types.isEmpty() ? generic : types.first().name();
}

QJsonObject toJson(const FileTemplate::Source& source)
{
    return std::visit(
        [](const auto& s) -> QJsonObject {
            using T = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<T, FileTemplate::BuiltIn>)
                return OneKeyJson::encode(QStringLiteral("builtIn"), {{QStringLiteral("boilerplate"), s.boilerplate}});
            else if constexpr (std::is_same_v<T, FileTemplate::Office>)
                return OneKeyJson::encode(QStringLiteral("office"), {{QStringLiteral("kind"), s.kind}});
            else
                return OneKeyJson::encode(QStringLiteral("file"), {{QStringLiteral("path"), s.path}});
        },
        source);
}

std::expected<FileTemplate::Source, OneKeyJson::DecodingError> sourceFromJson(const QJsonValue& value)
{
    const auto decoded = OneKeyJson::decode(value, sourceCases);
    if (!decoded)
        return std::unexpected(decoded.error());
    const auto& [name, payload] = *decoded;
    if (name == u"builtIn") {
        const auto text = requiredString(payload, "boilerplate");
        if (!text)
            return std::unexpected(text.error());
        return FileTemplate::BuiltIn{*text};
    }
    if (name == u"office") {
        const auto kind = requiredString(payload, "kind");
        if (!kind)
            return std::unexpected(kind.error());
        return FileTemplate::Office{*kind};
    }
    const auto path = requiredString(payload, "path");
    if (!path)
        return std::unexpected(path.error());
    return FileTemplate::File{*path};
}

QJsonObject toJson(const FileTemplate& t)
{
    QJsonObject o{
        {QStringLiteral("id"), t.id},
        {QStringLiteral("titleKey"), t.titleKey},
        {QStringLiteral("isBuiltIn"), t.isBuiltIn},
        {QStringLiteral("fileExtension"), t.fileExtension},
        {QStringLiteral("symbolName"), t.symbolName},
        {QStringLiteral("source"), toJson(t.source)},
    };
    if (t.categoryKey)
        o.insert(QStringLiteral("categoryKey"), *t.categoryKey);
    return o;
}

std::expected<FileTemplate, OneKeyJson::DecodingError> fileTemplateFromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(OneKeyJson::DecodingError{QStringLiteral("Expected to decode a dictionary.")});
    const QJsonObject o = value.toObject();
    FileTemplate t;
    for (const auto& [key, field] : {std::pair{"id", &t.id}, std::pair{"titleKey", &t.titleKey},
                                     std::pair{"fileExtension", &t.fileExtension},
                                     std::pair{"symbolName", &t.symbolName}}) {
        const auto text = requiredString(o, key);
        if (!text)
            return std::unexpected(text.error());
        *field = *text;
    }
    const QJsonValue builtIn = o.value(u"isBuiltIn");
    if (builtIn.isUndefined())
        return std::unexpected(missingKey("isBuiltIn"));
    if (!builtIn.isBool())
        return std::unexpected(typeMismatch("isBuiltIn"));
    t.isBuiltIn = builtIn.toBool();
    const QJsonValue source = o.value(u"source");
    if (source.isUndefined())
        return std::unexpected(missingKey("source"));
    auto decodedSource = sourceFromJson(source);
    if (!decodedSource)
        return std::unexpected(decodedSource.error());
    t.source = *decodedSource;
    const QJsonValue category = o.value(u"categoryKey");
    if (!category.isUndefined() && !category.isNull()) {
        if (!category.isString())
            return std::unexpected(typeMismatch("categoryKey"));
        t.categoryKey = category.toString();
    }
    return t;
}
