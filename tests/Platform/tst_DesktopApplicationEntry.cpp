#include "Platform/Desktop/DesktopApplicationEntry.h"
#include "Platform/Desktop/DesktopEntry.h"
#include "Platform/Desktop/DesktopLoginItem.h"

#include <QMimeDatabase>
#include <QStandardPaths>
#include <QtTest>

using Platform::DesktopApplicationEntry;

namespace {

struct Recorder {
    QStringList calls;
    DesktopApplicationEntry::ToolRunner runner()
    {
        return [this](const QString& program, const QStringList& arguments) {
            calls << program + u' ' + arguments.join(u' ');
            return true;
        };
    }
};

void touch(const QString& path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

} // namespace

// The entry and file types through which the system hands our addresses and files to Ambrel.
class DesktopApplicationEntryTest : public QObject {
    Q_OBJECT
private slots:
    void firstInstallWritesEntryAndTypes();
    void anUnchangedInstallTouchesNothing();
    void aMovedExecutableRewritesOnlyTheEntry();
    void missingCachesAreBuilt();
    void anUnwritableFolderIsReported();
    void theSystemKnowsTheTypesAfterwards();
};

void DesktopApplicationEntryTest::firstInstallWritesEntryAndTypes()
{
    QTemporaryDir home;
    Recorder tools;
    const QString program = QStringLiteral("/opt/My Apps/ambrel");
    const DesktopApplicationEntry entry(home.path(), program, tools.runner());
    const auto outcome = entry.install();
    QVERIFY(outcome);
    QVERIFY(outcome->changed);
    QCOMPARE(tools.calls, (QStringList{"update-mime-database " + home.path() + "/mime",
                                       "update-desktop-database " + home.path() + "/applications"}));
    QCOMPARE(outcome->refreshed, (QStringList{"update-mime-database", "update-desktop-database"}));

    const auto group = DesktopEntry::readGroup(entry.entryPath());
    QVERIFY(group);
    QCOMPARE(group->value("Type"), QStringLiteral("Application"));
    // The program comes back whole despite its blank, and opened items follow it as URLs.
    QCOMPARE(Platform::DesktopLoginItem::programOf(group->value("Exec")), program);
    QVERIFY(group->value("Exec").endsWith(QStringLiteral(" %U")));
    QCOMPARE(group->value("MimeType").split(u';', Qt::SkipEmptyParts),
             (QStringList{"x-scheme-handler/corvish", "application/x-ambrel-plugin", "application/x-ambrel-actions"}));

    QFile package(entry.mimePackagePath());
    QVERIFY(package.open(QIODevice::ReadOnly));
    const QByteArray xml = package.readAll();
    QVERIFY(xml.contains("<glob pattern=\"*.ambrel\"/>"));
    QVERIFY(xml.contains("<glob pattern=\"*.ambrel-actions\"/>"));
}

void DesktopApplicationEntryTest::anUnchangedInstallTouchesNothing()
{
    QTemporaryDir home;
    Recorder tools;
    const DesktopApplicationEntry entry(home.path(), QStringLiteral("/usr/bin/ambrel"), tools.runner());
    QVERIFY(entry.install());
    touch(home.filePath("mime/mime.cache"));
    touch(home.filePath("applications/mimeinfo.cache"));
    const QDateTime written = QFileInfo(entry.entryPath()).lastModified();
    tools.calls.clear();

    const auto again = entry.install();
    QVERIFY(again);
    QCOMPARE(*again, DesktopApplicationEntry::Outcome{});
    QVERIFY(tools.calls.isEmpty());
    QCOMPARE(QFileInfo(entry.entryPath()).lastModified(), written);
}

void DesktopApplicationEntryTest::aMovedExecutableRewritesOnlyTheEntry()
{
    QTemporaryDir home;
    Recorder tools;
    QVERIFY(DesktopApplicationEntry(home.path(), QStringLiteral("/usr/bin/ambrel"), tools.runner()).install());
    touch(home.filePath("mime/mime.cache"));
    touch(home.filePath("applications/mimeinfo.cache"));
    tools.calls.clear();

    const DesktopApplicationEntry moved(home.path(), QStringLiteral("/home/me/bin/ambrel"), tools.runner());
    const auto outcome = moved.install();
    QVERIFY(outcome);
    QVERIFY(outcome->changed);
    QCOMPARE(tools.calls, QStringList{"update-desktop-database " + home.path() + "/applications"});
    QCOMPARE(Platform::DesktopLoginItem::programOf(DesktopEntry::readGroup(moved.entryPath())->value("Exec")),
             QStringLiteral("/home/me/bin/ambrel"));
}

void DesktopApplicationEntryTest::missingCachesAreBuilt()
{
    // The tools were missing at the first start: the files are in place but no cache was built.
    QTemporaryDir home;
    bool toolsPresent = false;
    QStringList calls;
    const DesktopApplicationEntry entry(home.path(), QStringLiteral("/usr/bin/ambrel"),
                                        [&](const QString& program, const QStringList&) {
                                            calls << program;
                                            return toolsPresent;
                                        });
    const auto first = entry.install();
    QVERIFY(first);
    QVERIFY(first->refreshed.isEmpty());

    toolsPresent = true;
    calls.clear();
    const auto later = entry.install();
    QVERIFY(later);
    QVERIFY(!later->changed);
    QCOMPARE(calls, (QStringList{"update-mime-database", "update-desktop-database"}));
}

void DesktopApplicationEntryTest::anUnwritableFolderIsReported()
{
    QTemporaryDir home;
    touch(home.filePath("applications")); // a file where the folder should be
    Recorder tools;
    const auto outcome = DesktopApplicationEntry(home.path(), QStringLiteral("/usr/bin/ambrel"), tools.runner()).install();
    QVERIFY(!outcome);
    QVERIFY(!outcome.error().isEmpty());
    QVERIFY(!DesktopApplicationEntry(home.path(), QStringLiteral("/usr/bin/amb\nrel"), tools.runner()).install());
}

void DesktopApplicationEntryTest::theSystemKnowsTheTypesAfterwards()
{
    // The real freedesktop tools over this test's own data folder, then the system's MIME lookup.
    if (QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("update-desktop-database")).isEmpty())
        QSKIP("the freedesktop tools are not installed (scripts/install-deps installs them)");
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir(dataHome + QStringLiteral("/mime")).removeRecursively();
    QDir(dataHome + QStringLiteral("/applications")).removeRecursively();

