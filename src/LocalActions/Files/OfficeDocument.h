#pragma once

#include "LocalActions/Files/Zip.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// Blank word-processing, spreadsheet and presentation documents, made without any office
// software: the fewest Office Open XML parts that open as an empty document, packed by Zip.
namespace OfficeDocument {

enum class Kind {
    word,
    excel,
    powerPoint,
};
inline constexpr std::array allKinds{Kind::word, Kind::excel, Kind::powerPoint};
QString toRaw(Kind kind);
std::optional<Kind> kindFromRaw(const QString& raw); // exact and case-sensitive
QString fileExtension(Kind kind);                    // "docx", "xlsx", "pptx"

const QList<Zip::Entry>& wordParts();
const QList<Zip::Entry>& excelParts();
const QList<Zip::Entry>& powerPointParts();
const QList<Zip::Entry>& parts(Kind kind);
const QString& theme();

QByteArray data(Kind kind);

} // namespace OfficeDocument
