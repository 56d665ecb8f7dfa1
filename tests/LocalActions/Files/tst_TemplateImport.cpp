#include "FaultyFileOperations.h"

#include "LocalActions/Files/TemplateImport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <unistd.h>

using Failure = TemplateImport::Failure;
using Op = FaultyFileOperations::Op;
Q_DECLARE_METATYPE(Failure)

class TemplateImportTest : public QObject {
    Q_OBJECT
private slots:
    void importsACopy();
    void failuresLoseNothing_data();
    void failuresLoseNothing();
    void aFileAlreadyInTheFolderIsKept_data();
    void aFileAlreadyInTheFolderIsKept();
    void badChoices_data();
    void badChoices();
};

namespace {

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString write(const QString& path, const QByteArray& contents)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(contents);
    return path;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

void TemplateImportTest::importsACopy()
{
    QTemporaryDir root;
    const QString source = write(root.filePath("Report.docx"), "first");
    const TemplateImport importer(TemplateImport::folderIn(root.filePath("data")));
    const auto t = importer.import(source);
    QVERIFY(t);
    const QString copy = root.filePath("data/Templates/Report.docx");
    QCOMPARE(std::get<FileTemplate::File>(t->source).path, copy);
    QCOMPARE(read(copy), QByteArray("first"));
    QCOMPARE(t->titleKey, QStringLiteral("Report"));
    QCOMPARE(t->fileExtension, QStringLiteral("docx"));
    QVERIFY(!t->isBuiltIn);
    QVERIFY(!t->categoryKey);
    // The same name again replaces the copy and makes a second template.
    write(source, "second");
    const auto again = importer.import(source);
    QVERIFY(again);
    QVERIFY(again->id != t->id);
    QCOMPARE(read(copy), QByteArray("second"));
    QCOMPARE(entries(importer.folder()), QStringList{"Report.docx"});
}

void TemplateImportTest::failuresLoseNothing_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("vanishes");
    QTest::addColumn<Failure>("failure");
    QTest::newRow("unreadable") << EACCES << false << Failure::unreadable;
    QTest::newRow("disk full") << ENOSPC << false << Failure::copyFailed;
    QTest::newRow("vanishes before the copy") << 0 << true << Failure::vanished;
}

void TemplateImportTest::failuresLoseNothing()
{
    QFETCH(int, code);
    QFETCH(bool, vanishes);
    QFETCH(Failure, failure);
    QTemporaryDir root;
    const QString folder = TemplateImport::folderIn(root.path());
    QDir().mkpath(folder);
    // An earlier import of the same name, whose entry still points at it.
    write(folder + "/Letter.txt", "earlier");
    const QString source = write(root.filePath("Letter.txt"), "new");
    auto files = std::make_shared<FaultyFileOperations>();
    files->faults.append({Op::copyItem, "Letter.txt", code,
                          vanishes ? std::function<void(const QString&, const QString&)>(
                                         [](const QString& from, const QString&) { FaultyFileOperations::removeItem(from); })
                                   : nullptr});
    const TemplateImport importer(folder, files);
    const auto result = importer.import(source);
    QVERIFY(!result);
    QCOMPARE(result.error(), failure);
    QCOMPARE(read(folder + "/Letter.txt"), QByteArray("earlier"));
    QCOMPARE(entries(folder), QStringList{"Letter.txt"});
}

void TemplateImportTest::aFileAlreadyInTheFolderIsKept_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the copy itself") << "same";
    QTest::newRow("through a symbolic link") << "symlink";
    QTest::newRow("a hard link elsewhere") << "hardlink";
}

void TemplateImportTest::aFileAlreadyInTheFolderIsKept()
{
    QFETCH(QString, how);
    QTemporaryDir root;
    const QString folder = TemplateImport::folderIn(root.path());
    QDir().mkpath(folder);
    const QString inFolder = write(folder + "/Memo.md", "keep me");
    QString chosen = inFolder;
    QDir().mkpath(root.filePath("elsewhere"));
    if (how == u"symlink") {
        chosen = root.filePath("elsewhere/Memo.md");
        QVERIFY(QFile::link(inFolder, chosen));
    } else if (how == u"hardlink") {
        chosen = root.filePath("elsewhere/Memo.md");
        QCOMPARE(::link(QFile::encodeName(inFolder).constData(), QFile::encodeName(chosen).constData()), 0);
    }
    auto files = std::make_shared<FaultyFileOperations>();
    const TemplateImport importer(folder, files);
    const auto t = importer.import(chosen);
    QVERIFY(t);
    QCOMPARE(std::get<FileTemplate::File>(t->source).path, inFolder);
    QCOMPARE(read(inFolder), QByteArray("keep me"));
    QVERIFY(files->calls.isEmpty());
}

void TemplateImportTest::badChoices_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Failure>("failure");
    QTest::newRow("a folder") << "folder" << Failure::notAFile;
    QTest::newRow("gone") << "missing" << Failure::vanished;
    QTest::newRow("too large") << "large" << Failure::tooLarge;
    QTest::newRow("no templates folder") << "blocked" << Failure::noFolder;
}

void TemplateImportTest::badChoices()
{
    QFETCH(QString, kind);
    QFETCH(Failure, failure);
    QTemporaryDir root;
    QString folder = TemplateImport::folderIn(root.filePath("data"));
    QString source = write(root.filePath("a.txt"), "0123456789");
    if (kind == u"folder") {
        source = root.filePath("dir");
        QDir().mkpath(source);
    } else if (kind == u"missing") {
        source = root.filePath("nothing.txt");
    } else if (kind == u"blocked") {
        // A file where the folder would be.
        write(root.filePath("data"), "x");
    }
    const TemplateImport importer(folder, FileOperations::standard(), kind == u"large" ? 9 : TemplateImport::defaultMaximumSize);
    const auto result = importer.import(source);
    QVERIFY(!result);
    QCOMPARE(result.error(), failure);
    if (kind != u"blocked")
        QVERIFY(entries(folder).isEmpty());
    QVERIFY(!TemplateImport::messageKey(failure).isEmpty());
}

QTEST_MAIN(TemplateImportTest)
#include "tst_TemplateImport.moc"
