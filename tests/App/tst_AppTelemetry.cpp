#include "AppFixture.h"
#include "LoopbackHttpServer.h"
#include "ToolbarDriver.h"

#include "App/AppDelegate.h"
#include "App/FinderActionHandler.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// The model's usage reports go to a loopback server.
struct TelemetryFixture : AppFixture {
    LoopbackHttpServer server;
    QByteArray path = "/v2/namespace/" + AppModel::telemetryNamespace.toUtf8() + "/";

    TelemetryFixture() { server.route(path, LoopbackHttpServer::Response::sized(200, "{}")); }

    std::unique_ptr<AppModel> makeReportingModel(bool finishesStartLater = false)
    {
        ModuleStrings::setUserDefaults(services.userDefaults);
        return std::make_unique<AppModel>(services,
                                          offline(AppModel::Hooks{.alertSound = {}, .telemetryService = server.base(),
                                                                  .finishesStartLater = finishesStartLater}),
                                          std::make_unique<ManualPollTimer>());
    }

    // The signals the server received so far, after a flush.
    QList<QJsonObject> sent(AppModel& model)
    {
        model.telemetry().flush();
        model.telemetry().waitForRequests(5s);
        QList<QJsonObject> signalList;
        for (const auto& request : server.requests(path))
            for (const QJsonValue& v : QJsonDocument::fromJson(request.body).array())
                signalList << v.toObject();
        return signalList;
    }

    static QStringList types(const QList<QJsonObject>& signalList)
    {
        QStringList list;
        for (const QJsonObject& s : signalList)
            list << s.value("type").toString();
        return list;
    }
};

} // namespace

class AppTelemetryTest : public QObject {
    Q_OBJECT
private slots:
    void launchedEventAtStart_data()
    {
        QTest::addColumn<bool>("accessibility");
        QTest::addColumn<bool>("extension");
        QTest::addColumn<QString>("provider");
        QTest::addColumn<bool>("scrolling");
        QTest::addColumn<QString>("permissions");
        QTest::addColumn<QString>("hasModel");
        QTest::addColumn<bool>("keyStored");
        QTest::addColumn<bool>("finishedLater"); // sent once the tray icon is shown
        QTest::newRow("nothing granted") << false << false << "" << false << "" << "false" << false << false;
        QTest::newRow("both granted, local model, scrolling") << true << true << "ollama" << true
                                                             << "accessibility-finderExtension" << "true" << false << false;
        QTest::newRow("accessibility only") << true << false << "openRouter" << false << "accessibility" << "false"
                                            << false << false;
        QTest::newRow("key stored, after the tray") << false << true << "openRouter" << false << "finderExtension"
                                                    << "true" << true << true;
        QTest::newRow("no key, after the tray") << false << false << "openRouter" << false << "" << "false" << false
                                                << true;
    }
    void launchedEventAtStart()
    {
        QFETCH(bool, accessibility);
        QFETCH(bool, extension);
        QFETCH(QString, provider);
        QFETCH(bool, scrolling);
        QFETCH(QString, permissions);
        QFETCH(QString, hasModel);
        QFETCH(bool, keyStored);
        QFETCH(bool, finishedLater);
        TelemetryFixture f;
        if (keyStored)
            f.keychain().store("com.corvish.credentials", "ai." + provider + ".apiKey", "sk-test");
        f.defaults().setBool("telemetry.enabled", true);
        f.permissions().setAccessibilityTrusted(accessibility);
        f.permissions().setFinderExtensionEnabled(extension);
        if (!provider.isEmpty())
            f.defaults().setString("ai.provider", provider);
        if (scrolling)
            f.defaults().setData("scroll.settings", "{\"isEnabled\":true}");
        auto model = f.makeReportingModel(finishedLater);
        if (finishedLater) {
            QCOMPARE(model->telemetry().pendingCount(), 0);
            model->finishStart();
        }
        const auto sent = f.sent(*model);
        QCOMPARE(sent.size(), 1);
        const QJsonObject signal = sent.first();
        QCOMPARE(signal.value("type").toString(), QStringLiteral("App.launched"));
        QCOMPARE(signal.value("appID").toString(), AppModel::telemetryAppID);
        QCOMPARE(signal.value("clientUser").toString(),
                 TelemetryClient::hashedUser(*f.defaults().stringValue("telemetry.installation")));
        const QJsonObject payload = signal.value("payload").toObject();
        QCOMPARE(payload.value("permissions").toString(), permissions);
        QCOMPARE(payload.value("hasModel").toString(), hasModel);
        QCOMPARE(payload.value("scrolling").toString(), scrolling ? QStringLiteral("true") : QStringLiteral("false"));
        QCOMPARE(payload.value("TelemetryDeck.Device.operatingSystem").toString(), QStringLiteral("Linux"));
    }

    void nothingLeavesWhileReportsAreOff()
    {
        TelemetryFixture f;
        auto model = f.makeReportingModel();
        model->setScrollEnabled(true);
        model->launch(QStringLiteral("org.example.app"));
        QVERIFY(f.sent(*model).isEmpty());
        QVERIFY(f.server.requests().isEmpty());
    }

