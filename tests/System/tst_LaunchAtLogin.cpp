#include "Platform/Desktop/DesktopEntry.h"
#include "Platform/Desktop/DesktopLoginItem.h"
#include "Platform/Simulated/SimulatedLoginItem.h"
#include "SecurityCore/PrivacyLog.h"
#include "System/LaunchAtLogin.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Platform::DesktopLoginItem;
using Platform::LoginItem;
using Platform::SimulatedLoginItem;
using Status = LoginItem::Status;

Q_DECLARE_METATYPE(Status)

namespace {

bool writeFile(const QString& path, const QByteArray& content, QFileDevice::Permissions permissions = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        return false;
    f.close();
    return !permissions || f.setPermissions(permissions);
}

constexpr auto executableBits = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

} // namespace

class LaunchAtLoginTest : public QObject {
    Q_OBJECT
private slots:
    void set_data();
    void set();
    void refusalIsLoggedAndReported();
    void awaitingApprovalIsNotAnError();

    void desktopRegistersAnAutostartEntry();
    void desktopStatusIsReadFromTheFile_data();
    void desktopStatusIsReadFromTheFile();
    void desktopRefusesWithoutAnExecutable();
    void desktopReportsAFolderItCannotCreate();
    void execQuotingRoundTrips_data();
    void execQuotingRoundTrips();
    void everyProgramPathReadsBackFromTheEntry_data();
    void everyProgramPathReadsBackFromTheEntry();
};

void LaunchAtLoginTest::set_data()
{
    QTest::addColumn<Status>("before");
    QTest::addColumn<bool>("wanted");
    QTest::addColumn<int>("registers");
    QTest::addColumn<int>("unregisters");
    QTest::addColumn<Status>("after");
    QTest::newRow("on while enabled") << Status::enabled << true << 0 << 0 << Status::enabled;
    QTest::newRow("on while not registered") << Status::notRegistered << true << 1 << 0 << Status::enabled;
    QTest::newRow("on while awaiting approval tries again") << Status::requiresApproval << true << 1 << 0 << Status::enabled;
    QTest::newRow("on while not found") << Status::notFound << true << 1 << 0 << Status::enabled;
    QTest::newRow("off while enabled") << Status::enabled << false << 0 << 1 << Status::notRegistered;
    QTest::newRow("off while awaiting approval") << Status::requiresApproval << false << 0 << 0 << Status::requiresApproval;
    QTest::newRow("off while not registered") << Status::notRegistered << false << 0 << 0 << Status::notRegistered;
    QTest::newRow("off while not found") << Status::notFound << false << 0 << 0 << Status::notFound;
}

void LaunchAtLoginTest::set()
{
    QFETCH(Status, before);
    QFETCH(bool, wanted);
    QFETCH(int, registers);
    QFETCH(int, unregisters);
    QFETCH(Status, after);
    SimulatedLoginItem item;
    item.setStatus(before);
    QVERIFY(LaunchAtLogin::set(item, wanted));
    QCOMPARE(item.registerCalls, registers);
    QCOMPARE(item.unregisterCalls, unregisters);
    QCOMPARE(item.status(), after);
}

void LaunchAtLoginTest::refusalIsLoggedAndReported()
{
    SimulatedLoginItem item;
    item.setRefusal(QStringLiteral("Operation not permitted"));
    PrivacyLog::Capture log;
    QVERIFY(!LaunchAtLogin::set(item, true));
    QCOMPARE(item.status(), Status::notRegistered);
    const auto entries = log.entries(QStringLiteral("LaunchAtLogin"));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].type, QtCriticalMsg);
    QCOMPARE(entries[0].message, QStringLiteral("Login item change refused: Operation not permitted"));

    item.setStatus(Status::enabled);
    QVERIFY(!LaunchAtLogin::set(item, false));
    QCOMPARE(item.status(), Status::enabled);
}

