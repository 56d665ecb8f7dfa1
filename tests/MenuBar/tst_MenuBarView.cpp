#include "MenuBar/MenuBarView.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/ModuleStrings.h"

#include <QMenu>
#include <QTest>

Q_DECLARE_METATYPE(Permission)

namespace {

// The application as the menu sees it; records what the menu did, in order.
class FakeModel final : public MenuBarView::Model {
public:
    bool completed = true;
    QList<Permission> missing;
    bool finderMenu = true;
    bool scroll = false;
    std::optional<Platform::EventTaps::StartFailure> scrollFailure;
    QStringList log;
    std::function<void()> onChange; // what the application does when the model changes

    bool hasCompletedOnboarding() const override { return completed; }
    QList<Permission> missingPermissions() const override { return missing; }
    bool finderMenuEnabled() const override { return finderMenu; }
    void setFinderMenuEnabled(bool enabled) override
    {
        finderMenu = enabled;
        log << QStringLiteral("finderMenu=%1").arg(enabled);
        if (onChange)
            onChange();
    }
    bool scrollEnabled() const override { return scroll; }
    void setScrollEnabled(bool enabled) override
    {
        scroll = enabled;
        log << QStringLiteral("scroll=%1").arg(enabled);
    }
    std::optional<Platform::EventTaps::StartFailure> scrollStartFailure() const override { return scrollFailure; }
    std::optional<bool> radial;
    std::optional<Platform::EventTaps::StartFailure> radialFailure;
    std::optional<bool> radialEnabled() const override { return radial; }
    void setRadialEnabled(bool enabled) override
    {
        radial = enabled;
        log << QStringLiteral("radial=%1").arg(enabled);
    }
    std::optional<Platform::EventTaps::StartFailure> radialStartFailure() const override { return radialFailure; }
    void setPendingOnboardingStep(Permission permission) override { log << "pending=" + toRaw(permission); }
    void syncSelectionMonitor() override { log << QStringLiteral("sync"); }
};

struct Fixture {
    FakeModel model;
    std::shared_ptr<Platform::SimulatedUserDefaults> defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    QMenu menu;
    std::unique_ptr<MenuBarView> view;

    explicit Fixture(QString version = QStringLiteral("1.4.2")) : version(std::move(version)) {}

    void build()
    {
        MenuBarView::Environment env{
            .openOnboarding = [this] { model.log << QStringLiteral("open onboarding"); },
            .openSettings = [this] { model.log << QStringLiteral("open settings"); },
            .activate = [this] { model.log << QStringLiteral("activate"); },
            .terminate = [this] { model.log << QStringLiteral("terminate"); },
            .version = version,
        };
        view = std::make_unique<MenuBarView>(model, defaults, env, &menu);
    }

    // The top-level items by name: a separator is "-", a permission item its raw value.
    QStringList items() const
    {
        QStringList names;
        for (QAction* a : menu.actions())
            names << (a->isSeparator() ? QStringLiteral("-") : a->data().isValid() ? a->data().toString() : a->objectName());
        return names;
    }

    // The items shown now, submenus' items included.
    QList<QAction*> allItems() const
    {
        QList<QAction*> all;
        for (QAction* a : menu.actions()) {
            all << a;
            if (a->menu())
                all << a->menu()->actions();
        }
        return all;
    }

    QAction* item(const QString& name) const
    {
        for (QAction* a : allItems())
            if (a->objectName() == name)
                return a;
        return nullptr;
    }

    QString version;
};

const QStringList fixedItems{"menu.finderMenu", "menu.selectionToolbar", "menu.scroll", "-",
                             "menu.settings",   "menu.about",            "-",           "menu.quit"};

} // namespace

class MenuBarViewTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ModuleStrings::setUserDefaults(nullptr); }
    void itemsForEachPermissionState_data();
    void itemsForEachPermissionState();
    void permissionItemOpensTheOnboardingAtItsStep();
    void finderMenuSwitch();
    void selectionToolbarSwitch_data();
    void selectionToolbarSwitch();
    void scrollSwitch();
    void scrollThatCannotRunSaysWhy_data();
    void scrollThatCannotRunSaysWhy();
    void radialSwitch();
    void settingsAndQuitHaveTheOnlyShortcuts();
    void aboutSubmenu_data();
    void aboutSubmenu();
    void menuReadsTheModelAgainWhenShown();
    void rebuildingFromAnItemsOwnActionIsSafe();
    void labelsFollowTheInterfaceLanguage();
};

void MenuBarViewTest::itemsForEachPermissionState_data()
{
    QTest::addColumn<bool>("completed");
    QTest::addColumn<QList<Permission>>("missing");
    QTest::addColumn<QStringList>("leading");
    const QList<Permission> both{Permission::finderExtension, Permission::accessibility};
    QTest::newRow("onboarding not done, both missing") << false << both << QStringList{};
    QTest::newRow("all granted") << true << QList<Permission>{} << QStringList{};
    QTest::newRow("accessibility missing") << true << QList<Permission>{Permission::accessibility}
                                           << QStringList{"accessibility", "-"};
    QTest::newRow("extension missing") << true << QList<Permission>{Permission::finderExtension}
                                       << QStringList{"finderExtension", "-"};
    QTest::newRow("both missing") << true << both << QStringList{"finderExtension", "accessibility", "-"};
}

void MenuBarViewTest::itemsForEachPermissionState()
{
    QFETCH(bool, completed);
    QFETCH(QList<Permission>, missing);
    QFETCH(QStringList, leading);
    Fixture f;
    f.model.completed = completed;
    f.model.missing = missing;
    f.build();
    QCOMPARE(f.items(), leading + fixedItems);
    for (QAction* a : f.menu.actions()) {
        if (!a->data().isValid())
            continue;
        const auto p = permissionFromRaw(a->data().toString());
        QVERIFY(p.has_value());
        QCOMPARE(a->text(), ModuleStrings::lookup(QStringLiteral("System"), titleKey(*p)));
        QCOMPARE(a->property("symbolName").toString(), QStringLiteral("exclamationmark.triangle"));
        QVERIFY(!a->isCheckable());
    }
}

void MenuBarViewTest::permissionItemOpensTheOnboardingAtItsStep()
{
    Fixture f;
    f.model.missing = {Permission::accessibility};
    f.build();
    f.menu.actions().first()->trigger();
    QCOMPARE(f.model.log, (QStringList{"pending=accessibility", "open onboarding", "activate"}));
}

void MenuBarViewTest::finderMenuSwitch()
{
    Fixture f;
    f.model.finderMenu = false;
    f.build();
    QAction* item = f.item(QStringLiteral("menu.finderMenu"));
    QVERIFY(item->isCheckable());
    QVERIFY(!item->isChecked());
    item->trigger();
    QCOMPARE(f.model.log, QStringList{"finderMenu=1"});

    // The switch shows what the model says, not what was clicked.
    f.model.finderMenu = false;
    f.view->rebuild();
    QVERIFY(!f.item(QStringLiteral("menu.finderMenu"))->isChecked());
    f.model.finderMenu = true;
    f.view->rebuild();
    QVERIFY(f.item(QStringLiteral("menu.finderMenu"))->isChecked());
}

void MenuBarViewTest::selectionToolbarSwitch_data()
{
    QTest::addColumn<int>("stored"); // -1: absent
    QTest::addColumn<bool>("shownOn");
    QTest::newRow("absent counts as off") << -1 << false;
    QTest::newRow("stored off") << 0 << false;
    QTest::newRow("stored on") << 1 << true;
}

