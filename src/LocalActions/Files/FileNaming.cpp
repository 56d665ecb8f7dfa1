#include "LocalActions/Files/FileNaming.h"

#include "SecurityCore/PathNames.h"

#include <QUuid>

namespace FileNaming {
namespace {

constexpr int counterLimit = 10000;
constexpr qsizetype maximumNameBytes = 255;

QUrl candidate(const QString& folderPath, const QString& base, const QString& ext)
{
    return QUrl::fromLocalFile(PathNames::join(folderPath, PathNames::withExtension(base, ext)));
}

} // namespace

QString toRaw(NameProblem problem)
{
    switch (problem) {
    case NameProblem::empty: return QStringLiteral("empty");
    case NameProblem::illegalCharacters: return QStringLiteral("illegalCharacters");
    case NameProblem::leadingDot: return QStringLiteral("leadingDot");
    case NameProblem::tooLong: return QStringLiteral("tooLong");
    }
    return {};
}

std::optional<NameProblem> nameProblemFromRaw(const QString& raw)
{
    for (const auto problem : allNameProblems)
        if (toRaw(problem) == raw)
            return problem;
    return std::nullopt;
}

QString messageKey(NameProblem problem)
{
    return QStringLiteral("rename.problem.") + toRaw(problem);
}

bool isIllegalCharacter(QChar c)
{
    return c == u'/' || c == u':' || c == QChar(0);
}

QUrl uniqueURL(const QUrl& folder, const QString& baseName, const QString& fileExtension,
               const FileOperations& fileOperations)
{
    const QString folderPath = folder.toLocalFile();
    const QUrl first = candidate(folderPath, baseName, fileExtension);
    if (!fileOperations.exists(first.toLocalFile()))
        return first;
    for (int counter = 2; counter < counterLimit; ++counter) {
        const QUrl next = candidate(folderPath, baseName + u' ' + QString::number(counter), fileExtension);
        if (!fileOperations.exists(next.toLocalFile()))
            return next;
    }
    const QString random = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().left(8);
    return candidate(folderPath, baseName + u' ' + random, fileExtension);
}

NameValidation validate(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return {Invalid{NameProblem::empty}};
    for (const QChar c : trimmed)
        if (isIllegalCharacter(c))
            return {Invalid{NameProblem::illegalCharacters}};
    if (trimmed.startsWith(u'.'))
        return {Invalid{NameProblem::leadingDot}};
    if (trimmed.toUtf8().size() > maximumNameBytes)
        return {Invalid{NameProblem::tooLong}};
    return {Valid{trimmed}};
}

} // namespace FileNaming
