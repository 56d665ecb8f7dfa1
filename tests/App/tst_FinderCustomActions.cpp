// The user's own actions chosen in the file manager: an image operation shows what it made and
// what failed; a prompt action asks the model about the chosen files and answers in the AI card
// beside the pointer.
#include "AIFixture.h"
#include "AppFixture.h"

#include "AIProviders/AIProvidersStrings.h"
#include "App/AppDelegate.h"
#include "App/FinderAIPanel.h"
#include "App/FinderActionHandler.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "LocalActions/LocalActionsStrings.h"
#include "Platform/Simulated/SimulatedScreens.h"
#include "Selection/AIResultView.h"
#include "Selection/ToolbarPanel.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using Response = LoopbackHttpServer::Response;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void writeImage(const QString& path)
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QVERIFY(image.save(path, "PNG"));
}


const QString promptID = QStringLiteral("ai.custom.DESCRIBE");

AIActionTemplate describeFiles()
{
    return AIActionTemplate::make(promptID, QStringLiteral("Describe"), QStringLiteral("sparkles"),
                                  QStringLiteral("Be brief."),
                                  QStringLiteral("Name {{filename}}, type {{extension}}. Files:\n{{selection}}"),
                                  ContextKindSet{ContextKind::singleFile, ContextKind::multipleFiles}, OutputBehavior::preview,
                                  false, ActionScope::files);
}

// A streamed reply whose end waits for the test's release.
Response heldReply(const QStringList& pieces)
{
    Response response = AIFixture::reply(pieces);
    response.steps.insert(response.steps.size() - 1, LoopbackHttpServer::Step{LoopbackHttpServer::Step::Kind::gate, {}, 0});
    return response;
}

// Notes, at each alert, how many files had been revealed by then.
class OrderedAlerts final : public AlertPresenter {
public:
    explicit OrderedAlerts(Platform::SimulatedWorkspace& workspace) : m_workspace(workspace) {}
    void showAlert(const QString& message) override
    {
        alerts << message;
        revealedBefore << m_workspace.revealed.size();
    }
    void alertSound() override {}
    QStringList alerts;
    QList<qsizetype> revealedBefore;

private:
    Platform::SimulatedWorkspace& m_workspace;
};

// A handler over the simulated services whose prompt actions answer in a panel of its own, as
// the application delegate wires them, with the AI model of `ai` (none: no AI at all).
struct PromptFixture {
    AppFixture app;
    QTemporaryDir folder;
    LoopbackHttpServer server;
    AIFixture::Model model;
    AIViewModel* ai = nullptr;
    std::unique_ptr<FinderAIPanel> panel;
    std::unique_ptr<FinderActionHandler> handler;

    explicit PromptFixture(bool connected = true)
    {
        if (connected)
            ai = &model.connectedTo(server);
        panel = std::make_unique<FinderAIPanel>(app.services);
        FinderActionHandler::Hooks hooks{
            .customAction = [](const QString& id) -> std::optional<AIActionTemplate> {
                if (id == promptID)
                    return describeFiles();
                return std::nullopt;
            },
            .runPrompt = [this](const AIActionTemplate& action, const ContextSnapshot& snapshot) {
                panel->run(ai, action, snapshot, QStringLiteral("English"));
            },
        };
        handler = std::make_unique<FinderActionHandler>(app.services, app.alerts, std::move(hooks));
        handler->startListening();
    }

    Platform::SimulatedScreens& screens() { return static_cast<Platform::SimulatedScreens&>(*app.services.screens); }
    QString file(const QString& name)
    {
        writeFile(folder.filePath(name), "text");
        return folder.filePath(name);
    }
    void choose(const QStringList& paths)
    {
        QVERIFY(FinderActionHandoff::enqueue(finderRequest(promptID, paths, folder.path()), app.services.folders));
        FinderActionHandoff::signal(*app.services.notifications);
    }
    AIResultView* card() { return qobject_cast<AIResultView*>(panel->panel().content()); }
    bool offers(const QString& name)
    {
        auto* b = card() ? card()->button(name) : nullptr;
        return b && !b->isHidden();
    }
};

} // namespace

class FinderCustomActionsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void anImageActionRevealsWhatItMadeBeforeItAlerts_data();
    void anImageActionRevealsWhatItMadeBeforeItAlerts();
    void aPromptActionAnswersInTheCardBesideThePointer();
    void thePromptGetsTheChosenFiles_data();
    void thePromptGetsTheChosenFiles();
    void withoutAnAIThePromptSaysSo_data();
    void withoutAnAIThePromptSaysSo();
    void aFailedAnswerOffersRetryAndCloseEndsTheRun();
    void theDelegateAnswersAPromptFromTheFileManager();
};

void FinderCustomActionsTest::initTestCase()
{
    auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    defaults->setStringList("AppleLanguages", {"en"});
    ModuleStrings::setUserDefaults(defaults);
}

void FinderCustomActionsTest::anImageActionRevealsWhatItMadeBeforeItAlerts_data()
{
    QTest::addColumn<int>("images");
    QTest::addColumn<int>("broken");
    QTest::newRow("all made") << 2 << 0;
    QTest::newRow("some failed") << 2 << 1;
    QTest::newRow("all failed") << 0 << 2;
}

void FinderCustomActionsTest::anImageActionRevealsWhatItMadeBeforeItAlerts()
{
    QFETCH(int, images);
    QFETCH(int, broken);
    AppFixture f;
    QTemporaryDir folder;
    QStringList paths;
    for (int i = 0; i < images; ++i) {
        paths << folder.filePath(QStringLiteral("photo%1.png").arg(i));
        writeImage(paths.last());
    }
    for (int i = 0; i < broken; ++i) {
        paths << folder.filePath(QStringLiteral("broken%1.png").arg(i));
        writeFile(paths.last(), "not an image");
    }
    const AIActionTemplate toJPEG = AIActionTemplate::fileOperation(
        QStringLiteral("ai.custom.JPEG"), QStringLiteral("To JPEG"), QStringLiteral("photo"),
        FileOperation::convertImage(ImageFormat::jpeg, 80));
    auto alerts = std::make_shared<OrderedAlerts>(f.workspace());
    FinderActionHandler handler(f.services, alerts,
                                {.customAction = [&](const QString& id) -> std::optional<AIActionTemplate> {
                                    if (id == toJPEG.id)
                                        return toJPEG;
                                    return std::nullopt;
                                }});
    handler.perform(finderRequest(toJPEG.id, paths, folder.path()));

    // Every file made is revealed.
    QStringList revealed;
    for (const QUrl& url : f.workspace().revealed)
        revealed << QFileInfo(url.toLocalFile()).fileName();
    QStringList made;
    for (int i = 0; i < images; ++i)
        made << QStringLiteral("photo%1.jpg").arg(i);
    QCOMPARE(revealed, made);
    for (const QString& name : made)
        QVERIFY(QFile::exists(folder.filePath(name)));
    // Failures are told after the files are shown.
    if (broken == 0) {
        QVERIFY(alerts->alerts.isEmpty());
        return;
    }
    QCOMPARE(alerts->alerts, QStringList{LocalActionsStrings::string("finder.error.partialOperation")});
    QCOMPARE(alerts->revealedBefore, QList<qsizetype>{f.workspace().revealed.size()});
}