void MenuBarViewTest::selectionToolbarSwitch()
{
    QFETCH(int, stored);
    QFETCH(bool, shownOn);
    Fixture f;
    if (stored >= 0)
        f.defaults->setBool(MenuBarView::selectionToolbarKey, stored == 1);
    // The monitor is brought in line only after the new state is stored.
    bool storedWhenSynced = false;
    f.build();
    QAction* item = f.item(QStringLiteral("menu.selectionToolbar"));
    QCOMPARE(item->isChecked(), shownOn);

    QObject::connect(f.defaults.get(), &Platform::UserDefaults::changed, [&](const QString& key) {
        storedWhenSynced = key == MenuBarView::selectionToolbarKey && !f.model.log.contains(QStringLiteral("sync"));
    });
    item->trigger();
    QCOMPARE(f.defaults->boolValue(MenuBarView::selectionToolbarKey), std::optional<bool>(!shownOn));
    QCOMPARE(f.model.log, QStringList{"sync"});
    QVERIFY(storedWhenSynced);
}

void MenuBarViewTest::scrollSwitch()
{
    Fixture f;
    f.model.scroll = true;
    f.build();
    QAction* item = f.item(QStringLiteral("menu.scroll"));
    QVERIFY(item->isChecked());
    item->trigger();
    QCOMPARE(f.model.log, QStringList{"scroll=0"});
}

void MenuBarViewTest::radialSwitch()
{
    Fixture f;
    f.build();
    QVERIFY(!f.items().contains(QStringLiteral("menu.radial"))); // a model without the radial menu
    f.model.radial = false;
    f.build();
    QStringList expected = fixedItems;
    expected.insert(expected.indexOf(QStringLiteral("menu.scroll")) + 1, QStringLiteral("menu.radial"));
    QCOMPARE(f.items(), expected);
    QAction* item = f.item(QStringLiteral("menu.radial"));
    QVERIFY(!item->isChecked());
    item->trigger();
    QCOMPARE(f.model.log, QStringList{"radial=1"});
    // Switched on and not running: the line under it says why.
    f.model.radialFailure = Platform::EventTaps::StartFailure::unavailable;
    f.build();
    expected.insert(expected.indexOf(QStringLiteral("menu.radial")) + 1, QStringLiteral("menu.radial.unavailable"));
    QCOMPARE(f.items(), expected);
    QVERIFY(f.item(QStringLiteral("menu.radial.unavailable"))->text().contains(QStringLiteral("X11")));
}

void MenuBarViewTest::scrollThatCannotRunSaysWhy_data()
{
    using F = Platform::EventTaps::StartFailure;
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("failure"); // -1: none
    QTest::addColumn<QString>("warning"); // empty: no warning item
    QTest::newRow("running") << true << -1 << QString();
    QTest::newRow("off") << false << -1 << QString();
    QTest::newRow("no device to post with") << true << int(F::unavailable) << QStringLiteral("menu.scroll.unavailable");
    QTest::newRow("not permitted") << true << int(F::notPermitted) << QStringLiteral("menu.scroll.notPermitted");
    QTest::newRow("switched off after a failure") << false << int(F::unavailable) << QString();
}

void MenuBarViewTest::scrollThatCannotRunSaysWhy()
{
    QFETCH(bool, on);
    QFETCH(int, failure);
    QFETCH(QString, warning);
    Fixture f;
    f.model.scroll = on;
    if (failure >= 0)
        f.model.scrollFailure = Platform::EventTaps::StartFailure(failure);
    f.build();
    QStringList expected = fixedItems;
    if (!warning.isEmpty())
        expected.insert(expected.indexOf(QStringLiteral("menu.scroll")) + 1, warning);
    QCOMPARE(f.items(), expected);
    if (warning.isEmpty())
        return;
    QAction* item = f.item(warning);
    QVERIFY(item->text().startsWith(QStringLiteral("Not working")));
    QCOMPARE(item->property("symbolName").toString(), MenuBarView::warningSymbol);
    if (failure == int(Platform::EventTaps::StartFailure::unavailable))
        QVERIFY(item->text().contains(QStringLiteral("/dev/uinput")));
    item->trigger(); // the settings tell more
    QCOMPARE(f.model.log, (QStringList{"open settings", "activate"}));
}

