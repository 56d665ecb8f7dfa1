#pragma once

#include "ContextCore/PluginManifest.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <expected>
#include <optional>

// A plug-in file as a document: the text of one manifest, and the manifest read back from a
// file's bytes. The file chooser, not the document, names the file.
struct PluginDocument {
    PluginManifest manifest;

    // The MIME types a plug-in file is read as, and written as: the plug-in type first.
    static const QStringList& readableContentTypes();
    static const QStringList& writableContentTypes() { return readableContentTypes(); }

    // The document in the regular file's bytes: none (a folder, a link, an unreadable file) or
    // bytes that are not UTF-8 are not a plug-in; text is validated as one.
    static std::expected<PluginDocument, PluginManifest::ManifestError> read(const std::optional<QByteArray>& contents);
    // The regular file at the path, read as above.
    static std::expected<PluginDocument, PluginManifest::ManifestError> readFile(const QString& path);

    // The manifest's text in UTF-8, without a byte-order mark.
    QByteArray contents() const;
    // Writes the contents in place of the file at the path, whole or not at all.
    std::expected<void, QString> writeFile(const QString& path) const;
};
