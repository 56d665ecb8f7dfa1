#include "LocalActions/Files/SmartRename.h"

#include "ContextCore/ModelReply.h"
#include "LocalActions/Files/FileNaming.h"
#include "SecurityCore/PathNames.h"
#include "SecurityCore/PrivacyLog.h"
#include "SecurityCore/TextMetrics.h"

#include <QDir>
#include <QSet>

namespace SmartRename {

namespace {

QString canonical(const QString& text)
{
    return text.normalized(QString::NormalizationForm_C);
}

// Case-blind and canonical: what two names that must not both be claimed have in common.
QString claimKey(const QString& name)
{
    return canonical(canonical(name).toLower());
}

bool isLetter(const QString& character)
{
    if (character.isEmpty())
        return false;
    const char32_t first = character.toUcs4().value(0);
    return QChar::isLetter(first);
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

// The file-system path, without a trailing slash.
QString pathOf(const QUrl& url)
{
    return QDir::cleanPath(url.toLocalFile());
}

} // namespace

QString Candidate::originalName() const
{
    return PathNames::lastComponent(pathOf(original));
}

QString Candidate::resultingName() const
{
    return PathNames::withExtension(proposedName, PathNames::extension(pathOf(original)));
}

QString proposedName(const QString& suggestion, const QUrl& file)
{
    const QString trimmed = suggestion.trimmed();
    if (PathNames::extension(pathOf(file)).isEmpty())
        return trimmed;
    const QStringList characters = TextMetrics::characters(trimmed);
    const qsizetype dot = characters.lastIndexOf(QStringLiteral("."));
    if (dot <= 0)
        return trimmed;
    const QStringList ending = characters.mid(dot + 1);
    if (ending.size() < 2 || ending.size() > 5 || !std::all_of(ending.begin(), ending.end(), isLetter))
        return trimmed;
    return characters.mid(0, dot).join(QString());
}

QList<Candidate> candidates(const QList<QUrl>& files, const QStringList& suggestions,
                            const FileOperations& fileOperations)
{
    QList<Candidate> result;
    QSet<QString> claimed;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QUrl& file = files.at(i);
        const QString suggestion = i < suggestions.size() ? suggestions.at(i) : QString();
        Candidate candidate{pathOf(file), file, proposedName(ModelReply::cleaned(suggestion), file), std::nullopt, true};

        const FileNaming::NameValidation validation = FileNaming::validate(candidate.proposedName);
        if (const auto* invalid = std::get_if<FileNaming::Invalid>(&validation.value)) {
            candidate.problemKey = FileNaming::messageKey(invalid->problem);
            candidate.isSelected = false;
            result.append(candidate);
            continue;
        }
        candidate.proposedName = candidate.proposedName.trimmed();
        const QString resulting = candidate.resultingName();

        if (canonical(resulting) == canonical(candidate.originalName())) {
            candidate.isSelected = false; // nothing to do, and its name stays its own
        } else if (const QString key = claimKey(resulting); claimed.contains(key)) {
            candidate.problemKey = duplicateKey;
            candidate.isSelected = false;
        } else {
            claimed.insert(key);
            if (fileOperations.exists(folderOf(candidate.id) + QLatin1Char('/') + resulting)) {
                candidate.problemKey = existsKey;
                candidate.isSelected = false;
            }
        }
        result.append(candidate);
    }
    return result;
}

Result apply(const QList<Candidate>& candidates, FileOperations& fileOperations)
{
    const PrivacyLog::Logger logger = PrivacyLog::logger(QStringLiteral("SmartRename"));
    Result result;
    for (const Candidate& candidate : candidates) {
        if (!candidate.isApplicable())
            continue;
        const QString from = pathOf(candidate.original);
        const QString to = folderOf(from) + QLatin1Char('/') + candidate.resultingName();
        if (fileOperations.moveItem(from, to)) {
            result.renamed.append({candidate.original, QUrl::fromLocalFile(to)});
        } else {
            logger.error(QStringLiteral("Rename failed for %1").arg(PrivacyLog::redact(candidate.original)));
            result.failed.append(candidate.original);
        }
    }
    return result;
}

bool undo(const Result& result, FileOperations& fileOperations)
{
    bool allMoved = true;
    for (auto it = result.renamed.crbegin(); it != result.renamed.crend(); ++it)
        if (!fileOperations.moveItem(pathOf(it->to), pathOf(it->from)))
            allMoved = false;
    return allMoved;
}

} // namespace SmartRename
