#include "LoopbackHttpServer.h"
#include "RefusingPort.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "Updates/UpdateChecker.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(UpdateReply::Verdict)

namespace {

const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

UpdateRelease release(QString version, std::optional<QString> notes = {}, QString url = "https://example.com/a.zip",
                      std::optional<QString> minimum = {})
{
    return UpdateRelease{std::move(version), std::move(notes), QUrl(url), std::move(minimum)};
}

struct Fixture {
    LoopbackHttpServer server;
    QNetworkAccessManager network;
    std::shared_ptr<Platform::SimulatedUserDefaults> defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    UpdateChecker checker{server.url("/api/version"), &network, defaults, "1.2.0", "26.0.0"};

    void reply(const QByteArray& body, int status = 200)
    {
        server.route("/api/version", LoopbackHttpServer::Response::sized(status, body, "application/json"));
    }
    // One check, waited for.
    bool check(const QDateTime& at = now)
    {
        QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
        checker.check(at);
        return finished.size() == 1 || finished.wait(10000);
    }
};

} // namespace

class UpdateCheckerTest : public QObject {
    Q_OBJECT
private slots:
    void decisions_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<UpdateReply::Verdict>("verdict");
        using namespace UpdateReply;
        const QByteArray url = "\"url\":\"https://example.com/a.zip\"";
        QTest::newRow("newer") << "{\"version\":\"1.3\", " + url + "}" << Verdict(Available{release("1.3")});
        QTest::newRow("newer with notes") << "{\"version\":\"1.2.1\",\"notes\":\"Fixes\", " + url + "}"
                                          << Verdict(Available{release("1.2.1", "Fixes")});
        QTest::newRow("equal") << "{\"version\":\"1.2.0\", " + url + "}" << Verdict(UpToDate{});
        QTest::newRow("equal with fewer parts") << "{\"version\":\"1.2\", " + url + "}" << Verdict(UpToDate{});
        QTest::newRow("older") << "{\"version\":\"1.1.9\", " + url + "}" << Verdict(UpToDate{});
        QTest::newRow("numeric order") << "{\"version\":\"1.10\", " + url + "}" << Verdict(Available{release("1.10")});
        QTest::newRow("same minimum system") << "{\"version\":\"2.0\",\"minimumSystem\":\"26.0.0\", " + url + "}"
                                             << Verdict(Available{release("2.0", {}, "https://example.com/a.zip", "26.0.0")});
        QTest::newRow("newer minimum system") << "{\"version\":\"2.0\",\"minimumSystem\":\"27\", " + url + "}"
                                              << Verdict(NeedsNewerSystem{release("2.0", {}, "https://example.com/a.zip", "27")});
        QTest::newRow("minimum system not text") << "{\"version\":\"2.0\",\"minimumSystem\":27, " + url + "}"
                                                 << Verdict(Available{release("2.0")});
        QTest::newRow("notes not text") << "{\"version\":\"2.0\",\"notes\":[\"a\"], " + url + "}" << Verdict(Available{release("2.0")});
        QTest::newRow("loopback http") << QByteArray("{\"version\":\"2.0\",\"url\":\"http://127.0.0.1:8080/a.zip\"}")
                                       << Verdict(Available{release("2.0", {}, "http://127.0.0.1:8080/a.zip")});
        QTest::newRow("version a number") << "{\"version\":2.0, " + url + "}" << Verdict(Malformed{});
        QTest::newRow("version missing") << "{" + url + "}" << Verdict(Malformed{});
        QTest::newRow("url missing") << QByteArray("{\"version\":\"2.0\"}") << Verdict(Malformed{});
        QTest::newRow("url not text") << QByteArray("{\"version\":\"2.0\",\"url\":5}") << Verdict(Malformed{});
        QTest::newRow("url plain http") << QByteArray("{\"version\":\"2.0\",\"url\":\"http://example.com/a.zip\"}") << Verdict(Malformed{});
        QTest::newRow("url file") << QByteArray("{\"version\":\"2.0\",\"url\":\"file:///etc/passwd\"}") << Verdict(Malformed{});
        QTest::newRow("url javascript") << QByteArray("{\"version\":\"2.0\",\"url\":\"javascript:alert(1)\"}") << Verdict(Malformed{});
        QTest::newRow("url relative") << QByteArray("{\"version\":\"2.0\",\"url\":\"/a.zip\"}") << Verdict(Malformed{});
        QTest::newRow("url with credentials") << QByteArray("{\"version\":\"2.0\",\"url\":\"https://u:p@example.com/a.zip\"}")
                                              << Verdict(Malformed{});
        QTest::newRow("not json") << QByteArray("<html>") << Verdict(Malformed{});
        QTest::newRow("array") << QByteArray("[{\"version\":\"2.0\"}]") << Verdict(Malformed{});
        QTest::newRow("empty") << QByteArray() << Verdict(Malformed{});
        QTest::newRow("huge") << "{\"version\":\"2.0\", " + url + ",\"notes\":\"" + QByteArray(2 << 20, 'x') + "\"}"
                              << Verdict(Malformed{});
    }
    void decisions()
    {
        QFETCH(QByteArray, body);
        QFETCH(UpdateReply::Verdict, verdict);
        QVERIFY(UpdateReply::decide(body, "1.2.0", "26.0.0") == verdict);
    }

    void dueRule_data()
    {
        QTest::addColumn<std::optional<QString>>("stored");
        QTest::addColumn<bool>("due");
        const auto at = [](qint64 secondsAgo) { return std::optional(now.addSecs(-secondsAgo).toString(Qt::ISODateWithMs)); };
        QTest::newRow("never checked") << std::optional<QString>() << true;
        QTest::newRow("one second short of three days") << at(259199) << false;
        QTest::newRow("exactly three days") << at(259200) << true;
        QTest::newRow("long ago") << at(10'000'000) << true;
        QTest::newRow("in the future") << at(-3600) << false;
        QTest::newRow("not a time") << std::optional<QString>("yesterday") << true;
    }
    void dueRule()
    {
        QFETCH(std::optional<QString>, stored);
        QFETCH(bool, due);
        Fixture f;
        f.reply("{\"version\":\"1.3\",\"url\":\"https://example.com/a.zip\"}");
        if (stored)
            f.defaults->setString(UpdateChecker::lastCheckKey, *stored);
        QSignalSpy finished(&f.checker, &UpdateChecker::checkFinished);
        QCOMPARE(f.checker.checkIfDue(now), due);
        if (due) {
            QVERIFY(finished.wait(10000));
            QCOMPARE(f.checker.lastCheck(), now);
            QCOMPARE(f.server.requests().size(), 1);
            QVERIFY(f.checker.available());
        } else {
            QCOMPARE(f.defaults->stringValue(UpdateChecker::lastCheckKey), stored);
            QVERIFY(f.server.requests().isEmpty());
        }
    }

    void publishesWhatTheServiceSays()
    {
        Fixture f;
        QSignalSpy availableChanges(&f.checker, &UpdateChecker::availableChanged);
        QSignalSpy blockedChanges(&f.checker, &UpdateChecker::blockedBySystemChanged);
        f.reply("{\"version\":\"1.3\",\"notes\":\"New\",\"url\":\"https://example.com/a.zip\"}");
        QVERIFY(f.check());
        QCOMPARE(f.checker.available(), release("1.3", "New"));
        QVERIFY(!f.checker.blockedBySystem());
        const auto request = f.server.requests().first();
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.target, QByteArray("/api/version")); // nothing of ours is sent along
        QCOMPARE(availableChanges.size(), 1);

        // The same release again: no change notice.
        QVERIFY(f.check());
        QCOMPARE(availableChanges.size(), 1);

        f.reply("{\"version\":\"1.4\",\"minimumSystem\":\"30.1\",\"url\":\"https://example.com/b.zip\"}");
        QVERIFY(f.check());
        QVERIFY(!f.checker.available());
        QCOMPARE(f.checker.blockedBySystem(), release("1.4", {}, "https://example.com/b.zip", "30.1"));
        QCOMPARE(blockedChanges.size(), 1);

        f.reply("{\"version\":\"1.2.0\",\"url\":\"https://example.com/c.zip\"}");
        QVERIFY(f.check());
        QVERIFY(!f.checker.available());
        QVERIFY(!f.checker.blockedBySystem());
    }

    void failuresKeepWhatWasPublished_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("304") << 304 << QByteArray("{\"version\":\"9\",\"url\":\"https://example.com/x.zip\"}");
        QTest::newRow("204") << 204 << QByteArray();
        QTest::newRow("500") << 500 << QByteArray("{\"version\":\"9\",\"url\":\"https://example.com/x.zip\"}");
        QTest::newRow("not json") << 200 << QByteArray("{nope");
        QTest::newRow("version a number") << 200 << QByteArray("{\"version\":9,\"url\":\"https://example.com/x.zip\"}");
        QTest::newRow("url missing") << 200 << QByteArray("{\"version\":\"9\"}");
        QTest::newRow("huge body") << 200 << QByteArray(3 << 20, ' ');
    }
    void failuresKeepWhatWasPublished()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        Fixture f;
        f.reply("{\"version\":\"1.3\",\"url\":\"https://example.com/a.zip\"}");
        QVERIFY(f.check());
        const auto known = f.checker.available();
        QVERIFY(known);
        f.reply(body, status);
        const QDateTime later = now.addSecs(60);
        QVERIFY(f.check(later));
        QCOMPARE(f.checker.available(), known);
        QVERIFY(!f.checker.blockedBySystem());
        QCOMPARE(f.checker.lastCheck(), later); // the failed check still counts
    }

    void timeOutEndsTheCheck()
    {
        Fixture f;
        f.server.route("/api/version", LoopbackHttpServer::Response::stalledHead());
        f.checker.setTimeout(300ms);
        QVERIFY(f.check());
        QVERIFY(!f.checker.available());
        QCOMPARE(f.checker.lastCheck(), now);
    }

    void unreachableServiceIsSilent()
    {
        QNetworkAccessManager network;
        auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
        const RefusingPort refusing; // nothing listens there
        UpdateChecker checker(QUrl(QStringLiteral("http://127.0.0.1:%1/api/version").arg(refusing.port())), &network,
                              defaults, "1.0", "26.0.0");
        QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
        bool done = false;
        checker.check(now, [&] { done = true; });
        QVERIFY(finished.wait(10000));
        QVERIFY(done);
        QVERIFY(!checker.available());
    }
};

QTEST_GUILESS_MAIN(UpdateCheckerTest)
#include "tst_UpdateChecker.moc"