    const DesktopApplicationEntry entry(dataHome, QCoreApplication::applicationFilePath());
    const auto outcome = entry.install();
    QVERIFY(outcome);
    QCOMPARE(outcome->refreshed, (QStringList{"update-mime-database", "update-desktop-database"}));

    QFile cache(dataHome + QStringLiteral("/applications/mimeinfo.cache"));
    QVERIFY(cache.open(QIODevice::ReadOnly));
    const QByteArray handlers = cache.readAll();
    QVERIFY(handlers.contains("x-scheme-handler/corvish=ambrel.desktop;"));
    QVERIFY(handlers.contains("application/x-ambrel-plugin=ambrel.desktop;"));

    const QMimeDatabase mime;
    QCOMPARE(mime.mimeTypeForFile(QStringLiteral("Loud.ambrel"), QMimeDatabase::MatchExtension).name(),
             DesktopApplicationEntry::pluginMimeType);
    QCOMPARE(mime.mimeTypeForFile(QStringLiteral("Mine.ambrel-actions"), QMimeDatabase::MatchExtension).name(),
             DesktopApplicationEntry::libraryMimeType);
    QVERIFY(mime.mimeTypeForName(DesktopApplicationEntry::pluginMimeType).inherits(QStringLiteral("text/plain")));
}

QTEST_GUILESS_MAIN(DesktopApplicationEntryTest)
#include "tst_DesktopApplicationEntry.moc"
