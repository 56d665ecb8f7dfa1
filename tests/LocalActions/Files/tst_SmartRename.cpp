#include "FaultyFileOperations.h"
#include "LocalActions/Files/SmartRename.h"
#include "LocalActions/LocalActionsStrings.h"
#include "SecurityCore/ModuleStrings.h"
#include "SecurityCore/PrivacyLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

void touch(const QString& path, const QByteArray& contents = "x")
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList listing(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// name / problem key or "ok" / selected
QString describe(const SmartRename::Candidate& c)
{
    return QStringLiteral("%1|%2|%3").arg(c.resultingName(), c.problemKey.value_or(QStringLiteral("ok")),
                                          c.isSelected ? QStringLiteral("on") : QStringLiteral("off"));
}

} // namespace

class SmartRenameTest : public QObject {
    Q_OBJECT

private slots:
    void stripsExtensions_data();
    void stripsExtensions();
    void buildsCandidates_data();
    void buildsCandidates();
    void judgesTheListAsAWhole_data();
    void judgesTheListAsAWhole();
    void appliesWhatIsApplicable();
    void appliesTrustingTheCaller();
    void undoesInReverse();
    void undoGoesOnAfterAFailure();
    void hasTextsForItsKeys();
};

void SmartRenameTest::stripsExtensions_data()
{
    QTest::addColumn<QString>("suggestion");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("proposed");

    QTest::newRow("own extension") << "Quarterly Report.pdf" << "/f/x.pdf" << "Quarterly Report";
    QTest::newRow("other extension") << "Quarterly Report.pdf" << "/f/x.txt" << "Quarterly Report";
    QTest::newRow("digit is no letter") << "notes.a1" << "/f/x.txt" << "notes.a1";
    QTest::newRow("six letters") << "photo.jpegxl" << "/f/x.jpg" << "photo.jpegxl";
    QTest::newRow("one letter") << "plan.b" << "/f/x.txt" << "plan.b";
    QTest::newRow("letters of any script") << "报告.文档" << "/f/x.docx" << "报告";
    QTest::newRow("accented letters") << "résumé.résu" << "/f/x.txt" << "résumé";
    QTest::newRow("tar taken for an extension") << "archive.tar" << "/f/x.gz" << "archive";
    QTest::newRow("only dot first") << ".hidden" << "/f/x.txt" << ".hidden";
    QTest::newRow("file without extension") << "readme.md" << "/f/README" << "readme.md";
    QTest::newRow("trimmed") << "  spaced name.txt \n" << "/f/x.txt" << "spaced name";
    QTest::newRow("last dot decides") << "v1.2.final" << "/f/x.txt" << "v1.2";
    QTest::newRow("trailing dot") << "name." << "/f/x.txt" << "name.";
}

void SmartRenameTest::stripsExtensions()
{
    QFETCH(QString, suggestion);
    QFETCH(QString, file);
    QFETCH(QString, proposed);
    QCOMPARE(SmartRename::proposedName(suggestion, QUrl::fromLocalFile(file)), proposed);
}

