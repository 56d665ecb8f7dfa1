#include "UpdateFixtures.h"

#include "Platform/Desktop/DesktopCodeSignature.h"

#include <QTemporaryDir>
#include <QTest>

using Platform::CodeSignature;
using Platform::DesktopCodeSignature;

class CodeSignatureTest : public QObject {
    Q_OBJECT
private:
    KeyPair ours = KeyPair::generate();
    KeyPair theirs = KeyPair::generate();

private slots:
    void candidates_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("signed by our key") << "" << true;
        QTest::newRow("signed by another key") << "other key" << false;
        QTest::newRow("file added after signing") << "add" << false;
        QTest::newRow("hidden file added") << "add hidden" << false;
        QTest::newRow("file removed") << "remove" << false;
        QTest::newRow("byte changed") << "change" << false;
        QTest::newRow("manifest edited") << "manifest" << false;
        QTest::newRow("signature missing") << "no signature" << false;
        QTest::newRow("link in bundle, signed") << "link" << false;
        QTest::newRow("empty folder added") << "empty folder" << true;
        QTest::newRow("installed build has no key") << "no key" << false;
    }
    void candidates()
    {
        QFETCH(QString, change);
        QFETCH(bool, accepted);
        QTemporaryDir temp;
        const QString installed = temp.filePath("installed/Ambrel.app");
        const QString candidate = temp.filePath("candidate/Ambrel.app");
        UpdateFixtures::makeBundle(installed, "1.0", ours, ours);
        UpdateFixtures::makeBundle(candidate, "2.0", ours, change == u"other key" ? theirs : ours);
        if (change == u"add")
            UpdateFixtures::writeFile(candidate + "/bin/extra", "more");
        else if (change == u"add hidden")
            UpdateFixtures::writeFile(candidate + "/share/.hidden", "more");
        else if (change == u"remove")
            QVERIFY(QFile::remove(candidate + "/share/ambrel/version"));
        else if (change == u"change") {
            QByteArray bytes = UpdateFixtures::readFile(candidate + "/bin/ambrel");
            bytes[2] = bytes[2] ^ 1;
            UpdateFixtures::writeFile(candidate + "/bin/ambrel", bytes);
        } else if (change == u"manifest") {
            QByteArray manifest = UpdateFixtures::readFile(candidate + u'/' + CodeSignature::manifestPath);
            manifest[0] = manifest[0] == 'a' ? 'b' : 'a';
            UpdateFixtures::writeFile(candidate + u'/' + CodeSignature::manifestPath, manifest);
        } else if (change == u"no signature")
            QVERIFY(QFile::remove(candidate + u'/' + CodeSignature::signaturePath));
        else if (change == u"link") {
            QVERIFY(QFile::link("/etc/hostname", candidate + "/share/host"));
            UpdateFixtures::sign(candidate, ours);
        } else if (change == u"empty folder")
            QVERIFY(QDir().mkpath(candidate + "/share/empty"));
        else if (change == u"no key")
            QVERIFY(QFile::remove(installed + u'/' + CodeSignature::trustedKeyPath));
        QCOMPARE(DesktopCodeSignature().satisfiesRequirement(installed, candidate), accepted);
    }

    void candidateThatIsALink()
    {
        QTemporaryDir temp;
        UpdateFixtures::makeBundle(temp.filePath("i/Ambrel.app"), "1.0", ours, ours);
        UpdateFixtures::makeBundle(temp.filePath("real/Ambrel.app"), "2.0", ours, ours);
        QVERIFY(QFile::link(temp.filePath("real/Ambrel.app"), temp.filePath("Link.app")));
        QVERIFY(DesktopCodeSignature().satisfiesRequirement(temp.filePath("i/Ambrel.app"), temp.filePath("real/Ambrel.app")));
        QVERIFY(!DesktopCodeSignature().satisfiesRequirement(temp.filePath("i/Ambrel.app"), temp.filePath("Link.app")));
    }

    void manifests_data()
    {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<int>("entries"); // -1: refused
        const QByteArray h(64, 'a');
        QTest::newRow("two lines") << h + "  a\n" + h + "  b/c\n" << 2;
        QTest::newRow("no final line feed") << h + "  a" << -1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("one space") << h + " a\n" << -1;
        QTest::newRow("upper-case hash") << QByteArray(64, 'A') + "  a\n" << -1;
        QTest::newRow("short hash") << QByteArray(63, 'a') + "  a\n" << -1;
        QTest::newRow("unsorted") << h + "  b\n" + h + "  a\n" << -1;
        QTest::newRow("repeated") << h + "  a\n" + h + "  a\n" << -1;
        QTest::newRow("parent") << h + "  ../a\n" << -1;
        QTest::newRow("absolute") << h + "  /a\n" << -1;
        QTest::newRow("dot prefix") << h + "  ./a\n" << -1;
        QTest::newRow("lists itself") << h + "  signature/manifest\n" << -1;
        QTest::newRow("empty line") << h + "  a\n\n" << -1;
        QTest::newRow("invalid utf-8") << h + "  \xff\n" << -1;
    }
    void manifests()
    {
        QFETCH(QByteArray, manifest);
        QFETCH(int, entries);
        const auto parsed = DesktopCodeSignature::parseManifest(manifest);
        if (entries < 0)
            QVERIFY(!parsed);
        else
            QCOMPARE(parsed ? int(parsed->size()) : -1, entries);
    }

    void signatureVerification()
    {
        const QByteArray message = "manifest bytes";
        const QByteArray signature = ours.sign(message);
        QVERIFY(DesktopCodeSignature::verify(ours.publicPem, message, signature));
        QVERIFY(!DesktopCodeSignature::verify(theirs.publicPem, message, signature));
        QVERIFY(!DesktopCodeSignature::verify(ours.publicPem, message + "!", signature));
        QVERIFY(!DesktopCodeSignature::verify(ours.publicPem, message, signature.left(63)));
        QVERIFY(!DesktopCodeSignature::verify("not a key", message, signature));
        // A key of another algorithm is not trusted.
        EVP_PKEY* rsa = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t(2048));
        BIO* bio = BIO_new(BIO_s_mem());
        PEM_write_bio_PUBKEY(bio, rsa);
        char* data = nullptr;
        const long n = BIO_get_mem_data(bio, &data);
        QVERIFY(!DesktopCodeSignature::verify(QByteArray(data, n), message, signature));
        BIO_free(bio);
        EVP_PKEY_free(rsa);
    }
};

QTEST_GUILESS_MAIN(CodeSignatureTest)
#include "tst_CodeSignature.moc"
