#include "UpdateFixtures.h"

#include "Platform/ArchiveEntryPolicy.h"
#include "Platform/Desktop/DesktopArchiveExtractor.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using Platform::ArchiveExtractor;
using UpdateFixtures::Entry;
using Kind = Platform::ArchiveEntryPolicy::Kind;

Q_DECLARE_METATYPE(QList<UpdateFixtures::Entry>)
Q_DECLARE_METATYPE(std::optional<ArchiveExtractor::Error>)
Q_DECLARE_METATYPE(Platform::ArchiveEntryPolicy::Kind)

class ArchiveExtractorTest : public QObject {
    Q_OBJECT
private slots:
    void entryPolicy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("accepted"); // empty: refused
        QTest::newRow("file") << "Ambrel.app/bin/ambrel" << Kind::file << "Ambrel.app/bin/ambrel";
        QTest::newRow("folder with slash") << "Ambrel.app/" << Kind::directory << "Ambrel.app";
        QTest::newRow("dot components dropped") << "./a//./b" << Kind::file << "a/b";
        QTest::newRow("dotted names are names") << "a/..b/c..." << Kind::file << "a/..b/c...";
        QTest::newRow("absolute") << "/etc/passwd" << Kind::file << "";
        QTest::newRow("parent") << "../evil" << Kind::file << "";
        QTest::newRow("parent inside") << "a/../../evil" << Kind::file << "";
        QTest::newRow("parent at end") << "a/.." << Kind::directory << "";
        QTest::newRow("backslash") << "a\\..\\b" << Kind::file << "";
        QTest::newRow("drive") << "C:/x" << Kind::file << "";
        QTest::newRow("drive behind a dot") << "./C:/x" << Kind::file << "";
        QTest::newRow("drive behind slashes") << ".//1:" << Kind::directory << "";
        QTest::newRow("colon further on is a name") << "a/C:" << Kind::file << "a/C:";
        QTest::newRow("empty") << "" << Kind::file << "";
        QTest::newRow("only dots") << "./." << Kind::directory << "";
        QTest::newRow("nul") << QString("a") + QChar(0) + "b" << Kind::file << "";
        QTest::newRow("symlink") << "a/link" << Kind::symlink << "";
        QTest::newRow("hard link") << "a/link" << Kind::hardlink << "";
        QTest::newRow("device") << "a/dev" << Kind::other << "";
    }
    void entryPolicy()
    {
        QFETCH(QString, name);
        QFETCH(Kind, kind);
        QFETCH(QString, accepted);
        const auto path = Platform::ArchiveEntryPolicy::acceptedPath(name, kind);
        if (accepted.isEmpty())
            QVERIFY2(!path, qPrintable(path.value_or(QString())));
        else
            QCOMPARE(path, accepted);
    }

    void archives_data()
    {
        QTest::addColumn<QList<Entry>>("entries");
        QTest::addColumn<std::optional<ArchiveExtractor::Error>>("error");
        using T = Entry::Type;
        using E = ArchiveExtractor::Error;
        const Entry dir{"Ambrel.app/", T::directory};
        const Entry file{"Ambrel.app/bin/ambrel", T::file, "#!/bin/sh\n", 0755};
        QTest::newRow("plain bundle") << QList<Entry>{dir, file} << std::optional<E>();
        QTest::newRow("files without folder entries") << QList<Entry>{{"a/b/c.txt", T::file, "x"}} << std::optional<E>();
        QTest::newRow("absolute name") << QList<Entry>{dir, {"/tmp/ambrel-evil", T::file, "x"}} << std::optional(E::unsafeEntry);
        QTest::newRow("parent component") << QList<Entry>{dir, {"Ambrel.app/../../evil", T::file, "x"}} << std::optional(E::unsafeEntry);
        QTest::newRow("symlink") << QList<Entry>{dir, {"Ambrel.app/link", T::symlink, "/etc"}} << std::optional(E::unsafeEntry);
        // A link followed by a file written through it: refused at the link, so nothing goes through.
        QTest::newRow("write through a link") << QList<Entry>{{"out", T::symlink, ".."}, {"out/evil", T::file, "x"}}
                                              << std::optional(E::unsafeEntry);
    }
    void archives()
    {
        QFETCH(QList<Entry>, entries);
        QFETCH(std::optional<ArchiveExtractor::Error>, error);
        QTemporaryDir temp;
        const QString archive = temp.filePath("a.zip");
        QVERIFY(UpdateFixtures::writeZip(archive, entries));
        const QString destination = temp.filePath("out/unpacked");
        QVERIFY(QDir().mkpath(destination));
        const auto result = Platform::DesktopArchiveExtractor().extract(archive, destination);
        if (error) {
            QVERIFY(!result);
            QCOMPARE(result.error(), *error);
        } else {
            QVERIFY2(result, qPrintable(Platform::describe(result.error())));
            for (const Entry& e : entries)
                if (e.type == Entry::Type::file)
                    QCOMPARE(UpdateFixtures::readFile(destination + u'/' + QString::fromUtf8(e.name)), e.contents);
        }
        // Nothing ever lands beside the unpack folder or outside the temporary folder.
        QCOMPARE(QDir(temp.filePath("out")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
                 QStringList{"unpacked"});
        QVERIFY(!QFile::exists("/tmp/ambrel-evil"));
        QVERIFY(!QFile::exists(temp.filePath("evil")));
    }

    void permissionsArePlain()
    {
        QTemporaryDir temp;
        const QString archive = temp.filePath("a.zip");
        QVERIFY(UpdateFixtures::writeZip(archive, {{"x/tool", Entry::Type::file, "#!/bin/sh\n", 04755},
                                                   {"x/data", Entry::Type::file, "d", 0666}}));
        QVERIFY(QDir().mkpath(temp.filePath("u")));
        QVERIFY(Platform::DesktopArchiveExtractor().extract(archive, temp.filePath("u")));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(temp.filePath("u/x/tool")).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0755); // executable, but never set-id
        QCOMPARE(::stat(QFile::encodeName(temp.filePath("u/x/data")).constData(), &st), 0);
        QVERIFY((st.st_mode & 0022) == 0); // not writable by others
    }

    void brokenArchives_data()
    {
        QTest::addColumn<QByteArray>("cut"); // how the good archive is damaged
        QTest::newRow("not a zip") << QByteArray("text");
        QTest::newRow("empty file") << QByteArray("empty");
        QTest::newRow("cut half-way") << QByteArray("half");
    }
    void brokenArchives()
    {
        QFETCH(QByteArray, cut);
        QTemporaryDir temp;
        const QString archive = temp.filePath("a.zip");
        QVERIFY(UpdateFixtures::writeZip(archive, {{"x/big", Entry::Type::file, QByteArray(200000, 'q') + QByteArray::number(rand())}}));
        QByteArray bytes = UpdateFixtures::readFile(archive);
        if (cut == "text")
            bytes = "This is not an archive at all.\n";
        else if (cut == "empty")
            bytes.clear();
        else
            bytes.truncate(bytes.size() / 2);
        QVERIFY(UpdateFixtures::writeFile(archive, bytes));
        QVERIFY(QDir().mkpath(temp.filePath("u")));
        const auto result = Platform::DesktopArchiveExtractor().extract(archive, temp.filePath("u"));
        QVERIFY(!result);
        QCOMPARE(result.error(), ArchiveExtractor::Error::unreadable);
    }

    void bombsAreBounded()
    {
        QTemporaryDir temp;
        // 8 MiB of zeros compress to a few KiB; the limit counts what is really unpacked.
        const QString archive = temp.filePath("bomb.zip");
        QVERIFY(UpdateFixtures::writeZip(archive, {{"x/zeros", Entry::Type::file, QByteArray(8 << 20, '\0')}}));
        QVERIFY(QFileInfo(archive).size() < 100000);
        QVERIFY(QDir().mkpath(temp.filePath("u")));
        const auto big = Platform::DesktopArchiveExtractor().extract(archive, temp.filePath("u"), {.maxTotalBytes = 1 << 20, .maxEntries = 10});
        QVERIFY(!big);
        QCOMPARE(big.error(), ArchiveExtractor::Error::tooLarge);

        QList<Entry> many;
        for (int i = 0; i < 20; ++i)
            many << Entry{"x/f" + QByteArray::number(i), Entry::Type::file, "1"};
        QVERIFY(UpdateFixtures::writeZip(archive, many));
        QVERIFY(QDir(temp.filePath("u")).removeRecursively() && QDir().mkpath(temp.filePath("u")));
        const auto crowded = Platform::DesktopArchiveExtractor().extract(archive, temp.filePath("u"), {.maxTotalBytes = 1 << 20, .maxEntries = 10});
        QVERIFY(!crowded);
        QCOMPARE(crowded.error(), ArchiveExtractor::Error::tooLarge);
    }
};

QTEST_GUILESS_MAIN(ArchiveExtractorTest)
#include "tst_ArchiveExtractor.moc"
