#include "AppFixture.h"
#include "Platform/Simulated/SimulatedEventTaps.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "ScrollCore/ScrollSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using Platform::TapEvent;

namespace {

Platform::SimulatedEventTaps& taps(AppFixture& f)
{
    return static_cast<Platform::SimulatedEventTaps&>(*f.services.eventTaps);
}

void store(AppFixture& f, const ScrollSettings& settings)
{
    ScrollSettingsStore::save(settings, f.defaults());
}

TapEvent wheel(double lines)
{
    TapEvent e;
    e.type = TapEvent::Type::scrollWheel;
    e.lineDeltaY = lines;
    return e;
}

} // namespace

class ScrollWiringTest : public QObject {
    Q_OBJECT
private slots:
    void storedSettingsAreLoadedAndApplied();
    void disabledByDefaultTouchesNothing();
    void menuSwitchStartsAndStopsTheEngine();
    void modifierIsOneStoredChange();
    void refusedTapIsKeptForThePage();
    void applicationsUnderThePointerFollowTheFrontmost();
    void theWindowUnderThePointerDecides();
    void lostPostingIsShownAndTheWheelWorks();
    void applicationList();
    void applicationIconsComeFromTheirDesktopEntries_data();
    void applicationIconsComeFromTheirDesktopEntries();
};

void ScrollWiringTest::storedSettingsAreLoadedAndApplied()
{
    AppFixture f;
    ScrollSettings stored = ScrollSettings::defaults();
    stored.isEnabled = true;
    stored.global.adopt(ScrollPreset::smooth);
    store(f, stored);
    auto model = f.makeModel();
    QCOMPARE(model->scrollSettings(), stored);
    QVERIFY(model->scroll().isRunning());
    QCOMPARE(model->scroll().settings(), stored);
    QVERIFY(!taps(f).input(wheel(1))); // the wheel step is smoothed
}

void ScrollWiringTest::disabledByDefaultTouchesNothing()
{
    AppFixture f;
    auto model = f.makeModel();
    QCOMPARE(model->scrollSettings(), ScrollSettings::defaults());
    QVERIFY(!model->scroll().isRunning());
    QVERIFY(taps(f).order().isEmpty());
    QVERIFY(taps(f).input(wheel(1)));
}

void ScrollWiringTest::menuSwitchStartsAndStopsTheEngine()
{
    AppFixture f;
    auto model = f.makeModel();
    QSignalSpy spy(model.get(), &AppModel::scrollSettingsChanged);
    model->setScrollEnabled(true);
    QVERIFY(model->scroll().isRunning());
    QVERIFY(ScrollSettingsStore::load(f.defaults()).isEnabled);
    model->setScrollEnabled(true); // stored and applied again, but nothing to tell
    QCOMPARE(spy.size(), 1);
    model->setScrollEnabled(false);
    QVERIFY(!model->scroll().isRunning());
    QVERIFY(!ScrollSettingsStore::load(f.defaults()).isEnabled);
    QCOMPARE(spy.size(), 2);
}

void ScrollWiringTest::modifierIsOneStoredChange()
{
    AppFixture f;
    auto model = f.makeModel();
    QSignalSpy spy(model.get(), &AppModel::scrollSettingsChanged);
    model->setScrollModifier(ScrollModifier::shift, ScrollModifierAction::dash);
    QCOMPARE(spy.size(), 1);
    const ScrollSettings loaded = ScrollSettingsStore::load(f.defaults());
    QCOMPARE(loaded.modifiers.shift, ScrollModifierAction::dash);
    QCOMPARE(loaded.modifiers.option, ScrollModifierAction::dash); // the same action on two keys
    QCOMPARE(model->scroll().settings().modifiers.shift, ScrollModifierAction::dash);
}

void ScrollWiringTest::refusedTapIsKeptForThePage()
{
    AppFixture f;
    taps(f).setPixelScrolling(false);
    auto model = f.makeModel();
    model->setScrollEnabled(true);
    QCOMPARE(model->scrollStartFailure(), Platform::EventTaps::StartFailure::unavailable);
    QVERIFY(model->scrollEnabled()); // the switch stays on
    taps(f).setPixelScrolling(true);
    model->setScrollEnabled(true); // applied again: tries again
    QVERIFY(!model->scrollStartFailure());
    QVERIFY(model->scroll().isRunning());
}