void MenuBarViewTest::settingsAndQuitHaveTheOnlyShortcuts()
{
    Fixture f;
    f.model.missing = {Permission::finderExtension};
    f.build();
    QHash<QString, QKeySequence> shortcuts;
    for (QAction* a : f.allItems())
        if (!a->shortcut().isEmpty())
            shortcuts.insert(a->objectName(), a->shortcut());
    QCOMPARE(shortcuts.size(), 2);
    QCOMPARE(shortcuts.value(QStringLiteral("menu.settings")), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QCOMPARE(shortcuts.value(QStringLiteral("menu.quit")), QKeySequence(Qt::CTRL | Qt::Key_Q));

    f.item(QStringLiteral("menu.settings"))->trigger();
    f.item(QStringLiteral("menu.quit"))->trigger();
    QCOMPARE(f.model.log, (QStringList{"open settings", "activate", "terminate"}));
}

void MenuBarViewTest::aboutSubmenu_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("shown");
    QTest::newRow("with version") << "1.4.2" << "1.4.2";
    QTest::newRow("without version") << "" << QString::fromUtf8("\u2014");
}

void MenuBarViewTest::aboutSubmenu()
{
    QFETCH(QString, version);
    QFETCH(QString, shown);
    auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    defaults->setStringList(QStringLiteral("AppleLanguages"), {QStringLiteral("en")});
    ModuleStrings::setUserDefaults(defaults);
    Fixture f(version);
    f.build();
    QMenu* about = f.item(QStringLiteral("menu.about"))->menu();
    QVERIFY(about);
    QCOMPARE(about->actions().size(), 2);
    QAction* line = about->actions().at(0);
    QVERIFY(!line->isEnabled());
    QCOMPARE(line->text(), QStringLiteral("Version ") + shown);

    about->actions().at(1)->trigger();
    QCOMPARE(about->actions().at(1)->objectName(), QStringLiteral("menu.rerunOnboarding"));
    QCOMPARE(f.model.log, (QStringList{"open onboarding", "activate"})); // no pending step
}

void MenuBarViewTest::menuReadsTheModelAgainWhenShown()
{
    Fixture f;
    f.build();
    QCOMPARE(f.items(), fixedItems);
    f.model.missing = {Permission::accessibility};
    f.defaults->setBool(MenuBarView::selectionToolbarKey, true);
    emit f.menu.aboutToShow();
    QCOMPARE(f.items(), (QStringList{"accessibility", "-"} + fixedItems));
    QVERIFY(f.item(QStringLiteral("menu.selectionToolbar"))->isChecked());
}

void MenuBarViewTest::rebuildingFromAnItemsOwnActionIsSafe()
{
    Fixture f;
    f.model.onChange = [&] { f.view->rebuild(); };
    f.build();
    f.item(QStringLiteral("menu.finderMenu"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(f.items(), fixedItems);
    QVERIFY(!f.item(QStringLiteral("menu.finderMenu"))->isChecked());
}

void MenuBarViewTest::labelsFollowTheInterfaceLanguage()
{
    auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    defaults->setStringList(QStringLiteral("AppleLanguages"), {QStringLiteral("zh-Hans")});
    ModuleStrings::setUserDefaults(defaults);
    Fixture f;
    f.build();
    QCOMPARE(f.item(QStringLiteral("menu.quit"))->text(),
             ModuleStrings::lookup(QStringLiteral("System"), QStringLiteral("menu.quit"), QStringLiteral("zh-Hans")));
    QVERIFY(f.item(QStringLiteral("menu.quit"))->text() != QStringLiteral("menu.quit"));
}

QTEST_MAIN(MenuBarViewTest)
#include "tst_MenuBarView.moc"
