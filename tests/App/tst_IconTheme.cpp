#include "AppFixture.h"

#include "App/CorvishApp.h"
#include "Platform/IconTheme.h"
#include "Radial/RadialApplications.h"
#include "ViewStyle/SymbolIcons.h"

#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Qt as an X session without a desktop environment leaves it: "hicolor" as theme and fallback,
// and an icon already looked up before anything chose a theme.
class IconThemeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void symbolsComeFromTheFreedesktopTheme_data();
    void symbolsComeFromTheFreedesktopTheme();
    void menuWarningLinesHaveTheirIcon();
    void ringIconsNamedByDesktopEntries_data();
    void ringIconsNamedByDesktopEntries();
};

namespace {
QUrl entryNaming(const QTemporaryDir& dir, const QString& icon)
{
    const QString path = dir.filePath(icon + QStringLiteral(".desktop"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("[Desktop Entry]\nType=Application\nName=Some App\nExec=true\nIcon=" + icon.toUtf8() + "\n");
    return QUrl::fromLocalFile(path);
}

bool draws(const QIcon& icon)
{
    return !icon.isNull() && !icon.pixmap(QSize(16, 16)).isNull();
}
} // namespace

void IconThemeTest::initTestCase()
{
    // The offscreen platform searches no icon folders; an X session searches the system's.
    const QStringList folders = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                          QStandardPaths::LocateDirectory);
    bool installed = false;
    for (const QString& folder : folders)
        installed = installed || QFile::exists(folder + QStringLiteral("/Adwaita/index.theme"));
    if (!installed)
        QSKIP("the Adwaita icon theme is not installed");
    QIcon::setThemeSearchPaths(folders);
    QIcon::setThemeName(QStringLiteral("hicolor"));
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    // The tray menu's warning icon was the first lookup: hicolor alone has none.
    QVERIFY(QIcon::fromTheme(QStringLiteral("dialog-warning")).isNull());
}

void IconThemeTest::symbolsComeFromTheFreedesktopTheme_data()
{
    QTest::addColumn<QString>("symbol");
    // The settings window's tabs, its help links and its warnings.
    for (const char* symbol : {"gearshape", "folder", "text.cursor", "computermouse", "circle.grid.cross",
                               "questionmark.circle", "exclamationmark.triangle"})
        QTest::newRow(symbol) << QString::fromLatin1(symbol);
}

void IconThemeTest::symbolsComeFromTheFreedesktopTheme()
{
    // Not settled beforehand: the symbols settle the theme themselves, whatever was looked up first.
    QFETCH(QString, symbol);
    QVERIFY2(draws(SymbolIcons::icon(symbol)), qPrintable(symbol + " falls back to " + SymbolIcons::glyph(symbol)));
}

void IconThemeTest::menuWarningLinesHaveTheirIcon()
{
    Platform::IconTheme::settle(); // as the application's start does
    AppFixture f;
    auto model = f.makeModel();
    CorvishApp app(*model);
    model->setHasCompletedOnboarding(true);
    QAction* warning = app.menu()->actions().first();
    QCOMPARE(warning->objectName(), titleKey(Permission::finderExtension));
    QVERIFY(draws(warning->icon()));
}

void IconThemeTest::ringIconsNamedByDesktopEntries_data()
{
    QTest::addColumn<QString>("icon");
    QTest::addColumn<bool>("found");
    QTest::newRow("only in Adwaita") << QStringLiteral("utilities-terminal") << true;
    QTest::newRow("named by no theme") << QStringLiteral("no-such-icon-anywhere") << false;
}

void IconThemeTest::ringIconsNamedByDesktopEntries()
{
    QFETCH(QString, icon);
    QFETCH(bool, found);
    Platform::IconTheme::settle();
    QTemporaryDir dir;
    const QUrl entry = entryNaming(dir, icon);
    QVERIFY(entry.isValid());
    QCOMPARE(draws(RadialApplications::iconOf(entry)), found);
}

QTEST_MAIN(IconThemeTest)
#include "tst_IconTheme.moc"
