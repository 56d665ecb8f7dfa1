#include "AppFixture.h"

#include "LocalActions/Files/FileNameVariables.h"
#include "LocalActions/Finder/SharedPreferencesStore.h"
#include "LocalActions/LocalActionsStrings.h"
#include "Settings/FinderSettingsView.h"
#include "Settings/NewFileSettingsView.h"
#include "Settings/ShortcutRecorder.h"
#include "System/AppStrings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class NewFileSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void defaultsShowTheDefaultName();
    void patternAndPresets_data();
    void patternAndPresets();
    void variablesAppend();
    void templatesImportAndRemove();
    void templatesImportedEarlierStillWork();
    void templateSwitchesReachTheExtension();
    void recorderCombinations_data();
    void recorderCombinations();
    void recorderClearRefusalAndHiding();
    void recorderGoesWhileRecording();
};

namespace {

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& contents)
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(contents);
    return f.fileName();
}

void choose(QComboBox* picker, const QString& data)
{
    picker->setCurrentIndex(picker->findData(data));
    emit picker->activated(picker->currentIndex());
}

} // namespace

void NewFileSettingsTest::defaultsShowTheDefaultName()
{
    AppFixture f;
    auto model = f.makeModel();
    NewFileSettingsView page(*model);
    QCOMPARE(page.presetPicker()->currentData().toString(), QStringLiteral("untitled"));
    QCOMPARE(page.presetPicker()->count(), 4);
    QVERIFY(page.patternField()->text().isEmpty());
    const QString defaultName = LocalActionsStrings::string("newFile.defaultName");
    QCOMPARE(page.patternField()->placeholderText(), defaultName);
    QCOMPARE(page.previewName(), defaultName);
    QVERIFY(page.preview()->text().contains(defaultName));
    QVERIFY(page.groupedSwitch()->isChecked());
    QVERIFY(page.removeCustomButton()->isHidden());
    QCOMPARE(page.templateRows().size(), FileTemplate::builtIns().size());
}

void NewFileSettingsTest::patternAndPresets_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("selected");
    QTest::newRow("date and time preset") << "{datetime}" << "dateTime";
    QTest::newRow("date and name keeps its space") << "{date} " << "dateAndName";
    QTest::newRow("space removed") << "{date}" << "date";
    QTest::newRow("own pattern") << "{date}-{time}" << "custom";
}

void NewFileSettingsTest::patternAndPresets()
{
    QFETCH(QString, typed);
    QFETCH(QString, selected);
    AppFixture f;
    auto model = f.makeModel();
    NewFileSettingsView page(*model);
    page.patternField()->setText(typed);
    emit page.patternField()->textEdited(typed);
    QCOMPARE(model->menuPreferences().newFileBaseName, typed);
    QCOMPARE(page.presetPicker()->currentData().toString(), selected);
    QCOMPARE(page.presetPicker()->findData("custom") >= 0, selected == u"custom");
    // Choosing the custom option writes nothing; choosing a preset writes its pattern exactly.
    if (selected == u"custom") {
        choose(page.presetPicker(), "custom");
        QCOMPARE(model->menuPreferences().newFileBaseName, typed);
    }
    choose(page.presetPicker(), "dateAndName");
    QCOMPARE(model->menuPreferences().newFileBaseName, QStringLiteral("{date} "));
    QCOMPARE(page.patternField()->text(), QStringLiteral("{date} "));
    QCOMPARE(page.presetPicker()->findData("custom"), -1);
}

void NewFileSettingsTest::variablesAppend()
{
    AppFixture f;
    auto model = f.makeModel();
    NewFileSettingsView page(*model);
    QPushButton* year = page.variableButton("{year}");
    QVERIFY(year);
    QVERIFY(year->text().startsWith("{year}"));
    year->click();
    year->click();
    QCOMPARE(model->menuPreferences().newFileBaseName, QStringLiteral("{year}{year}"));
    const QString y = QString::number(QDate::currentDate().year());
    QVERIFY(page.preview()->text().contains(y + y));
    QFile stored(f.sharedFile());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QVERIFY(stored.readAll().contains("{year}{year}"));
}

