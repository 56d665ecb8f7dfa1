#include "Platform/Simulated/SimulatedFinderWindows.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "Platform/Desktop/DesktopFinderWindows.h"
#include "SecurityCore/PrivacyLog.h"
#include "System/FinderWindowReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Platform::ApplicationInfo;

namespace {

const ApplicationInfo finder{QStringLiteral("com.apple.finder"), QStringLiteral("Finder"), {}, 1};

struct Fixture {
    Platform::SimulatedWorkspace workspace;
    Platform::SimulatedFinderWindows windows;
    QTemporaryDir root;

    explicit Fixture(std::optional<ApplicationInfo> front = finder) { workspace.setFrontmost(front); }
    std::optional<QUrl> read() { return FinderWindowReader::frontWindowFolder(workspace, windows); }
};

} // namespace

class FinderWindowReaderTest : public QObject {
    Q_OBJECT
private slots:
    void otherApplicationsAreNotAsked_data();
    void otherApplicationsAreNotAsked();
    void folderOfTheFrontWindow_data();
    void folderOfTheFrontWindow();
    void answersThatNameNoFolder_data();
    void answersThatNameNoFolder();
    void failureIsLoggedWithItsNumber();
    void aFileManagerKnownByItsProcess();
    void desktopSeesNoWindow();
};

void FinderWindowReaderTest::otherApplicationsAreNotAsked_data()
{
    QTest::addColumn<QString>("bundleIdentifier"); // empty: no application in front
    QTest::newRow("another application") << "org.gnome.TextEditor";
    QTest::newRow("identifier differs in case") << "com.apple.Finder";
    QTest::newRow("application without identifier") << "-";
    QTest::newRow("nothing in front") << "";
}

void FinderWindowReaderTest::otherApplicationsAreNotAsked()
{
    QFETCH(QString, bundleIdentifier);
    std::optional<ApplicationInfo> front;
    if (bundleIdentifier == u"-")
        front = ApplicationInfo{QString(), QStringLiteral("Nameless"), {}, 2};
    else if (!bundleIdentifier.isEmpty())
        front = ApplicationInfo{bundleIdentifier, QStringLiteral("Other"), {}, 2};
    Fixture f(front);
    f.windows.setFrontWindowPath(f.root.path());
    QVERIFY(!f.read().has_value());
    QCOMPARE(f.windows.queries, 0);
}

void FinderWindowReaderTest::folderOfTheFrontWindow_data()
{
    QTest::addColumn<QString>("folder"); // below the temporary root; "/" is the disk's root
    QTest::addColumn<bool>("trailingSlash");
    QTest::newRow("spaces and non-ASCII letters") << QString::fromUtf8("My Files/Überblick 资料") << true;
    QTest::newRow("answer without trailing slash") << QStringLiteral("plain") << false;
    QTest::newRow("root of the disk") << QStringLiteral("/") << true;
}

void FinderWindowReaderTest::folderOfTheFrontWindow()
{
    QFETCH(QString, folder);
    QFETCH(bool, trailingSlash);
    Fixture f;
    QString path = folder;
    if (folder != u"/") {
        path = f.root.filePath(folder);
        QVERIFY(QDir().mkpath(path));
        if (trailingSlash)
            path += u'/';
    }
    f.windows.setFrontWindowPath(path);
    const auto url = f.read();
    QVERIFY(url.has_value());
    QVERIFY(url->isLocalFile());
    QCOMPARE(url->toLocalFile(), path.endsWith(u'/') ? path : path + u'/');
    QCOMPARE(f.windows.queries, 1);
}

void FinderWindowReaderTest::answersThatNameNoFolder_data()
{
    QTest::addColumn<QString>("answer"); // "@" stands for the temporary root
    QTest::newRow("no window") << "";
    QTest::newRow("a file") << "@/note.txt";
    QTest::newRow("nothing there") << "@/gone/";
    QTest::newRow("relative path") << "note-folder";
    // Qt takes this for a resource path, and so for an absolute one.
    QTest::newRow("relative path beginning with a colon") << ":q";
    QTest::newRow("NUL after a folder") << QStringLiteral("@/note-folder") + QChar(0) + QStringLiteral("x");
}

void FinderWindowReaderTest::answersThatNameNoFolder()
{
    QFETCH(QString, answer);
    Fixture f;
    QFile file(f.root.filePath(QStringLiteral("note.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QDir(f.root.path()).mkdir(QStringLiteral("note-folder")));
    QVERIFY(QDir().mkdir(f.root.path() + QStringLiteral("/:q")));
    QVERIFY(QDir::setCurrent(f.root.path())); // a relative answer would otherwise name a real folder
    f.windows.setFrontWindowPath(answer.replace(u'@', f.root.path()));
    PrivacyLog::Capture log;
    QVERIFY(!f.read().has_value());
    QCOMPARE(f.windows.queries, 1);
    QVERIFY(log.entries(QStringLiteral("FinderWindowReader")).isEmpty());
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
}

void FinderWindowReaderTest::failureIsLoggedWithItsNumber()
{
    Fixture f;
    f.windows.setFailure(-1743);
    PrivacyLog::Capture log;
    QVERIFY(!f.read().has_value());
    const auto entries = log.entries(QStringLiteral("FinderWindowReader"));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].type, QtCriticalMsg);
    QCOMPARE(entries[0].message, QStringLiteral("Could not read the Finder's window: -1743"));
}

void FinderWindowReaderTest::aFileManagerKnownByItsProcess()
{
    // The desktop's file manager has an identifier of its own; the service knows its process.
    Fixture f(ApplicationInfo{QStringLiteral("org.gnome.Nautilus"), QStringLiteral("Files"), {}, 41});
    f.windows.setFrontWindowPath(f.root.path());
    f.windows.fileManagerProcess = 40;
    QVERIFY(!f.read().has_value());
    QCOMPARE(f.windows.queries, 0);
    f.windows.fileManagerProcess = 41;
    QCOMPARE(f.read(), std::optional<QUrl>(QUrl::fromLocalFile(f.root.path() + u'/')));
    QCOMPARE(f.windows.queries, 1);
}

void FinderWindowReaderTest::desktopSeesNoWindow()
{
    Platform::SimulatedWorkspace workspace;
    workspace.setFrontmost(finder);
    Platform::DesktopFinderWindows windows;
    QVERIFY(!FinderWindowReader::frontWindowFolder(workspace, windows).has_value());
}

QTEST_GUILESS_MAIN(FinderWindowReaderTest)
#include "tst_FinderWindowReader.moc"
