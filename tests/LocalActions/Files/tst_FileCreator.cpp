#include "FaultyFileOperations.h"

#include "LocalActions/Files/FileCreator.h"
#include "LocalActions/Files/OfficeDocument.h"
#include "LocalActions/LocalActionsStrings.h"
#include "SecurityCore/PrivacyLog.h"

#include <QtTest>

#include <cerrno>

Q_DECLARE_METATYPE(FileCreator::CreationError)

namespace {

QByteArray contentsOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray expectedBytes(const FileTemplate& t)
{
    if (const auto* b = std::get_if<FileTemplate::BuiltIn>(&t.source))
        return b->boilerplate.toUtf8();
    return OfficeDocument::data(*OfficeDocument::kindFromRaw(std::get<FileTemplate::Office>(t.source).kind));
}

} // namespace

class TestFileCreator : public QObject {
    Q_OBJECT

private slots:
    void everyBuiltInTemplate_data()
    {
        QTest::addColumn<FileTemplate>("fileTemplate");
        for (const auto& t : FileTemplate::builtIns())
            QTest::newRow(qPrintable(t.id)) << t;
    }
    void everyBuiltInTemplate()
    {
        QFETCH(FileTemplate, fileTemplate);
        QTemporaryDir dir;
        const QUrl folder = QUrl::fromLocalFile(dir.path());
        const FileCreator creator;
        const QString ext = u'.' + fileTemplate.fileExtension;

        const auto first = creator.createFile(fileTemplate, folder, QStringLiteral("Notes"));
        QVERIFY(first);
        QCOMPARE(first->toLocalFile(), dir.filePath(QStringLiteral("Notes") + ext));
        QCOMPARE(contentsOf(first->toLocalFile()), expectedBytes(fileTemplate));

        // The second one takes the next free name and leaves the first alone.
        write(first->toLocalFile(), "edited by the user");
        const auto second = creator.createFile(fileTemplate, folder, QStringLiteral("Notes"));
        QVERIFY(second);
        QCOMPARE(second->toLocalFile(), dir.filePath(QStringLiteral("Notes 2") + ext));
        QCOMPARE(contentsOf(second->toLocalFile()), expectedBytes(fileTemplate));
        QCOMPARE(contentsOf(first->toLocalFile()), QByteArray("edited by the user"));
    }

    void emptyExtensionGivesNoDot()
    {
        QTemporaryDir dir;
        FileTemplate t = FileTemplate::plainText();
        t.fileExtension.clear();
        const auto url = FileCreator().createFile(t, QUrl::fromLocalFile(dir.path()), QStringLiteral("README"));
        QVERIFY(url);
        QCOMPARE(entries(dir.path()), QStringList{"README"});
    }

