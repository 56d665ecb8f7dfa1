#include "LocalActions/Finder/FinderActionExecutor.h"

#include "LocalActions/Files/FileCreator.h"
#include "LocalActions/Files/FileNameVariables.h"
#include "LocalActions/Files/PathFormatter.h"
#include "LocalActions/Finder/FinderActionCatalog.h"
#include "LocalActions/Runners/AppLauncher.h"
#include "SecurityCore/PathNames.h"

#include <QCalendar>

FinderActionExecutor::FinderActionExecutor(CutPasteboard cutBoard, const Platform::Services& services,
                                           std::shared_ptr<FileOperations> fileOperations)
    : m_cutBoard(std::move(cutBoard))
    , m_pasteboards(services.pasteboards)
    , m_workspace(services.workspace)
    , m_clock(services.clock)
    , m_fileOperations(std::move(fileOperations))
    , m_transferJournal(transferJournal(services.folders))
{
}

FinderActionExecutor::Outcome FinderActionExecutor::perform(const ActionDefinition& action,
                                                            const ContextSnapshot& snapshot,
                                                            const std::optional<FileTemplate>& fileTemplate,
                                                            const std::optional<QString>& terminalBundleID,
                                                            const QString& newFileBaseName)
{
    if (snapshot.isSecure || snapshot.kind == ContextKind::secureText)
        return NothingToDo{};

    const QString& id = action.id;
    if (id == FinderActionCatalog::newFile().id)
        return createFile(fileTemplate.value_or(FileTemplate::plainText()), snapshot, newFileBaseName);
    if (id == FinderActionCatalog::cut().id) {
        // Only what could be moved is recorded: never the root, nor a path unfit to act on.
        QList<QUrl> items;
        items.reserve(snapshot.selectedFileURLs.size());
        for (const QUrl& url : snapshot.selectedFileURLs)
            if (const auto path = checkedSourcePath(url))
                // The selection's own URL where its path is clean already: a cut of many files
                // is not copied once more.
                items.append(*path == url.toLocalFile() ? url : QUrl::fromLocalFile(*path));
        if (items.isEmpty())
            return NothingToDo{};
        m_cutBoard.write(items);
        return Done{};
    }
    if (id == FinderActionCatalog::paste().id)
        return paste(snapshot);
    if (id == FinderActionCatalog::copyPath().id)
        return copy(PathFormatter::posixPaths(targets(snapshot)));
    if (id == FinderActionCatalog::copyName().id)
        return copy(PathFormatter::names(targets(snapshot)));
    if (id == FinderActionCatalog::openInTerminal().id) {
        const auto folder = destinationDirectory(snapshot);
        if (!folder)
            return NothingToDo{};
        if (AppLauncher::openInTerminal(*m_workspace, *folder, terminalBundleID))
            return Done{};
        return Failed{noTerminalKey};
    }
    // Smart rename, custom actions and unknown identifiers are not performed here.
    return NothingToDo{};
}

QString FinderActionExecutor::transferJournal(const Platform::Folders& folders)
{
    return PathNames::join(folders.appData, QStringLiteral("partial-copies"));
}

namespace {

// Paths in a request come from another program: one unfit to act on counts as not given.
std::optional<QUrl> checked(const QUrl& url)
{
    if (const auto path = checkedLocalPath(url))
        return QUrl::fromLocalFile(*path);
    return std::nullopt;
}

} // namespace

std::optional<QUrl> FinderActionExecutor::destinationDirectory(const ContextSnapshot& snapshot)
{
    if (snapshot.kind == ContextKind::folder && !snapshot.selectedFileURLs.isEmpty())
        return checked(snapshot.selectedFileURLs.first());
    if (snapshot.targetDirectoryURL)
        return checked(*snapshot.targetDirectoryURL);
    return std::nullopt;
}

QList<QUrl> FinderActionExecutor::targets(const ContextSnapshot& snapshot)
{
    QList<QUrl> selected;
    for (const QUrl& url : snapshot.selectedFileURLs)
        if (const auto item = checked(url))
            selected.append(*item);
    if (!selected.isEmpty())
        return selected;
    if (snapshot.targetDirectoryURL)
        if (const auto folder = checked(*snapshot.targetDirectoryURL))
            return {*folder};
    return {};
}

FinderActionExecutor::Outcome FinderActionExecutor::createFile(const FileTemplate& fileTemplate,
                                                               const ContextSnapshot& snapshot,
                                                               const QString& baseName)
{
    const auto folder = destinationDirectory(snapshot);
    if (!folder)
        return NothingToDo{};
    // Name variables read the user's local date and time.
    const QString name = FileNameVariables::expand(baseName, m_clock->now().toLocalTime(), QCalendar());
    const auto created = FileCreator(m_fileOperations).createFile(fileTemplate, *folder, name);
    if (created)
        return Created{*created};
    switch (created.error()) {
    case FileCreator::CreationError::notPermitted:
        return NeedsHelper{};
    case FileCreator::CreationError::templateMissing:
        return Failed{templateMissingKey};
    case FileCreator::CreationError::creationFailed:
        break;
    }
    return Failed{createFailedKey};
}

FinderActionExecutor::Outcome FinderActionExecutor::paste(const ContextSnapshot& snapshot)
{
    const auto folder = destinationDirectory(snapshot);
    if (!folder)
        return NothingToDo{};
    const QList<QUrl> items = m_cutBoard.read(m_clock->now(), *m_fileOperations);
    if (items.isEmpty())
        return NothingToDo{};
    const std::optional<QString> folderPath = checkedLocalPath(*folder);
    if (!folderPath || !m_fileOperations->isDirectory(*folderPath))
        return Failed{destinationMissingKey}; // the cut stays for a paste elsewhere

    const TransferResult result = TransferOperation(m_fileOperations, m_transferJournal)
                                      .perform(TransferOperation::Mode::move, items, *folder, ConflictResolution::keepBoth);
    if (result.failed.isEmpty()) {
        m_cutBoard.clear();
        // Items that already lay in the folder stay where they are; when that is all of them,
        // nothing was transferred.
        bool nothingMoved = result.moved.size() == items.size();
        for (qsizetype i = 0; nothingMoved && i < items.size(); ++i)
            nothingMoved = result.moved[i].toLocalFile() == items[i].toLocalFile();
        if (nothingMoved)
            return Done{};
        return Transferred{result};
    }
    if (!result.moved.isEmpty() || !result.skipped.isEmpty())
        return Transferred{result}; // the cut stays, so the rest can be pasted again
    // Nothing moved. A folder cannot go into itself or below itself; anything else is taken
    // for a folder we may not write into.
    const QString into = m_fileOperations->canonicalPath(*folderPath) + u'/';
    const bool allIntoThemselves = std::all_of(result.failed.begin(), result.failed.end(), [&](const auto& failure) {
        const QString source = m_fileOperations->canonicalPath(failure.source.toLocalFile());
        return !source.isEmpty() && into.startsWith(source + u'/');
    });
    if (allIntoThemselves)
        return Failed{pastedIntoItselfKey};
    return NeedsHelper{};
}

FinderActionExecutor::Outcome FinderActionExecutor::copy(const QString& text)
{
    if (text.isEmpty())
        return NothingToDo{};
    m_pasteboards->general()->setString(text);
    return Done{};
}
