#include "LoopbackHttpServer.h"
#include "UpdateFixtures.h"

#include "Platform/Desktop/DesktopArchiveExtractor.h"
#include "Platform/Desktop/DesktopCodeSignature.h"
#include "Updates/UpdateInstaller.h"

#include <QNetworkAccessManager>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using Phase = UpdateInstaller::Phase;
using Failure = UpdateInstaller::Failure;
using UpdateFixtures::Entry;

Q_DECLARE_METATYPE(UpdateInstaller::Failure)

namespace {

constexpr int patience = 20000;

// Unpacks only when the test says so, to hold an attempt in its verifying phase.
class HeldExtractor final : public Platform::ArchiveExtractor {
public:
    using ArchiveExtractor::extract;
    std::expected<void, Error> extract(const QString& archive, const QString& destination, const Limits& limits) const override
    {
        entered.release();
        gate.acquire();
        return Platform::DesktopArchiveExtractor().extract(archive, destination, limits);
    }
    mutable QSemaphore entered;
    mutable QSemaphore gate;
};

// A process whose identifier stands in for the running application.
struct StandIn {
    QProcess process;
    StandIn()
    {
        process.start(QStringLiteral("/bin/sleep"), {QStringLiteral("600")});
        process.waitForStarted();
    }
    ~StandIn() { stop(); }
    qint64 pid() const { return process.processId(); }
    void stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

bool processRunningWith(const QString& argument)
{
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(argument.toUtf8()))
            return true;
    }
    return false;
}

struct Fixture {
    QTemporaryDir root;
    QString home;      // holds the installed bundle; named to trouble a shell
    QString installed;
    QString temporary; // the installer's temporary folder
    QString marker;    // written by whichever bundle is started
    KeyPair ours = KeyPair::generate();
    LoopbackHttpServer server;
    QNetworkAccessManager network;
    StandIn standIn;
    int quits = 0;
    std::shared_ptr<Platform::ArchiveExtractor> extractor = std::make_shared<Platform::DesktopArchiveExtractor>();
    UpdateInstaller::Options options;
    std::unique_ptr<UpdateInstaller> installer;
    QMap<QString, QByteArray> installedBefore;

    explicit Fixture(std::shared_ptr<Platform::ArchiveExtractor> customExtractor = nullptr)
    {
        if (customExtractor)
            extractor = std::move(customExtractor);
        home = root.filePath(QStringLiteral("Apps it's \"$HOME\" `x`"));
        installed = home + QStringLiteral("/Ambrel.app");
        temporary = root.filePath(QStringLiteral("tmp"));
        marker = root.filePath(QStringLiteral("started"));
        QDir().mkpath(temporary);
        UpdateFixtures::makeBundle(installed, "1.0", ours, ours, marker);
        installedBefore = UpdateFixtures::tree(installed);
        options.temporaryFolder = temporary;
        options.processID = standIn.pid();
        options.quit = [this] { ++quits; };
        options.limits = {.maxTotalBytes = 4 << 20, .maxEntries = 1000};
        makeInstaller();
    }

    void makeInstaller()
    {
        installer = std::make_unique<UpdateInstaller>(UpdateInstaller::Bundle{installed, QStringLiteral("bin/ambrel")}, "1.0",
                                                      &network, extractor, std::make_shared<Platform::DesktopCodeSignature>(),
                                                      options);
    }

    // A release bundle at `folder`/Ambrel.app, version 2.0, trusting and signed by `signer`.
    QString candidate(const KeyPair& signer)
    {
        const QString bundle = root.filePath(QStringLiteral("release/Ambrel.app"));
        UpdateFixtures::makeBundle(bundle, "2.0", ours, signer, marker);
        return bundle;
    }

    void serve(const QByteArray& archive) { serve(LoopbackHttpServer::Response::sized(200, archive)); }
    void serve(const LoopbackHttpServer::Response& response) { server.route("/Ambrel-2.0.zip", response); }

    UpdateRelease release() const { return UpdateRelease{"2.0", "Notes", server.url("/Ambrel-2.0.zip"), {}}; }