void LaunchAtLoginTest::awaitingApprovalIsNotAnError()
{
    SimulatedLoginItem item;
    item.setStatusAfterRegistering(Status::requiresApproval);
    PrivacyLog::Capture log;
    QVERIFY(LaunchAtLogin::set(item, true));
    QCOMPARE(item.status(), Status::requiresApproval);
    QVERIFY(log.entries(QStringLiteral("LaunchAtLogin")).isEmpty());
}

void LaunchAtLoginTest::desktopRegistersAnAutostartEntry()
{
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("bin dir/ambrel"));
    QVERIFY(writeFile(program, "#!/bin/sh\n", executableBits));
    DesktopLoginItem item(root.filePath(QStringLiteral("config/autostart")), program);
    QCOMPARE(item.status(), Status::notRegistered);

    QVERIFY(LaunchAtLogin::set(item, true));
    QCOMPARE(item.entryPath(), root.filePath(QStringLiteral("config/autostart/ambrel.desktop")));
    QFile entry(item.entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    QVERIFY(text.contains(QStringLiteral("\nType=Application\n")));
    QVERIFY(text.contains(QStringLiteral("\nExec=\"%1\"\n").arg(program)));
    entry.close();
    QCOMPARE(item.status(), Status::enabled);

    QVERIFY(LaunchAtLogin::set(item, false));
    QVERIFY(!QFile::exists(item.entryPath()));
    QCOMPARE(item.status(), Status::notRegistered);
}

void LaunchAtLoginTest::desktopStatusIsReadFromTheFile_data()
{
    QTest::addColumn<QByteArray>("entry"); // "@" stands for the executable's path
    QTest::addColumn<Status>("status");
    QTest::newRow("plain entry") << QByteArray("[Desktop Entry]\nType=Application\nExec=@\n") << Status::enabled;
    QTest::newRow("comments and other groups") << QByteArray("# mine\n[Other]\nHidden=true\n[Desktop Entry]\nExec=@ --quiet\n")
                                               << Status::enabled;
    QTest::newRow("hidden by the user") << QByteArray("[Desktop Entry]\nExec=@\nHidden=true\n") << Status::notRegistered;
    QTest::newRow("switched off in the session") << QByteArray("[Desktop Entry]\nExec=@\nX-GNOME-Autostart-enabled=false\n")
                                                 << Status::notRegistered;
    QTest::newRow("no desktop entry group") << QByteArray("Exec=@\n") << Status::notRegistered;
    QTest::newRow("program gone") << QByteArray("[Desktop Entry]\nExec=/nonexistent/ambrel\n") << Status::notFound;
    QTest::newRow("no Exec") << QByteArray("[Desktop Entry]\nType=Application\n") << Status::notFound;
    QTest::newRow("unclosed quote") << QByteArray("[Desktop Entry]\nExec=\"@\n") << Status::notFound;
    QTest::newRow("program found on the path") << QByteArray("[Desktop Entry]\nExec=sh -c true\n") << Status::enabled;
}

void LaunchAtLoginTest::desktopStatusIsReadFromTheFile()
{
    QFETCH(QByteArray, entry);
    QFETCH(Status, status);
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("ambrel"));
    QVERIFY(writeFile(program, "#!/bin/sh\n", executableBits));
    DesktopLoginItem item(root.filePath(QStringLiteral("autostart")), program);
    QVERIFY(writeFile(item.entryPath(), entry.replace('@', program.toUtf8())));
    QCOMPARE(item.status(), status);
}

void LaunchAtLoginTest::desktopRefusesWithoutAnExecutable()
{
    QTemporaryDir root;
    DesktopLoginItem item(root.filePath(QStringLiteral("autostart")), root.filePath(QStringLiteral("missing")));
    PrivacyLog::Capture log;
    QVERIFY(!LaunchAtLogin::set(item, true));
    QVERIFY(!QFile::exists(item.entryPath()));
    QVERIFY(log.contains(QStringLiteral("Login item change refused: ")));
}

