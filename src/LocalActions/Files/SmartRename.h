#pragma once

#include "LocalActions/Transfers/FileOperations.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// Turns a model's suggested names into rename candidates, performs the ones the user kept and
// can move them back. The file's own extension is always kept: a proposal cannot change it.
namespace SmartRename {

struct Candidate {
    QString id;                         // the file's path
    QUrl original;                      // the file or folder to rename
    QString proposedName;               // without the extension; the user may edit it
    std::optional<QString> problemKey;  // why it cannot be applied ("rename.problem.…")
    bool isSelected = true;

    QString originalName() const;
    // The proposed name, then "." and the original's extension when it has one.
    QString resultingName() const;
    bool isApplicable() const { return !problemKey && isSelected; }

    bool operator==(const Candidate&) const = default;
};

struct Rename {
    QUrl from;
    QUrl to;
    bool operator==(const Rename&) const = default;
};

struct Result {
    QList<Rename> renamed; // in the order they were done
    QList<QUrl> failed;    // originals whose rename failed, in candidate order
    bool isCompleteSuccess() const { return failed.isEmpty(); }
    bool operator==(const Result&) const = default;
};

inline const QString duplicateKey = QStringLiteral("rename.problem.duplicate");
inline const QString existsKey = QStringLiteral("rename.problem.exists");

// The proposal from a cleaned suggestion: trimmed, and for a file that has an extension, an
// ending of a dot and two to five letters (any script) is taken for an extension and dropped.
QString proposedName(const QString& suggestion, const QUrl& file);

// One candidate per file, in file order; a missing suggestion counts as empty. Names are compared
// under Unicode canonical equivalence; duplicates within the list ignore letter case.
QList<Candidate> candidates(const QList<QUrl>& files, const QStringList& suggestions,
                            const FileOperations& fileOperations);

// Renames every applicable candidate in list order; a failure is logged without the name and the
// next one follows. Nothing is rolled back.
Result apply(const QList<Candidate>& candidates, FileOperations& fileOperations);

// Moves the renamed items back, last first; true when every move back succeeded.
bool undo(const Result& result, FileOperations& fileOperations);

} // namespace SmartRename
