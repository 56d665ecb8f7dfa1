#pragma once

#include <QString>

// The two kinds of document Ambrel reads and writes.
struct DocumentType {
    QString identifier;
    QString conformsTo; // the general type it is a kind of
    QString fileExtension;

    static const DocumentType& ambrelPlugin();    // "com.corvish.plugin", YAML, "ambrel"
    static const DocumentType& aiActionLibrary(); // "com.corvish.ai-action-library", JSON, "ambrel-actions"

    bool operator==(const DocumentType&) const = default;
};