    void userModelFileIsCopied()
    {
        QTemporaryDir models;
        QTemporaryDir dir;
        const QString model = models.filePath(QStringLiteral("Invoice.odt"));
        write(model, QByteArray("model bytes\0with a NUL", 22));
        QFile::setPermissions(model, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const FileTemplate t{QStringLiteral("user.1"), QStringLiteral("Invoice"), false, QStringLiteral("odt"),
                             QString(), FileTemplate::File{model}, std::nullopt};
        const auto url = FileCreator().createFile(t, QUrl::fromLocalFile(dir.path()), QStringLiteral("March"));
        QVERIFY(url);
        QCOMPARE(url->toLocalFile(), dir.filePath(QStringLiteral("March.odt")));
        QCOMPARE(contentsOf(url->toLocalFile()), contentsOf(model));
        QVERIFY(QFileInfo(url->toLocalFile()).permissions().testFlag(QFile::ExeOwner));
        QCOMPARE(contentsOf(model), QByteArray("model bytes\0with a NUL", 22));
    }

    // A model that is a symbolic link gives a file of its own: writing to the new file must
    // never reach the model.
    void modelBehindLinks_data()
    {
        QTest::addColumn<QStringList>("links"); // "name>target", made in order in the models folder
        QTest::addColumn<QString>("modelName");
        QTest::newRow("link to a file") << QStringList{"Letter.odt>real.odt"} << "Letter.odt";
        QTest::newRow("link to a link") << QStringList{"mid.odt>real.odt", "Letter.odt>mid.odt"} << "Letter.odt";
        QTest::newRow("absolute link") << QStringList{"Letter.odt>{models}/real.odt"} << "Letter.odt";
    }
    void modelBehindLinks()
    {
        QFETCH(QStringList, links);
        QFETCH(QString, modelName);
        QTemporaryDir models;
        QTemporaryDir dir;
        write(models.filePath(QStringLiteral("real.odt")), "model");
        for (const QString& link : std::as_const(links)) {
            const auto parts = link.split(u'>');
            QVERIFY(QFile::link(QString(parts[1]).replace(QStringLiteral("{models}"), models.path()),
                                models.filePath(parts[0])));
        }
        const FileTemplate t{QStringLiteral("user.1"), QStringLiteral("Letter"), false, QStringLiteral("odt"),
                             QString(), FileTemplate::File{models.filePath(modelName)}, std::nullopt};
        const auto url = FileCreator().createFile(t, QUrl::fromLocalFile(dir.path()), QStringLiteral("New"));
        QVERIFY(url);
        const QFileInfo made(url->toLocalFile());
        QVERIFY(!made.isSymLink());
        QVERIFY(made.isFile());
        QCOMPARE(contentsOf(url->toLocalFile()), QByteArray("model"));
        write(url->toLocalFile(), "the user's letter");
        QCOMPARE(contentsOf(models.filePath(QStringLiteral("real.odt"))), QByteArray("model"));
        QCOMPARE(entries(dir.path()), QStringList{"New.odt"});
    }

    // A link whose target is gone or is no file is no model: nothing is made, least of all a link.
    void unusableModelBehindLink_data()
    {
        QTest::addColumn<QString>("target"); // relative to the models folder
        QTest::newRow("dangling link") << "gone.odt";
        QTest::newRow("link to a link to nothing") << "broken.odt";
    }
    void unusableModelBehindLink()
    {
        QFETCH(QString, target);
        QTemporaryDir models;
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(models.filePath(QStringLiteral("folder"))));
        QVERIFY(QFile::link(models.filePath(QStringLiteral("gone.odt")), models.filePath(QStringLiteral("broken.odt"))));
        QVERIFY(QFile::link(models.filePath(target), models.filePath(QStringLiteral("Letter.odt"))));
        const FileTemplate t{QStringLiteral("user.1"), QStringLiteral("Letter"), false, QStringLiteral("odt"),
                             QString(), FileTemplate::File{models.filePath(QStringLiteral("Letter.odt"))}, std::nullopt};
        QCOMPARE(FileCreator().createFile(t, QUrl::fromLocalFile(dir.path()), QStringLiteral("New")),
                 std::unexpected(FileCreator::CreationError::templateMissing));
        QVERIFY(entries(dir.path()).isEmpty());
    }