void SmartRenameTest::buildsCandidates_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("suggestion");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("proposed");

    const QString a255(255, QLatin1Char('a'));
    QTest::newRow("plain") << "old.pdf" << "Quarterly Report.pdf" << QStringList() << "Quarterly Report.pdf|ok|on"
                           << "Quarterly Report";
    QTest::newRow("model wrapping cleaned") << "old.pdf" << "Suggested name: \"Tax Return 2024\"" << QStringList()
                                            << "Tax Return 2024.pdf|ok|on" << "Tax Return 2024";
    QTest::newRow("fenced") << "old.txt" << "```\nmeeting-notes.txt\n```" << QStringList() << "meeting-notes.txt|ok|on"
                            << "meeting-notes";
    QTest::newRow("empty") << "old.txt" << "   " << QStringList() << ".txt|rename.problem.empty|off" << "";
    QTest::newRow("slash") << "old.txt" << "a/b" << QStringList() << "a/b.txt|rename.problem.illegalCharacters|off"
                           << "a/b";
    QTest::newRow("colon before dot") << "old.txt" << ".a:b" << QStringList()
                                      << ".a:b.txt|rename.problem.illegalCharacters|off" << ".a:b";
    QTest::newRow("leading dot") << "old.txt" << ".hidden" << QStringList() << ".hidden.txt|rename.problem.leadingDot|off"
                                 << ".hidden";
    QTest::newRow("255 bytes pass") << "old.txt" << a255 << QStringList() << a255 + ".txt|ok|on" << a255;
    QTest::newRow("256 bytes fail") << "old.txt" << a255 + "a" << QStringList()
                                    << a255 + "a.txt|rename.problem.tooLong|off" << a255 + "a";
    QTest::newRow("128 two-byte letters fail") << "old.txt" << QString(128, QChar(0xe9)) << QStringList()
                                               << QString(128, QChar(0xe9)) + ".txt|rename.problem.tooLong|off"
                                               << QString(128, QChar(0xe9));
    QTest::newRow("unchanged") << "same.txt" << "same" << QStringList() << "same.txt|ok|off" << "same";
    QTest::newRow("unchanged, other normal form") << QStringLiteral("Caf\u00e9.txt") << QStringLiteral("Cafe\u0301")
                                                  << QStringList() << QStringLiteral("Cafe\u0301.txt|ok|off")
                                                  << QStringLiteral("Cafe\u0301");
    QTest::newRow("case change is a change") << "same.txt" << "Same" << QStringList() << "Same.txt|ok|on" << "Same";
    QTest::newRow("name taken in the folder") << "old.txt" << "taken" << QStringList{"taken.txt"}
                                              << "taken.txt|rename.problem.exists|off" << "taken";
    QTest::newRow("folder taken too") << "old.txt" << "dir" << QStringList{"dir.txt/"}
                                      << "dir.txt|rename.problem.exists|off" << "dir";
    QTest::newRow("no extension, nothing stripped") << "README" << "read me.md" << QStringList() << "read me.md|ok|on"
                                                    << "read me.md";
}

void SmartRenameTest::buildsCandidates()
{
    QFETCH(QString, file);
    QFETCH(QString, suggestion);
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    QFETCH(QString, proposed);

    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    touch(path);
    for (const QString& name : present) {
        if (name.endsWith(QLatin1Char('/')))
            QDir(dir.path()).mkdir(name.chopped(1));
        else
            touch(dir.filePath(name));
    }
    DiskFileOperations disk;
    const auto list = SmartRename::candidates({QUrl::fromLocalFile(path)}, {suggestion}, disk);
    QCOMPARE(list.size(), 1);
    QCOMPARE(describe(list.first()), expected);
    QCOMPARE(list.first().proposedName, proposed);
    QCOMPARE(list.first().id, path);
    QCOMPARE(list.first().originalName(), file);
}

void SmartRenameTest::judgesTheListAsAWhole_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("suggestions");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("fewer suggestions than files")
        << QStringList{"a.txt", "b.txt", "c.txt"} << QStringList{"one", "two"}
        << QStringList{"one.txt|ok|on", "two.txt|ok|on", ".txt|rename.problem.empty|off"};
    QTest::newRow("extra suggestions ignored") << QStringList{"a.txt"} << QStringList{"one", "two"}
                                               << QStringList{"one.txt|ok|on"};
    QTest::newRow("same name in other case") << QStringList{"a.txt", "b.txt"} << QStringList{"Report", "REPORT"}
                                             << QStringList{"Report.txt|ok|on", "REPORT.txt|rename.problem.duplicate|off"};
    QTest::newRow("same name, other extensions") << QStringList{"a.txt", "b.pdf"} << QStringList{"Report", "report"}
                                                 << QStringList{"Report.txt|ok|on", "report.pdf|ok|on"};
    QTest::newRow("same name in other normal forms")
        << QStringList{"a.txt", "b.txt"} << QStringList{QStringLiteral("Caf\u00e9"), QStringLiteral("CAFE\u0301")}
        << QStringList{QStringLiteral("Caf\u00e9.txt|ok|on"), QStringLiteral("CAFE\u0301.txt|rename.problem.duplicate|off")};
    QTest::newRow("an unchanged file claims nothing")
        << QStringList{"keep.txt", "b.txt"} << QStringList{"keep", "Keep"}
        << QStringList{"keep.txt|ok|off", "Keep.txt|ok|on"}; // names on disk are case-sensitive here
    QTest::newRow("a refused name claims nothing") << QStringList{"a.txt", "b.txt"} << QStringList{"x/y", "x/y"}
                                                   << QStringList{"x/y.txt|rename.problem.illegalCharacters|off",
                                                                  "x/y.txt|rename.problem.illegalCharacters|off"};
    QTest::newRow("no files") << QStringList() << QStringList{"one"} << QStringList();
}