    void switchPushesIntoTheClient()
    {
        TelemetryFixture f;
        auto model = f.makeReportingModel();
        QVERIFY(!model->telemetry().isEnabled());
        model->setTelemetryEnabled(true);
        QVERIFY(model->telemetry().isEnabled());
        QCOMPARE(f.defaults().boolValue("telemetry.enabled"), std::optional(true));
        model->setScrollEnabled(true);
        QCOMPARE(model->telemetry().pendingCount(), 1);
        // Turning it off discards what waits.
        model->setTelemetryEnabled(false);
        QCOMPARE(model->telemetry().pendingCount(), 0);
        QVERIFY(f.sent(*model).isEmpty());
        // The installation identifier is kept across starts; the session is not.
        const QString user = model->telemetry().clientUser();
        const QString session = model->telemetry().sessionID();
        model = f.makeReportingModel();
        QCOMPARE(model->telemetry().clientUser(), user);
        QVERIFY(model->telemetry().sessionID() != session);
    }

    void settingsChangesAreReported()
    {
        TelemetryFixture f;
        f.defaults().setBool("telemetry.enabled", true);
        auto model = f.makeReportingModel();
        f.sent(*model); // the start-up event

        model->setScrollEnabled(true);
        model->setScrollEnabled(true); // unchanged: no event
        ScrollSettings scroll = model->scrollSettings();
        scroll.global.preset = ScrollPreset::smooth;
        model->setScrollSettings(scroll);
        RadialSettings radial;
        radial.isEnabled = true;
        model->setRadialSettings(radial);
        radial.shape = RadialShape::semicircle;
        model->setRadialSettings(radial);
        radial.isEnabled = false;
        model->setRadialSettings(radial);
        model->launch(QStringLiteral("org.example.app"));

        auto sent = f.sent(*model);
        sent.removeFirst(); // App.launched
        QCOMPARE(TelemetryFixture::types(sent),
                 (QStringList{"Scroll.enabled", "Scroll.presetChosen", "Radial.enabled", "Radial.shapeChosen",
                              "Radial.enabled", "Radial.itemLaunched"}));
        QCOMPARE(sent[0].value("payload").toObject().value("enabled").toString(), QStringLiteral("true"));
        QCOMPARE(sent[1].value("payload").toObject().value("preset").toString(), QStringLiteral("smooth"));
        QCOMPARE(sent[3].value("payload").toObject().value("shape").toString(), QStringLiteral("semicircle"));
        QCOMPARE(sent[4].value("payload").toObject().value("enabled").toString(), QStringLiteral("false"));
    }

    void finderRequestsAreReported()
    {
        TelemetryFixture f;
        f.defaults().setBool("telemetry.enabled", true);
        auto model = f.makeReportingModel();
        FinderActionHandler handler(f.services, f.alerts);
        handler.setTelemetry(&model->telemetry());
        FinderActionRequest builtIn;
        builtIn.actionID = QStringLiteral("finder.smartRename");
        handler.perform(builtIn);
        FinderActionRequest custom;
        custom.actionID = QStringLiteral("custom.my-secret-action");
        handler.perform(custom);
        auto sent = f.sent(*model);
        sent.removeFirst();
        QCOMPARE(TelemetryFixture::types(sent), (QStringList{"Action.run", "Action.run"}));
        QCOMPARE(sent[0].value("payload").toObject().value("action").toString(), QStringLiteral("finder.smartRename"));
        QCOMPARE(sent[0].value("payload").toObject().value("entryPoint").toString(), QStringLiteral("finder"));
        QCOMPARE(sent[1].value("payload").toObject().value("action").toString(), QStringLiteral("custom"));
    }

    void toolbarUseIsReported()
    {
        TelemetryFixture f;
        f.defaults().setBool("telemetry.enabled", true);
        f.permissions().setAccessibilityTrusted(true);
        auto editor = ToolbarDriver::editor(f.services, "copy these words", "these words");
        auto model = f.makeReportingModel();
        SelectionMonitor& monitor = model->selectionMonitor();
        ToolbarDriver::dragSelect(static_cast<Platform::SimulatedEventMonitors&>(*f.services.eventMonitors), {150, 700},
                                  {250, 700});
        QTRY_VERIFY_WITH_TIMEOUT(monitor.panel().isVisible(), 2000);
        const auto shown = qobject_cast<SelectionToolbarView*>(monitor.panel().content())->buttons().size();
        QVERIFY(ToolbarDriver::press(monitor, QStringLiteral("text.copy")));
        auto sent = f.sent(*model);
        sent.removeFirst();
        QCOMPARE(TelemetryFixture::types(sent), (QStringList{"Selection.toolbarShown", "Action.run"}));
        QCOMPARE(sent[0].value("floatValue").toDouble(), double(shown));
        QCOMPARE(sent[1].value("payload").toObject().value("action").toString(), QStringLiteral("text.copy"));
        QCOMPARE(sent[1].value("payload").toObject().value("entryPoint").toString(), QStringLiteral("selection"));
    }

    void quittingSendsWhatIsPending()
    {
        TelemetryFixture f;
        f.defaults().setBool("telemetry.enabled", true);
        auto model = f.makeReportingModel();
        model->setScrollEnabled(true);
        AppDelegate delegate(*model, f.alerts);
        // No event loop runs after the quit: the delegate itself carries the batch out.
        delegate.applicationWillTerminate();
        QCOMPARE(f.server.requests(f.path).size(), 1);
        const auto batch = QJsonDocument::fromJson(f.server.requests(f.path).first().body).array();
        QCOMPARE(batch.size(), 2);
        QCOMPARE(batch[1].toObject().value("type").toString(), QStringLiteral("Scroll.enabled"));
    }
};

QTEST_MAIN(AppTelemetryTest)
#include "tst_AppTelemetry.moc"
