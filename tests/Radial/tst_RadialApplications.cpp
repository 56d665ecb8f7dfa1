#include "Platform/Simulated/SimulatedWorkspace.h"
#include "Radial/RadialApplications.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using Platform::ApplicationInfo;

class RadialApplicationsTest : public QObject {
    Q_OBJECT
private slots:
    void installedApplications_data();
    void installedApplications();
    void runningApplicationsLeaveThisOneOut();
    void pinnedItemsTakeCurrentNamesAndIcons();
    void entryIcons_data();
    void entryIcons();
    void entryNotInAFile();
};

namespace {
const QString own = QStringLiteral("com.corvish.ambrel");

// "identifier|name" for each application, in the workspace's order.
QList<ApplicationInfo> applications(const QStringList& rows)
{
    QList<ApplicationInfo> apps;
    for (const QString& row : rows) {
        const QStringList parts = row.split(u'|');
        apps.append({.bundleIdentifier = parts.value(0), .name = parts.value(1),
                     .bundleURL = QUrl::fromLocalFile("/nonexistent/" + parts.value(0) + ".desktop")});
    }
    return apps;
}

QStringList rows(const QList<RadialItem>& items)
{
    QStringList out;
    for (const auto& item : items)
        out << item.bundleIdentifier + u'|' + item.name;
    return out;
}

// A red picture and desktop entries naming it, or naming something broken.
struct Entries {
    QTemporaryDir dir;
    QString picture = dir.filePath(QStringLiteral("red tool.png"));

    Entries()
    {
        QImage red(32, 32, QImage::Format_ARGB32);
        red.fill(Qt::red);
        red.save(picture);
    }