void LaunchAtLoginTest::desktopReportsAFolderItCannotCreate()
{
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("ambrel"));
    QVERIFY(writeFile(program, "#!/bin/sh\n", executableBits));
    // A file where the folder should be: no entry can be written below it.
    QVERIFY(writeFile(root.filePath(QStringLiteral("autostart")), "not a folder"));
    DesktopLoginItem item(root.filePath(QStringLiteral("autostart")), program);
    QVERIFY(!LaunchAtLogin::set(item, true));
    QCOMPARE(item.status(), Status::notRegistered);
}

void LaunchAtLoginTest::execQuotingRoundTrips_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "/usr/bin/ambrel" << "/usr/bin/ambrel";
    QTest::newRow("space") << "/opt/my apps/ambrel" << "\"/opt/my apps/ambrel\"";
    QTest::newRow("quote and dollar") << "/opt/a\"b$c/ambrel" << "\"/opt/a\\\\\"b\\\\$c/ambrel\"";
    QTest::newRow("backslash") << "/opt/a\\b/ambrel" << "\"/opt/a\\\\\\\\b/ambrel\"";
    QTest::newRow("percent") << "/opt/100%/ambrel" << "/opt/100%%/ambrel";
    QTest::newRow("non-ASCII") << QString::fromUtf8("/opt/程序/ambrel") << QString::fromUtf8("/opt/程序/ambrel");
}

void LaunchAtLoginTest::execQuotingRoundTrips()
{
    QFETCH(QString, program);
    QFETCH(QString, written);
    QCOMPARE(DesktopLoginItem::execValue(program), written);
    QCOMPARE(DesktopLoginItem::programOf(written), program);
    QCOMPARE(DesktopLoginItem::programOf(written + QStringLiteral(" --flag")), program);
}

void LaunchAtLoginTest::everyProgramPathReadsBackFromTheEntry_data()
{
    // The name of the program's folder, which the entry must give back as it stands.
    QTest::addColumn<QString>("folder");
    QTest::newRow("no-break space first") << QStringLiteral("\u00a0bin");
    QTest::newRow("no-break space last") << QStringLiteral("bin\u00a0");
    QTest::newRow("vertical tab at both ends") << QStringLiteral("\vbin\v");
    QTest::newRow("form feed last") << QStringLiteral("bin\f");
    QTest::newRow("ideographic space") << QStringLiteral("\u3000bin\u3000");
    QTest::newRow("blank and tab at the ends") << QStringLiteral(" \tbin\t ");
    QTest::newRow("line breaks") << QStringLiteral("a\nb\r");
    QTest::newRow("escape look-alikes") << QStringLiteral("\\s\\n%f%%");
    QTest::newRow("quotes and shell characters") << QStringLiteral("\"'`$;|&<>~*?#()");
}

void LaunchAtLoginTest::everyProgramPathReadsBackFromTheEntry()
{
    QFETCH(QString, folder);
    QTemporaryDir root;
    const QString program = root.path() + u'/' + folder + QStringLiteral("/ambrel");
    QVERIFY(writeFile(program, "#!/bin/sh\n", executableBits));
    DesktopLoginItem item(root.filePath(QStringLiteral("autostart")), program);
    QVERIFY(LaunchAtLogin::set(item, true));

    // Read back the way the session reads it: the file's group, its Exec value, its first argument.
    const auto group = DesktopEntry::readGroup(item.entryPath());
    QVERIFY(group);
    QCOMPARE(DesktopLoginItem::programOf(group->value(QStringLiteral("Exec"))), program);
    QCOMPARE(item.status(), Status::enabled);
    // One line per key: nothing in the path breaks the entry apart.
    QFile entry(item.entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QCOMPARE(entry.readAll().count('\n'), 6);
}

QTEST_GUILESS_MAIN(LaunchAtLoginTest)
#include "tst_LaunchAtLogin.moc"
