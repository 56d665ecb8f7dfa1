#include "AI/AIActionSettingsView.h"
#include "AI/AIProviderSections.h"
#include "AI/PluginDocument.h"
#include "AIFixture.h"
#include "AIProviders/PluginBridge.h"
#include "SecurityCore/ModuleStrings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using Response = LoopbackHttpServer::Response;
using Source = AIActionSettingsView::PluginSource;

namespace {

template <typename T>
T* child(QWidget& w, const QString& name)
{
    return w.findChild<T*>(name);
}

bool shown(QWidget& page, const QString& name)
{
    QWidget* w = page.findChild<QWidget*>(name);
    return w && w->isVisibleTo(&page);
}

const QString kit = QStringLiteral("name: Kit\n"
                                   "actions:\n"
                                   "  - title: Shout\n"
                                   "    on: text\n"
                                   "    run: javascript\n"
                                   "    script: |-\n"
                                   "      output = input.toUpperCase()\n"
                                   "  - title: Shrink\n"
                                   "    on: files\n"
                                   "    run: resizeImage\n"
                                   "    maxPixels: 800\n");

} // namespace

// The AI settings pages driven through their controls.
class AISettingsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void eachProviderShowsItsControls_data();
    void eachProviderShowsItsControls();
    void theKeyIsSavedOnlyByItsButton();
    void aRefusedKeyStaysInTheFieldAndIsTold();
    void theTestShowsItsOutcome();
    void theAnswerLanguageIsStoredAndAnnounced();

    void actionListsFollowTheScope();
    void composeNeedsAKeyOrTheLocalServer();
    void importReportsFailuresOnceEach();
    void exportWritesTheChosenPlugin();

private:
    AIFixture::Model m_fixture;
    std::unique_ptr<LoopbackHttpServer> m_server;
};

void AISettingsTest::initTestCase()
{
    auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    defaults->setStringList("AppleLanguages", {"en"});
    ModuleStrings::setUserDefaults(defaults);
}

void AISettingsTest::init()
{
    m_fixture = AIFixture::Model{};
    m_server = std::make_unique<LoopbackHttpServer>();
}

void AISettingsTest::eachProviderShowsItsControls_data()
{
    QTest::addColumn<AIProviderID>("provider");
    QTest::addColumn<bool>("region");
    QTest::addColumn<bool>("endpoint");
    QTest::addColumn<bool>("ollamaHint");
    QTest::addColumn<bool>("key");
    QTest::addColumn<bool>("freeModel");
    QTest::newRow("Bailian") << AIProviderID::alibabaBailian << true << false << false << true << false;
    QTest::newRow("OpenRouter") << AIProviderID::openRouter << false << false << false << true << true;
    QTest::newRow("Ollama") << AIProviderID::ollama << false << false << true << false << true;
    QTest::newRow("compatible") << AIProviderID::openAICompatible << false << true << false << true << true;
}

void AISettingsTest::eachProviderShowsItsControls()
{
    QFETCH(AIProviderID, provider);
    QFETCH(bool, region);
    QFETCH(bool, endpoint);
    QFETCH(bool, ollamaHint);
    QFETCH(bool, key);
    QFETCH(bool, freeModel);
    AIViewModel& ai = m_fixture.make();
    AIProviderSections page(ai, m_fixture.defaults, {});
    auto* picker = child<QComboBox>(page, "provider");
    picker->setCurrentIndex(picker->findData(toRaw(provider)));
    emit picker->activated(picker->currentIndex());
    QCOMPARE(ai.providerID(), provider);
    QCOMPARE(shown(page, "region"), region);
    QCOMPARE(shown(page, "endpoint"), endpoint);
    QCOMPARE(shown(page, "ollamaHint"), ollamaHint);
    QCOMPARE(shown(page, "apiKey"), key);
    QCOMPARE(shown(page, "modelName"), freeModel);
    QCOMPARE(shown(page, "fetchModels"), freeModel);
    QCOMPARE(shown(page, "model"), !freeModel);
    // The sign-in is offered by no provider of the table.
    QVERIFY(!shown(page, "signIn"));
    if (!freeModel) {
        // Summaries, not identifiers.
        auto* models = child<QComboBox>(page, "model");
        QCOMPARE(models->count(), AIProviderDescriptor::descriptor(provider).presetModels.size());
        QVERIFY(models->itemText(0) != models->itemData(0).toString());
    }
    if (region)
        QCOMPARE(child<QComboBox>(page, "region")->count(), 2);
    if (endpoint)
        QVERIFY(!child<QLineEdit>(page, "endpoint")->placeholderText().isEmpty());
}

