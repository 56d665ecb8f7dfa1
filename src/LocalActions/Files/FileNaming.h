#pragma once

#include "LocalActions/Transfers/FileOperations.h"

#include <QString>
#include <QUrl>

#include <array>
#include <optional>
#include <variant>

// Free names in a folder and the rules for names a person types.
namespace FileNaming {

enum class NameProblem {
    empty,
    illegalCharacters,
    leadingDot,
    tooLong,
};
// In the order validation tests them.
inline constexpr std::array allNameProblems{NameProblem::empty, NameProblem::illegalCharacters,
                                            NameProblem::leadingDot, NameProblem::tooLong};
QString toRaw(NameProblem problem);
std::optional<NameProblem> nameProblemFromRaw(const QString& raw);
QString messageKey(NameProblem problem); // "rename.problem.<raw>"

struct Valid {
    QString name; // trimmed
    bool operator==(const Valid&) const = default;
};
struct Invalid {
    NameProblem problem;
    bool operator==(const Invalid&) const = default;
};
struct NameValidation {
    std::variant<Valid, Invalid> value;
    bool isValid() const { return std::holds_alternative<Valid>(value); }
    bool operator==(const NameValidation&) const = default;
};

// Slash, colon and NUL.
bool isIllegalCharacter(QChar c);

// "base.ext", else "base 2.ext" ... "base 9999.ext", else "base XXXXXXXX.ext" with the start of
// a fresh UUID. An empty extension gives no dot. Creates nothing.
QUrl uniqueURL(const QUrl& folder, const QString& baseName, const QString& fileExtension,
               const FileOperations& fileOperations);

NameValidation validate(const QString& name);

} // namespace FileNaming