void SmartRenameTest::judgesTheListAsAWhole()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, suggestions);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QList<QUrl> urls;
    for (const QString& name : files) {
        touch(dir.filePath(name));
        urls << QUrl::fromLocalFile(dir.filePath(name));
    }
    DiskFileOperations disk;
    QStringList actual;
    for (const auto& candidate : SmartRename::candidates(urls, suggestions, disk))
        actual << describe(candidate);
    QCOMPARE(actual, expected);
}

void SmartRenameTest::appliesWhatIsApplicable()
{
    QTemporaryDir dir;
    const QStringList names{"a.txt", "b.txt", "c.txt", "d.txt"};
    QList<QUrl> urls;
    for (const QString& name : names) {
        touch(dir.filePath(name), name.toUtf8());
        urls << QUrl::fromLocalFile(dir.filePath(name));
    }
    FaultyFileOperations files;
    auto list = SmartRename::candidates(urls, {"Alpha", "Beta", "Gamma", "Delta"}, files);
    list[2].isSelected = false;             // the user unticked it
    touch(dir.filePath(QStringLiteral("Beta.txt")), "someone else's"); // appeared after the check

    PrivacyLog::Capture capture;
    const SmartRename::Result result = SmartRename::apply(list, files);
    QCOMPARE(result.renamed,
             (QList<SmartRename::Rename>{{urls[0], QUrl::fromLocalFile(dir.filePath("Alpha.txt"))},
                                         {urls[3], QUrl::fromLocalFile(dir.filePath("Delta.txt"))}}));
    QCOMPARE(result.failed, QList<QUrl>{urls[1]});
    QVERIFY(!result.isCompleteSuccess());
    QCOMPARE(listing(dir.path()), (QStringList{"Alpha.txt", "Beta.txt", "Delta.txt", "b.txt", "c.txt"}));
    QCOMPARE(contents(dir.filePath("Beta.txt")), QByteArray("someone else's"));
    QCOMPARE(contents(dir.filePath("Alpha.txt")), QByteArray("a.txt"));

    const auto logged = capture.entries(QStringLiteral("SmartRename"));
    QCOMPARE(logged.size(), 1);
    QCOMPARE(logged.first().type, QtCriticalMsg);
    QCOMPARE(logged.first().message, QStringLiteral("Rename failed for ") + PrivacyLog::redact(urls[1]));

    // Nothing applicable: nothing happens, and that is a complete success.
    for (auto& candidate : list)
        candidate.isSelected = false;
    const SmartRename::Result nothing = SmartRename::apply(list, files);
    QCOMPARE(nothing, SmartRename::Result());
    QVERIFY(nothing.isCompleteSuccess());
}

void SmartRenameTest::appliesTrustingTheCaller()
{
    QTemporaryDir dir;
    touch(dir.filePath("a.txt"));
    touch(dir.filePath("b.txt"));
    FaultyFileOperations files;
    const QList<SmartRename::Candidate> list{
        {dir.filePath("a.txt"), QUrl::fromLocalFile(dir.filePath("a.txt")), "fine", SmartRename::existsKey, true},
        {dir.filePath("b.txt"), QUrl::fromLocalFile(dir.filePath("b.txt")), "edited by hand", std::nullopt, true},
    };
    const auto result = SmartRename::apply(list, files);
    QCOMPARE(files.calls, QStringList{QStringLiteral("move ") + dir.filePath("b.txt")});
    QCOMPARE(result.renamed.size(), 1);
    QCOMPARE(listing(dir.path()), (QStringList{"a.txt", "edited by hand.txt"}));
}