    void folderModelBehindLinkIsCopiedAsAFolder()
    {
        QTemporaryDir models;
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(models.filePath(QStringLiteral("Project/src"))));
        QFile inner(models.filePath(QStringLiteral("Project/src/main.txt")));
        QVERIFY(inner.open(QIODevice::WriteOnly));
        inner.write("model");
        inner.close();
        QVERIFY(QFile::link(models.filePath(QStringLiteral("Project")), models.filePath(QStringLiteral("Link"))));
        const FileTemplate t{QStringLiteral("user.3"), QStringLiteral("Project"), false, QString(), QString(),
                             FileTemplate::File{models.filePath(QStringLiteral("Link"))}, std::nullopt};
        const auto created = FileCreator().createFile(t, QUrl::fromLocalFile(dir.path()), QStringLiteral("New"));
        QVERIFY(created.has_value());
        const QFileInfo info(created->toLocalFile());
        QVERIFY(info.isDir() && !info.isSymLink());
        QVERIFY(QFile::exists(created->toLocalFile() + QStringLiteral("/src/main.txt")));
    }

    void unusableTemplates_data()
    {
        QTest::addColumn<FileTemplate>("fileTemplate");
        FileTemplate office = FileTemplate::officeTemplates().first();
        office.source = FileTemplate::Office{QStringLiteral("Word")};
        QTest::newRow("office kind with a capital") << office;
        office.source = FileTemplate::Office{QStringLiteral("keynote")};
        QTest::newRow("unknown office kind") << office;
        QTest::newRow("model file deleted")
            << FileTemplate{QStringLiteral("user.2"), QStringLiteral("Gone"), false, QStringLiteral("txt"), QString(),
                            FileTemplate::File{QStringLiteral("/nonexistent/model.txt")}, std::nullopt};
    }
    void unusableTemplates()
    {
        QFETCH(FileTemplate, fileTemplate);
        QTemporaryDir dir;
        PrivacyLog::Capture log;
        const auto result = FileCreator().createFile(fileTemplate, QUrl::fromLocalFile(dir.path()), QStringLiteral("x"));
        QCOMPARE(result, std::unexpected(FileCreator::CreationError::templateMissing));
        QVERIFY(entries(dir.path()).isEmpty());
        QVERIFY(log.entries(QStringLiteral("FileCreator")).isEmpty());
    }

    void platformFailures_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<FileCreator::CreationError>("expected");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<int>("level");
        QTest::newRow("permission denied") << EACCES << FileCreator::CreationError::notPermitted
                                           << "Write refused at %1; will delegate" << int(QtInfoMsg);
        QTest::newRow("operation not permitted") << EPERM << FileCreator::CreationError::notPermitted
                                                 << "Write refused at %1; will delegate" << int(QtInfoMsg);
        QTest::newRow("disk full") << ENOSPC << FileCreator::CreationError::creationFailed << "Create failed at %1"
                                   << int(QtCriticalMsg);
        QTest::newRow("read-only volume") << EROFS << FileCreator::CreationError::creationFailed
                                          << "Create failed at %1" << int(QtCriticalMsg);
    }
    void platformFailures()
    {
        QFETCH(int, code);
        QFETCH(FileCreator::CreationError, expected);
        QFETCH(QString, logLine);
        QFETCH(int, level);
        QTemporaryDir dir;
        auto ops = std::make_shared<FaultyFileOperations>();
        ops->failOn(FaultyFileOperations::Op::createFile, QStringLiteral(".md"), code);
        PrivacyLog::Capture log;
        const auto result = FileCreator(ops).createFile(FileTemplate::markdown(), QUrl::fromLocalFile(dir.path()),
                                                        QStringLiteral("Secret plans"));
        QCOMPARE(result, std::unexpected(expected));
        const auto lines = log.entries(QStringLiteral("FileCreator"));
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].message,
                 logLine.arg(PrivacyLog::redact(QUrl::fromLocalFile(dir.filePath(QStringLiteral("Secret plans.md"))))));
        QVERIFY(!lines[0].message.contains(u"Secret"));
        QCOMPARE(int(lines[0].type), level);
        QVERIFY(entries(dir.path()).isEmpty());
    }

    void copyRefusedIsNotPermitted()
    {
        QTemporaryDir dir;
        const QString model = dir.filePath(QStringLiteral("model.txt"));
        write(model, "m");
        auto ops = std::make_shared<FaultyFileOperations>();
        ops->failOn(FaultyFileOperations::Op::copyItem, QStringLiteral("model.txt"), EACCES);
        const FileTemplate t{QStringLiteral("u"), QStringLiteral("u"), false, QStringLiteral("txt"), QString(),
                             FileTemplate::File{model}, std::nullopt};
        QCOMPARE(FileCreator(ops).createFile(t, QUrl::fromLocalFile(dir.path()), QStringLiteral("new")),
                 std::unexpected(FileCreator::CreationError::notPermitted));
    }

    void missingFolderFails()
    {
        QTemporaryDir dir;
        PrivacyLog::Capture log;
        const QUrl folder = QUrl::fromLocalFile(dir.filePath(QStringLiteral("not/there")));
        QCOMPARE(FileCreator().createFile(FileTemplate::plainText(), folder, QStringLiteral("a")),
                 std::unexpected(FileCreator::CreationError::creationFailed));
        QVERIFY(log.contains(QStringLiteral("Create failed at <url .txt")));
        QVERIFY(!QFileInfo::exists(folder.toLocalFile()));
    }

    // Someone else takes the chosen name between the choice and the write: the write fails rather
    // than replace their file.
    void lostRaceNeverOverwrites()
    {
        QTemporaryDir dir;
        auto ops = std::make_shared<FaultyFileOperations>();
        ops->faults.append({FaultyFileOperations::Op::createFile, QStringLiteral("race.txt"), 0,
                            [](const QString& path, const QString&) { write(path, "theirs"); }});
        QCOMPARE(FileCreator(ops).createFile(FileTemplate::plainText(), QUrl::fromLocalFile(dir.path()),
                                             QStringLiteral("race")),
                 std::unexpected(FileCreator::CreationError::creationFailed));
        QCOMPARE(contentsOf(dir.filePath(QStringLiteral("race.txt"))), QByteArray("theirs"));
    }

    void baseNames_data()
    {
        QTest::addColumn<QString>("baseName");
        QTest::addColumn<QString>("created"); // empty when refused
        const QString fallback = LocalActionsStrings::string(QStringLiteral("newFile.defaultName")) + QStringLiteral(".txt");
        QTest::newRow("plain") << "2026-03-07 notes" << "2026-03-07 notes.txt";
        QTest::newRow("trailing blank is kept") << "2026-03-07 " << "2026-03-07 .txt";
        QTest::newRow("empty uses the default name") << "" << fallback;
        QTest::newRow("blanks use the default name") << " \t " << fallback;
        QTest::newRow("slash") << "../escape" << "";
        QTest::newRow("slash inside") << "a/b" << "";
        QTest::newRow("dot") << "." << "";
        QTest::newRow("dot dot") << ".." << "";
        QTest::newRow("dot dot among blanks") << " .. " << "";
        QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + u'b' << "";
        QTest::newRow("colon is fine here") << "10:30" << "10:30.txt";
        // Qt would take the joined name for a resource path and create the file in the working folder.
        QTest::newRow("colon at the start") << ":made" << ":made.txt";
    }
    void baseNames()
    {
        QFETCH(QString, baseName);
        QFETCH(QString, created);
        QTemporaryDir root;
        const QString folder = root.filePath(QStringLiteral("inside"));
        QVERIFY(QDir().mkpath(folder));
        // The working folder is the root, where an escaping file would land.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root.path()));
        const auto result = FileCreator().createFile(FileTemplate::plainText(), QUrl::fromLocalFile(folder), baseName);
        QVERIFY(QDir::setCurrent(previous));
        if (created.isEmpty()) {
            QCOMPARE(result, std::unexpected(FileCreator::CreationError::creationFailed));
            QVERIFY(entries(folder).isEmpty());
            QCOMPARE(entries(root.path()), QStringList{"inside"});
        } else {
            QVERIFY(result);
            QCOMPARE(entries(folder), QStringList{created});
            QVERIFY(!created.startsWith(u"newFile."));
        }
    }
};

QTEST_GUILESS_MAIN(TestFileCreator)
#include "tst_FileCreator.moc"
