#pragma once

#include "LocalActions/FileOperations.h"
#include "SecurityCore/PrivacyLog.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

#include <array>
#include <memory>
#include <optional>

// How a clash of names in the destination is settled, for a whole batch.
enum class ConflictResolution {
    keepBoth,
    replace,
    skip,
    cancel,
};
inline constexpr std::array allConflictResolutions{ConflictResolution::keepBoth, ConflictResolution::replace,
                                                   ConflictResolution::skip, ConflictResolution::cancel};
inline constexpr ConflictResolution defaultConflictResolution = ConflictResolution::keepBoth;
QString toRaw(ConflictResolution resolution);
std::optional<ConflictResolution> conflictResolutionFromRaw(const QString& raw); // exact
QString titleKey(ConflictResolution resolution); // "conflict.<raw>"

struct TransferResult {
    struct Failure {
        QUrl source;
        QString reasonKey; // "transfer.error.sourceMissing" or "transfer.error.failed"
        bool operator==(const Failure&) const = default;
    };

    QList<QUrl> moved;   // where each moved or copied item now lies, in source order
    QList<QUrl> skipped; // sources left alone
    QList<Failure> failed;

    bool isCompleteSuccess() const { return failed.isEmpty() && skipped.isEmpty(); }
    bool isPartial() const { return !failed.isEmpty() && !moved.isEmpty(); }
    bool operator==(const TransferResult&) const = default;
};

// Moves or copies files and folders into one folder, item after item. It never stops at a failed
// item: each is reported and the batch goes on. Nothing is rolled back, and a failed item keeps its
// source where it was.
class TransferOperation {
public:
    enum class Mode {
        move,
        copy,
    };

    inline static const QString sourceMissingKey = QStringLiteral("transfer.error.sourceMissing");
    inline static const QString failedKey = QStringLiteral("transfer.error.failed");

    // `journal`: the list where folders that copies go into are noted (PartialCopies::note);
    // empty notes nothing.
    explicit TransferOperation(std::shared_ptr<FileOperations> fileOperations = FileOperations::standard(),
                               QString journal = {});

    TransferResult perform(Mode mode, const QList<QUrl>& sources, const QUrl& destinationFolder,
                           ConflictResolution resolution) const;
    // The sources whose name is already taken in the folder; touches nothing.
    QList<QUrl> conflicts(const QList<QUrl>& sources, const QUrl& destinationFolder) const;

private:
    struct ParentFolders {
        QHash<QString, QString> resolved; // each folder as given, with its canonical path
        QString lastFolder;
        QString lastCanonical;
    };
    const QString& canonicalParent(const QString& sourcePath, ParentFolders& known) const;
    void fail(TransferResult& result, const QUrl& source) const;

    std::shared_ptr<FileOperations> m_fileOperations;
    QString m_journal;
    PrivacyLog::Logger m_logger;
};