void NewFileSettingsTest::templatesImportAndRemove()
{
    AppFixture f;
    QTemporaryDir picked;
    QDir(picked.path()).mkdir("Folder");
    const QStringList chosen{write(picked, "Report.docx", "report"), picked.filePath("Folder"), write(picked, "notes", "n"),
                             write(picked, "Budget.xlsx", "budget")};
    auto model = f.makeModel();
    NewFileSettingsView page(*model, [&](QWidget*) { return chosen; });
    const int builtIns = int(FileTemplate::builtIns().size());
    page.addButton()->click();
    const auto& custom = model->menuPreferences().customTemplates;
    QCOMPARE(custom.size(), 3);
    QCOMPARE(custom[0].titleKey, QStringLiteral("Report"));
    QCOMPARE(custom[0].fileExtension, QStringLiteral("docx"));
    QCOMPARE(custom[0].symbolName, QStringLiteral("doc"));
    QVERIFY(custom[0].id.startsWith("template.custom."));
    QCOMPARE(custom[0].id.mid(16), custom[0].id.mid(16).toUpper());
    QCOMPARE(custom[1].titleKey, QStringLiteral("notes"));
    QCOMPARE(custom[1].fileExtension, QString());
    QCOMPARE(custom[2].titleKey, QStringLiteral("Budget"));
    // The data home's templates folder, not one inside the application's own.
    const QString folder = QDir::cleanPath(f.root.path()) + "/Templates";
    QCOMPARE(std::get<FileTemplate::File>(custom[0].source).path, folder + "/Report.docx");
    QFile copy(folder + "/Report.docx");
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), QByteArray("report"));
    // The folder is refused with a message; the others are listed after the built-ins, enabled.
    QVERIFY(!page.importProblems()->isHidden());
    QVERIFY(page.importProblems()->text().contains("Folder"));
    QCOMPARE(page.templateRows().size(), builtIns + 3);
    QCOMPARE(page.templateRows().mid(builtIns), (QStringList{custom[0].id, custom[1].id, custom[2].id}));
    QVERIFY(page.templateSwitch(custom[1].id)->isChecked());
    auto* extension = page.findChild<QWidget*>(custom[1].id)->findChild<QLabel*>("extension");
    QCOMPARE(extension->text(), QStringLiteral("."));

    QVERIFY(!page.removeCustomButton()->isHidden());
    page.removeCustomButton()->click();
    QVERIFY(model->menuPreferences().customTemplates.isEmpty());
    QTRY_COMPARE(page.templateRows().size(), builtIns);
    QVERIFY(page.removeCustomButton()->isHidden());
    QVERIFY(QFile::exists(folder + "/Report.docx"));
}

// Templates imported into the application's own folder by earlier versions keep making files,
// and a new import of the same name goes to the data home without touching the earlier copy.
void NewFileSettingsTest::templatesImportedEarlierStillWork()
{
    AppFixture f;
    const QString earlierFolder = f.services.folders.appData + "/Templates";
    QVERIFY(QDir().mkpath(earlierFolder));
    const QString earlier = earlierFolder + "/Letter.txt";
    {
        QFile file(earlier);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Dear reader");
    }
    FinderMenuPreferences stored;
    for (const FileTemplate& t : FileTemplate::builtIns())
        stored.disabledTemplateIDs.insert(t.id);
    FileTemplate old;
    old.id = "template.custom.EARLIER";
    old.titleKey = "Letter";
    old.fileExtension = "txt";
    old.symbolName = "doc";
    old.source = FileTemplate::File{earlier};
    stored.customTemplates = {old};
    stored.save(f.defaults(), SharedPreferencesStore(f.services.folders));
    auto model = f.makeModel();
    QCOMPARE(model->menuPreferences().customTemplates, QList<FileTemplate>{old});

    QTemporaryDir front;
    f.workspace().setFrontmost(Platform::ApplicationInfo{.bundleIdentifier = "com.apple.finder"});
    f.finderWindows().setFrontWindowPath(front.path());
    model->createFileInFrontmostFinderWindow();
    QCOMPARE(f.workspace().revealed.size(), 1);
    QFile made(f.workspace().revealed.first().toLocalFile());
    QVERIFY(made.open(QIODevice::ReadOnly));
    QCOMPARE(made.readAll(), QByteArray("Dear reader"));

    QTemporaryDir picked;
    const QStringList chosen{write(picked, "Letter.txt", "New letter")};
    NewFileSettingsView page(*model, [&](QWidget*) { return chosen; });
    page.addButton()->click();
    const auto& custom = model->menuPreferences().customTemplates;
    QCOMPARE(custom.size(), 2);
    QCOMPARE(custom[0], old);
    const QString copy = std::get<FileTemplate::File>(custom[1].source).path;
    QCOMPARE(copy, QDir::cleanPath(f.root.path()) + "/Templates/Letter.txt");
    QFile earlierCopy(earlier);
    QVERIFY(earlierCopy.open(QIODevice::ReadOnly));
    QCOMPARE(earlierCopy.readAll(), QByteArray("Dear reader"));
}