void ScrollWiringTest::applicationsUnderThePointerFollowTheFrontmost()
{
    // No window under the pointer: the application in front stands in.
    AppFixture f;
    taps(f).setSynchronous(true);
    auto model = f.makeModel();
    model->setScrollEnabled(true);
    f.workspace().setFrontmost(Platform::ApplicationInfo{.bundleIdentifier = QStringLiteral("com.vmware.fusion")});
    QVERIFY(taps(f).input(wheel(1))); // a default exclusion: left alone
    f.workspace().setFrontmost(Platform::ApplicationInfo{.bundleIdentifier = QStringLiteral("org.example.Editor")});
    TapEvent elsewhere = wheel(1); // beyond the last answer's reach, so asked again
    elsewhere.location = QPointF(100, 100);
    QVERIFY(!taps(f).input(elsewhere));
}

void ScrollWiringTest::theWindowUnderThePointerDecides()
{
    AppFixture f;
    auto& windows = static_cast<Platform::SimulatedWindowList&>(*f.services.windowList);
    // An excluded application's window beside an editor's; the editor is in front.
    windows.setWindows({{.number = 1, .bounds = QRectF(0, 0, 400, 300), .ownerProcessID = 10},
                        {.number = 2, .bounds = QRectF(400, 0, 400, 300), .ownerProcessID = 20}});
    f.workspace().setRunning({{.bundleIdentifier = QStringLiteral("org.example.Editor"), .processID = 10},
                              {.bundleIdentifier = QStringLiteral("com.vmware.fusion"), .processID = 20}});
    f.workspace().setFrontmost(Platform::ApplicationInfo{.bundleIdentifier = QStringLiteral("org.example.Editor"),
                                                         .processID = 10});
    taps(f).setSynchronous(true); // the handler on this thread, so that the window list answers at once
    auto model = f.makeModel();
    model->setScrollEnabled(true);
    auto at = [](double x, double y) {
        TapEvent e = wheel(1);
        e.location = QPointF(x, y);
        return e;
    };
    QVERIFY(!taps(f).input(at(100, 100))); // the editor's: smoothed
    QVERIFY(taps(f).input(at(500, 100)));  // the excluded application's, though it is not in front
    QVERIFY(!taps(f).input(at(100, 100)));
    f.workspace().setFrontmost(Platform::ApplicationInfo{.bundleIdentifier = QStringLiteral("com.vmware.fusion"),
                                                         .processID = 20});
    QVERIFY(!taps(f).input(at(100, 150))); // still the editor's window
    QVERIFY(taps(f).input(at(100, 900)));  // no window there: the application in front
}

void ScrollWiringTest::lostPostingIsShownAndTheWheelWorks()
{
    AppFixture f;
    auto model = f.makeModel();
    model->setScrollEnabled(true);
    QVERIFY(!taps(f).input(wheel(1)));
    QSignalSpy spy(model.get(), &AppModel::scrollSettingsChanged);
    taps(f).setPixelScrolling(false); // the device went away
    QVERIFY(taps(f).input(wheel(1)));
    QTRY_COMPARE(model->scrollStartFailure(), std::optional(Platform::EventTaps::StartFailure::unavailable));
    QCOMPARE(spy.size(), 1); // the page and the menu are told
    QVERIFY(!model->scroll().isRunning());
    QVERIFY(model->scrollEnabled()); // the user's choice is kept
    QVERIFY(taps(f).input(wheel(1)));
}