    // "@picture@" in the text stands for the picture's path, "@escaped@" for it as a desktop
    // entry's string escapes it.
    QUrl write(const QString& name, QByteArray text) const
    {
        const QString path = dir.filePath(name + QStringLiteral(".desktop"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        text.replace("@escaped@", picture.toUtf8().replace(" ", "\\s"));
        file.write(text.replace("@picture@", picture.toUtf8()));
        return QUrl::fromLocalFile(path);
    }
};

bool isRed(const QIcon& icon)
{
    return !icon.isNull() && icon.pixmap(QSize(16, 16)).toImage().pixelColor(8, 8) == QColor(Qt::red);
}
} // namespace

void RadialApplicationsTest::installedApplications_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("name order, digits by value, case only breaking ties")
        << QStringList{"org.t10|Tool 10", "org.b|beta", "org.t9|Tool 9", "org.a|Alpha"}
        << QStringList{"org.a|Alpha", "org.b|beta", "org.t9|Tool 9", "org.t10|Tool 10"};
    QTest::newRow("each identifier once, the first entry wins")
        << QStringList{"org.ed|Editor", "org.calc|Calculator", "org.ed|Editor (old copy)", "org.calc|Calculator"}
        << QStringList{"org.calc|Calculator", "org.ed|Editor"};
    QTest::newRow("neither this application nor an entry without identifier")
        << QStringList{own + "|Ambrel", "|Nameless", "org.x|XTerm"} << QStringList{"org.x|XTerm"};
    QTest::newRow("a name without .app, the identifier when there is none")
        << QStringList{"org.mail|Mail.app", "org.noname|"} << QStringList{"org.mail|Mail", "org.noname|org.noname"};
    QTest::newRow("equal names keep the workspace's order")
        << QStringList{"org.z|Viewer", "org.a|Viewer"} << QStringList{"org.z|Viewer", "org.a|Viewer"};
    QTest::newRow("nothing installed") << QStringList{} << QStringList{};
}

void RadialApplicationsTest::installedApplications()
{
    QFETCH(QStringList, installed);
    QFETCH(QStringList, expected);
    auto workspace = std::make_shared<Platform::SimulatedWorkspace>();
    workspace->setInstalled(applications(installed));
    QCOMPARE(rows(RadialApplications(workspace, own).installedApplications()), expected);
}

void RadialApplicationsTest::runningApplicationsLeaveThisOneOut()
{
    auto workspace = std::make_shared<Platform::SimulatedWorkspace>();
    auto running = applications({"org.b|Browser", own + "|Ambrel", "|Nameless", "org.self|Found by its window", "org.t|"});
    running[3].processID = QCoreApplication::applicationPid();
    workspace->setRunning(running);
    // Running applications keep the workspace's order: the most recent first.
    QCOMPARE(rows(RadialApplications(workspace, own).recentApplications()), (QStringList{"org.b|Browser", "org.t|org.t"}));
}

void RadialApplicationsTest::pinnedItemsTakeCurrentNamesAndIcons()
{
    Entries entries;
    auto workspace = std::make_shared<Platform::SimulatedWorkspace>();
    workspace->setInstalled({
        {.bundleIdentifier = "org.tool", .name = "Tool (renamed)",
         .bundleURL = entries.write("tool", "[Desktop Entry]\nName=Tool\nIcon=@picture@\n")},
        {.bundleIdentifier = "org.broken", .name = "Broken",
         .bundleURL = entries.write("broken", "[Desktop Entry]\nName=Broken\nIcon=/nonexistent/broken.png\n")},
        {.bundleIdentifier = "org.other", .name = "Other",
         .bundleURL = entries.write("other", "[Desktop Entry]\nName=Other\nIcon=@picture@\n")},
    });
    workspace->setRunning(applications({"org.running|Running"}));
    RadialSettings settings;
    settings.hasCancelItem = true;
    settings.visibleCount = 12;
    settings.source = RadialSource::installedApps;
    settings.pinned = {{"org.gone", "Gone App", true}, {"org.tool", "Tool", true}, {"org.broken", "Broken", true}};

    const auto resolved = RadialApplications(workspace, own).resolveEntries(settings);
    QStringList got;
    for (const auto& entry : resolved)
        got << entry.id() + u'|' + entry.item.name + (entry.item.isPinned ? " pinned" : "")
                   + (entry.icon.isNull() ? " no icon" : isRed(entry.icon) ? " its icon" : " some icon");
    // A pinned application that is gone keeps the name it was pinned with; the installed ones
    // fill after the pinned, each once, and never the running ones.
    QCOMPARE(got, (QStringList{RadialItem::cancelIdentifier + "| pinned no icon", "org.gone|Gone App pinned no icon",
                               "org.tool|Tool (renamed) pinned its icon", "org.broken|Broken pinned no icon",
                               "org.other|Other its icon"}));
}

void RadialApplicationsTest::entryIcons_data()
{
    QTest::addColumn<QByteArray>("text"); // empty: no file at all
    QTest::addColumn<bool>("found");
    QTest::newRow("a picture by its path") << QByteArray("[Desktop Entry]\nIcon=@picture@\n") << true;
    QTest::newRow("its path with escapes") << QByteArray("[Desktop Entry]\nIcon=@escaped@\n") << true;
    QTest::newRow("blanks around the value")
        << QByteArray("[Desktop Entry]\nIcon =  @picture@\t\n") << true;
    QTest::newRow("the first of two Icon keys") << QByteArray("[Desktop Entry]\nIcon=@picture@\nIcon=/nonexistent/b.png\n") << true;
    QTest::newRow("a picture that is gone") << QByteArray("[Desktop Entry]\nIcon=/nonexistent/tool.png\n") << false;
    QTest::newRow("an icon no theme has") << QByteArray("[Desktop Entry]\nIcon=no-such-icon-anywhere\n") << false;
    QTest::newRow("no Icon key") << QByteArray("[Desktop Entry]\nName=Tool\n") << false;
    QTest::newRow("an empty Icon") << QByteArray("[Desktop Entry]\nIcon=\n") << false;
    QTest::newRow("Icon of another group") << QByteArray("[Desktop Action New]\nIcon=@picture@\n") << false;
    QTest::newRow("not a desktop entry") << QByteArray("\x89PNG\r\n\x1a\n garbage") << false;
    QTest::newRow("no such file") << QByteArray() << false;
}

void RadialApplicationsTest::entryNotInAFile()
{
    QVERIFY(RadialApplications::iconOf(QUrl(QStringLiteral("https://example.com/tool.desktop"))).isNull());
    QVERIFY(RadialApplications::iconOf(QUrl()).isNull());
}

void RadialApplicationsTest::entryIcons()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, found);
    Entries entries;
    const QUrl entry = text.isEmpty() ? QUrl::fromLocalFile(entries.dir.filePath("missing.desktop"))
                                      : entries.write(QStringLiteral("tool"), text);
    QVERIFY(entry.isValid());
    const QIcon icon = RadialApplications::iconOf(entry);
    if (found)
        QVERIFY(isRed(icon));
    else
        QVERIFY(icon.isNull());
}

QTEST_MAIN(RadialApplicationsTest)
#include "tst_RadialApplications.moc"
