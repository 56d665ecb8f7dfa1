// The window that asks before a script first runs: what it shows for each language and for
// missing tools, and that only Allow in the window shown now calls back.
#include "AI/ScriptApprovalWindow.h"
#include "LocalActions/ScriptRunner.h"
#include "LocalActions/ToolInstaller.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/ModuleStrings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTest>

using namespace Platform;

namespace {
ScriptAction script(ScriptLanguage language, QStringList tools = {}, QString source = "echo hi")
{
    return {language, std::move(source), std::move(tools)};
}

QString labelText(QWidget* window, const char* name)
{
    auto* label = window->findChild<QLabel*>(name);
    return label ? label->text() : QString();
}
} // namespace

class ScriptApprovalWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        auto defaults = std::make_shared<SimulatedUserDefaults>();
        defaults->setStringList("AppleLanguages", {"en"});
        ModuleStrings::setUserDefaults(defaults);
    }
    void contents_data();
    void contents();
    void copyCommandPutsTheInstallLineOnThePasteboard();
    void allowClosesBeforeCallingBack();
    void cancelAndCloseRunNothing();
    void aSecondPresentReplacesTheFirst();
    void longSourceScrollsInsideItsBox();
};

void ScriptApprovalWindowTest::contents_data()
{
    QTest::addColumn<ScriptLanguage>("language");
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<QString>("languageTitle");
    QTest::addColumn<QString>("missing"); // the missing-tools text; empty: no block
    QTest::newRow("JavaScript lists no tools") << ScriptLanguage::javaScript << QStringList{"ambrel-nope"} << "JavaScript" << "";
    QTest::newRow("shell, tools found") << ScriptLanguage::shell << QStringList{"sh"} << "Shell Script" << "";
    QTest::newRow("shell, two missing")
        << ScriptLanguage::shell << QStringList{"sh", "ambrel-missing-a", "ambrel-missing-b"} << "Shell Script"
        << "Tools it needs that are not installed: ambrel-missing-a, ambrel-missing-b";
    QTest::newRow("AppleScript") << ScriptLanguage::appleScript << QStringList{} << "AppleScript" << "";
    // A command longer than its row: it goes on over several lines.
    QStringList many;
    for (char c = 'a'; c <= 'h'; ++c)
        many << QStringLiteral("ambrel-missing-tool-%1").arg(QLatin1Char(c));
    QTest::newRow("shell, many missing") << ScriptLanguage::shell << many << "Shell Script"
                                         << "Tools it needs that are not installed: " + many.join(", ");
}

void ScriptApprovalWindowTest::contents()
{
    QFETCH(ScriptLanguage, language);
    QFETCH(QStringList, tools);
    QFETCH(QString, languageTitle);
    QFETCH(QString, missing);
    ScriptApprovalWindow approval(std::make_shared<SimulatedPasteboards>());
    approval.present("Word Count", script(language, tools), [] {});
    QWidget* w = approval.window();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), QString("Allow This Script?"));
    QCOMPARE(w->size(), QSize(480, 500));
    QVERIFY(labelText(w, "body").contains("“Word Count”"));
    QCOMPARE(w->findChild<QGroupBox*>("language")->title(), languageTitle);
    QCOMPARE(w->findChild<QPlainTextEdit*>("source")->toPlainText(), QString("echo hi"));
    QVERIFY(w->findChild<QPlainTextEdit*>("source")->isReadOnly());
    QVERIFY(labelText(w, "reach").startsWith(language == ScriptLanguage::javaScript ? "Runs inside" : "Runs as you"));
    QCOMPARE(labelText(w, "missingToolsLabel"), missing);
    QCOMPARE(w->findChild<QWidget*>("missingTools") != nullptr, !missing.isEmpty());
    if (!missing.isEmpty()) {
        // One command for both missing tools; the found one is not in it.
        auto* command = w->findChild<QPlainTextEdit*>("installCommand");
        QVERIFY(command && command->isReadOnly());
        const QString expected = ToolInstaller::installCommand(ScriptRunner::missingTools(script(language, tools)));
        // Shown with hyphens that never end a line; copied as written.
        QCOMPARE(QString(command->toPlainText()).replace(QChar(0x2011), u'-'), expected);
        command->selectAll();
        command->copy();
        QCOMPARE(QApplication::clipboard()->text(), expected);
        QVERIFY(!expected.contains("curl"));
        // Shown whole, however long: every laid-out line lies inside what the row shows.
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QApplication::processEvents();
        const QTextLayout* lines = command->document()->firstBlock().layout();
        QVERIFY(lines->lineCount() > 0);
        QCOMPARE(command->verticalScrollBar()->value(), 0);
        QVERIFY2(lines->position().y() + lines->lineAt(lines->lineCount() - 1).rect().bottom() <= command->viewport()->height() + 0.5,
                 "the command is cut off below");
        for (int i = 0; i < lines->lineCount(); ++i)
            QVERIFY2(lines->lineAt(i).naturalTextWidth() <= command->viewport()->width(), "the command is cut off at the side");
        // A line ends between two words, never inside one: what is read off it still works.
        const QString text = command->toPlainText();
        for (int i = 1; i < lines->lineCount(); ++i)
            QVERIFY2(text.at(lines->lineAt(i).textStart() - 1) == u' ', qPrintable(text.mid(lines->lineAt(i).textStart() - 8, 16)));
    }
    QVERIFY(w->findChild<QAbstractButton*>("allow"));
    QVERIFY(w->findChild<QAbstractButton*>("cancel"));
}

