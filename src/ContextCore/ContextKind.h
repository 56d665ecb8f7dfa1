#pragma once

#include "ContextCore/Coding.h"

#include <QHashFunctions>
#include <QJsonArray>
#include <QSet>
#include <QString>

#include <array>

// What is selected: six kinds of file-manager selection, four kinds of text selection. The raw
// value is the kind's stable identifier in plug-in files, definitions and stored JSON.
enum class ContextKind {
    finderEmpty,
    singleFile,
    multipleFiles,
    folder,
    archive,
    image,
    selectedText,
    selectedURL,
    editableText,
    secureText,
};

inline constexpr std::array<ContextKind, 10> contextKindCases{
    ContextKind::finderEmpty, ContextKind::singleFile, ContextKind::multipleFiles, ContextKind::folder,
    ContextKind::archive,     ContextKind::image,      ContextKind::selectedText,  ContextKind::selectedURL,
    ContextKind::editableText, ContextKind::secureText,
};

using ContextKindSet = QSet<ContextKind>;

inline size_t qHash(ContextKind kind, size_t seed = 0) noexcept
{
    return ::qHash(int(kind), seed);
}

template <>
std::span<const ContextKind> allCases<ContextKind>();
template <>
std::optional<ContextKind> fromRaw<ContextKind>(const QString& raw);
QString toRaw(ContextKind kind);

namespace ContextKinds {
const ContextKindSet& fileKinds();
const ContextKindSet& textKinds();
} // namespace ContextKinds

bool isFileKind(ContextKind kind);
bool isTextKind(ContextKind kind);

// A kind is stored as its raw value; a set of kinds as an array of raw values (written here in
// declaration order; read in any order, a repeated value counting once).
QJsonValue toJson(ContextKind kind);
QJsonArray toJson(const ContextKindSet& kinds);
template <>
std::expected<ContextKind, DecodingError> fromJson<ContextKind>(const QJsonValue& value);
template <>
std::expected<ContextKindSet, DecodingError> fromJson<ContextKindSet>(const QJsonValue& value);
