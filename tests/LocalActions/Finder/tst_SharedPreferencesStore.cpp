#include "LocalActions/Finder/FinderMenuPreferences.h"
#include "LocalActions/Finder/SharedPreferencesStore.h"
#include "SecurityCore/PrivacyLog.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

FinderMenuPreferences sample(const QString& baseName)
{
    FinderMenuPreferences p;
    p.newFileBaseName = baseName;
    p.preferredTerminalBundleID = QStringLiteral("io.alacritty");
    p.actionIDsDisabledBeforeMenuOff = QSet<QString>{QStringLiteral("finder.cut")};
    p.customActions = {CustomFinderAction{.id = QStringLiteral("c"), .title = QStringLiteral("C"),
                                          .symbolName = QStringLiteral("s"), .contexts = {ContextKind::folder},
                                          .needsModel = false}};
    return p;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class SharedPreferencesStoreTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_root; // fresh for every test
    Platform::Folders m_folders;

private slots:
    void init()
    {
        m_root.emplace();
        QVERIFY(m_root->isValid());
        m_folders = Platform::Folders::under(m_root->path());
    }

    void firstWriteCreatesTheFolderAndASortedIndentedFile()
    {
        SharedPreferencesStore store(m_folders);
        QVERIFY(!QFileInfo::exists(m_folders.extensionContainer));
        QVERIFY(store.write(sample(QStringLiteral("x"))).has_value());

        QFile f(store.containerPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.contains("\n    \"")); // indented

        // Keys in sorted order, at the top level and inside nested objects.
        QList<qsizetype> at;
        for (const char* k : {"\"actionIDsDisabledBeforeMenuOff\"", "\"customActions\"", "\"customTemplates\"",
                              "\"disabledActionIDs\"", "\"disabledTemplateIDs\"", "\"groupsFileTemplates\"",
                              "\"isAIConfigured\"", "\"newFileBaseName\"", "\"preferredTerminalBundleID\"",
                              "\"promotedActionIDs\"", "\"usesSingleSubmenu\""}) {
            at << text.indexOf(k);
            QVERIFY2(at.last() >= 0, k);
        }
        QVERIFY(std::is_sorted(at.cbegin(), at.cend()));
        const qsizetype contexts = text.indexOf("\"contexts\""), id = text.indexOf("\"id\""),
                        needs = text.indexOf("\"needsModel\""), symbol = text.indexOf("\"symbolName\"");
        QVERIFY(contexts < id && id < needs && needs < symbol);

        // Nothing left beside the file.
        QCOMPARE(QDir(m_folders.extensionContainer).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("finder-menu-preferences.json")});
    }

    void writeReplacesTheWholeFile()
    {
        SharedPreferencesStore store(m_folders);
        QVERIFY(store.write(sample(QString(1000, u'a'))).has_value());
        QVERIFY(store.write(FinderMenuPreferences::defaults()).has_value());
        QCOMPARE(store.read(), FinderMenuPreferences::defaults());
        QFile f(store.containerPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.readAll().contains("aaaa"));
    }

    // Every start saves the preferences: the same ones leave the file as it is (no rewrite, no
    // flush); any difference, or a file someone else changed, is written.
    void theSamePreferencesLeaveTheFileAlone()
    {
        SharedPreferencesStore store(m_folders);
        QVERIFY(store.write(sample(QStringLiteral("x"))).has_value());
        // A write puts a new file in place: the one held open here is then unlinked.
        QFile held(store.containerPath());
        QVERIFY(held.open(QIODevice::ReadOnly));
        const auto stillInPlace = [&] {
            struct stat st {};
            return ::fstat(held.handle(), &st) == 0 && st.st_nlink == 1;
        };
        QVERIFY(SharedPreferencesStore(m_folders).write(sample(QStringLiteral("x"))).has_value());
        QVERIFY(stillInPlace());

        QVERIFY(store.write(sample(QStringLiteral("y"))).has_value());
        QVERIFY(!stillInPlace());
        QCOMPARE(store.read(), sample(QStringLiteral("y")));

        // Same size, other bytes: written again.
        QFile f(store.containerPath());
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        QVERIFY(bytes.contains("\"y\""));
        bytes.replace("\"y\"", "\"z\"");
        QVERIFY(f.seek(0));
        QCOMPARE(f.write(bytes), bytes.size());
        f.close();
        QVERIFY(store.write(sample(QStringLiteral("y"))).has_value());
        QCOMPARE(store.read(), sample(QStringLiteral("y")));
    }

    void writeFailsWhenTheFolderCannotBeMade()
    {
        writeFile(m_folders.extensionContainer, "a file where the folder belongs");
        const auto result = SharedPreferencesStore(m_folders).write(sample(QStringLiteral("x")));
        QVERIFY(!result);
        QCOMPARE(result.error().step, SharedPreferencesStore::WriteError::Step::createFolder);
    }

    void readPrefersTheOwnFileThenTheContainer()
    {
        SharedPreferencesStore store(m_folders);
        QVERIFY(store.write(sample(QStringLiteral("container"))).has_value());
        QCOMPARE(store.read().newFileBaseName, QStringLiteral("container"));

        writeFile(store.ownPath(), QJsonDocument(toJson(sample(QStringLiteral("own")))).toJson());
        QCOMPARE(store.read().newFileBaseName, QStringLiteral("own"));
    }

    void damagedFilesAreLoggedOnceEach_data()
    {
        QTest::addColumn<QByteArray>("own");       // empty: no file
        QTest::addColumn<QByteArray>("container"); // empty: no file
        QTest::addColumn<QString>("expectedBaseName");
        QTest::addColumn<int>("logLines");
        const QByteArray good = QJsonDocument(toJson(sample(QStringLiteral("good")))).toJson();
        QTest::newRow("no files") << QByteArray() << QByteArray() << QString() << 0;
        QTest::newRow("container not json") << QByteArray() << QByteArray("garbage") << QString() << 1;
        QTest::newRow("own damaged, container good") << QByteArray("{\"newFileBaseName\":\"x\"}") << good << "good" << 1;
        QTest::newRow("both damaged") << QByteArray("[]") << QByteArray("{") << QString() << 2;
    }

    void damagedFilesAreLoggedOnceEach()
    {
        QFETCH(QByteArray, own);
        QFETCH(QByteArray, container);
        QFETCH(QString, expectedBaseName);
        QFETCH(int, logLines);
        SharedPreferencesStore store(m_folders);
        if (!own.isEmpty())
            writeFile(store.ownPath(), own);
        if (!container.isEmpty())
            writeFile(store.containerPath(), container);
        PrivacyLog::Capture capture;
        QCOMPARE(store.read().newFileBaseName, expectedBaseName);
        const auto lines = capture.entries(QStringLiteral("SharedPreferences"));
        QCOMPARE(lines.size(), logLines);
        for (const auto& line : lines) {
            QCOMPARE(line.message, QStringLiteral("Preferences file present but could not be decoded"));
            QCOMPARE(line.type, QtCriticalMsg);
        }
    }
};

QTEST_GUILESS_MAIN(SharedPreferencesStoreTest)
#include "tst_SharedPreferencesStore.moc"
