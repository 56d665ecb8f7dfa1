#include "LocalActions/Files/FileNameVariables.h"
#include "LocalActions/Files/FileNaming.h"

#include <QtTest>

using namespace FileNameVariables;

class TestFileNames : public QObject {
    Q_OBJECT

private:
    static QDateTime at(int y, int mo, int d, int h, int mi, int s)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
    }

    static void touch(const QString& path)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

private slots:
    void expand_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("expected");

        const QDateTime march = at(2026, 3, 7, 9, 5, 3);
        QTest::newRow("date") << "{date}" << march << "2026-03-07";
        QTest::newRow("time uses hyphens") << "{time}" << march << "09-05-03";
        QTest::newRow("datetime") << "{datetime}" << march << "2026-03-07 09-05-03";
        QTest::newRow("year") << "{year}" << march << "2026";
        QTest::newRow("month") << "{month}" << march << "03";
        QTest::newRow("day") << "{day}" << march << "07";
        QTest::newRow("parts run together") << "Notes {year}{month}{day}" << march << "Notes 20260307";
        QTest::newRow("every occurrence") << "{date} and {date}" << march << "2026-03-07 and 2026-03-07";
        QTest::newRow("afternoon hour") << "{time}" << at(2026, 12, 31, 23, 59, 58) << "23-59-58";
        QTest::newRow("year below 1000 padded") << "{year}" << at(987, 1, 2, 0, 0, 0) << "0987";
        QTest::newRow("capitals stay") << "{DATE} {Date}" << march << "{DATE} {Date}";
        QTest::newRow("unknown words in braces stay") << "{hour}-{name}" << march << "{hour}-{name}";
        QTest::newRow("no brace") << "report}" << march << "report}";
        QTest::newRow("empty") << "" << march << "";
        QTest::newRow("unclosed brace") << "{date" << march << "{date";
        QTest::newRow("non-ASCII text around") << "日记 {date}" << march << "日记 2026-03-07";
    }
    void expand()
    {
        QFETCH(QString, pattern);
        QFETCH(QDateTime, now);
        QFETCH(QString, expected);
        QCOMPARE(FileNameVariables::expand(pattern, now, QCalendar(QCalendar::System::Gregorian)), expected);
    }

    void expandIsLocaleIndependent_data()
    {
        QTest::addColumn<QString>("localeName");
        QTest::newRow("Arabic (Egypt)") << "ar_EG";
        QTest::newRow("Persian") << "fa_IR";
        QTest::newRow("Chinese") << "zh_CN";
    }
    void expandIsLocaleIndependent()
    {
        QFETCH(QString, localeName);
        const QLocale previous;
        QLocale::setDefault(QLocale(localeName));
        const QString out = FileNameVariables::expand(QStringLiteral("{datetime}"), at(2026, 3, 7, 9, 5, 3));
        QLocale::setDefault(previous);
        QCOMPARE(out, QStringLiteral("2026-03-07 09-05-03"));
    }

    void expandReadsTheTimeZoneOfNow()
    {
        // 23:30 UTC is already the next day eight hours east.
        const QDateTime utc = at(2026, 3, 7, 23, 30, 0);
        const QDateTime east = utc.toOffsetFromUtc(8 * 3600);
        QCOMPARE(FileNameVariables::expand(QStringLiteral("{date} {time}"), east), QStringLiteral("2026-03-08 07-30-00"));
    }

    void tokens()
    {
        QStringList raws;
        for (const auto t : allTokens)
            raws << toRaw(t);
        QCOMPARE(raws, (QStringList{"{date}", "{time}", "{datetime}", "{year}", "{month}", "{day}"}));
        QCOMPARE(tokenFromRaw(QStringLiteral("{datetime}")), std::optional(Token::dateTime));
        QCOMPARE(tokenFromRaw(QStringLiteral("date")), std::nullopt);
        QCOMPARE(tokenFromRaw(QStringLiteral("{Date}")), std::nullopt);
        QCOMPARE(example(Token::month, at(2026, 3, 7, 9, 5, 3)), QStringLiteral("03"));
    }

    void presets_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("preset"); // raw value, empty for none
        QTest::newRow("empty is untitled") << "" << "untitled";
        QTest::newRow("date") << "{date}" << "date";
        QTest::newRow("date with a trailing blank") << "{date} " << "dateAndName";
        QTest::newRow("datetime") << "{datetime}" << "dateTime";
        QTest::newRow("time is none") << "{time}" << "";
        QTest::newRow("identifier is not a pattern") << "date" << "";
    }
    void presets()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, preset);
        const auto found = matching(pattern);
        QCOMPARE(found ? toRaw(*found) : QString(), preset);
        if (found) {
            QCOMPARE(titleKey(*found), QStringLiteral("newFile.preset.") + preset);
            QCOMPARE(presetFromRaw(preset), found);
        }
    }

    void uniqueName_data()
    {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("expected");

        QTest::newRow("free") << QStringList{} << "report" << "txt" << "report.txt";
        QTest::newRow("taken once") << QStringList{"a.txt"} << "a" << "txt" << "a 2.txt";
        QTest::newRow("taken twice") << QStringList{"a.txt", "a 2.txt"} << "a" << "txt" << "a 3.txt";
        QTest::newRow("gap is filled") << QStringList{"a.txt", "a 3.txt"} << "a" << "txt" << "a 2.txt";
        QTest::newRow("dotted base") << QStringList{"a.tar.gz"} << "a.tar" << "gz" << "a.tar 2.gz";
        QTest::newRow("no extension") << QStringList{"Makefile"} << "Makefile" << "" << "Makefile 2";
        QTest::newRow("folder counts as taken") << QStringList{"Photos/"} << "Photos" << "" << "Photos 2";
        QTest::newRow("dotted folder") << QStringList{"Photos.old/"} << "Photos" << "old" << "Photos 2.old";
        QTest::newRow("number at the end is not parsed") << QStringList{"v2.txt"} << "v2" << "txt" << "v2 2.txt";
        QTest::newRow("other extension is no clash") << QStringList{"a.md"} << "a" << "txt" << "a.txt";
        QTest::newRow("dangling link counts as taken") << QStringList{"link.txt@"} << "link" << "txt" << "link 2.txt";
        // Qt takes a name beginning with ":" for a resource path and drops the folder.
        QTest::newRow("name beginning with a colon, free") << QStringList{} << ":notes" << "txt" << ":notes.txt";
        QTest::newRow("name beginning with a colon, taken") << QStringList{":notes.txt"} << ":notes" << "txt" << ":notes 2.txt";
    }
    void uniqueName()
    {
        QFETCH(QStringList, taken);
        QFETCH(QString, base);
        QFETCH(QString, extension);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const QString& name : taken) {
            const QString path = dir.path() + u'/' + name;
            if (name.endsWith(u'/'))
                QVERIFY(QDir(dir.path()).mkdir(name.chopped(1)));
            else if (name.endsWith(u'@'))
                QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), path.chopped(1)));
            else
                touch(path);
        }
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        DiskFileOperations disk;
        const QUrl url = FileNaming::uniqueURL(QUrl::fromLocalFile(dir.path()), base, extension, disk);
        QCOMPARE(url, QUrl::fromLocalFile(dir.path() + u'/' + expected));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), before);
    }

    void uniqueNameFallsBackToRandomWhenEveryCounterIsTaken()
    {
        // Everything is taken except names the counter never reaches.
        class AllTaken final : public FileOperations {
        public:
            bool exists(const QString& path) const override
            {
                const QString name = QFileInfo(path).completeBaseName();
                return name == u"x" || QRegularExpression(QStringLiteral("^x \\d+$")).match(name).hasMatch();
            }
            bool isDirectory(const QString&) const override { return false; }
            bool isFile(const QString&) const override { return false; }
            QString canonicalPath(const QString& p) const override { return p; }
            FileResult createFile(const QString&, const QByteArray&) override { return {}; }
            FileResult copyItem(const QString&, const QString&) override { return {}; }
            FileResult moveItem(const QString&, const QString&) override { return {}; }
            FileResult trashItem(const QString&) override { return {}; }
        } ops;
        const QString name = FileNaming::uniqueURL(QUrl::fromLocalFile(QStringLiteral("/f")), QStringLiteral("x"),
                                                   QStringLiteral("txt"), ops)
                                 .fileName();
        QVERIFY2(QRegularExpression(QStringLiteral("^x [0-9A-F]{8}\\.txt$")).match(name).hasMatch(), qPrintable(name));
    }

    void validate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("problem"); // empty when valid
        QTest::addColumn<QString>("accepted");

        QTest::newRow("plain") << "Report.pdf" << "" << "Report.pdf";
        QTest::newRow("blanks trimmed") << "  Report.pdf \n" << "" << "Report.pdf";
        QTest::newRow("empty") << "" << "empty" << "";
        QTest::newRow("only blanks") << " \t\n " << "empty" << "";
        QTest::newRow("slash") << "a/b" << "illegalCharacters" << "";
        QTest::newRow("colon") << "a:b" << "illegalCharacters" << "";
        QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << "illegalCharacters" << "";
        QTest::newRow("colon wins over leading dot") << ".a:b" << "illegalCharacters" << "";
        QTest::newRow("leading dot") << ".hidden" << "leadingDot" << "";
        QTest::newRow("dot after trimming") << "  .hidden" << "leadingDot" << "";
        QTest::newRow("255 ASCII") << QString(255, u'a') << "" << QString(255, u'a');
        QTest::newRow("256 ASCII") << QString(256, u'a') << "tooLong" << "";
        QTest::newRow("128 two-byte letters") << QString(128, QChar(0x00E9)) << "tooLong" << "";
        QTest::newRow("85 three-byte letters") << QString(85, QChar(0x6587)) << "" << QString(85, QChar(0x6587));
    }
    void validate()
    {
        QFETCH(QString, name);
        QFETCH(QString, problem);
        QFETCH(QString, accepted);
        const auto result = FileNaming::validate(name);
        if (problem.isEmpty()) {
            QCOMPARE(result, (FileNaming::NameValidation{FileNaming::Valid{accepted}}));
            QVERIFY(result.isValid());
        } else {
            const auto expected = FileNaming::nameProblemFromRaw(problem);
            QVERIFY(expected);
            QCOMPARE(result, (FileNaming::NameValidation{FileNaming::Invalid{*expected}}));
            QVERIFY(!result.isValid());
            QCOMPARE(FileNaming::messageKey(*expected), QStringLiteral("rename.problem.") + problem);
        }
    }
};

QTEST_GUILESS_MAIN(TestFileNames)
#include "tst_FileNames.moc"
