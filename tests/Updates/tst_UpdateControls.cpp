#include "LoopbackHttpServer.h"

#include "Platform/Simulated/SimulatedArchiveExtractor.h"
#include "Platform/Simulated/SimulatedCodeSignature.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/ModuleStrings.h"
#include "Updates/AboutSections.h"
#include "Updates/UpdatesStrings.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace std::chrono_literals;
using Phase = UpdateInstaller::Phase;

namespace {

// The about block over a checker that asks the loopback server and an installer on the
// simulated unpacking and signature check.
struct Fixture {
    QTemporaryDir temp;
    LoopbackHttpServer server;
    QNetworkAccessManager network;
    std::shared_ptr<Platform::SimulatedUserDefaults> defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    std::shared_ptr<Platform::SimulatedArchiveExtractor> extractor = std::make_shared<Platform::SimulatedArchiveExtractor>();
    std::shared_ptr<Platform::SimulatedCodeSignature> signature = std::make_shared<Platform::SimulatedCodeSignature>();
    UpdateChecker checker{server.url("/api/version"), &network, defaults, "1.0.0", "26.0.0"};
    std::unique_ptr<UpdateInstaller> installer;
    QList<QUrl> opened;
    std::unique_ptr<AboutSections> about;

    explicit Fixture(bool installable = true)
    {
        ModuleStrings::setUserDefaults(defaults);
        QDir().mkpath(temp.filePath("tmp"));
        QDir().mkpath(temp.filePath("opt/Ambrel.app"));
        std::optional<UpdateInstaller::Bundle> bundle;
        if (installable)
            bundle = UpdateInstaller::Bundle{temp.filePath("opt/Ambrel.app"), "bin/ambrel"};
        installer = std::make_unique<UpdateInstaller>(bundle, "1.0.0", &network, extractor, signature,
                                                      UpdateInstaller::Options{.temporaryFolder = temp.filePath("tmp")});
        about = std::make_unique<AboutSections>(checker, *installer, "1.0.0", [this](const QUrl& u) { opened << u; });
        about->resize(460, about->sizeHint().height());
        about->show();
        server.route("/a.zip", LoopbackHttpServer::Response::sized(200, "zip"));
    }

    template <class T = QWidget>
    T* find(const char* name) const
    {
        return about->findChild<T*>(QString::fromLatin1(name));
    }
    bool shown(const char* name) const
    {
        QWidget* w = find(name);
        return w && w->isVisibleTo(about.get());
    }
    void offer(const QByteArray& reply)
    {
        server.route("/api/version", LoopbackHttpServer::Response::sized(200, reply, "application/json"));
        QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
        checker.check(QDateTime::currentDateTimeUtc());
        QVERIFY(finished.wait(10000));
    }
    QString archiveURL() const { return server.url("/a.zip").toString(); }
    void screenshot(const QString& name)
    {
        const QString folder = qEnvironmentVariable("AMBREL_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        about->adjustSize();
        QApplication::processEvents();
        about->grab().save(folder + u'/' + name + QStringLiteral(".png"));
    }
};

QString text(const char* key)
{
    return UpdatesStrings::string(QString::fromLatin1(key));
}

} // namespace

class UpdateControlsTest : public QObject {
    Q_OBJECT
private slots:
    void beforeAnyCheck()
    {
        Fixture f;
        QCOMPARE(f.find<QLabel>("version")->text(), QStringLiteral("1.0.0"));
        QVERIFY(f.shown("check"));
        // Nothing was learned yet: neither an answer nor a failure is claimed.
        QVERIFY(!f.shown("upToDate"));
        QVERIFY(!f.shown("checkFailed"));
        QVERIFY(!f.shown("spinner"));
        QVERIFY(!f.shown("availableText"));
        QVERIFY(!f.shown("blockedText"));
        // Nothing beside it: the button keeps its own width, it does not fill the row.
        auto* check = f.find<QPushButton>("check");
        QTRY_COMPARE(check->width(), check->sizeHint().width());
        QVERIFY(check->width() < f.about->width() / 2);
        f.screenshot("before-any-check");
    }

