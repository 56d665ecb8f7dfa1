#include "LoopbackHttpServer.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "Telemetry/TelemetryClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace std::chrono_literals;

namespace {

const TelemetryEnvironment environment{"1.0.0", "7", "6.1.0", "x86_64", "en_US", "en"};

// A client against the loopback server whose delayed flushes wait until the test fires them.
struct Fixture {
    LoopbackHttpServer server;
    QNetworkAccessManager network;
    QList<std::chrono::milliseconds> delays;
    QList<std::function<void()>> timers;
    std::unique_ptr<TelemetryClient> client;

    explicit Fixture(bool enabled = true, TelemetryClient::Destination destination = TelemetryClient::Destination::v2("com.corvish.app"))
    {
        server.route("/v2/namespace/com.corvish.app/", LoopbackHttpServer::Response::sized(200, "{}"));
        server.route("/v1/", LoopbackHttpServer::Response::sized(200, "{}"));
        TelemetryClient::Options options;
        options.baseURL = server.base();
        options.schedule = [this](std::chrono::milliseconds delay, std::function<void()> fire) {
            delays << delay;
            timers << std::move(fire);
        };
        client = std::make_unique<TelemetryClient>(QStringLiteral("APP-ID"), destination, environment,
                                                   QStringLiteral("installation"), false, &network, enabled, options);
    }

    void fireTimers()
    {
        const auto pending = std::exchange(timers, {});
        for (const auto& t : pending)
            t();
    }

    QJsonArray batch(qsizetype index) const
    {
        return QJsonDocument::fromJson(server.requests().value(index).body).array();
    }

    // Waits until every request made so far was answered.
    bool settle() { return client->waitForRequests(5s); }
};

} // namespace

class TelemetryClientTest : public QObject {
    Q_OBJECT
private slots:
    void disabledClientDropsEverything()
    {
        Fixture f(false);
        f.client->send(TelemetryEvent::toolbarShown(3));
        QCOMPARE(f.client->pendingCount(), 0);
        QVERIFY(f.timers.isEmpty());
        f.client->flush();
        QVERIFY(f.settle());
        QVERIFY(f.server.requests().isEmpty());
    }

