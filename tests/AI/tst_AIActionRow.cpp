#include "AI/AIActionRow.h"
#include "ViewStyle/SymbolIcons.h"
#include "ViewStyle/ViewStyle.h"

#include <QLabel>
#include <QStandardPaths>

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// One line of the AI action list, driven through its controls.
class AIActionRowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void withoutHandlersItOnlyShows();
    void renameStartsWithTheTitleAndFocus();
    void doneFollowsTheBlanknessOfTheDraft_data();
    void doneFollowsTheBlanknessOfTheDraft();
    void commitHandsOverTheDraftAsTyped();
    void escapeNeverRenames();
    void leavingTheField_data();
    void leavingTheField();
    void inspectAndRemoveCallTheirHandlers();
    void theSymbolIsTheToolbarsIcon_data();
    void theSymbolIsTheToolbarsIcon();
};

namespace {

QPushButton* button(QWidget& row, const char* name)
{
    return row.findChild<QPushButton*>(QString::fromLatin1(name));
}

QImage pixels(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

QLineEdit* field(QWidget& row)
{
    return row.findChild<QLineEdit*>(QStringLiteral("name"));
}

} // namespace

void AIActionRowTest::initTestCase()
{
    // The offscreen platform searches no icon folders; a desktop searches the system's.
    QIcon::setThemeSearchPaths(QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                         QStandardPaths::LocateDirectory));
}

void AIActionRowTest::withoutHandlersItOnlyShows()
{
    AIActionRow row("Polish", "wand.and.sparkles", {});
    row.show();
    QVERIFY(!button(row, "rename") && !button(row, "inspect") && !button(row, "remove"));
    row.beginEditing();
    QVERIFY(!row.isEditing());
    QVERIFY(!field(row)->isVisible());
}

void AIActionRowTest::renameStartsWithTheTitleAndFocus()
{
    AIActionRow row("Shout", "textformat", {.onRename = [](const QString&) { return true; }});
    row.show();
    QVERIFY(QTest::qWaitForWindowExposed(&row));
    row.activateWindow();
    button(row, "rename")->click();
    QVERIFY(row.isEditing());
    QCOMPARE(field(row)->text(), QStringLiteral("Shout"));
    QTRY_VERIFY(field(row)->hasFocus());
    QVERIFY(!button(row, "rename")->isVisible());
}

void AIActionRowTest::doneFollowsTheBlanknessOfTheDraft_data()
{
    QTest::addColumn<QString>("draft");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("spaces and tabs") << " \t  " << false;
    QTest::newRow("a no-break space") << QStringLiteral("\u00a0") << false;
    QTest::newRow("a word among blanks") << "  Yell " << true;
}

void AIActionRowTest::doneFollowsTheBlanknessOfTheDraft()
{
    QFETCH(QString, draft);
    QFETCH(bool, enabled);
    AIActionRow row("Shout", "textformat", {.onRename = [](const QString&) { return false; }});
    row.show();
    row.beginEditing();
    field(row)->setText(draft);
    QCOMPARE(button(row, "renameDone")->isEnabled(), enabled);
}

void AIActionRowTest::commitHandsOverTheDraftAsTyped()
{
    QStringList offered;
    bool accept = false;
    AIActionRow row("Shout", "textformat", {.onRename = [&](const QString& t) {
                                               offered << t;
                                               return accept;
                                           }});
    row.show();
    row.beginEditing();
    field(row)->setText("  ");
    // Return still hands a blank draft over; a refusal keeps the row editing.
    QTest::keyClick(field(row), Qt::Key_Return);
    QCOMPARE(offered, QStringList{"  "});
    QVERIFY(row.isEditing());
    accept = true;
    field(row)->setText(" Yell ");
    button(row, "renameDone")->click();
    QCOMPARE(offered, (QStringList{"  ", " Yell "}));
    QVERIFY(!row.isEditing());
}

void AIActionRowTest::escapeNeverRenames()
{
    int calls = 0;
    AIActionRow row("Shout", "textformat", {.onRename = [&](const QString&) { return ++calls, true; }});
    row.show();
    row.beginEditing();
    field(row)->setText("Yell");
    QTest::keyClick(field(row), Qt::Key_Escape);
    QVERIFY(!row.isEditing());
    QCOMPARE(calls, 0);
}

void AIActionRowTest::leavingTheField_data()
{
    QTest::addColumn<QString>("draft");
    QTest::addColumn<bool>("accepts");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<bool>("stillEditing");
    QTest::newRow("blank: dropped without asking") << " " << true << QStringList{} << false;
    QTest::newRow("a title: asked once, untrimmed") << " Yell" << true << QStringList{" Yell"} << false;
    QTest::newRow("a refused title keeps editing") << "Yell" << false << QStringList{"Yell"} << true;
}

void AIActionRowTest::leavingTheField()
{
    QFETCH(QString, draft);
    QFETCH(bool, accepts);
    QFETCH(QStringList, offered);
    QFETCH(bool, stillEditing);
    QWidget window;
    auto* other = new QLineEdit(&window);
    QStringList asked;
    auto* row = new AIActionRow("Shout", "textformat", {.onRename = [&](const QString& t) {
                                                           asked << t;
                                                           return accepts;
                                                       }},
                                &window);
    row->move(0, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    row->beginEditing();
    QTRY_VERIFY(field(*row)->hasFocus());
    field(*row)->setText(draft);
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(asked, offered);
    QCOMPARE(row->isEditing(), stillEditing);
}

void AIActionRowTest::inspectAndRemoveCallTheirHandlers()
{
    QStringList calls;
    AIActionRow row("Shout", "textformat",
                    {.onRename = [](const QString&) { return true; }, .onInspect = [&] { calls << "inspect"; },
                     .onRemove = [&] { calls << "remove"; }});
    row.show();
    button(row, "inspect")->click();
    button(row, "remove")->click();
    QCOMPARE(calls, (QStringList{"inspect", "remove"}));
}

void AIActionRowTest::theSymbolIsTheToolbarsIcon_data()
{
    QTest::addColumn<QString>("symbol");
    // The built-in actions' symbols, a plug-in's default and a file action's.
    for (const char* name : {"wand.and.sparkles", "text.append", "questionmark.circle", "character.bubble", "text.cursor",
                             "folder", "photo", "textformat"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void AIActionRowTest::theSymbolIsTheToolbarsIcon()
{
    QFETCH(QString, symbol);
    const QIcon themed = SymbolIcons::icon(symbol);
    QVERIFY2(!themed.isNull(), "the icon theme that scripts/install-deps installs has an icon for it");
    AIActionRow row("Action", symbol, {});
    const QPixmap shown = row.findChild<QLabel*>("symbol")->pixmap();
    QCOMPARE(pixels(shown), pixels(themed.pixmap(16, 16)));
    // Not the stand-in dot of a symbol nobody knows.
    QVERIFY(pixels(shown) != pixels(ViewStyle::symbol("no.such.symbol").pixmap(16, 16)));
}

QTEST_MAIN(AIActionRowTest)
#include "tst_AIActionRow.moc"