void ScriptApprovalWindowTest::copyCommandPutsTheInstallLineOnThePasteboard()
{
    auto boards = std::make_shared<SimulatedPasteboards>();
    boards->general()->setString("mine");
    ScriptApprovalWindow approval(boards);
    approval.present("Tool", script(ScriptLanguage::shell, {"ambrel-missing-a"}), [] {});
    auto* view = static_cast<ScriptApprovalView*>(approval.window());
    view->copyCommandButton()->click();
    QCOMPARE(boards->general()->string().value_or(""), ToolInstaller::installCommand({"ambrel-missing-a"}));
    QCOMPARE(boards->general()->string().value_or(""),
             view->findChild<QPlainTextEdit*>("installCommand")->toPlainText().replace(QChar(0x2011), u'-'));
    QCOMPARE(boards->general()->items().size(), 1);
}

void ScriptApprovalWindowTest::allowClosesBeforeCallingBack()
{
    ScriptApprovalWindow approval(std::make_shared<SimulatedPasteboards>());
    int calls = 0;
    bool closedFirst = false;
    QPointer<QWidget> shown;
    approval.present("A", script(ScriptLanguage::shell), [&] {
        ++calls;
        closedFirst = !approval.window() && !shown->isVisible();
    });
    shown = approval.window();
    static_cast<ScriptApprovalView*>(shown.data())->allowButton()->click();
    QCOMPARE(calls, 1);
    QVERIFY(closedFirst);
}

void ScriptApprovalWindowTest::cancelAndCloseRunNothing()
{
    ScriptApprovalWindow approval(std::make_shared<SimulatedPasteboards>());
    int calls = 0;
    approval.present("A", script(ScriptLanguage::shell), [&] { ++calls; });
    static_cast<ScriptApprovalView*>(approval.window())->cancelButton()->click();
    QVERIFY(!approval.window());
    approval.present("B", script(ScriptLanguage::shell), [&] { ++calls; });
    QWidget* second = approval.window();
    second->close(); // the title bar's close button
    QVERIFY(!second->isVisible());
    QCOMPARE(calls, 0);
}

void ScriptApprovalWindowTest::aSecondPresentReplacesTheFirst()
{
    ScriptApprovalWindow approval(std::make_shared<SimulatedPasteboards>());
    QStringList called;
    approval.present("first", script(ScriptLanguage::shell, {}, "echo 1"), [&] { called << "first"; });
    QPointer<QWidget> first = approval.window();
    approval.present("second", script(ScriptLanguage::shell, {}, "echo 2"), [&] { called << "second"; });
    QVERIFY(!first || !first->isVisible());
    int visible = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        visible += (qobject_cast<ScriptApprovalView*>(w) && w->isVisible()) ? 1 : 0;
    QCOMPARE(visible, 1);
    static_cast<ScriptApprovalView*>(approval.window())->allowButton()->click();
    QCOMPARE(called, QStringList{"second"});
}

void ScriptApprovalWindowTest::longSourceScrollsInsideItsBox()
{
    ScriptApprovalWindow approval(std::make_shared<SimulatedPasteboards>());
    QString source;
    for (int i = 0; i < 500; ++i)
        source += QString("echo line %1\n").arg(i);
    approval.present("Long", script(ScriptLanguage::shell, {}, source), [] {});
    QCOMPARE(approval.window()->size(), QSize(480, 500));
    QCOMPARE(approval.window()->findChild<QPlainTextEdit*>("source")->height(), 200);
}

QTEST_MAIN(ScriptApprovalWindowTest)
#include "tst_ScriptApprovalWindow.moc"