    void singleEventLeavesFiveSecondsLater()
    {
        Fixture f;
        f.client->send(TelemetryEvent::onboardingStep(QStringLiteral("welcome")));
        QCOMPARE(f.delays, QList<std::chrono::milliseconds>{5000ms});
        QVERIFY(f.settle());
        QVERIFY(f.server.requests().isEmpty()); // not before the delay
        f.fireTimers();
        QVERIFY(f.settle());
        QCOMPARE(f.server.requests().size(), 1);
        const auto request = f.server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.target, QByteArray("/v2/namespace/com.corvish.app/"));
        QCOMPARE(request.header("content-type"), std::optional<QByteArray>("application/json; charset=utf-8"));
        QVERIFY(!request.hasHeader("authorization"));
        QCOMPARE(f.batch(0).size(), 1);
        QCOMPARE(f.batch(0)[0].toObject().value("type").toString(), QStringLiteral("Onboarding.stepShown"));
    }

    void twentiethEventSendsAtOnceAndTheNextStartsANewBatch()
    {
        Fixture f;
        for (int i = 0; i < 19; ++i)
            f.client->send(TelemetryEvent::toolbarShown(i));
        QCOMPARE(f.delays.size(), 1); // one delayed flush for the whole quiet period
        QVERIFY(f.settle());
        QVERIFY(f.server.requests().isEmpty());
        f.client->send(TelemetryEvent::toolbarShown(19));
        QVERIFY(f.settle());
        QCOMPARE(f.server.requests().size(), 1);
        const QJsonArray first = f.batch(0);
        QCOMPARE(first.size(), 20);
        for (int i = 0; i < 20; ++i) // oldest first
            QCOMPARE(first[i].toObject().value("floatValue").toDouble(), double(i));
        QCOMPARE(f.client->pendingCount(), 0);

        f.client->send(TelemetryEvent::radialItemLaunched());
        QCOMPARE(f.delays.size(), 2); // a new 5 s wait
        // The earlier delayed flush still runs at its time and sends what gathered since.
        f.fireTimers();
        QVERIFY(f.settle());
        QCOMPARE(f.server.requests().size(), 2);
        QCOMPARE(f.batch(1).size(), 1);
        QCOMPARE(f.batch(1)[0].toObject().value("type").toString(), QStringLiteral("Radial.itemLaunched"));
    }

    void disablingDiscardsWhatIsPending()
    {
        Fixture f;
        for (int i = 0; i < 7; ++i)
            f.client->send(TelemetryEvent::radialEnabled(true));
        QCOMPARE(f.client->pendingCount(), 7);
        f.client->setEnabled(false);
        QCOMPARE(f.client->pendingCount(), 0);
        f.client->setEnabled(true);
        QCOMPARE(f.client->pendingCount(), 0);
        f.fireTimers();
        f.client->flush();
        QVERIFY(f.settle());
        QVERIFY(f.server.requests().isEmpty());
    }

    void wireFormat_data()
    {
        QTest::addColumn<bool>("v1");
        QTest::newRow("v2") << false;
        QTest::newRow("v1") << true;
    }
    void wireFormat()
    {
        QFETCH(bool, v1);
        Fixture f(true, v1 ? TelemetryClient::Destination::v1() : TelemetryClient::Destination::v2("com.corvish.app"));
        f.client->send(TelemetryEvent::modelRequest(QStringLiteral("openRouter"), TelemetryEvent::Outcome::failed, 2.5));
        f.client->send(TelemetryEvent::toolbarShown(3));
        f.client->flush();
        QVERIFY(f.settle());
        QCOMPARE(f.server.requests().size(), 1);
        QCOMPARE(f.server.requests().first().target, v1 ? QByteArray("/v1/") : QByteArray("/v2/namespace/com.corvish.app/"));
        const QByteArray body = f.server.requests().first().body;

        const QString user = TelemetryClient::hashedUser(QStringLiteral("installation"));
        const QString session = f.client->sessionID();
        const QString env = QStringLiteral(
            "\"TelemetryDeck.AppInfo.buildNumber\":\"7\",\"TelemetryDeck.AppInfo.version\":\"1.0.0\","
            "\"TelemetryDeck.Device.architecture\":\"x86_64\",\"TelemetryDeck.Device.operatingSystem\":\"Linux\","
            "\"TelemetryDeck.Device.systemVersion\":\"6.1.0\",\"TelemetryDeck.RunContext.language\":\"en\","
            "\"TelemetryDeck.RunContext.locale\":\"en_US\"");
        const QString envV1 = QStringLiteral(
            "\"TelemetryDeck.AppInfo.buildNumber:7\",\"TelemetryDeck.AppInfo.version:1.0.0\","
            "\"TelemetryDeck.Device.architecture:x86_64\",\"TelemetryDeck.Device.operatingSystem:Linux\","
            "\"TelemetryDeck.Device.systemVersion:6.1.0\",\"TelemetryDeck.RunContext.language:en\","
            "\"TelemetryDeck.RunContext.locale:en_US\"");
        QString expected;
        if (v1) {
            expected = QStringLiteral("[{\"appID\":\"APP-ID\",\"clientUser\":\"%1\",\"isTestMode\":false,\"payload\":[%3,\"floatValue:2.5\",\"outcome:failed\",\"provider:openRouter\"],\"sessionID\":\"%2\",\"type\":\"Model.request\"},"
                                      "{\"appID\":\"APP-ID\",\"clientUser\":\"%1\",\"isTestMode\":false,\"payload\":[%3,\"floatValue:3.0\"],\"sessionID\":\"%2\",\"type\":\"Selection.toolbarShown\"}]")
                           .arg(user, session, envV1);
        } else {
            expected = QStringLiteral("[{\"appID\":\"APP-ID\",\"clientUser\":\"%1\",\"floatValue\":2.5,\"isTestMode\":false,\"payload\":{%3,\"outcome\":\"failed\",\"provider\":\"openRouter\"},\"sessionID\":\"%2\",\"type\":\"Model.request\"},"
                                      "{\"appID\":\"APP-ID\",\"clientUser\":\"%1\",\"floatValue\":3,\"isTestMode\":false,\"payload\":{%3},\"sessionID\":\"%2\",\"type\":\"Selection.toolbarShown\"}]")
                           .arg(user, session, env);
        }
        QCOMPARE(QString::fromUtf8(body), expected);
    }

    void signalParameterReplacesEnvironmentEntry()
    {
        Fixture f;
        const TelemetrySignal s(QStringLiteral("T"), {{QStringLiteral("TelemetryDeck.RunContext.locale"), QStringLiteral("xx")}});
        const QJsonObject payload =
            QJsonDocument::fromJson(f.client->encode({s})).array()[0].toObject().value("payload").toObject();
        QCOMPARE(payload.size(), 7);
        QCOMPARE(payload.value("TelemetryDeck.RunContext.locale").toString(), QStringLiteral("xx"));
    }

    void flushWithNothingPendingMakesNoRequest()
    {
        Fixture f;
        f.client->flush();
        QVERIFY(f.settle());
        QVERIFY(f.server.requests().isEmpty());
    }

    void failedBatchIsNotRetried()
    {
        Fixture f;
        f.server.route("/v2/namespace/com.corvish.app/", LoopbackHttpServer::Response::sized(500, "no"));
        QSignalSpy answered(f.client.get(), &TelemetryClient::batchAnswered);
        f.client->send(TelemetryEvent::scrollEnabled(true));
        f.client->flush();
        QVERIFY(f.settle());
        QCOMPARE(answered.size(), 1);
        QCOMPARE(answered.first().value(1).toInt(), 500);
        QCOMPARE(f.client->pendingCount(), 0);
        f.client->flush();
        QVERIFY(f.settle());
        QCOMPARE(f.server.requests().size(), 1);
    }

    void installationIdentifierAndUsers()
    {
        Platform::SimulatedUserDefaults defaults;
        const QString id = TelemetryClient::installationID(defaults);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")).match(id).hasMatch());
        QCOMPARE(defaults.stringValue(TelemetryClient::installationKey), id);
        QCOMPARE(TelemetryClient::installationID(defaults), id); // kept across launches

        QNetworkAccessManager network;
        TelemetryClient a(QStringLiteral("A"), TelemetryClient::Destination::v1(), environment, id, false, &network, true);
        TelemetryClient b(QStringLiteral("A"), TelemetryClient::Destination::v1(), environment, id, false, &network, true);
        QCOMPARE(a.clientUser(), b.clientUser());
        QVERIFY(a.sessionID() != b.sessionID());
        QCOMPARE(a.sessionID().size(), 36);
        QCOMPARE(a.sessionID(), a.sessionID().toUpper());

        // The digest of exactly the identifier's UTF-8 bytes.
        QCOMPARE(TelemetryClient::hashedUser(QStringLiteral("abc")),
                 QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QCOMPARE(TelemetryClient::hashedUser(QStringLiteral("é")),
                 QString::fromLatin1(QCryptographicHash::hash("\xc3\xa9", QCryptographicHash::Sha256).toHex()));
    }

    void sendsFromManyThreadsLoseNothing()
    {
        Fixture f;
        QList<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([&f] {
                for (int i = 0; i < 50; ++i)
                    f.client->send(TelemetryEvent::toolbarShown(i));
            });
            threads.last()->start();
        }
        for (QThread* thread : threads) {
            QVERIFY(thread->wait(10000));
            delete thread;
        }
        f.client->flush();
        // Batches posted from the other threads arrive as queued calls.
        QTRY_VERIFY(f.client->waitForRequests(5s) && f.client->pendingCount() == 0);
        int total = 0;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     total = 0;
                                     for (qsizetype i = 0; i < f.server.requests().size(); ++i)
                                         total += int(f.batch(i).size());
                                     return total == 200;
                                 }()),
                                 5000);
    }

    void defaultTimerFlushesOnItsOwn()
    {
        // The real timer: one event arrives without any flush call (5 s).
        LoopbackHttpServer server;
        server.route("/v1/", LoopbackHttpServer::Response::sized(200, {}));
        QNetworkAccessManager network;
        TelemetryClient client(QStringLiteral("A"), TelemetryClient::Destination::v1(), environment, QStringLiteral("i"), true,
                               &network, true, {.baseURL = server.base(), .schedule = {}});
        client.send(TelemetryEvent::onboardingRestarted());
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, 8000);
        const QJsonObject signal = QJsonDocument::fromJson(server.requests().first().body).array()[0].toObject();
        QCOMPARE(signal.value("isTestMode").toBool(), true);
    }
};

QTEST_GUILESS_MAIN(TelemetryClientTest)
#include "tst_TelemetryClient.moc"
