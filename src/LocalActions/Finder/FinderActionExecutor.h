#pragma once

#include "ActionCore/ActionDefinition.h"
#include "ContextCore/ContextSnapshot.h"
#include "LocalActions/Files/FileTemplate.h"
#include "LocalActions/Finder/CutPasteboard.h"
#include "LocalActions/Transfers/FileOperations.h"
#include "LocalActions/Transfers/TransferOperation.h"
#include "Platform/Services.h"

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <variant>

// Carries out the built-in actions of the file manager's menu on one selection and answers what
// became of it. Nothing is thrown or logged here: every failure is an outcome.
class FinderActionExecutor {
public:
    struct Created {
        QUrl file;
        bool operator==(const Created&) const = default;
    };
    // A paste moved files; the result lists what moved, was skipped or failed.
    struct Transferred {
        TransferResult result;
        bool operator==(const Transferred&) const = default;
    };
    struct Failed {
        QString reasonKey; // shown through LocalActionsStrings
        bool operator==(const Failed&) const = default;
    };
    // Cut recorded, text copied, terminal opened, or a paste where everything already was.
    struct Done {
        bool operator==(const Done&) const = default;
    };
    // Does not apply, or there is nothing to act on; not a failure, shows nothing.
    struct NothingToDo {
        bool operator==(const NothingToDo&) const = default;
    };
    // Creating the file was refused for lack of permission, or every item of a paste failed for a
    // reason other than a missing folder or a folder pasted into itself (those are `Failed`).
    struct NeedsHelper {
        bool operator==(const NeedsHelper&) const = default;
    };
    using Outcome = std::variant<Created, Transferred, Failed, Done, NothingToDo, NeedsHelper>;

    inline static const QString templateMissingKey = QStringLiteral("finder.error.templateMissing");
    inline static const QString createFailedKey = QStringLiteral("finder.error.createFailed");
    inline static const QString noTerminalKey = QStringLiteral("finder.error.noTerminal");
    inline static const QString destinationMissingKey = QStringLiteral("finder.error.destinationMissing");
    inline static const QString pastedIntoItselfKey = QStringLiteral("finder.error.pastedIntoItself");

    // The general pasteboard, the workspace and the clock come from `services`; the pending cut
    // lives in `cutBoard`.
    FinderActionExecutor(CutPasteboard cutBoard, const Platform::Services& services,
                         std::shared_ptr<FileOperations> fileOperations = FileOperations::standard());

    // `fileTemplate` absent: plain text. `newFileBaseName` may hold name variables.
    Outcome perform(const ActionDefinition& action, const ContextSnapshot& snapshot,
                    const std::optional<FileTemplate>& fileTemplate, const std::optional<QString>& terminalBundleID,
                    const QString& newFileBaseName);

    // Where pastes note the folders they copy into, so that what a killed paste left there is
    // removed at the next start (PartialCopies::sweep).
    static QString transferJournal(const Platform::Folders& folders);

private:
    // The one selected folder, else the window's folder.
    static std::optional<QUrl> destinationDirectory(const ContextSnapshot& snapshot);
    // The selected items, else the window's folder.
    static QList<QUrl> targets(const ContextSnapshot& snapshot);

    Outcome createFile(const FileTemplate& fileTemplate, const ContextSnapshot& snapshot, const QString& baseName);
    Outcome paste(const ContextSnapshot& snapshot);
    Outcome copy(const QString& text);

    CutPasteboard m_cutBoard;
    std::shared_ptr<Platform::Pasteboards> m_pasteboards;
    std::shared_ptr<Platform::Workspace> m_workspace;
    std::shared_ptr<Platform::Clock> m_clock;
    std::shared_ptr<FileOperations> m_fileOperations;
    QString m_transferJournal;
};