void FinderCustomActionsTest::aPromptActionAnswersInTheCardBesideThePointer()
{
    PromptFixture f;
    // Two screens; the user picked the action on the second.
    const QRectF second(1440, 0, 1920, 1080);
    f.screens().setScreens({{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875), 60},
                            {second, second.adjusted(0, 0, 0, -25), 60}});
    const QPointF pointer(2300, 700);
    f.screens().setPointerLocation(pointer);
    f.server.respond(heldReply({"```\n", "A short ", "note."}));
    f.choose({f.file("notes.txt")});

    QTRY_VERIFY(f.panel->currentRun());
    AIRun* run = f.panel->currentRun();
    QCOMPARE(run->title(), QStringLiteral("Describe"));
    QVERIFY(f.card());
    QVERIFY(f.panel->panel().isVisible());
    QCOMPARE(f.panel->panel().shape(), ToolbarPanel::Shape::card);
    const QRectF frame = f.panel->panel().screenFrame();
    QVERIFY2(second.adjusted(0, 0, 0, -25).contains(frame), "the card stays on the pointer's screen");
    QCOMPARE(frame.center().x(), pointer.x());
    QVERIFY(frame.top() <= pointer.y() && pointer.y() - frame.bottom() < 40);

    // Raw while it streams, cleaned at the end; there is no selection to write back into.
    QTRY_COMPARE(run->output(), QStringLiteral("```\nA short note."));
    QVERIFY(run->isStreaming());
    QVERIFY(!f.card()->button("copy")->isEnabled());
    QVERIFY(!f.offers("replace"));
    QVERIFY(!f.offers("append"));
    f.server.release();
    QTRY_VERIFY(!run->isStreaming());
    QCOMPARE(run->output(), QStringLiteral("A short note."));
    QVERIFY(!run->failureKey());
    QVERIFY(f.offers("copy"));
    QVERIFY(f.offers("close"));
    QVERIFY(!f.offers("replace"));
    QVERIFY(!f.offers("append"));
    QCOMPARE(AIFixture::systemMessage(f.server.lastRequest()), QStringLiteral("Be brief."));

    f.card()->button("copy")->click();
    QCOMPARE(f.app.services.pasteboards->general()->string(), std::optional(QStringLiteral("A short note.")));
    QVERIFY(!f.panel->panel().isVisible());
    QVERIFY(f.app.alerts->alerts.isEmpty());
}

void FinderCustomActionsTest::thePromptGetsTheChosenFiles_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("filename");
    QTest::addColumn<QString>("extension");
    QTest::newRow("one file") << QStringList{"Report.final.pdf"} << "Report.final" << "pdf";
    QTest::newRow("no extension") << QStringList{"README"} << "README" << "";
    QTest::newRow("hidden file") << QStringList{".profile"} << ".profile" << "";
    QTest::newRow("several, the first names them") << QStringList{"b.txt", "a.md"} << "b" << "txt";
}

void FinderCustomActionsTest::thePromptGetsTheChosenFiles()
{
    QFETCH(QStringList, names);
    QFETCH(QString, filename);
    QFETCH(QString, extension);
    PromptFixture f;
    f.server.respond(AIFixture::reply({"Fine."}));
    QStringList paths;
    for (const QString& name : names)
        paths << f.file(name);
    f.choose(paths);
    QTRY_VERIFY(f.panel->currentRun() && !f.panel->currentRun()->isStreaming());
    QCOMPARE(f.panel->currentRun()->output(), QStringLiteral("Fine."));
    QCOMPARE(AIFixture::userMessage(f.server.lastRequest()),
             QStringLiteral("Name %1, type %2. Files:\n%3").arg(filename, extension, paths.join(u'\n')));
}

void FinderCustomActionsTest::withoutAnAIThePromptSaysSo_data()
{
    QTest::addColumn<bool>("hasModel");
    QTest::newRow("no provider set up") << true;
    QTest::newRow("no AI model at all") << false;
}

