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

// Where a member's deflated data lies in a zip archive, read from its central directory.
namespace ZipLayout {
inline quint32 le32(const QByteArray& b, qsizetype at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16 |
           quint32(quint8(b[at + 3])) << 24;
}
inline quint16 le16(const QByteArray& b, qsizetype at) { return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8); }

struct Entry {
    qsizetype dataStart = 0;
    qsizetype dataEnd = 0;
    qsizetype centralCheckSum = 0; // the member's CRC-32 in the central directory
};

inline std::optional<Entry> find(const QByteArray& zip, const QString& name)
{
    const QByteArray wanted = name.toUtf8();
    const qsizetype end = zip.lastIndexOf("PK\x05\x06");
    if (end < 0 || end + 22 > zip.size())
        return std::nullopt;
    qsizetype at = le32(zip, end + 16);
    for (int n = le16(zip, end + 10); n > 0 && at + 46 <= end; --n) {
        const quint16 nameLength = le16(zip, at + 28);
        if (zip.mid(at + 46, nameLength) == wanted) {
            const qsizetype local = le32(zip, at + 42);
            const qsizetype start = local + 30 + le16(zip, local + 26) + le16(zip, local + 28);
            return Entry{start, start + qsizetype(le32(zip, at + 20)), at + 16};
        }
        at += 46 + nameLength + le16(zip, at + 30) + le16(zip, at + 32);
    }
    return std::nullopt;
}
} // namespace ZipLayout

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

    // What the archive unpacks to, each file by its hash; empty when it does not unpack.
    QMap<QString, QByteArray> unpackedTree(const QByteArray& bytes)
    {
        const QString file = temp.filePath(QStringLiteral("probe-%1.zip").arg(++m_attempt));
        const QString folder = temp.filePath(QStringLiteral("probe-%1").arg(m_attempt));
        QDir().mkpath(folder);
        if (!UpdateFixtures::writeFile(file, bytes) || !Platform::DesktopArchiveExtractor().extract(file, folder))
            return {};
        return UpdateFixtures::tree(folder);
    }

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

    // Where one byte of the archive is changed: in the compressed data of a member (the executable
    // or the manifest), or in the check sum written after the executable's data.
    void alteredByOneByteIsRefused_data()
    {
        QTest::addColumn<QString>("member");
        QTest::addColumn<bool>("inCheckSum");
        QTest::newRow("executable data") << QStringLiteral("Ambrel.app/bin/ambrel") << false;
        QTest::newRow("manifest data") << QStringLiteral("Ambrel.app/signature/manifest") << false;
        QTest::newRow("executable check sum") << QStringLiteral("Ambrel.app/bin/ambrel") << true;
    }
    void alteredByOneByteIsRefused()
    {
        QFETCH(QString, member);
        QFETCH(bool, inCheckSum);
        const QByteArray original = UpdateFixtures::readFile(archive);
        const auto entry = ZipLayout::find(original, member);
        QVERIFY2(entry, qPrintable(member));
        QByteArray bytes = original;
        if (inCheckSum) {
            // The content stays as signed; only the archive's own check of it is broken, the same
            // way in the record after the data and in the central directory.
            const qsizetype crc = entry->dataEnd + (ZipLayout::le32(original, entry->dataEnd) == 0x08074b50 ? 4 : 0);
            for (const qsizetype at : {crc, entry->centralCheckSum})
                bytes[at] = char(bytes[at] ^ 0x01);
        } else {
            // A changed byte of deflated data can decode to the same content (a back-reference moved
            // within a run of equal bytes); such an archive holds what was signed and may be accepted.
            // Move on until the byte changed really changes what the archive unpacks to.
            const QMap<QString, QByteArray> signedTree = unpackedTree(original);
            QVERIFY(!signedTree.isEmpty());
            qsizetype at = entry->dataStart + (entry->dataEnd - entry->dataStart) / 2;
            for (;; at += 97) {
                QVERIFY(at < entry->dataEnd);
                bytes = original;
                bytes[at] = char(bytes[at] ^ 0x01);
                if (unpackedTree(bytes) != signedTree)
                    break;
            }
        }
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
