#pragma once

#include "ContextCore/ContextKind.h"

#include <QList>
#include <QMimeType>
#include <QString>
#include <QUrl>

#include <optional>

// The kind of a selection: of a list of selected files, or of a piece of captured text.
// Pure functions of their arguments and of the file system as it is; nothing is written.
namespace ContextClassifier {

// Always a file kind. The folder is not consulted.
ContextKind classifyFiles(const QList<QUrl>& urls, const std::optional<QUrl>& directoryURL = std::nullopt);
// Always a text kind.
ContextKind classifyText(const QString& text, bool isEditable, bool isSecure);
// The text, trimmed, is one http or https address with a host.
bool isURL(const QString& text);

// The file's content type, from its name (so a path that does not exist still has one); none
// when no type is known for it.
std::optional<QMimeType> contentType(const QUrl& url);
bool isImageType(const QMimeType& type);
bool isArchiveType(const QMimeType& type);
// True only for an existing folder (packages and bundles included).
bool isDirectory(const QUrl& url);

} // namespace ContextClassifier