    bool settled() const
    {
        const auto k = installer->phase().kind;
        return k == Phase::Kind::failed || k == Phase::Kind::readyToRelaunch || k == Phase::Kind::idle;
    }

    QStringList leftovers() const
    {
        return QDir(temporary).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    QStringList besideInstalled() const
    {
        return QDir(home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

} // namespace

class UpdateInstallerTest : public QObject {
    Q_OBJECT
private slots:
    void goodReleaseIsSwappedIn()
    {
        Fixture f;
        const QString bundle = f.candidate(f.ours);
        const QMap<QString, QByteArray> newTree = UpdateFixtures::tree(bundle);
        QVERIFY(UpdateFixtures::zipFolder(bundle, f.root.filePath("a.zip")));
        f.serve(UpdateFixtures::readFile(f.root.filePath("a.zip")));

        QList<Phase> phases;
        connect(f.installer.get(), &UpdateInstaller::phaseChanged, this, [&] { phases << f.installer->phase(); });
        f.installer->download(f.release());
        QTRY_VERIFY_WITH_TIMEOUT(f.settled(), patience);
        QCOMPARE(f.installer->phase(), Phase::readyToRelaunch());
        QCOMPARE(phases.first(), Phase::downloading(0));
        QVERIFY(phases.contains(Phase::verifying()));
        // Only the staged bundle's folder is left: the archive is gone.
        QCOMPARE(f.leftovers().size(), 1);
        QVERIFY(f.leftovers().first().startsWith("ambrel-update-"));
        QCOMPARE(UpdateFixtures::tree(f.installed), f.installedBefore); // untouched until the swap

        QSignalSpy started(f.installer.get(), &UpdateInstaller::swapStarted);
        f.installer->relaunch();
        QCOMPARE(started.size(), 1);
        QCOMPARE(f.quits, 1);
        const QString script = started.first().first().toString();
        QVERIFY(QFileInfo(script).fileName().startsWith("ambrel-swap-"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(script).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0755);

        // A second press starts nothing, also not after the stand-in has gone.
        f.installer->relaunch();
        f.installer->download(f.release());
        QCOMPARE(started.size(), 1);
        QCOMPARE(f.quits, 1);

        // The script waits for the application to quit.
        QVERIFY(processRunningWith(script));
        QVERIFY(!QFile::exists(f.marker));
        f.standIn.stop();
        QTRY_COMPARE_WITH_TIMEOUT(UpdateFixtures::readFile(f.marker), QByteArray("2.0\n"), patience);
        QCOMPARE(UpdateFixtures::tree(f.installed), newTree);
        QCOMPARE(f.besideInstalled(), QStringList{"Ambrel.app"});
        QTRY_VERIFY_WITH_TIMEOUT(!processRunningWith(script), patience);
        QCOMPARE(f.leftovers(), QStringList{QFileInfo(script).fileName()}); // the staging folder is gone
    }

    void badDownloadsAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Failure>("failure");
        QTest::newRow("server answers 404") << "404" << Failure::download;
        QTest::newRow("stops half-way") << "cut" << Failure::download;
        QTest::newRow("not a zip") << "text" << Failure::unreadable;
        QTest::newRow("zip bomb") << "bomb" << Failure::unreadable;
        QTest::newRow("traversal entry") << "traversal" << Failure::unreadable;
        QTest::newRow("absolute entry") << "absolute" << Failure::unreadable;
        QTest::newRow("link entry") << "link" << Failure::unreadable;
        QTest::newRow("bundle is a link") << "bundle link" << Failure::unreadable;
        QTest::newRow("no bundle") << "no bundle" << Failure::unreadable;
        QTest::newRow("bundle inside a folder") << "nested" << Failure::unreadable;
        QTest::newRow("signed by another key") << "other key" << Failure::notOurs;
        QTest::newRow("file added after signing") << "added" << Failure::notOurs;
        QTest::newRow("file removed after signing") << "removed" << Failure::notOurs;
        QTest::newRow("byte changed after signing") << "changed" << Failure::notOurs;
    }
    void badDownloadsAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(Failure, failure);
        Fixture f;
        const KeyPair theirs = KeyPair::generate();
        const QString bundle = f.candidate(kind == u"other key" ? theirs : f.ours);
        const QString archive = f.root.filePath("a.zip");
        QList<Entry> extra;
        if (kind == u"added")
            UpdateFixtures::writeFile(bundle + "/bin/helper", "#!/bin/sh\n");
        else if (kind == u"removed")
            QFile::remove(bundle + "/share/ambrel/version");
        else if (kind == u"changed")
            UpdateFixtures::writeFile(bundle + "/share/ambrel/version", "2.1\n");
        else if (kind == u"traversal")
            extra << Entry{"Ambrel.app/../../evil", Entry::Type::file, "x"};
        else if (kind == u"absolute")
            extra << Entry{f.root.filePath("evil").toUtf8(), Entry::Type::file, "x"};
        else if (kind == u"link")
            extra << Entry{"Ambrel.app/share/passwd", Entry::Type::symlink, "/etc/passwd"};
        QVERIFY(UpdateFixtures::zipFolder(bundle, archive, extra));
        QByteArray bytes = UpdateFixtures::readFile(archive);
        if (kind == u"text")
            bytes = "<html>Not here</html>";
        else if (kind == u"bomb")
            UpdateFixtures::writeZip(archive, {{"Ambrel.app/", Entry::Type::directory}, {"Ambrel.app/zeros", Entry::Type::file, QByteArray(16 << 20, '\0')}});
        else if (kind == u"bundle link")
            UpdateFixtures::writeZip(archive, {{"Ambrel.app", Entry::Type::symlink, f.installed.toUtf8()}});
        else if (kind == u"no bundle")
            UpdateFixtures::writeZip(archive, {{"README.txt", Entry::Type::file, "hi"}});
        else if (kind == u"nested") {
            QDir().mkpath(f.root.filePath("outer"));
            QDir().rename(bundle, f.root.filePath("outer/Ambrel.app"));
            UpdateFixtures::zipFolder(f.root.filePath("outer"), archive);
        }
        if (kind == u"bomb" || kind == u"bundle link" || kind == u"no bundle" || kind == u"nested")
            bytes = UpdateFixtures::readFile(archive);
        f.serve(kind == u"404"   ? LoopbackHttpServer::Response::sized(404, bytes)
                : kind == u"cut" ? LoopbackHttpServer::Response::cutOff(bytes, bytes.size() / 2)
                                 : LoopbackHttpServer::Response::sized(200, bytes));

        f.installer->download(f.release());
        QTRY_VERIFY_WITH_TIMEOUT(f.settled(), patience);
        QCOMPARE(f.installer->phase(), Phase::failed(failure));
        QVERIFY(!f.installer->staged());
        // Nothing left behind, nothing written outside, the installed copy as it was.
        QCOMPARE(f.leftovers(), QStringList());
        QCOMPARE(UpdateFixtures::tree(f.installed), f.installedBefore);
        QCOMPARE(f.besideInstalled(), QStringList{"Ambrel.app"});
        QVERIFY(!QFile::exists(f.root.filePath("evil")));
        QVERIFY(!QFile::exists(f.temporary + "/../evil"));

        // Retrying after a failure starts again from the beginning.
        QSignalSpy changes(f.installer.get(), &UpdateInstaller::phaseChanged);
        f.installer->download(f.release());
        QVERIFY(changes.size() >= 1);
        QTRY_VERIFY_WITH_TIMEOUT(f.settled(), patience);
        QCOMPARE(f.server.requests("/Ambrel-2.0.zip").size(), 2);
    }

    void failedCopyKeepsTheOldBundle()
    {
        Fixture f;
        // A copy that dies half-way, as on a full disk.
        const QString copy = f.root.filePath("failing-copy");
        UpdateFixtures::writeFile(copy, "#!/bin/sh\nmkdir -p \"$2\" && echo partial > \"$2/partial\"\nexit 1\n");
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        f.options.copyCommand = UpdateInstaller::shellQuoted(copy);
        f.makeInstaller();
        QVERIFY(UpdateFixtures::zipFolder(f.candidate(f.ours), f.root.filePath("a.zip")));
        f.serve(UpdateFixtures::readFile(f.root.filePath("a.zip")));
        f.installer->download(f.release());
        QTRY_VERIFY_WITH_TIMEOUT(f.settled(), patience);
        QCOMPARE(f.installer->phase(), Phase::readyToRelaunch());
        QSignalSpy started(f.installer.get(), &UpdateInstaller::swapStarted);
        f.installer->relaunch();
        QCOMPARE(started.size(), 1);
        f.standIn.stop();
        // The old copy is started again, as it was.
        QTRY_COMPARE_WITH_TIMEOUT(UpdateFixtures::readFile(f.marker), QByteArray("1.0\n"), patience);
        QTRY_VERIFY_WITH_TIMEOUT(!processRunningWith(started.first().first().toString()), patience);
        QCOMPARE(UpdateFixtures::tree(f.installed), f.installedBefore);
        QCOMPARE(f.besideInstalled(), QStringList{"Ambrel.app"});
    }

    void swapGivesUpWhenTheApplicationDoesNotQuit()
    {
        Fixture f;
        f.options.waitSeconds = 1;
        f.makeInstaller();
        QVERIFY(UpdateFixtures::zipFolder(f.candidate(f.ours), f.root.filePath("a.zip")));
        f.serve(UpdateFixtures::readFile(f.root.filePath("a.zip")));
        f.installer->download(f.release());
        QTRY_VERIFY_WITH_TIMEOUT(f.settled(), patience);
        const QString staged = *f.installer->staged();
        QSignalSpy started(f.installer.get(), &UpdateInstaller::swapStarted);
        f.installer->relaunch();
        QCOMPARE(started.size(), 1);
        const QString script = started.first().first().toString();
        QTRY_VERIFY_WITH_TIMEOUT(!processRunningWith(script), patience);
        QCOMPARE(UpdateFixtures::tree(f.installed), f.installedBefore);
        QVERIFY(QFileInfo(staged).isDir());
        QVERIFY(!QFile::exists(f.marker));
        QCOMPARE(f.besideInstalled(), QStringList{"Ambrel.app"});
    }

    void relaunchChecksBeforeQuitting()
    {
        Fixture f;
        QVERIFY(UpdateFixtures::zipFolder(f.candidate(f.ours), f.root.filePath("a.zip")));
        f.serve(UpdateFixtures::readFile(f.root.filePath("a.zip")));
        f.installer->download(f.release());
        QTRY_VERIFY_WITH_TIMEOUT(f.settled(), patience);
        // The staged copy was altered after it was verified.
        UpdateFixtures::writeFile(*f.installer->staged() + "/bin/ambrel", "#!/bin/sh\nrm -rf /\n");
        QSignalSpy started(f.installer.get(), &UpdateInstaller::swapStarted);
        f.installer->relaunch();
        QCOMPARE(f.installer->phase(), Phase::failed(Failure::install));
        QCOMPARE(started.size(), 0);
        QCOMPARE(f.quits, 0);
        // relaunch() while not ready does nothing.
        f.installer->relaunch();
        QCOMPARE(f.installer->phase(), Phase::failed(Failure::install));
    }

    // A full disk or a file-size limit cuts the swap script short: nothing may start, and the
    // application must not quit, or it would be gone for good.
    void aScriptThatCannotBeWrittenWhole_data()
    {
        QTest::addColumn<int>("room");
        QTest::newRow("nothing fits (full disk)") << 0;
        QTest::newRow("cut short after 16 bytes") << 16;
    }
    void aScriptThatCannotBeWrittenWhole()
    {
        QFETCH(int, room);
        Fixture f;
        QVERIFY(UpdateFixtures::zipFolder(f.candidate(f.ours), f.root.filePath("a.zip")));
        f.serve(UpdateFixtures::readFile(f.root.filePath("a.zip")));
        f.installer->download(f.release());
        QTRY_VERIFY_WITH_TIMEOUT(f.settled(), patience);
        QCOMPARE(f.installer->phase(), Phase::readyToRelaunch());
        const QString staged = *f.installer->staged();
        const QStringList before = f.leftovers();

        QSignalSpy started(f.installer.get(), &UpdateInstaller::swapStarted);
        PrivacyLog::Capture capture;
        {
            // Past the limit a write fails with EFBIG instead of ending the process.
            const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
            rlimit previous {};
            QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
            rlimit limited = previous;
            limited.rlim_cur = rlim_t(room);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
            f.installer->relaunch();
            ::setrlimit(RLIMIT_FSIZE, &previous);
            std::signal(SIGXFSZ, previousSignal);
        }
        QCOMPARE(f.installer->phase(), Phase::failed(Failure::install));
        QVERIFY(capture.contains(QStringLiteral("Could not start the update swap")));
        QCOMPARE(started.size(), 0);
        QCOMPARE(f.quits, 0);
        QVERIFY(!processRunningWith(f.temporary + QStringLiteral("/ambrel-swap-")));
        // No script lies about: only what was there before, the staged bundle kept.
        QCOMPARE(f.leftovers(), before);
        QVERIFY(QFileInfo(staged).isDir());
        QCOMPARE(UpdateFixtures::tree(f.installed), f.installedBefore);
    }

    void noContentLengthKeepsTheFractionAtZero()
    {
        Fixture f;
        QVERIFY(UpdateFixtures::zipFolder(f.candidate(f.ours), f.root.filePath("a.zip")));
        f.serve(LoopbackHttpServer::Response::untilClosed(UpdateFixtures::readFile(f.root.filePath("a.zip"))));
        QList<Phase> phases;
        connect(f.installer.get(), &UpdateInstaller::phaseChanged, this, [&] { phases << f.installer->phase(); });
        f.installer->download(f.release());
        QTRY_VERIFY_WITH_TIMEOUT(f.settled(), patience);
        QCOMPARE(phases, (QList<Phase>{Phase::downloading(0), Phase::verifying(), Phase::readyToRelaunch()}));
    }

    void cancelRemovesEverything()
    {
        Fixture f;
        f.serve(LoopbackHttpServer::Response::stalledHead());
        f.installer->download(f.release());
        QCOMPARE(f.installer->phase(), Phase::downloading(0));
        QTRY_COMPARE_WITH_TIMEOUT(f.server.requests().size(), 1, patience);
        QCOMPARE(f.leftovers().size(), 1); // the archive being written
        f.installer->cancel();
        QCOMPARE(f.installer->phase(), Phase::idle());
        QCOMPARE(f.leftovers(), QStringList());

        // cancel() after a staged bundle removes its folder.
        QVERIFY(UpdateFixtures::zipFolder(f.candidate(f.ours), f.root.filePath("a.zip")));
        f.serve(UpdateFixtures::readFile(f.root.filePath("a.zip")));
        f.installer->download(f.release());
        QTRY_VERIFY_WITH_TIMEOUT(f.installer->phase() == Phase::readyToRelaunch(), patience);
        f.installer->cancel();
        QCOMPARE(f.installer->phase(), Phase::idle());
        QCOMPARE(f.leftovers(), QStringList());
    }

    void staleAttemptNeverWritesThePhase()
    {
        auto held = std::make_shared<HeldExtractor>();
        Fixture f(held);
        QVERIFY(UpdateFixtures::zipFolder(f.candidate(f.ours), f.root.filePath("a.zip")));
        f.serve(UpdateFixtures::readFile(f.root.filePath("a.zip")));
        f.installer->download(f.release());
        QTRY_COMPARE_WITH_TIMEOUT(f.installer->phase(), Phase::verifying(), patience);
        QVERIFY(held->entered.tryAcquire(1, patience));

        // While verifying another download is ignored.
        f.installer->download(f.release());
        QCOMPARE(f.installer->phase(), Phase::verifying());
        QCOMPARE(f.server.requests().size(), 1);

        // Cancelled, then a new attempt stalls in its download; the first one ends late.
        f.installer->cancel();
        f.serve(LoopbackHttpServer::Response::stalledHead());
        f.installer->download(f.release());
        held->gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(!f.leftovers().join(' ').contains("ambrel-update-"), patience);
        QCOMPARE(f.installer->phase(), Phase::downloading(0));
        QVERIFY(!f.installer->staged());
        f.installer->cancel();
        held->gate.release(10);
    }

    void releasesThatAreNeverInstalled()
    {
        Fixture f;
        QSignalSpy changes(f.installer.get(), &UpdateInstaller::phaseChanged);
        // Not newer than the running build.
        f.installer->download(UpdateRelease{"1.0", {}, f.server.url("/Ambrel-2.0.zip"), {}});
        f.installer->download(UpdateRelease{"0.9", {}, f.server.url("/Ambrel-2.0.zip"), {}});
        QCOMPARE(f.installer->phase(), Phase::idle());
        QCOMPARE(changes.size(), 0);
        // Not https: never opened.
        f.installer->download(UpdateRelease{"2.0", {}, QUrl("http://example.com/a.zip"), {}});
        QCOMPARE(f.installer->phase(), Phase::failed(Failure::download));
        f.installer->download(UpdateRelease{"2.0", {}, QUrl("file:///etc/passwd"), {}});
        QCOMPARE(f.installer->phase(), Phase::failed(Failure::download));
        QCOMPARE(f.leftovers(), QStringList());
        QTest::qWait(0);
        QVERIFY(f.server.requests().isEmpty());

        // A development build offers updates but never installs them.
        UpdateInstaller development(std::nullopt, "1.0", &f.network, f.extractor,
                                    std::make_shared<Platform::DesktopCodeSignature>(), f.options);
        QVERIFY(!development.canInstall());
        development.download(f.release());
        development.relaunch();
        QCOMPARE(development.phase(), Phase::idle());
        QCOMPARE(f.quits, 0);
    }

    void bundleOfTheRunningExecutable()
    {
        QTemporaryDir temp;
        const KeyPair key = KeyPair::generate();
        UpdateFixtures::makeBundle(temp.filePath("opt/Ambrel.app"), "1.0", key, key);
        QCOMPARE(UpdateInstaller::bundleContaining(temp.filePath("opt/Ambrel.app/bin/ambrel")),
                 (UpdateInstaller::Bundle{QFileInfo(temp.filePath("opt/Ambrel.app")).canonicalFilePath(), "bin/ambrel"}));
        // A folder named like a bundle without the signature files is not one.
        UpdateFixtures::writeFile(temp.filePath("build/Fake.app/bin/ambrel"), "x");
        QCOMPARE(UpdateInstaller::bundleContaining(temp.filePath("build/Fake.app/bin/ambrel")), std::nullopt);
        // The test itself runs from a build folder.
        QCOMPARE(UpdateInstaller::bundleContaining(QCoreApplication::applicationFilePath()), std::nullopt);
    }

    void shellQuoting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "/opt/Ambrel.app";
        QTest::newRow("quote") << "it's";
        QTest::newRow("specials") << "$HOME `id` \"x\" \\ ; & | * ?";
        QTest::newRow("newline") << "a\nb";
    }
    void shellQuoting()
    {
        QFETCH(QString, text);
        QProcess sh;
        sh.start("/bin/sh", {"-c", "printf %s " + UpdateInstaller::shellQuoted(text)});
        QVERIFY(sh.waitForFinished());
        QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()), text);
        if (text == u"/opt/Ambrel.app")
            QCOMPARE(UpdateInstaller::shellQuoted(text), QStringLiteral("'/opt/Ambrel.app'"));
    }
};

QTEST_GUILESS_MAIN(UpdateInstallerTest)
#include "tst_UpdateInstaller.moc"