void SmartRenameTest::undoesInReverse()
{
    QTemporaryDir dir;
    touch(dir.filePath("a.txt"), "A");
    touch(dir.filePath("b"), "B");
    QDir(dir.path()).mkdir(QStringLiteral("folder.d"));
    const QList<QUrl> urls{QUrl::fromLocalFile(dir.filePath("a.txt")), QUrl::fromLocalFile(dir.filePath("b")),
                           QUrl::fromLocalFile(dir.filePath("folder.d") + QLatin1Char('/'))};
    FaultyFileOperations files;
    const auto result = SmartRename::apply(SmartRename::candidates(urls, {"one", "two", "three"}, files), files);
    QCOMPARE(result.renamed.size(), 3);
    QCOMPARE(listing(dir.path()), (QStringList{"one.txt", "three.d", "two"}));

    files.calls.clear();
    QVERIFY(SmartRename::undo(result, files));
    QCOMPARE(files.calls, (QStringList{"move " + dir.filePath("three.d"), "move " + dir.filePath("two"),
                                       "move " + dir.filePath("one.txt")}));
    QCOMPARE(listing(dir.path()), (QStringList{"a.txt", "b", "folder.d"}));
    QCOMPARE(contents(dir.filePath("b")), QByteArray("B"));
    QVERIFY(SmartRename::undo(SmartRename::Result(), files));
}

void SmartRenameTest::undoGoesOnAfterAFailure()
{
    QTemporaryDir dir;
    touch(dir.filePath("a.txt"), "A");
    touch(dir.filePath("b.txt"), "B");
    const QList<QUrl> urls{QUrl::fromLocalFile(dir.filePath("a.txt")), QUrl::fromLocalFile(dir.filePath("b.txt"))};
    FaultyFileOperations files;
    const auto result = SmartRename::apply(SmartRename::candidates(urls, {"first", "second"}, files), files);
    QCOMPARE(result.renamed.size(), 2);

    // The first file's old name was taken in the meantime: moving it back fails, the second
    // still goes back, and the answer is false.
    touch(dir.filePath("a.txt"), "new file");
    QVERIFY(!SmartRename::undo(result, files));
    QCOMPARE(listing(dir.path()), (QStringList{"a.txt", "b.txt", "first.txt"}));
    QCOMPARE(contents(dir.filePath("a.txt")), QByteArray("new file"));
    QCOMPARE(contents(dir.filePath("b.txt")), QByteArray("B"));

    // An error from the disk counts the same.
    QFile::remove(dir.filePath("a.txt"));
    const auto again = SmartRename::apply(SmartRename::candidates({QUrl::fromLocalFile(dir.filePath("b.txt"))}, {"third"}, files), files);
    files.failOn(FaultyFileOperations::Op::moveItem, QStringLiteral("/third.txt"), EACCES);
    QVERIFY(!SmartRename::undo(again, files));
    QVERIFY(QFile::exists(dir.filePath("third.txt")));
}

void SmartRenameTest::hasTextsForItsKeys()
{
    for (const QString& language : ModuleStrings::languages)
        for (const QString& key : {SmartRename::duplicateKey, SmartRename::existsKey}) {
            const QString text = ModuleStrings::lookup(QStringLiteral("LocalActions"), key, language);
            QVERIFY2(!text.isEmpty() && text != key, qPrintable(language + QLatin1Char(' ') + key));
        }
    QVERIFY(LocalActionsStrings::string(SmartRename::existsKey) != SmartRename::existsKey);
}

QTEST_GUILESS_MAIN(SmartRenameTest)
#include "tst_SmartRename.moc"