    void manualCheckInFlight()
    {
        Fixture f;
        f.server.route("/api/version", LoopbackHttpServer::Response::stalledHead());
        f.checker.setTimeout(500ms);
        f.find<QPushButton>("check")->click();
        QVERIFY(!f.find<QPushButton>("check")->isEnabled());
        QVERIFY(f.shown("spinner"));
        QVERIFY(!f.shown("upToDate"));
        f.screenshot("checking");
        // The check fails (time-out): the row returns and says that it failed, not that all is well.
        QTRY_VERIFY_WITH_TIMEOUT(f.find<QPushButton>("check")->isEnabled(), 10000);
        QVERIFY(!f.shown("spinner"));
        QVERIFY(!f.shown("upToDate"));
        QVERIFY(f.shown("checkFailed"));
        QCOMPARE(f.find<QLabel>("checkFailed")->text(), text("about.update.checkFailed"));
        QVERIFY(f.checker.lastCheck()); // the manual check is stored as the last one
    }

    // What the row beside the button says after a check, by how the check went.
    void afterACheck_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("upToDate");
        QTest::addColumn<bool>("failed");
        QTest::newRow("same version") << 200 << QByteArray("{\"version\":\"1.0.0\",\"url\":\"https://x.test/a.zip\"}") << true << false;
        QTest::newRow("older version") << 200 << QByteArray("{\"version\":\"0.9\",\"url\":\"https://x.test/a.zip\"}") << true << false;
        QTest::newRow("server error") << 500 << QByteArray("{}") << false << true;
        QTest::newRow("not found") << 404 << QByteArray() << false << true;
        QTest::newRow("no JSON") << 200 << QByteArray("<html>") << false << true;
        QTest::newRow("no version") << 200 << QByteArray("{\"url\":\"https://x.test/a.zip\"}") << false << true;
        QTest::newRow("newer version") << 200 << QByteArray("{\"version\":\"1.1\",\"url\":\"https://x.test/a.zip\"}") << false << false;
    }