void AISettingsTest::theKeyIsSavedOnlyByItsButton()
{
    AIViewModel& ai = m_fixture.make();
    AIProviderSections page(ai, m_fixture.defaults, {});
    page.show();
    auto* field = child<QLineEdit>(page, "apiKey");
    auto* save = child<QPushButton>(page, "saveKey");
    QVERIFY(!save->isEnabled());
    QVERIFY(!shown(page, "keyStored"));
    QTest::keyClicks(field, "  ");
    QVERIFY(save->isEnabled());
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(!ai.hasStoredKey());
    save->click();
    QVERIFY(ai.hasStoredKey());
    QCOMPARE(field->text(), QString());
    QVERIFY(!save->isEnabled());
    QVERIFY(shown(page, "keyStored"));
    child<QPushButton>(page, "clearCredentials")->click();
    QVERIFY(!shown(page, "keyStored"));
}

void AISettingsTest::aRefusedKeyStaysInTheFieldAndIsTold()
{
    using Op = Platform::SimulatedKeychain::Operation;
    AIViewModel& ai = m_fixture.make();
    AIProviderSections page(ai, m_fixture.defaults, {});
    page.show();
    auto* field = child<QLineEdit>(page, "apiKey");
    auto* save = child<QPushButton>(page, "saveKey");
    auto* problem = child<QLabel>(page, "keyProblem");
    QVERIFY(!shown(page, "keyProblem"));
    QTest::keyClicks(field, "sk-typed");
    m_fixture.keychain->failNext(Op::Add, Platform::Keychain::statusInteractionNotAllowed);
    save->click();
    QVERIFY(!shown(page, "keyStored"));
    QCOMPARE(field->text(), QStringLiteral("sk-typed"));
    QVERIFY(save->isEnabled());
    QVERIFY(shown(page, "keyProblem"));
    QVERIFY(ai.keyProblem());
    QCOMPARE(problem->text(), AIViewModel::describeKeyProblem(*ai.keyProblem()));
    QVERIFY(!shown(page, "removalProblem"));

    save->click();
    QVERIFY(!shown(page, "keyProblem"));
    QVERIFY(shown(page, "keyStored"));
    QCOMPARE(field->text(), QString());

    // A refused removal is told beside its own button, and the key still shows as stored.
    m_fixture.keychain->failNext(Op::RemoveAll, Platform::Keychain::statusAuthFailed);
    child<QPushButton>(page, "clearCredentials")->click();
    QVERIFY(shown(page, "keyStored"));
    QVERIFY(shown(page, "removalProblem"));
    QVERIFY(!shown(page, "keyProblem"));
    QVERIFY(!child<QLabel>(page, "removalProblem")->text().isEmpty());
}

void AISettingsTest::theTestShowsItsOutcome()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    AIProviderSections page(ai, m_fixture.defaults, {});
    m_server->respond(Response::withStatus(401, R"({"error":{"message":"no"}})"));
    child<QPushButton>(page, "test")->click();
    QVERIFY(shown(page, "testProgress"));
    QTRY_VERIFY(shown(page, "connectionStatus"));
    QVERIFY(!shown(page, "testProgress"));
    const QString message = child<QLabel>(page, "connectionStatus")->text();
    QVERIFY2(!message.startsWith("ai.error."), qPrintable(message));
    m_server->respond(AIFixture::reply({"ok"}));
    child<QPushButton>(page, "test")->click();
    QTRY_COMPARE(child<QLabel>(page, "connectionStatus")->text(), QStringLiteral("The connection works"));
    // Typing in the model field is a change of connection: the outcome goes.
    QTest::keyClicks(child<QLineEdit>(page, "modelName"), "x");
    QCOMPARE(ai.modelID(), QStringLiteral("test-modelx"));
    QVERIFY(!shown(page, "connectionStatus"));
}

void AISettingsTest::theAnswerLanguageIsStoredAndAnnounced()
{
    AIViewModel& ai = m_fixture.make();
    int calls = 0;
    AIProviderSections page(ai, m_fixture.defaults, [&] { ++calls; });
    auto* picker = child<QComboBox>(page, "outputLanguage");
    QCOMPARE(picker->currentData().toString(), QStringLiteral("selection"));
    QCOMPARE(calls, 0);
    picker->setCurrentIndex(picker->findData("interface"));
    emit picker->activated(picker->currentIndex());
    QCOMPARE(m_fixture.defaults->stringValue("ai.outputLanguage"), QStringLiteral("interface"));
    QCOMPARE(calls, 1);
    QCOMPARE(picker->count(), 2 + 8);
}