void FinderCustomActionsTest::withoutAnAIThePromptSaysSo()
{
    QFETCH(bool, hasModel);
    PromptFixture f(false);
    if (hasModel)
        f.ai = &f.model.make(); // OpenRouter chosen, no key stored
    f.choose({f.file("a.txt")});
    QTRY_VERIFY(f.panel->currentRun());
    AIRun* run = f.panel->currentRun();
    QVERIFY(!run->isStreaming());
    const QString key = AIError::notConfigured().messageKey();
    QCOMPARE(run->failureKey(), std::optional<QString>(key));
    // The toolbar's text for it, never the key.
    auto* failure = f.card()->findChild<QLabel*>("failure");
    QVERIFY(failure);
    QCOMPARE(failure->text(), AIProvidersStrings::string(key));
    QVERIFY(failure->text() != key);
    QVERIFY(!f.offers("copy"));
    QVERIFY(f.offers("close"));
    QVERIFY(f.panel->panel().isVisible());
    QVERIFY(f.server.requests().isEmpty());
    QVERIFY(f.app.alerts->alerts.isEmpty());
}

void FinderCustomActionsTest::aFailedAnswerOffersRetryAndCloseEndsTheRun()
{
    PromptFixture f;
    f.server.respond(Response::withStatus(503, R"({"error":{"message":"busy"}})"));
    // The second answer is held back until the test lets it go.
    Response late = AIFixture::reply({"Late."});
    late.steps.prepend(LoopbackHttpServer::Step{LoopbackHttpServer::Step::Kind::gate, {}, 0});
    f.server.respond(late);
    f.choose({f.file("a.txt")});
    QTRY_VERIFY(f.panel->currentRun() && !f.panel->currentRun()->isStreaming());
    QCOMPARE(f.panel->currentRun()->failureKey(), std::optional<QString>("ai.error.serverError"));
    QVERIFY(f.offers("retry"));

    // Retry asks again about the same files, in a new run.
    QPointer<AIRun> first = f.panel->currentRun();
    f.card()->button("retry")->click();
    QVERIFY(f.panel->currentRun() != first.data());
    QTRY_COMPARE(f.server.requests().size(), 2);
    QCOMPARE(AIFixture::userMessage(f.server.requests().at(1)), AIFixture::userMessage(f.server.requests().at(0)));
    QVERIFY(f.panel->currentRun()->isStreaming());

    // Close hides the card and drops the answer still on its way.
    f.card()->button("close")->click();
    QVERIFY(!f.panel->panel().isVisible());
    f.server.release();
    QTest::qWait(300);
    QVERIFY(f.panel->currentRun()->output().isEmpty());
    QVERIFY(!f.panel->panel().isVisible());
}

void FinderCustomActionsTest::theDelegateAnswersAPromptFromTheFileManager()
{
    AppFixture f;
    LoopbackHttpServer server;
    server.respond(AIFixture::reply({"Two notes."}));
    QTemporaryDir folder;
    writeFile(folder.filePath("a.txt"), "a");
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.applicationDidFinishLaunching();
    model->ai().selectProvider(AIProviderID::openAICompatible);
    model->ai().setCustomEndpoint(server.url(QStringLiteral("/v1")).toString());
    model->ai().setModelID(QStringLiteral("test-model"));
    model->ai().setPendingKey(QStringLiteral("sk-test"));
    model->ai().saveKey();
    AIActionTemplate action = describeFiles();
    model->ai().setCustomActions({action});

    QVERIFY(FinderActionHandoff::enqueue(finderRequest(action.id, {folder.filePath("a.txt")}, folder.path()), f.services.folders));
    FinderActionHandoff::signal(*f.services.notifications);
    QTRY_VERIFY(delegate.finderAIPanel().currentRun() && !delegate.finderAIPanel().currentRun()->isStreaming());
    QCOMPARE(delegate.finderAIPanel().currentRun()->output(), QStringLiteral("Two notes."));
    QVERIFY(delegate.finderAIPanel().panel().isVisible());
    QVERIFY(AIFixture::userMessage(server.lastRequest()).endsWith(folder.filePath("a.txt")));
    QVERIFY(f.alerts->alerts.isEmpty());
}

QTEST_MAIN(FinderCustomActionsTest)
#include "tst_FinderCustomActions.moc"
