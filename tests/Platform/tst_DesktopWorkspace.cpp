#include "Platform/Desktop/DesktopWorkspace.h"

#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& text, bool executable = false)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner);
}

QByteArray entry(const QByteArray& name, const QByteArray& exec, const QByteArray& extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + extra;
}

QStringList ids(const QList<Platform::ApplicationInfo>& apps)
{
    QStringList out;
    for (const auto& a : apps)
        out << a.bundleIdentifier + u'=' + a.name;
    out.sort();
    return out;
}

} // namespace

class TestDesktopWorkspace : public QObject {
    Q_OBJECT

private slots:
    void applicationsFromDesktopEntries()
    {
        QTemporaryDir user;
        QTemporaryDir system;
        writeFile(user.filePath(QStringLiteral("org.example.Editor.desktop")), entry("Editor (mine)", "editor %F"));
        writeFile(system.filePath(QStringLiteral("org.example.Editor.desktop")), entry("Editor", "editor %F"));
        writeFile(system.filePath(QStringLiteral("kde/konsole.desktop")), entry("Konsole", "konsole"));
        writeFile(user.filePath(QStringLiteral("org.example.Gone.desktop")), entry("Gone", "gone", "Hidden=true\n"));
        writeFile(system.filePath(QStringLiteral("org.example.Gone.desktop")), entry("Gone", "gone"));
        writeFile(system.filePath(QStringLiteral("link.desktop")), "[Desktop Entry]\nType=Link\nName=Link\nURL=http://x\n");
        writeFile(system.filePath(QStringLiteral("missing.desktop")), entry("Missing", "missing", "TryExec=/nonexistent/bin/missing\n"));
        writeFile(system.filePath(QStringLiteral("shell.desktop")), entry("Shell", "sh", "TryExec=sh\nNoDisplay=true\n"));
        writeFile(system.filePath(QStringLiteral("other-group.desktop")),
                  "[Desktop Action New]\nName=Wrong\n[Desktop Entry]\nType=Application\nName=Right\nExec=x\n");
        writeFile(system.filePath(QStringLiteral("notes.txt")), entry("Not an entry", "x"));

        const Platform::DesktopWorkspace workspace({user.path(), system.path()});
        QCOMPARE(ids(workspace.installedApplications()),
                 (QStringList{"kde-konsole=Konsole", "org.example.Editor=Editor (mine)", "other-group=Right", "shell=Shell"}));
        QCOMPARE(workspace.applicationURL(QStringLiteral("kde-konsole")),
                 std::optional(QUrl::fromLocalFile(system.filePath(QStringLiteral("kde/konsole.desktop")))));
        QCOMPARE(workspace.applicationURL(QStringLiteral("org.example.Editor")),
                 std::optional(QUrl::fromLocalFile(user.filePath(QStringLiteral("org.example.Editor.desktop")))));
        QCOMPARE(workspace.applicationURL(QStringLiteral("org.example.Gone")), std::nullopt);
        QCOMPARE(workspace.applicationURL(QStringLiteral("org.example.editor")), std::nullopt);
        QCOMPARE(workspace.applicationURL(QStringLiteral("konsole")), std::nullopt);
    }

