#include "LocalActions/Files/PathFormatter.h"
#include "LocalActions/Runners/AppLauncher.h"
#include "Platform/Simulated/SimulatedWorkspace.h"

#include <QtTest>

namespace {

Platform::ApplicationInfo app(const QString& id, const QString& name)
{
    return {id, name, QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/") + id + QStringLiteral(".desktop")), 0};
}

} // namespace

class TestPathsAndTerminals : public QObject {
    Q_OBJECT

private slots:
    void formatting_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("paths");
        QTest::addColumn<QString>("names");
        QTest::newRow("none") << QList<QUrl>{} << "" << "";
        QTest::newRow("two files")
            << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/a/b.txt")), QUrl::fromLocalFile(QStringLiteral("/c/d"))}
            << "/a/b.txt\n/c/d" << "b.txt\nd";
        QTest::newRow("blanks and non-ASCII are plain")
            << QList<QUrl>{QUrl(QStringLiteral("file:///Users/me/My%20Notes/%E6%97%A5%E8%AE%B0.md"))}
            << "/Users/me/My Notes/日记.md" << "日记.md";
        QTest::newRow("folder with trailing slash")
            << QList<QUrl>{QUrl(QStringLiteral("file:///srv/Photos/"))} << "/srv/Photos" << "Photos";
        QTest::newRow("percent sign stays one character")
            << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/100% done"))} << "/tmp/100% done" << "100% done";
        QTest::newRow("root") << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/"))} << "/" << "/";
    }
    void formatting()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, paths);
        QFETCH(QString, names);
        QCOMPARE(PathFormatter::posixPaths(urls), paths);
        QCOMPARE(PathFormatter::names(urls), names);
    }

    void terminalChoice_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("preferred"); // empty: none
        QTest::addColumn<QString>("opened");    // empty: nothing opened
        QTest::newRow("first known one wins") << QStringList{"com.apple.Terminal", "com.googlecode.iterm2"} << "" << "com.googlecode.iterm2";
        QTest::newRow("preference is honoured") << QStringList{"com.googlecode.iterm2", "com.apple.Terminal"}
                                                << "com.apple.Terminal" << "com.apple.Terminal";
        QTest::newRow("preference not installed falls back")
            << QStringList{"io.alacritty", "com.apple.Terminal"} << "co.zeit.hyper" << "io.alacritty";
        QTest::newRow("system terminal only when alone") << QStringList{"com.apple.Terminal"} << "" << "com.apple.Terminal";
        QTest::newRow("unknown application is no terminal") << QStringList{"org.example.Editor"} << "org.example.Editor" << "";
        QTest::newRow("none installed") << QStringList{} << "" << "";
        QTest::newRow("preference is exact") << QStringList{"kitty", "org.gnome.Terminal"} << "org.gnome.terminal" << "kitty";
    }
    void terminalChoice()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, preferred);
        QFETCH(QString, opened);
        Platform::SimulatedWorkspace workspace;
        QList<Platform::ApplicationInfo> apps;
        for (const QString& id : installed)
            apps << app(id, id);
        workspace.setInstalled(apps);
        const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/home/me/project"));
        const std::optional<QString> preference = preferred.isEmpty() ? std::nullopt : std::optional(preferred);

        QCOMPARE(AppLauncher::openInTerminal(workspace, folder, preference), !opened.isEmpty());
        if (opened.isEmpty()) {
            QVERIFY(workspace.openRequests.isEmpty());
            QCOMPARE(AppLauncher::terminal(workspace, preference), std::nullopt);
        } else {
            QCOMPARE(workspace.openRequests, (QList<Platform::SimulatedWorkspace::OpenRequest>{{{folder}, opened}}));
            QCOMPARE(AppLauncher::terminal(workspace, preference)->bundleID, opened);
        }
    }

    void installedTerminalsUseTheTableNames()
    {
        Platform::SimulatedWorkspace workspace;
        workspace.setInstalled({app(QStringLiteral("com.apple.Terminal"), QStringLiteral("Terminal.app")),
                                app(QStringLiteral("com.googlecode.iterm2"), QStringLiteral("iTerm2")),
                                app(QStringLiteral("org.example.Other"), QStringLiteral("Other"))});
        const auto terminals = AppLauncher::installedTerminals(workspace);
        QCOMPARE(terminals.size(), 2);
        QCOMPARE(terminals[0], (AppLauncher::Terminal{QStringLiteral("com.googlecode.iterm2"), QStringLiteral("iTerm"),
                                                      *workspace.applicationURL(QStringLiteral("com.googlecode.iterm2"))}));
        QCOMPARE(terminals[1].name, QStringLiteral("Terminal"));
        QCOMPARE(AppLauncher::knownTerminals().size(), 8);
        QCOMPARE(AppLauncher::knownTerminals().last().bundleID, QStringLiteral("com.apple.Terminal"));
    }

    void displayNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "Text Editor" << "Text Editor";
        QTest::newRow("suffix") << "Notes.app" << "Notes";
        QTest::newRow("in the middle too") << "My.app Helper.app" << "My Helper";
    }
    void displayNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        Platform::SimulatedWorkspace workspace;
        workspace.setInstalled({app(QStringLiteral("org.example.App"), name)});
        QCOMPARE(AppLauncher::displayName(workspace, QStringLiteral("org.example.App")), std::optional(shown));
        QCOMPARE(AppLauncher::displayName(workspace, QStringLiteral("org.example.Missing")), std::nullopt);
        // Not an installed application: the file's own name.
        QCOMPARE(AppLauncher::displayName(workspace, QUrl::fromLocalFile(QStringLiteral("/opt/Tool.app"))), QStringLiteral("Tool"));
    }
};

QTEST_GUILESS_MAIN(TestPathsAndTerminals)
#include "tst_PathsAndTerminals.moc"