    void afterACheck()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, reply);
        QFETCH(bool, upToDate);
        QFETCH(bool, failed);
        Fixture f;
        f.server.route("/api/version", LoopbackHttpServer::Response::sized(status, reply, "application/json"));
        QSignalSpy finished(&f.checker, &UpdateChecker::checkFinished);
        f.find<QPushButton>("check")->click();
        QVERIFY(finished.wait(10000));
        QTRY_VERIFY(f.find<QPushButton>("check")->isEnabled());
        QCOMPARE(f.shown("upToDate"), upToDate);
        QCOMPARE(f.shown("checkFailed"), failed);
        auto* check = f.find<QPushButton>("check");
        QTRY_COMPARE(check->width(), check->sizeHint().width());
        if (QByteArray(QTest::currentDataTag()) == "server error")
            f.screenshot("check-failed");
    }

    // A failed check after one that found a release: the release stays on offer, and the row
    // says the last check failed.
    void failedCheckKeepsWhatWasKnown()
    {
        Fixture f;
        f.offer("{\"version\":\"1.1.0\",\"url\":\"" + f.archiveURL().toUtf8() + "\"}");
        QVERIFY(f.shown("install"));
        QVERIFY(!f.shown("checkFailed"));
        f.server.route("/api/version", LoopbackHttpServer::Response::sized(503, "{}"));
        QSignalSpy finished(&f.checker, &UpdateChecker::checkFinished);
        f.checker.check(QDateTime::currentDateTimeUtc());
        QVERIFY(finished.wait(10000));
        QVERIFY(f.shown("install"));
        QVERIFY(f.shown("checkFailed"));
        QVERIFY(!f.shown("upToDate"));
        // The next answer clears it.
        f.offer("{\"version\":\"1.0.0\",\"url\":\"https://x.test/a.zip\"}");
        QVERIFY(!f.shown("checkFailed"));
        QVERIFY(f.shown("upToDate"));
    }

    void offeredRelease()
    {
        Fixture f;
        f.offer("{\"version\":\"1.1.0\",\"notes\":\"Faster toolbar.\\nFewer crashes.\",\"url\":\"" + f.archiveURL().toUtf8() + "\"}");
        QCOMPARE(f.find<QLabel>("availableText")->text(), text("about.update.available").arg("1.1.0"));
        QVERIFY(f.shown("notes"));
        QCOMPARE(f.find<QLabel>("notes")->text(), QStringLiteral("Faster toolbar.\nFewer crashes."));
        QVERIFY(f.shown("install"));
        QVERIFY(!f.shown("upToDate"));
        f.screenshot("available");

        // Empty notes: no notes row.
        f.offer("{\"version\":\"1.1.1\",\"notes\":\"\",\"url\":\"" + f.archiveURL().toUtf8() + "\"}");
        QVERIFY(!f.shown("notes"));
    }

    void releaseNeedingANewerSystem()
    {
        Fixture f;
        f.offer("{\"version\":\"2.0\",\"minimumSystem\":\"27.1\",\"url\":\"" + f.archiveURL().toUtf8() + "\"}");
        QVERIFY(!f.shown("install"));
        QVERIFY(f.shown("blockedText"));
        QCOMPARE(f.find<QLabel>("needsNewerSystem")->text(), text("about.update.needsNewerSystem").arg("27.1"));
        f.find<QPushButton>("blockedOpenPage")->click();
        QCOMPARE(f.opened, QList<QUrl>{f.server.url("/a.zip")});
        f.screenshot("needs-newer-system");
    }

    void installPhases()
    {
        Fixture f;
        f.offer("{\"version\":\"1.1.0\",\"url\":\"" + f.archiveURL().toUtf8() + "\"}");
        // Refused by the signature check: the orange failure, then a fresh retry.
        f.extractor->setContents({{"Ambrel.app/bin/ambrel", "x"}});
        f.find<QPushButton>("install")->click();
        QVERIFY(f.shown("progress"));
        QTRY_COMPARE_WITH_TIMEOUT(f.installer->phase(), Phase::failed(UpdateInstaller::Failure::notOurs), 10000);
        QVERIFY(f.shown("failure"));
        QCOMPARE(f.find<QLabel>("failure")->text(), text("update.failed.notOurs"));
        f.screenshot("failed");
        f.find<QPushButton>("openPage")->click();
        QCOMPARE(f.opened, QList<QUrl>{f.server.url("/a.zip")});

        f.signature->setAccepts(true);
        f.find<QPushButton>("retry")->click();
        QCOMPARE(f.installer->phase(), Phase::downloading(0));
        QTRY_COMPARE_WITH_TIMEOUT(f.installer->phase(), Phase::readyToRelaunch(), 10000);
        QVERIFY(f.shown("relaunch"));
        f.screenshot("ready");
        QCOMPARE(f.server.requests("/a.zip").size(), 2);

        // The swap cannot start (the staged copy no longer passes): the failed layout.
        f.signature->setAccepts(false);
        f.find<QPushButton>("relaunch")->click();
        QCOMPARE(f.installer->phase(), Phase::failed(UpdateInstaller::Failure::install));
        QCOMPARE(f.find<QLabel>("failure")->text(), text("update.failed.install"));
    }

    void cancelDuringDownload()
    {
        Fixture f;
        f.server.route("/a.zip", LoopbackHttpServer::Response::stalledHead());
        f.offer("{\"version\":\"1.1.0\",\"url\":\"" + f.archiveURL().toUtf8() + "\"}");
        f.find<QPushButton>("install")->click();
        QVERIFY(f.shown("progress"));
        QVERIFY(f.shown("cancel"));
        f.screenshot("downloading");
        f.find<QPushButton>("cancel")->click();
        QCOMPARE(f.installer->phase(), Phase::idle());
        QVERIFY(f.shown("install"));
    }

    void downloadShowsItsProgress()
    {
        Fixture f;
        // 420 of the announced 1000 bytes, the rest never comes.
        LoopbackHttpServer::Response partial;
        partial.closeDelimited = true;
        partial.header("Content-Length", "1000").chunk(QByteArray(100, 'x')).wait(300).chunk(QByteArray(320, 'x')).stall();
        f.server.route("/partial.zip", partial);
        f.offer("{\"version\":\"1.1.0\",\"url\":\"" + f.server.url("/partial.zip").toString().toUtf8() + "\"}");
        f.find<QPushButton>("install")->click();
        auto* bar = f.find<QProgressBar>("progress");
        QVERIFY(f.shown("progress"));
        QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 420, 10000);
        QCOMPARE(double(bar->value() - bar->minimum()) / (bar->maximum() - bar->minimum()), 0.42);
        f.find<QPushButton>("cancel")->click();
        QCOMPARE(f.installer->phase(), Phase::idle());
    }

    // Each text beside or under the controls, in a host narrower than the settings window.
    void wrappedTextsGetTheirRoom_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("label");
        for (int width : {440, 300}) {
            const QByteArray w = QByteArray::number(width);
            QTest::newRow("notes " + w) << "available" << width << QByteArray("notes");
            QTest::newRow("failure " + w) << "failed" << width << QByteArray("failure");
            QTest::newRow("ready " + w) << "ready" << width << QByteArray("readyText");
            QTest::newRow("needs newer system " + w) << "blocked" << width << QByteArray("needsNewerSystem");
        }
    }

    void wrappedTextsGetTheirRoom()
    {
        QFETCH(QString, state);
        QFETCH(int, width);
        QFETCH(QByteArray, label);
        QWidget host; // outlives the fixture, which deletes the block it holds
        Fixture f;
        auto* layout = new QVBoxLayout(&host);
        layout->addWidget(f.about.get());
        f.about->show();
        host.setFixedWidth(width);
        host.show();
        const QByteArray url = f.archiveURL().toUtf8();
        if (state == u"available") {
            f.offer("{\"version\":\"1.1.0\",\"notes\":\"Faster toolbar. Fewer crashes when the file manager restarts. "
                    "Translations reach the toolbar at once.\",\"url\":\"" + url + "\"}");
        } else if (state == u"blocked") {
            f.offer("{\"version\":\"2.0\",\"minimumSystem\":\"27.1\",\"url\":\"" + url + "\"}");
        } else {
            f.offer("{\"version\":\"1.1.0\",\"url\":\"" + url + "\"}");
            f.extractor->setContents({{"Ambrel.app/bin/ambrel", "x"}});
            f.signature->setAccepts(state == u"ready");
            f.find<QPushButton>("install")->click();
            QTRY_VERIFY_WITH_TIMEOUT(f.installer->phase().kind != Phase::Kind::downloading
                                         && f.installer->phase().kind != Phase::Kind::verifying, 10000);
        }
        QTRY_VERIFY(f.shown(label.constData()));
        auto* text = f.find<QLabel>(label.constData());
        // The text reaches the row's end rather than wrapping in a column of its own...
        QTRY_COMPARE(text->geometry().right(), text->parentWidget()->contentsRect().right());
        // ...and is as tall as its lines at that width, none cut off.
        QTRY_VERIFY2(text->height() >= text->heightForWidth(text->width()),
                 qPrintable(QStringLiteral("%1 px tall, its lines need %2").arg(text->height()).arg(text->heightForWidth(text->width()))));
        QVERIFY(text->visibleRegion().boundingRect().height() >= text->heightForWidth(text->width()));
    }

    void developmentBuildOnlyOffersThePage()
    {
        Fixture f(false);
        f.offer("{\"version\":\"1.1.0\",\"url\":\"" + f.archiveURL().toUtf8() + "\"}");
        QVERIFY(f.shown("availableText"));
        QVERIFY(!f.shown("install"));
        QVERIFY(f.shown("openPageManually"));
        f.find<QPushButton>("openPageManually")->click();
        QCOMPARE(f.opened, QList<QUrl>{f.server.url("/a.zip")});
        f.screenshot("development-build");
    }

    void chineseTexts()
    {
        Fixture zh;
        zh.defaults->setStringList("AppleLanguages", {"zh-Hans"});
        zh.about = std::make_unique<AboutSections>(zh.checker, *zh.installer, "1.0.0", [](const QUrl&) {});
        zh.about->resize(460, zh.about->sizeHint().height());
        zh.about->show();
        QCOMPARE(zh.find<QPushButton>("check")->text(), QStringLiteral("检查更新"));
        zh.offer("{\"version\":\"1.1.0\",\"notes\":\"更快的工具栏。\",\"url\":\"" + zh.archiveURL().toUtf8() + "\"}");
        QCOMPARE(zh.find<QLabel>("availableText")->text(), QStringLiteral("Ambrel 1.1.0 已推出。"));
        zh.screenshot("available-zh-Hans");
        zh.server.route("/api/version", LoopbackHttpServer::Response::sized(500, "{}"));
        QSignalSpy finished(&zh.checker, &UpdateChecker::checkFinished);
        zh.checker.check(QDateTime::currentDateTimeUtc());
        QVERIFY(finished.wait(10000));
        QCOMPARE(zh.find<QLabel>("checkFailed")->text(), QStringLiteral("检查更新失败，请稍后再试。"));
        zh.screenshot("check-failed-zh-Hans");
    }
};

QTEST_MAIN(UpdateControlsTest)
#include "tst_UpdateControls.moc"
