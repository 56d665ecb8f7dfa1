#include "SecurityCore/PrivacyLog.h"

#include <QTest>

class PrivacyLogTest : public QObject {
    Q_OBJECT
private slots:
    void urlSummary_data();
    void urlSummary();
    void textSummary_data();
    void textSummary();
    void credentialIsConstant();
    void loggersCarryTheSubsystem();
    void captureRecordsWhatLoggersWrite();
};

void PrivacyLogTest::urlSummary_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QString>("expected");
    QTest::newRow("file with extension") << QUrl::fromLocalFile("/tmp/x/report.pdf") << "<url .pdf depth=4>";
    QTest::newRow("folder") << QUrl::fromLocalFile("/tmp/x") << "<url depth=3>";
    QTest::newRow("folder with trailing slash") << QUrl::fromLocalFile("/tmp/x/") << "<url depth=3>";
    QTest::newRow("extension keeps its case") << QUrl::fromLocalFile("/Users/a/photo.JPG") << "<url .JPG depth=4>";
    QTest::newRow("last extension only") << QUrl::fromLocalFile("/a/b.tar.gz") << "<url .gz depth=3>";
    QTest::newRow("dot file has no extension") << QUrl::fromLocalFile("/home/u/.bashrc") << "<url depth=4>";
    QTest::newRow("root") << QUrl::fromLocalFile("/") << "<url depth=1>";
    QTest::newRow("web address hides host and query")
        << QUrl("https://example.com/docs/page.html?q=secret") << "<url .html depth=3>";
}

void PrivacyLogTest::urlSummary()
{
    QFETCH(QUrl, url);
    QFETCH(QString, expected);
    QCOMPARE(PrivacyLog::redact(url), expected);
}

void PrivacyLogTest::textSummary_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << "<text 0 chars>";
    QTest::newRow("ascii") << "hello" << "<text 5 chars>";
    QTest::newRow("three emoji") << QString::fromUtf8("😀👍🏽🇨🇳") << "<text 3 chars>";
    QTest::newRow("family emoji is one") << QString::fromUtf8("👨‍👩‍👧") << "<text 1 chars>";
    QTest::newRow("combining accent") << QString::fromUtf8("e\u0301") << "<text 1 chars>";
    QTest::newRow("cjk") << QString::fromUtf8("你好") << "<text 2 chars>";
}

void PrivacyLogTest::textSummary()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(PrivacyLog::redact(text), expected);
}

void PrivacyLogTest::credentialIsConstant()
{
    QCOMPARE(PrivacyLog::redactCredential(), QStringLiteral("<redacted>"));
}

void PrivacyLogTest::loggersCarryTheSubsystem()
{
    const auto a = PrivacyLog::logger("FileCreator");
    const auto b = PrivacyLog::logger("FileCreator");
    QCOMPARE(a.subsystem(), QStringLiteral("com.corvish.app"));
    QCOMPARE(a.categoryName(), QStringLiteral("FileCreator"));
    QCOMPARE(QByteArray(a.category().categoryName()), QByteArray("com.corvish.app.FileCreator"));
    QCOMPARE(&a.category(), &b.category());
    QVERIFY(&PrivacyLog::logger("Transfer").category() != &a.category());
}

void PrivacyLogTest::captureRecordsWhatLoggersWrite()
{
    PrivacyLog::Capture capture;
    PrivacyLog::logger("Transfer").warning("moved " + PrivacyLog::redact(QUrl::fromLocalFile("/home/u/secret.txt")));
    PrivacyLog::logger("ScriptRunner").info("started");
    qWarning("not ours");
    const auto entries = capture.entries();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].category, QStringLiteral("Transfer"));
    QCOMPARE(entries[0].type, QtWarningMsg);
    QCOMPARE(entries[0].message, QStringLiteral("moved <url .txt depth=4>"));
    QVERIFY(!capture.contains("secret"));
    QCOMPARE(capture.entries("ScriptRunner").size(), 1);
}

QTEST_GUILESS_MAIN(PrivacyLogTest)
#include "tst_PrivacyLog.moc"