void NewFileSettingsTest::templateSwitchesReachTheExtension()
{
    AppFixture f;
    auto model = f.makeModel();
    NewFileSettingsView page(*model);
    const QString id = FileTemplate::markdown().id;
    page.templateSwitch(id)->click();
    QVERIFY(model->menuPreferences().disabledTemplateIDs.contains(id));
    QFile shared(f.sharedFile());
    QVERIFY(shared.open(QIODevice::ReadOnly));
    QVERIFY(shared.readAll().contains(id.toUtf8()));
    page.templateSwitch(id)->click();
    QVERIFY(!model->menuPreferences().disabledTemplateIDs.contains(id));
    // Changed elsewhere, shown here.
    FinderMenuPreferences menu = model->menuPreferences();
    menu.groupsFileTemplates = false;
    model->setMenuPreferences(menu);
    QVERIFY(!page.groupedSwitch()->isChecked());
}

void NewFileSettingsTest::recorderCombinations_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<quint32>("bits");
    using C = GlobalHotKey::Combination;
    QTest::newRow("letter alone") << int(Qt::Key_N) << int(Qt::NoModifier) << false << 0u;
    QTest::newRow("shift and letter") << int(Qt::Key_N) << int(Qt::ShiftModifier) << false << 0u;
    QTest::newRow("modifier alone") << int(Qt::Key_Control) << int(Qt::ControlModifier) << false << 0u;
    QTest::newRow("delete alone") << int(Qt::Key_Backspace) << int(Qt::NoModifier) << false << 0u;
    QTest::newRow("command shift letter") << int(Qt::Key_N) << int(Qt::ControlModifier | Qt::ShiftModifier) << true
                                          << (C::command | C::shift);
    QTest::newRow("option letter") << int(Qt::Key_T) << int(Qt::AltModifier) << true << C::option;
    QTest::newRow("control delete") << int(Qt::Key_Backspace) << int(Qt::MetaModifier) << true << C::control;
}