void ScrollWiringTest::applicationList()
{
    AppFixture f;
    auto app = [](const QString& id, const QString& name) {
        return Platform::ApplicationInfo{.bundleIdentifier = id, .name = name,
                                         .bundleURL = QUrl::fromLocalFile("/usr/share/applications/" + id + ".desktop")};
    };
    f.workspace().setInstalled({app("org.example.Tool10", "Tool 10"), app("org.example.Tool9", "Tool 9"),
                                app("org.example.Mail", "Mail.app")});
    ScrollSettings stored = ScrollSettings::defaults();
    stored.apps.clear();
    stored.startCustomising(QStringLiteral("org.example.Tool10"));
    stored.setMode(ScrollAppMode::off(), QStringLiteral("org.example.Tool9"));
    stored.setMode(ScrollAppMode::off(), QStringLiteral("org.example.Mail"));
    stored.setMode(ScrollAppMode::off(), QStringLiteral("org.example.gone.macos"));
    stored.dismissedDefaults = ScrollSettings::defaultExclusions();
    store(f, stored);
    auto model = f.makeModel();
    const auto entries = model->scrollApps();
    QStringList names;
    for (const auto& e : entries)
        names << e.name + (e.isInstalled ? "" : " (missing)") + (e.isCustom() ? " custom" : "");
    QCOMPARE(names, (QStringList{"gone (missing)", "Mail", "Tool 9", "Tool 10 custom"}));
}

void ScrollWiringTest::applicationIconsComeFromTheirDesktopEntries_data()
{
    // What the desktop entry's Icon line says: "picture" is the path of a red picture.
    QTest::addColumn<QString>("iconLine");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("showsThePicture");
    QTest::newRow("the entry names a picture") << QStringLiteral("Icon=picture") << true << true;
    QTest::newRow("the entry names no icon") << QString() << true << false;
    QTest::newRow("the named picture is gone") << QStringLiteral("Icon=/nonexistent/tool.png") << true << false;
    QTest::newRow("not installed") << QStringLiteral("Icon=picture") << false << false;
}

void ScrollWiringTest::applicationIconsComeFromTheirDesktopEntries()
{
    QFETCH(QString, iconLine);
    QFETCH(bool, installed);
    QFETCH(bool, showsThePicture);
    AppFixture f;
    const QString picture = f.root.filePath(QStringLiteral("tool.png"));
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(picture));
    // A theme of one icon, the generic application's, in blue.
    const QString theme = f.root.filePath(QStringLiteral("icons/Generic"));
    QVERIFY(QDir().mkpath(theme + QStringLiteral("/32x32/apps")));
    QFile index(theme + QStringLiteral("/index.theme"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Generic\nDirectories=32x32/apps\n\n[32x32/apps]\nSize=32\n");
    index.close();
    QImage blue(32, 32, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    QVERIFY(blue.save(theme + QStringLiteral("/32x32/apps/application-x-executable.png")));
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeSearchPaths({f.root.filePath(QStringLiteral("icons"))});
    QIcon::setThemeName(QStringLiteral("Generic"));
    const auto restore = qScopeGuard([&] {
        QIcon::setThemeSearchPaths(searchPaths);
        QIcon::setThemeName(themeName);
    });
    // Named like an icon of the theme, which its entry does not name.
    const QString id = QStringLiteral("org.example.Tool");
    const QString entry = f.root.filePath(id + QStringLiteral(".desktop"));
    QFile file(entry);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nName=Tool\nExec=true\n"
               + QString(iconLine).replace(QStringLiteral("=picture"), u'=' + picture).toUtf8() + "\n");
    file.close();
    if (installed)
        f.workspace().setInstalled({{.bundleIdentifier = id, .name = QStringLiteral("Tool"), .bundleURL = QUrl::fromLocalFile(entry)}});
    ScrollSettings stored = ScrollSettings::defaults();
    stored.apps.clear();
    stored.setMode(ScrollAppMode::off(), id);
    stored.dismissedDefaults = ScrollSettings::defaultExclusions();
    store(f, stored);
    auto model = f.makeModel();

    const auto entries = model->scrollApps();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().isInstalled, installed);
    // The entry's picture, else the generic application icon.
    QCOMPARE(entries.first().icon.pixmap(QSize(16, 16)).toImage().pixelColor(8, 8),
             QColor(showsThePicture ? Qt::red : Qt::blue));
}

QTEST_MAIN(ScrollWiringTest)
#include "tst_ScrollWiring.moc"
