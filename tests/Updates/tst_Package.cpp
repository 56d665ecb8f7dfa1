#include "LoopbackHttpServer.h"
#include "UpdateFixtures.h"

#include "Platform/Desktop/DesktopArchiveExtractor.h"
#include "Platform/Desktop/DesktopCodeSignature.h"
#include "Updates/UpdateInstaller.h"

#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using Phase = UpdateInstaller::Phase;

// The release that scripts/package makes from this build is one the installer accepts.
class PackageTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir temp;
    KeyPair key = KeyPair::generate();
    QString archive;

    // Stages the archive bytes through a real installer; the phase it ends in.
    Phase install(const QByteArray& bytes, const KeyPair& trusted)
    {
        const QString installed = temp.filePath(QStringLiteral("installed-%1/Ambrel.app").arg(++m_attempt));
        UpdateFixtures::makeBundle(installed, "0.0.1", trusted, trusted);
        LoopbackHttpServer server;
        server.route("/release.zip", LoopbackHttpServer::Response::sized(200, bytes));
        QNetworkAccessManager network;
        const QString tmp = temp.filePath(QStringLiteral("tmp-%1").arg(m_attempt));
        QDir().mkpath(tmp);
        UpdateInstaller installer(UpdateInstaller::Bundle{installed, QStringLiteral("bin/ambrel")}, "0.0.1", &network,
                                  std::make_shared<Platform::DesktopArchiveExtractor>(),
                                  std::make_shared<Platform::DesktopCodeSignature>(), {.temporaryFolder = tmp});
        installer.download(UpdateRelease{QStringLiteral("99.0"), {}, server.url("/release.zip"), {}});
        const auto settled = [&] {
            const auto k = installer.phase().kind;
            return k == Phase::Kind::failed || k == Phase::Kind::readyToRelaunch;
        };
        if (!QTest::qWaitFor(settled, 60000))
            return Phase::idle();
        if (installer.staged()) {
            m_stagedExecutable = QFileInfo(*installer.staged() + QStringLiteral("/bin/ambrel")).isExecutable();
            m_stagedTree = UpdateFixtures::tree(*installer.staged());
        }
        return installer.phase();
    }
    int m_attempt = 0;
    bool m_stagedExecutable = false;
    QMap<QString, QByteArray> m_stagedTree;

private slots:
    void initTestCase()
    {
        const QString keyFile = temp.filePath("release-key.pem");
        QVERIFY(UpdateFixtures::writeFile(keyFile, key.privatePem));
        QProcess package;
        package.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        package.start(QStringLiteral(AMBREL_SOURCE_DIR "/scripts/package"),
                      {"--key", keyFile, "--out", temp.filePath("dist"), "--build-dir", QStringLiteral(AMBREL_BINARY_DIR),
                       "--no-build", "--base-url", "https://example.com/releases"});
        QVERIFY(package.waitForFinished(120000));
        QCOMPARE(package.exitCode(), 0);
        archive = QString::fromUtf8(package.readAllStandardOutput()).trimmed();
        QVERIFY2(QFileInfo(archive).isFile(), qPrintable(archive));
        QVERIFY(QFileInfo(archive).fileName().startsWith("Ambrel-"));
        const QByteArray reply = UpdateFixtures::readFile(temp.filePath("dist/version.json"));
        QVERIFY(reply.contains("https://example.com/releases/Ambrel-"));
    }

    void signedReleaseIsAccepted()
    {
        QCOMPARE(install(UpdateFixtures::readFile(archive), key), Phase::readyToRelaunch());
        QVERIFY(m_stagedExecutable);
        QVERIFY(m_stagedTree.contains("signature/manifest"));
        QVERIFY(m_stagedTree.contains("signature/trusted-key.pem"));
    }

    void releaseForAnotherKeyIsRefused()
    {
        QCOMPARE(install(UpdateFixtures::readFile(archive), KeyPair::generate()), Phase::failed(UpdateInstaller::Failure::notOurs));
    }

    void alteredByOneByteIsRefused_data()
    {
        QTest::addColumn<double>("where"); // position in the archive, as a fraction of its size
        QTest::newRow("early") << 0.2;
        QTest::newRow("middle") << 0.5;
        QTest::newRow("late") << 0.8;
    }
    void alteredByOneByteIsRefused()
    {
        QFETCH(double, where);
        QByteArray bytes = UpdateFixtures::readFile(archive);
        const qsizetype at = qsizetype(double(bytes.size()) * where);
        bytes[at] = char(bytes[at] ^ 0x01);
        QCOMPARE(install(bytes, key).kind, Phase::Kind::failed);
    }

    void fileChangedInsideTheBundleIsRefused()
    {
        // Unpacked, one byte of the executable changed, packed again: the archive is sound, the
        // signature no longer matches.
        const QString unpacked = temp.filePath("unpacked");
        QDir().mkpath(unpacked);
        QVERIFY(Platform::DesktopArchiveExtractor().extract(archive, unpacked));
        const QString executable = unpacked + "/Ambrel.app/bin/ambrel";
        QByteArray bytes = UpdateFixtures::readFile(executable);
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x01);
        QVERIFY(UpdateFixtures::writeFile(executable, bytes));
        QVERIFY(UpdateFixtures::zipFolder(unpacked + "/Ambrel.app", temp.filePath("altered.zip")));
        QCOMPARE(install(UpdateFixtures::readFile(temp.filePath("altered.zip")), key), Phase::failed(UpdateInstaller::Failure::notOurs));
    }
};

QTEST_GUILESS_MAIN(PackageTest)
#include "tst_Package.moc"