    void localisedNames()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("files.desktop")),
                  entry("Files", "files", "Name[zh_CN]=文件\nName[zh]=檔案\nName[de]=Dateien\n"));
        const QLocale previous;
        const Platform::DesktopWorkspace workspace({dir.path()});
        QLocale::setDefault(QLocale(QStringLiteral("zh_CN")));
        const QString simplified = workspace.installedApplications().value(0).name;
        QLocale::setDefault(QLocale(QStringLiteral("zh_TW")));
        const QString traditional = workspace.installedApplications().value(0).name;
        QLocale::setDefault(QLocale(QStringLiteral("fr_FR")));
        const QString french = workspace.installedApplications().value(0).name;
        QLocale::setDefault(previous);
        QCOMPARE(simplified, QStringLiteral("文件"));
        QCOMPARE(traditional, QStringLiteral("檔案"));
        QCOMPARE(french, QStringLiteral("Files"));
    }

    void commandLines_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QList<QStringList>>("expected");
        const QStringList two{"/home/me/a b", "/tmp/c"};
        QTest::newRow("no field code") << "gnome-terminal" << two << QList<QStringList>{{"gnome-terminal"}};
        QTest::newRow("file list") << "editor --new %F" << two << QList<QStringList>{{"editor", "--new", "/home/me/a b", "/tmp/c"}};
        QTest::newRow("one file at a time") << "viewer %f" << two << QList<QStringList>{{"viewer", "/home/me/a b"}, {"viewer", "/tmp/c"}};
        QTest::newRow("URL list") << "browser %U" << QStringList{"/a b"} << QList<QStringList>{{"browser", "file:///a%20b"}};
        QTest::newRow("no files drops the code") << "viewer %f" << QStringList{} << QList<QStringList>{{"viewer"}};
        QTest::newRow("quoted program and argument")
            << "\"/opt/My App/run\" \"--title=a \\\"b\\\"\" %F" << QStringList{"/x"}
            << QList<QStringList>{{"/opt/My App/run", "--title=a \"b\"", "/x"}};
        QTest::newRow("code inside an argument") << "term --dir=%f" << QStringList{"/w"} << QList<QStringList>{{"term", "--dir=/w"}};
        QTest::newRow("percent and name") << "app --label=%c %%" << QStringList{} << QList<QStringList>{{"app", "--label=My App", "%"}};
        QTest::newRow("icon and deprecated codes") << "app %i %d %F" << QStringList{"/f"}
                                                  << QList<QStringList>{{"app", "--icon", "my-icon", "/f"}};
        QTest::newRow("unbalanced quote") << "app \"--x" << QStringList{"/f"} << QList<QStringList>{};
        QTest::newRow("empty") << "" << QStringList{"/f"} << QList<QStringList>{};
    }
    void commandLines()
    {
        QFETCH(QString, exec);
        QFETCH(QStringList, files);
        QFETCH(QList<QStringList>, expected);
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << QUrl::fromLocalFile(f);
        QCOMPARE(Platform::DesktopWorkspace::commandLines(exec, urls, QStringLiteral("My App"), QStringLiteral("my-icon"),
                                                          QStringLiteral("/e.desktop")),
                 expected);
    }

    // A folder opened with an application starts it detached, in that folder, with the folder in
    // place of its file codes; a terminal's entry has none and finds the folder as its directory.
    void openFolderStartsTheApplicationThere_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<bool>("folderAsArgument");
        QTest::newRow("terminal without file codes") << "%1" << false;
        QTest::newRow("application taking files") << "%1 --open %F" << true;
    }
    void openFolderStartsTheApplicationThere()
    {
        QFETCH(QString, exec);
        QFETCH(bool, folderAsArgument);
        QTemporaryDir apps;
        QTemporaryDir work;
        const QString folder = work.filePath(QStringLiteral("my project"));
        QVERIFY(QDir().mkpath(folder));
        const QString report = work.filePath(QStringLiteral("report"));
        const QString program = apps.filePath(QStringLiteral("fake-terminal"));
        writeFile(program,
                  "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > '" + report.toUtf8() + ".tmp'\nmv '"
                      + report.toUtf8() + ".tmp' '" + report.toUtf8() + "'\n",
                  true);
        writeFile(apps.filePath(QStringLiteral("org.example.Term.desktop")), entry("Term", exec.arg(program).toUtf8()));

        Platform::DesktopWorkspace workspace({apps.path()});
        QVERIFY(workspace.open({QUrl::fromLocalFile(folder)}, QStringLiteral("org.example.Term")));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(report), 10000);
        QFile f(report);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QStringList expected{folder};
        if (folderAsArgument)
            expected << QStringLiteral("--open") << folder;
        QCOMPARE(lines, expected);

        QVERIFY(!workspace.open({QUrl::fromLocalFile(folder)}, QStringLiteral("org.example.Missing")));
    }
};

QTEST_GUILESS_MAIN(TestDesktopWorkspace)
#include "tst_DesktopWorkspace.moc"
