// Requests of the file manager's menu performed end to end: each goes through a real queue file,
// is drained, becomes a snapshot as the application builds it, and is performed in a temporary
// folder.

#include "ContextCore/ContextClassifier.h"
#include "LocalActions/Finder/FinderActionCatalog.h"
#include "LocalActions/Finder/FinderActionExecutor.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "LocalActions/Finder/FinderMenuPreferences.h"
#include "Platform/Simulated/SimulatedWorkspace.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using Executor = FinderActionExecutor;
using Outcome = FinderActionExecutor::Outcome;

char* toString(const Outcome& outcome)
{
    const QString text = std::visit(
        [](const auto& o) -> QString {
            using T = std::decay_t<decltype(o)>;
            if constexpr (std::is_same_v<T, Executor::Created>)
                return QStringLiteral("created(%1)").arg(o.file.toLocalFile());
            else if constexpr (std::is_same_v<T, Executor::Transferred>)
                return QStringLiteral("transferred(moved %1, skipped %2, failed %3)")
                    .arg(o.result.moved.size())
                    .arg(o.result.skipped.size())
                    .arg(o.result.failed.size());
            else if constexpr (std::is_same_v<T, Executor::Failed>)
                return QStringLiteral("failed(%1)").arg(o.reasonKey);
            else if constexpr (std::is_same_v<T, Executor::Done>)
                return QStringLiteral("done");
            else if constexpr (std::is_same_v<T, Executor::NothingToDo>)
                return QStringLiteral("nothingToDo");
            else
                return QStringLiteral("needsHelper");
        },
        outcome);
    return qstrdup(text.toUtf8().constData());
}

namespace {

// The real disk, except for the steps a test makes fail.
class ScriptedFiles final : public FileOperations {
public:
    QHash<QString, int> createErrorIn; // folder -> error of every file created in it
    QSet<QString> unmovable;           // sources whose move fails

    bool exists(const QString& path) const override { return m_disk.exists(path); }
    bool isDirectory(const QString& path) const override { return m_disk.isDirectory(path); }
    bool isFile(const QString& path) const override { return m_disk.isFile(path); }
    QString canonicalPath(const QString& path) const override { return m_disk.canonicalPath(path); }
    FileResult createFile(const QString& path, const QByteArray& contents) override
    {
        if (auto it = createErrorIn.constFind(QFileInfo(path).absolutePath()); it != createErrorIn.cend())
            return std::unexpected(FileError{*it});
        return m_disk.createFile(path, contents);
    }
    FileResult copyItem(const QString& from, const QString& to) override { return m_disk.copyItem(from, to); }
    FileResult moveItem(const QString& from, const QString& to) override
    {
        if (unmovable.contains(from))
            return std::unexpected(FileError{EIO});
        return m_disk.moveItem(from, to);
    }
    FileResult trashItem(const QString& path) override { return m_disk.trashItem(path); }

private:
    DiskFileOperations m_disk;
};

const QString kitty = QStringLiteral("kitty");
const QString systemTerminal = QStringLiteral("com.apple.Terminal");

FinderActionRequest request(const QString& action, const QStringList& selected, const std::optional<QString>& folder)
{
    return {.actionID = action, .selectedPaths = selected, .directoryPath = folder, .baseName = QString()};
}

} // namespace

class FinderActionExecutorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    Platform::Folders m_folders;
    Platform::Services m_services;
    std::shared_ptr<Platform::ManualClock> m_clock;
    std::shared_ptr<Platform::SimulatedWorkspace> m_workspace;
    std::shared_ptr<ScriptedFiles> m_files;
    FinderMenuPreferences m_preferences;

    QString work(const QString& relative = QString()) const
    {
        return QDir::cleanPath(m_root->path() + QStringLiteral("/work/") + relative);
    }

    void makeFile(const QString& relative, const QByteArray& contents = "x")
    {
        QVERIFY(QDir().mkpath(QFileInfo(work(relative)).absolutePath()));
        QFile f(work(relative));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        f.write(contents);
    }

    QStringList listing(const QString& relative = QString()) const
    {
        return QDir(work(relative)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }

    std::shared_ptr<Platform::Pasteboard> cutBoard() const
    {
        return m_services.pasteboards->named(CutPasteboard::sharedName);
    }

    Executor executor() const
    {
        return Executor(CutPasteboard::shared(m_services.pasteboards, m_clock), m_services, m_files);
    }

    // What the application does with a drained request.
    Outcome perform(const FinderActionRequest& r)
    {
        const ContextSnapshot snapshot{
            .sourceBundleID = QStringLiteral("com.apple.finder"),
            .kind = ContextClassifier::classifyFiles(r.selectedURLs(), r.directoryURL()),
            .selectedText = std::nullopt,
            .selectedFileURLs = r.selectedURLs(),
            .targetDirectoryURL = r.directoryURL(),
            .isEditable = false,
            .isSecure = false,
            .anchorRect = std::nullopt,
            .capturedAt = m_clock->now(),
        };
        ActionDefinition action{.id = r.actionID};
        for (const auto& d : FinderActionCatalog::all())
            if (d.id == r.actionID)
                action = d;
        std::optional<FileTemplate> fileTemplate;
        for (const auto& t : m_preferences.allTemplates()) {
            if (r.templateID && t.id == *r.templateID) {
                fileTemplate = t;
                break;
            }
        }
        return executor().perform(action, snapshot, fileTemplate, r.terminalBundleID, r.baseName);
    }

    // Through a real queue file: written by the extension's side, drained by the application's.
    Outcome road(const FinderActionRequest& r)
    {
        const auto written = FinderActionHandoff::enqueue(r, m_folders, m_clock->now());
        if (!QTest::qVerify(written.has_value(), "enqueue", "", __FILE__, __LINE__))
            return Executor::NothingToDo{};
        const auto drained = FinderActionHandoff::drain(m_folders);
        if (!QTest::qCompare(drained.size(), qsizetype(1), "drained", "1", __FILE__, __LINE__)
            || !QTest::qVerify(drained.first() == r, "same request", "", __FILE__, __LINE__))
            return Executor::NothingToDo{};
        return perform(drained.first());
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        QVERIFY(QDir().mkpath(work()));
        m_folders = Platform::Folders::under(m_root->path() + QStringLiteral("/home"));
        m_services = Platform::makeSimulatedServices(m_folders);
        m_clock = std::make_shared<Platform::ManualClock>(QDateTime(QDate(2026, 3, 7), QTime(9, 5, 3)));
        m_services.clock = m_clock;
        m_workspace = std::dynamic_pointer_cast<Platform::SimulatedWorkspace>(m_services.workspace);
        QVERIFY(m_workspace);
        m_workspace->setInstalled({
            {.bundleIdentifier = systemTerminal, .name = QStringLiteral("Terminal"),
             .bundleURL = QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/com.apple.Terminal.desktop"))},
            {.bundleIdentifier = kitty, .name = QStringLiteral("kitty"),
             .bundleURL = QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/kitty.desktop"))},
        });
        m_files = std::make_shared<ScriptedFiles>();
        m_preferences = FinderMenuPreferences();
    }

    // New file

    void newFileFromTemplateWithNameVariables()
    {
        auto r = request(QStringLiteral("finder.newFile"), {}, work());
        r.templateID = QStringLiteral("template.markdown");
        r.baseName = QStringLiteral("Notes {date}");
        QCOMPARE(road(r), Outcome(Executor::Created{QUrl::fromLocalFile(work(QStringLiteral("Notes 2026-03-07.md")))}));
        QCOMPARE(road(r), Outcome(Executor::Created{QUrl::fromLocalFile(work(QStringLiteral("Notes 2026-03-07 2.md")))}));
        QCOMPARE(listing(), (QStringList{"Notes 2026-03-07 2.md", "Notes 2026-03-07.md"}));
    }

    void newFileWithoutTemplateIsPlainText()
    {
        makeFile(QStringLiteral("existing.txt"));
        auto r = request(QStringLiteral("finder.newFile"), {work(QStringLiteral("existing.txt"))}, work());
        r.templateID = QStringLiteral("template.unknown"); // matches no template
        r.baseName = QStringLiteral("Draft");
        // With a file selected, the window's folder receives the new file.
        QCOMPARE(road(r), Outcome(Executor::Created{QUrl::fromLocalFile(work(QStringLiteral("Draft.txt")))}));
        QCOMPARE(QFileInfo(work(QStringLiteral("Draft.txt"))).size(), 0);
    }

    void newFileInsideTheOneSelectedFolder()
    {
        QVERIFY(QDir().mkpath(work(QStringLiteral("Inner"))));
        auto r = request(QStringLiteral("finder.newFile"), {work(QStringLiteral("Inner"))}, work());
        r.templateID = QStringLiteral("template.json");
        r.baseName = QStringLiteral("data");
        QCOMPARE(road(r), Outcome(Executor::Created{QUrl::fromLocalFile(work(QStringLiteral("Inner/data.json")))}));
        QFile f(work(QStringLiteral("Inner/data.json")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("{\n}\n"));
    }

    void newFileFromAUserTemplate()
    {
        makeFile(QStringLiteral("models/letter.odt"), "model");
        m_preferences.customTemplates = {FileTemplate{
            .id = QStringLiteral("user.letter"), .titleKey = QStringLiteral("Letter"), .isBuiltIn = false,
            .fileExtension = QStringLiteral("odt"), .symbolName = QStringLiteral("doc"),
            .source = FileTemplate::File{work(QStringLiteral("models/letter.odt"))}, .categoryKey = std::nullopt}};
        auto r = request(QStringLiteral("finder.newFile"), {}, work());
        r.templateID = QStringLiteral("user.letter");
        r.baseName = QStringLiteral("Letter");
        QCOMPARE(road(r), Outcome(Executor::Created{QUrl::fromLocalFile(work(QStringLiteral("Letter.odt")))}));

        QVERIFY(QFile::remove(work(QStringLiteral("models/letter.odt"))));
        QCOMPARE(road(r), Outcome(Executor::Failed{QStringLiteral("finder.error.templateMissing")}));
    }

    void newFileFailures_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("error"); // injected for files created in the folder, 0 for none
        QTest::addColumn<QString>("baseName");
        QTest::addColumn<Outcome>("expected");
        QTest::newRow("folder does not exist") << "missing" << 0 << "a" << Outcome(Executor::Failed{"finder.error.createFailed"});
        QTest::newRow("write refused") << "" << EACCES << "a" << Outcome(Executor::NeedsHelper{});
        QTest::newRow("not permitted") << "" << EPERM << "a" << Outcome(Executor::NeedsHelper{});
        QTest::newRow("disk full") << "" << ENOSPC << "a" << Outcome(Executor::Failed{"finder.error.createFailed"});
        QTest::newRow("name climbs out") << "" << 0 << "../escape" << Outcome(Executor::Failed{"finder.error.createFailed"});
    }

    void newFileFailures()
    {
        QFETCH(QString, folder);
        QFETCH(int, error);
        QFETCH(QString, baseName);
        QFETCH(Outcome, expected);
        if (error)
            m_files->createErrorIn.insert(work(folder), error);
        auto r = request(QStringLiteral("finder.newFile"), {}, work(folder));
        r.baseName = baseName;
        QCOMPARE(road(r), expected);
        QVERIFY(listing().isEmpty());
        QVERIFY(QDir(m_root->path()).entryList(QDir::Files).isEmpty());
    }

    // Cut and paste

    void cutThenPasteMovesAndUsesTheCutOnce()
    {
        makeFile(QStringLiteral("from/a.txt"), "a");
        makeFile(QStringLiteral("from/b.txt"), "b");
        makeFile(QStringLiteral("to/a.txt"), "older a");
        QVERIFY(QDir().mkpath(work(QStringLiteral("to"))));
        const QStringList cut{work(QStringLiteral("from/a.txt")), work(QStringLiteral("from/b.txt"))};
        QCOMPARE(road(request(QStringLiteral("finder.cut"), cut, work(QStringLiteral("from")))), Outcome(Executor::Done{}));
        QVERIFY(!cutBoard()->items().isEmpty());
        QVERIFY(!m_services.pasteboards->general()->string()); // the user's clipboard is left alone

        const auto pasted = road(request(QStringLiteral("finder.paste"), {}, work(QStringLiteral("to"))));
        TransferResult expected;
        expected.moved = {QUrl::fromLocalFile(work(QStringLiteral("to/a 2.txt"))), QUrl::fromLocalFile(work(QStringLiteral("to/b.txt")))};
        QCOMPARE(pasted, Outcome(Executor::Transferred{expected}));
        QCOMPARE(listing(QStringLiteral("to")), (QStringList{"a 2.txt", "a.txt", "b.txt"}));
        QVERIFY(listing(QStringLiteral("from")).isEmpty());
        QVERIFY(cutBoard()->items().isEmpty());

        QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work(QStringLiteral("from")))), Outcome(Executor::NothingToDo{}));
        QVERIFY(listing(QStringLiteral("from")).isEmpty());
    }

    void cutWithoutSelectionKeepsThePreviousCut()
    {
        makeFile(QStringLiteral("a.txt"));
        QCOMPARE(road(request(QStringLiteral("finder.cut"), {work(QStringLiteral("a.txt"))}, work())), Outcome(Executor::Done{}));
        const auto before = cutBoard()->items();
        QCOMPARE(road(request(QStringLiteral("finder.cut"), {}, work())), Outcome(Executor::NothingToDo{}));
        QCOMPARE(cutBoard()->items(), before);
    }

    void pasteIntoTheFolderTheItemsLieInIsDone()
    {
        makeFile(QStringLiteral("X.pdf"), "mine");
        makeFile(QStringLiteral("Y.pdf"), "also mine");
        const QStringList cut{work(QStringLiteral("X.pdf")), work(QStringLiteral("Y.pdf"))};
        QCOMPARE(road(request(QStringLiteral("finder.cut"), cut, work())), Outcome(Executor::Done{}));
        // Pasted through the window, and with the folder itself selected.
        QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work())), Outcome(Executor::Done{}));
        QCOMPARE(listing(), (QStringList{"X.pdf", "Y.pdf"}));
        QVERIFY(cutBoard()->items().isEmpty());

        QCOMPARE(road(request(QStringLiteral("finder.cut"), cut, work())), Outcome(Executor::Done{}));
        QCOMPARE(road(request(QStringLiteral("finder.paste"), {work() + u'/'}, work(QStringLiteral("..")))), Outcome(Executor::Done{}));
        QCOMPARE(listing(), (QStringList{"X.pdf", "Y.pdf"}));
    }

    void pasteWhereOnlySomeItemsAlreadyLie()
    {
        makeFile(QStringLiteral("here.txt"));
        makeFile(QStringLiteral("there/far.txt"));
        const QStringList cut{work(QStringLiteral("here.txt")), work(QStringLiteral("there/far.txt"))};
        QCOMPARE(road(request(QStringLiteral("finder.cut"), cut, work())), Outcome(Executor::Done{}));
        TransferResult expected;
        expected.moved = {QUrl::fromLocalFile(work(QStringLiteral("here.txt"))), QUrl::fromLocalFile(work(QStringLiteral("far.txt")))};
        QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work())), Outcome(Executor::Transferred{expected}));
        QCOMPARE(listing(), (QStringList{"far.txt", "here.txt", "there"}));
    }

    void pasteOfAnExpiredCutDoesNothing()
    {
        makeFile(QStringLiteral("from/a.txt"));
        QVERIFY(QDir().mkpath(work(QStringLiteral("to"))));
        QCOMPARE(road(request(QStringLiteral("finder.cut"), {work(QStringLiteral("from/a.txt"))}, work(QStringLiteral("from")))),
                 Outcome(Executor::Done{}));
        m_clock->advance(1800.5);
        QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work(QStringLiteral("to")))), Outcome(Executor::NothingToDo{}));
        QVERIFY(cutBoard()->items().isEmpty());
        QCOMPARE(listing(QStringLiteral("from")), QStringList{"a.txt"});
    }

    void pasteWithFailures()
    {
        makeFile(QStringLiteral("from/a.txt"));
        makeFile(QStringLiteral("from/b.txt"));
        QVERIFY(QDir().mkpath(work(QStringLiteral("to"))));
        const QStringList cut{work(QStringLiteral("from/a.txt")), work(QStringLiteral("from/b.txt"))};
        QCOMPARE(road(request(QStringLiteral("finder.cut"), cut, work(QStringLiteral("from")))), Outcome(Executor::Done{}));

        // Every item fails: the application is asked for help, the cut stays.
        m_files->unmovable = {cut[0], cut[1]};
        QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work(QStringLiteral("to")))), Outcome(Executor::NeedsHelper{}));
        QCOMPARE(listing(QStringLiteral("from")), (QStringList{"a.txt", "b.txt"}));

        // One fails: the other moves, the failure is listed, and the cut stays for another try.
        m_files->unmovable = {cut[0]};
        TransferResult partial;
        partial.moved = {QUrl::fromLocalFile(work(QStringLiteral("to/b.txt")))};
        partial.failed = {{QUrl::fromLocalFile(cut[0]), QStringLiteral("transfer.error.failed")}};
        QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work(QStringLiteral("to")))), Outcome(Executor::Transferred{partial}));
        QCOMPARE(listing(QStringLiteral("from")), QStringList{"a.txt"});

        m_files->unmovable.clear();
        TransferResult rest;
        rest.moved = {QUrl::fromLocalFile(work(QStringLiteral("to/a.txt")))};
        QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work(QStringLiteral("to")))), Outcome(Executor::Transferred{rest}));
        QCOMPARE(listing(QStringLiteral("to")), (QStringList{"a.txt", "b.txt"}));
    }

    void pasteIntoAFolderThatDoesNotExist()
    {
        makeFile(QStringLiteral("a.txt"));
        makeFile(QStringLiteral("plain"));
        QCOMPARE(road(request(QStringLiteral("finder.cut"), {work(QStringLiteral("a.txt"))}, work())), Outcome(Executor::Done{}));
        // Said as it is, not as a folder we may not write into; the cut stays for another paste.
        for (const QString& folder : {QStringLiteral("gone"), QStringLiteral("plain")})
            QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work(folder))),
                     Outcome(Executor::Failed{Executor::destinationMissingKey}));
        QCOMPARE(listing(), (QStringList{"a.txt", "plain"}));
        QVERIFY(!cutBoard()->items().isEmpty());
    }

    void pasteOfAFolderIntoItself()
    {
        makeFile(QStringLiteral("box/inner/x.txt"));
        QCOMPARE(road(request(QStringLiteral("finder.cut"), {work(QStringLiteral("box"))}, work())), Outcome(Executor::Done{}));
        for (const QString& folder : {QStringLiteral("box"), QStringLiteral("box/inner")})
            QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work(folder))),
                     Outcome(Executor::Failed{Executor::pastedIntoItselfKey}));
        QCOMPARE(listing(QStringLiteral("box")), QStringList{"inner"});
        QCOMPARE(listing(QStringLiteral("box/inner")), QStringList{"x.txt"});

        // A sibling whose name merely begins like the folder is somewhere else.
        QVERIFY(QDir().mkpath(work(QStringLiteral("boxes"))));
        m_files->unmovable = {work(QStringLiteral("box"))};
        QCOMPARE(road(request(QStringLiteral("finder.paste"), {}, work(QStringLiteral("boxes")))), Outcome(Executor::NeedsHelper{}));
    }

    // Copy path and name

    void copies_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("selected"); // relative to the work folder
        QTest::addColumn<bool>("withFolder");
        QTest::addColumn<QString>("expected");     // "{work}" is the work folder; empty: nothing to do
        QTest::newRow("paths of two") << "finder.copyPath" << QStringList{"a b.txt", "ü.md"} << true << "{work}/a b.txt\n{work}/ü.md";
        QTest::newRow("names of two") << "finder.copyName" << QStringList{"a b.txt", "ü.md"} << true << "a b.txt\nü.md";
        QTest::newRow("path of the window") << "finder.copyPath" << QStringList{} << true << "{work}";
        QTest::newRow("name of the window") << "finder.copyName" << QStringList{} << true << "work";
        QTest::newRow("nothing at all") << "finder.copyPath" << QStringList{} << false << "";
    }

    void copies()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, selected);
        QFETCH(bool, withFolder);
        QFETCH(QString, expected);
        QStringList paths;
        for (const QString& s : std::as_const(selected)) {
            makeFile(s);
            paths << work(s);
        }
        auto general = m_services.pasteboards->general();
        general->setString(QStringLiteral("before"));
        const auto outcome = road(request(action, paths, withFolder ? std::optional(work()) : std::nullopt));
        if (expected.isEmpty()) {
            QCOMPARE(outcome, Outcome(Executor::NothingToDo{}));
            QCOMPARE(general->string(), QStringLiteral("before"));
        } else {
            QCOMPARE(outcome, Outcome(Executor::Done{}));
            QCOMPARE(general->string(), QString(expected).replace(QStringLiteral("{work}"), work()));
            QCOMPARE(general->items().size(), 1);
        }
    }

    // Terminal

    void openInTerminal_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("preferred");
        QTest::addColumn<bool>("selectFolder");
        QTest::addColumn<Outcome>("expected");
        QTest::addColumn<QString>("openedWith");
        QTest::newRow("first known terminal") << true << "" << false << Outcome(Executor::Done{}) << kitty;
        QTest::newRow("preferred terminal") << true << systemTerminal << false << Outcome(Executor::Done{}) << systemTerminal;
        QTest::newRow("preferred not installed") << true << "io.alacritty" << false << Outcome(Executor::Done{}) << kitty;
        QTest::newRow("selected folder") << true << "" << true << Outcome(Executor::Done{}) << kitty;
        QTest::newRow("no terminal") << false << "" << false << Outcome(Executor::Failed{"finder.error.noTerminal"}) << "";
    }

    void openInTerminal()
    {
        QFETCH(bool, installed);
        QFETCH(QString, preferred);
        QFETCH(bool, selectFolder);
        QFETCH(Outcome, expected);
        QFETCH(QString, openedWith);
        if (!installed)
            m_workspace->setInstalled({});
        QVERIFY(QDir().mkpath(work(QStringLiteral("project"))));
        auto r = request(QStringLiteral("finder.openInTerminal"), selectFolder ? QStringList{work(QStringLiteral("project"))} : QStringList{},
                         work());
        if (!preferred.isEmpty())
            r.terminalBundleID = preferred;
        QCOMPARE(road(r), expected);
        if (openedWith.isEmpty()) {
            QVERIFY(m_workspace->openRequests.isEmpty());
        } else {
            QCOMPARE(m_workspace->openRequests.size(), 1);
            const QString folder = selectFolder ? work(QStringLiteral("project")) : work();
            QCOMPARE(m_workspace->openRequests.first(),
                     (Platform::SimulatedWorkspace::OpenRequest{{QUrl::fromLocalFile(folder)}, openedWith}));
        }
    }

    void openInTerminalWithoutAFolder()
    {
        makeFile(QStringLiteral("a.txt"));
        QCOMPARE(road(request(QStringLiteral("finder.openInTerminal"), {work(QStringLiteral("a.txt"))}, std::nullopt)),
                 Outcome(Executor::NothingToDo{}));
        QVERIFY(m_workspace->openRequests.isEmpty());
    }

    // Paths in a request are not trusted: a folder that is relative, holds a NUL or ends in "." or
    // ".." is no folder, and such a selected item is no item. Nothing lands in the working folder.
    void untrustedPaths_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("selected"); // "{work}" is the work folder
        QTest::addColumn<QString>("folder");       // "<none>": no folder
        QTest::addColumn<QString>("copied");       // what "copy path" puts on the pasteboard; empty: nothing to do
        const QString nul = QString(QChar(0));
        const QStringList none;
        QTest::newRow("new file, empty folder") << "finder.newFile" << none << "" << "";
        QTest::newRow("new file, relative folder") << "finder.newFile" << none << "to" << "";
        QTest::newRow("new file, folder ending in /.") << "finder.newFile" << none << "{work}/to/." << "";
        QTest::newRow("new file, folder with a NUL") << "finder.newFile" << none << "{work}/to" + nul + "x" << "";
        QTest::newRow("new file, selected folder ending in /..") << "finder.newFile" << QStringList{"{work}/to/.."} << "{work}" << "";
        QTest::newRow("paste, empty folder") << "finder.paste" << none << "" << "";
        QTest::newRow("paste, relative folder") << "finder.paste" << none << "to" << "";
        QTest::newRow("terminal, relative folder") << "finder.openInTerminal" << none << "to" << "";
        QTest::newRow("terminal, folder ending in /..") << "finder.openInTerminal" << none << "{work}/to/.." << "";
        QTest::newRow("copy path skips bad items")
            << "finder.copyPath" << QStringList{"from/a.txt", "{work}/from/a.txt" + nul, "{work}/from/..", "{work}/from//a.txt"}
            << "{work}" << "{work}/from/a.txt";
        QTest::newRow("copy path of bad items only falls back to the folder")
            << "finder.copyPath" << QStringList{"from/a.txt"} << "{work}/to/../from/" << "{work}/from";
        QTest::newRow("copy path of nothing usable") << "finder.copyPath" << QStringList{"from"} << "from" << "";
    }
    void untrustedPaths()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, selected);
        QFETCH(QString, folder);
        QFETCH(QString, copied);
        const auto expand = [this](QString p) { return p.replace(QStringLiteral("{work}"), work()); };

        makeFile(QStringLiteral("from/a.txt"));
        QVERIFY(QDir().mkpath(work(QStringLiteral("to"))));
        if (action == u"finder.paste")
            QCOMPARE(perform(request(QStringLiteral("finder.cut"), {work(QStringLiteral("from/a.txt"))}, work(QStringLiteral("from")))),
                     Outcome(Executor::Done{}));
        QStringList paths;
        for (const QString& s : std::as_const(selected))
            paths << expand(s);
        auto general = m_services.pasteboards->general();
        general->setString(QStringLiteral("before"));

        // The working folder holds a "to" and a "from" too, so a relative path would find them.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work()));
        const auto outcome = perform(request(action, paths, folder == u"<none>" ? std::nullopt : std::optional(expand(folder))));
        QVERIFY(QDir::setCurrent(previous));

        if (copied.isEmpty()) {
            QCOMPARE(outcome, Outcome(Executor::NothingToDo{}));
            QCOMPARE(general->string(), QStringLiteral("before"));
        } else {
            QCOMPARE(outcome, Outcome(Executor::Done{}));
            QCOMPARE(general->string(), expand(copied));
        }
        QCOMPARE(listing(), (QStringList{"from", "to"}));
        QCOMPARE(listing(QStringLiteral("from")), QStringList{"a.txt"});
        QCOMPARE(listing(QStringLiteral("to")), QStringList{});
        QVERIFY(m_workspace->openRequests.isEmpty());
        if (action == u"finder.paste")
            QVERIFY(CutPasteboard::shared(m_services.pasteboards, m_clock).hasPendingCut());
    }

    // Not performed here

    void actionsPerformedElsewhereDoNothing_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("smart rename") << "finder.smartRename";
        QTest::newRow("custom") << "custom.toWebP";
        QTest::newRow("unknown") << "finder.format";
        QTest::newRow("empty") << "";
    }

    void actionsPerformedElsewhereDoNothing()
    {
        QFETCH(QString, action);
        makeFile(QStringLiteral("a.txt"));
        QCOMPARE(road(request(action, {work(QStringLiteral("a.txt"))}, work())), Outcome(Executor::NothingToDo{}));
        QCOMPARE(listing(), QStringList{"a.txt"});
        QVERIFY(cutBoard()->items().isEmpty());
        QVERIFY(!m_services.pasteboards->general()->string());
    }

    void secureSelectionDoesNothing_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("secureKind");
        for (const auto& d : FinderActionCatalog::all()) {
            QTest::addRow("%s, secure flag", qPrintable(d.id)) << d.id << false;
            QTest::addRow("%s, secure kind", qPrintable(d.id)) << d.id << true;
        }
    }

    void secureSelectionDoesNothing()
    {
        QFETCH(QString, action);
        QFETCH(bool, secureKind);
        makeFile(QStringLiteral("a.txt"));
        CutPasteboard(m_services.pasteboards, CutPasteboard::sharedName, m_clock).write({QUrl::fromLocalFile(work(QStringLiteral("a.txt")))});
        QVERIFY(QDir().mkpath(work(QStringLiteral("to"))));
        ContextSnapshot snapshot{.sourceBundleID = QStringLiteral("com.apple.finder"),
                                 .kind = secureKind ? ContextKind::secureText : ContextKind::folder,
                                 .selectedFileURLs = {QUrl::fromLocalFile(work(QStringLiteral("to")))},
                                 .targetDirectoryURL = QUrl::fromLocalFile(work()),
                                 .isSecure = !secureKind,
                                 .capturedAt = m_clock->now()};
        const ActionDefinition* definition = nullptr;
        for (const auto& d : FinderActionCatalog::all())
            if (d.id == action)
                definition = &d;
        QVERIFY(definition);
        QCOMPARE(executor().perform(*definition, snapshot, std::nullopt, std::nullopt, QStringLiteral("n")),
                 Outcome(Executor::NothingToDo{}));
        QCOMPARE(listing(), (QStringList{"a.txt", "to"}));
        QVERIFY(listing(QStringLiteral("to")).isEmpty());
        QVERIFY(m_workspace->openRequests.isEmpty());
        QVERIFY(!m_services.pasteboards->general()->string());
    }

    // A stuck request file is performed once, not at every notification.
    void aRequestIsNeverPerformedTwice()
    {
        makeFile(QStringLiteral("from/a.txt"));
        QVERIFY(QDir().mkpath(work(QStringLiteral("to"))));
        QCOMPARE(road(request(QStringLiteral("finder.cut"), {work(QStringLiteral("from/a.txt"))}, work(QStringLiteral("from")))),
                 Outcome(Executor::Done{}));
        auto r = request(QStringLiteral("finder.newFile"), {}, work(QStringLiteral("to")));
        r.baseName = QStringLiteral("once");
        QVERIFY(FinderActionHandoff::enqueue(r, m_folders).has_value());
        const auto keep = [](const QString&) { return false; };

        int performed = 0;
        for (int notification = 0; notification < 3; ++notification) {
            for (const auto& drained : FinderActionHandoff::drain(m_folders, keep)) {
                QCOMPARE(perform(drained), Outcome(Executor::Created{QUrl::fromLocalFile(work(QStringLiteral("to/once.txt")))}));
                ++performed;
            }
        }
        QCOMPARE(performed, 1);
        QCOMPARE(listing(QStringLiteral("to")), QStringList{"once.txt"});
    }
};

QTEST_GUILESS_MAIN(FinderActionExecutorTest)
#include "tst_FinderActionExecutor.moc"