void NewFileSettingsTest::recorderCombinations()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, accepted);
    QFETCH(quint32, bits);
    AppFixture f;
    auto model = f.makeModel();
    NewFileSettingsView page(*model);
    page.show();
    ShortcutRecorder* recorder = page.shortcutRecorder();
    QCOMPARE(recorder->mainButton()->text(), AppStrings::string("settings.shortcut.none"));
    recorder->mainButton()->click();
    QVERIFY(recorder->isRecording());
    QCOMPARE(recorder->mainButton()->text(), AppStrings::string("settings.shortcut.recording"));
    QTest::keyClick(page.patternField(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // Never typed into the field it was sent to.
    QVERIFY(page.patternField()->text().isEmpty());
    QCOMPARE(recorder->isRecording(), !accepted);
    if (!accepted) {
        QVERIFY(!model->newFileShortcut());
        return;
    }
    QCOMPARE(model->newFileShortcut()->modifiers, bits);
    QCOMPARE(recorder->mainButton()->text(), model->newFileShortcut()->displayString());
    QVERIFY(f.defaults().contains("shortcut.newFile"));
    QCOMPARE(f.hotKeys().registerCalls, 1);
}

void NewFileSettingsTest::recorderClearRefusalAndHiding()
{
    AppFixture f;
    using C = GlobalHotKey::Combination;
    const C taken{45, C::command | C::shift}; // N
    f.hotKeys().refuse(taken.keyCode, taken.modifiers, Platform::HotKeys::statusTaken);
    auto model = f.makeModel();
    NewFileSettingsView page(*model);
    page.show();
    ShortcutRecorder* recorder = page.shortcutRecorder();
    QVERIFY(recorder->clearButton()->isHidden());
    QVERIFY(recorder->refusedWarning()->isHidden());
    recorder->mainButton()->click();
    QTest::keyClick(page.patternField(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    // Refused by the system: stored, but shown as refused.
    QVERIFY(model->newFileShortcutRefused());
    QVERIFY(!recorder->refusedWarning()->isHidden());
    QVERIFY(!recorder->clearButton()->isHidden());
    // While recording neither shows; Escape keeps the combination.
    recorder->mainButton()->click();
    QVERIFY(recorder->refusedWarning()->isHidden());
    QVERIFY(recorder->clearButton()->isHidden());
    QTest::keyClick(page.patternField(), Qt::Key_Escape);
    QVERIFY(!recorder->isRecording());
    QCOMPARE(model->newFileShortcut(), std::optional<C>(taken));
    recorder->clearButton()->click();
    QVERIFY(!model->newFileShortcut());
    QVERIFY(!f.defaults().contains("shortcut.newFile"));
    QVERIFY(recorder->refusedWarning()->isHidden());
    // Hidden while recording: the monitor goes, key presses reach the application again.
    recorder->mainButton()->click();
    QVERIFY(recorder->isRecording());
    page.hide();
    QVERIFY(!recorder->isRecording());
    page.show();
    page.patternField()->setFocus();
    QTest::keyClicks(page.patternField(), "ab");
    QCOMPARE(page.patternField()->text(), QStringLiteral("ab"));
}

// A sub-page is deleted with everything on it, also while its recorder records: the recorder must
// not call into the page on its way out, and the application's key presses are free again.
void NewFileSettingsTest::recorderGoesWhileRecording()
{
    AppFixture f;
    auto model = f.makeModel();
    {
        FinderSettingsView finder(*model);
        finder.setPage(FinderSettingsView::Page::newFile);
        finder.show();
        auto* page = qobject_cast<NewFileSettingsView*>(finder.currentPage());
        QVERIFY(page);
        page->shortcutRecorder()->mainButton()->click();
        QVERIFY(page->shortcutRecorder()->isRecording());
        finder.picker()->segment(int(FinderSettingsView::Page::menu))->click();
        QVERIFY(qobject_cast<FinderMenuPage*>(finder.currentPage()));
        finder.setPage(FinderSettingsView::Page::newFile);
        auto* again = qobject_cast<NewFileSettingsView*>(finder.currentPage());
        QVERIFY(again && !again->shortcutRecorder()->isRecording());
        again->patternField()->setFocus();
        QTest::keyClicks(again->patternField(), "ab");
        QCOMPARE(again->patternField()->text(), QStringLiteral("ab"));
    }

    // The binding's owner is gone first, as a page's own members are before its children.
    using C = GlobalHotKey::Combination;
    bool ownerGone = false;
    int callsAfterwards = 0;
    auto binding = [&] {
        return ShortcutRecorder::Binding{.get = [&] { callsAfterwards += ownerGone; return std::optional<C>(); },
                                         .set = [&](const std::optional<C>&) { callsAfterwards += ownerGone; },
                                         .wasRefused = [&] { callsAfterwards += ownerGone; return false; }};
    };
    auto* parent = new QWidget;
    auto* shown = new ShortcutRecorder(binding(), parent);
    parent->show();
    shown->mainButton()->click();
    QVERIFY(shown->isRecording());
    ownerGone = true;
    delete parent; // hides the recorder, then deletes it
    QCOMPARE(callsAfterwards, 0);

    ownerGone = false;
    QWidget window;
    auto* alone = new ShortcutRecorder(binding(), &window);
    window.show();
    alone->mainButton()->click();
    ownerGone = true;
    delete alone;
    QCOMPARE(callsAfterwards, 0);
    // Its filter went with it: a key press reaches the window again.
    ownerGone = false;
    auto* field = new QLineEdit(&window);
    field->show();
    field->setFocus();
    QTest::keyClicks(field, "x");
    QCOMPARE(field->text(), QStringLiteral("x"));
}

QTEST_MAIN(NewFileSettingsTest)
#include "tst_NewFileSettings.moc"