void AISettingsTest::actionListsFollowTheScope()
{
    AIViewModel& ai = m_fixture.make();
    AIActionSettingsView text(ai, ActionScope::text, {});
    AIActionSettingsView files(ai, ActionScope::files, {});
    auto titles = [](QWidget& page) {
        QStringList out;
        for (QLabel* label : page.findChildren<QLabel*>("title"))
            if (label->parentWidget()->objectName().startsWith("actionRow:"))
                out << label->text();
        return out;
    };
    QCOMPARE(titles(text).size(), 4);
    QCOMPARE(titles(files).size(), 1);
    QVERIFY(!child<QPushButton>(text, "export")->isEnabled());
    QVERIFY(text.findChildren<QPushButton*>("rename").isEmpty());

    ai.appendCustomActions(PluginBridge::templates(*PluginManifest::decode(kit)));
    QTRY_VERIFY(titles(text).contains("Shout"));
    QVERIFY(!titles(text).contains("Shrink"));
    QTRY_VERIFY(titles(files).contains("Shrink"));
    QCOMPARE(text.findChildren<QPushButton*>("rename").size(), 1);
    QVERIFY(child<QPushButton>(text, "export")->isEnabled());

    child<QPushButton>(text, "remove")->click();
    QTRY_COMPARE(ai.customActions().size(), 1);
    QTRY_VERIFY(shown(text, "none"));
    // Only files actions are left, and they still can be exported from the text page.
    QVERIFY(child<QPushButton>(text, "export")->isEnabled());
}

void AISettingsTest::composeNeedsAKeyOrTheLocalServer()
{
    AIViewModel& ai = m_fixture.make();
    AIActionSettingsView page(ai, ActionScope::text, {});
    auto* compose = child<QPushButton>(page, "compose");
    QVERIFY(!compose->isEnabled());
    ai.selectProvider(AIProviderID::ollama);
    QVERIFY(compose->isEnabled());
    ai.selectProvider(AIProviderID::openRouter);
    QVERIFY(!compose->isEnabled());
    ai.setPendingKey("sk");
    ai.saveKey();
    QVERIFY(compose->isEnabled());
}

void AISettingsTest::importReportsFailuresOnceEach()
{
    AIViewModel& ai = m_fixture.make();
    QTemporaryDir dir;
    QFile good(dir.filePath("kit.ambrel"));
    QVERIFY(good.open(QIODevice::WriteOnly));
    good.write(kit.toUtf8());
    good.close();
    QFile bad(dir.filePath("bad.ambrel"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("\x89PNG\r\n\x1a\n");
    bad.close();

    QString chosen;
    QStringList alerts;
    QList<Source> added;
    AIActionSettingsView page(ai, ActionScope::text,
                              {.pluginAdded = [&](Source s) { added << s; },
                               .chooseImportFile = [&](QWidget*) { return chosen; },
                               .alert = [&](QWidget*, const QString& title, const QString& message) { alerts << title + ": " + message; }});
    child<QPushButton>(page, "import")->click(); // cancelled
    QVERIFY(alerts.isEmpty() && added.isEmpty());
    chosen = bad.fileName();
    child<QPushButton>(page, "import")->click();
    QCOMPARE(alerts, QStringList{"The plug-in could not be imported: This is not an Ambrel plug-in: it needs a name and a list of actions."});
    chosen = good.fileName();
    child<QPushButton>(page, "import")->click();
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(added, QList<Source>{Source::importedFile});
    QCOMPARE(ai.customActions().size(), 2);
}

void AISettingsTest::exportWritesTheChosenPlugin()
{
    AIViewModel& ai = m_fixture.make();
    ai.appendCustomActions(PluginBridge::templates(*PluginManifest::decode(kit)));
    QTemporaryDir dir;
    QString proposed;
    QString target = dir.filePath("out.ambrel");
    QStringList alerts;
    AIActionSettingsView page(ai, ActionScope::text,
                              {.chooseExportFile = [&](QWidget*, const QString& name) { proposed = name; return target; },
                               .alert = [&](QWidget*, const QString&, const QString& message) { alerts << message; }});
    PluginManifest manifest = PluginBridge::describing(ai.customActions(), "Mine", std::nullopt);
    page.writeExport(manifest);
    QCOMPARE(proposed, QStringLiteral("My Actions"));
    const auto read = PluginDocument::readFile(target);
    QVERIFY(read);
    QCOMPARE(read->manifest.name, QStringLiteral("Mine"));
    QCOMPARE(read->manifest.actions.size(), 2);
    // A file that cannot be written is said, not passed over.
    target = dir.path();
    page.writeExport(manifest);
    QCOMPARE(alerts.size(), 1);
}

QTEST_MAIN(AISettingsTest)
#include "tst_AISettings.moc"
