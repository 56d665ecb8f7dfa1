// Saves a picture of every settings tab and sub-page, as the user sees them on this X server, in
// one interface language: window_screens <folder> <language>. Run inside tests/XSession/x-session.
#include "AppFixture.h"

#include "App/CorvishApp.h"
#include "Settings/FinderSettingsView.h"
#include "Settings/SelectionSettingsView.h"
#include "Settings/SettingsView.h"
#include "Settings/SubPagePicker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

namespace {

void settle()
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 400)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool save(const QString& folder, const QString& name)
{
    settle();
    const QPixmap shot = QApplication::primaryScreen()->grabWindow(0);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!shot.save(path)) {
        std::fprintf(stderr, "window_screens: could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_screens <folder> <language>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString language = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(folder);

    AppFixture f;
    f.defaults().setStringList(QStringLiteral("AppleLanguages"), {language});
    f.permissions().setFinderExtensionEnabled(true);
    f.defaults().setStringList(QStringLiteral("selection.blockedApps"), {QStringLiteral("org.example.Notes")});
    auto model = f.makeModel();
    CorvishApp scenes(*model);
    scenes.openSettings();
    SettingsView* window = scenes.settingsWindow();
    window->move(60, 40);

    bool ok = true;
    const QString prefix = QStringLiteral("settings-") + language + u'-';
    ok &= save(folder, prefix + QStringLiteral("general"));
    window->tabs()->setCurrentIndex(1);
    for (int i = 0; i < int(FinderSettingsView::pages.size()); ++i) {
        window->finder()->picker()->segment(i)->click();
        ok &= save(folder, prefix + QStringLiteral("finder-") + FinderSettingsView::toRaw(FinderSettingsView::pages[size_t(i)]));
    }
    window->tabs()->setCurrentIndex(2);
    for (int i = 0; i < int(SelectionSettingsView::pages.size()); ++i) {
        window->selection()->picker()->segment(i)->click();
        ok &= save(folder, prefix + QStringLiteral("selection-") + SelectionSettingsView::toRaw(SelectionSettingsView::pages[size_t(i)]));
    }
    window->tabs()->setCurrentIndex(3);
    ok &= save(folder, prefix + QStringLiteral("scroll"));
    window->tabs()->setCurrentIndex(4);
    ok &= save(folder, prefix + QStringLiteral("radial"));
    return ok ? 0 : 1;
}
