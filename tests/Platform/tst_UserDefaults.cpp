#include "Platform/Desktop/DesktopUserDefaults.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using Platform::UserDefaults;

class UserDefaultsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void roundTrips_data();
    void roundTrips();
    void wrongTypesReadAsAbsent_data();
    void wrongTypesReadAsAbsent();
    void removeAndChangeSignal_data();
    void removeAndChangeSignal();
    void suitesAreSeparate_data();
    void suitesAreSeparate();
    void desktopValuesSurviveReopening();
    void corruptDesktopValuesReadAsAbsent();
    void onlyARegularSettingsFileIsRead_data();
    void onlyARegularSettingsFileIsRead();
    void aChangeThatCannotBeSavedIsNotKept();
    void whatTheFileHoldsIsNotWrittenAgain();

private:
    std::shared_ptr<UserDefaults> make(const QString& kind);
    void addKinds();
    std::unique_ptr<QTemporaryDir> m_dir;
};

void UserDefaultsTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

std::shared_ptr<UserDefaults> UserDefaultsTest::make(const QString& kind)
{
    if (kind == u"desktop")
        return std::make_shared<Platform::DesktopUserDefaults>(m_dir->filePath("defaults.ini"));
    return std::make_shared<Platform::SimulatedUserDefaults>();
}

void UserDefaultsTest::addKinds()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("simulated") << "simulated";
    QTest::newRow("desktop") << "desktop";
}

void UserDefaultsTest::roundTrips_data()
{
    addKinds();
}

void UserDefaultsTest::roundTrips()
{
    QFETCH(QString, kind);
    auto d = make(kind);
    d->setBool("a.bool", true);
    d->setInt("a.int", -9007199254740000LL);
    d->setDouble("a.double", 0.1);
    d->setString("a.string", QString::fromUtf8("tab\tnew\nline, comma; 中文 \"q\""));
    d->setStringList("a.list", {"com.example.a", "with, comma", ""});
    d->setStringList("a.empty", {});
    d->setData("a.data", QByteArray("\x00\x01{\"k\":1}\xff", 11));

    QCOMPARE(d->boolValue("a.bool"), std::optional(true));
    QCOMPARE(d->intValue("a.int"), std::optional<qint64>(-9007199254740000LL));
    QCOMPARE(d->doubleValue("a.double"), std::optional(0.1));
    QCOMPARE(d->stringValue("a.string"), std::optional(QString::fromUtf8("tab\tnew\nline, comma; 中文 \"q\"")));
    QCOMPARE(d->stringListValue("a.list"), std::optional(QStringList{"com.example.a", "with, comma", ""}));
    QCOMPARE(d->stringListValue("a.empty"), std::optional(QStringList{}));
    QCOMPARE(d->dataValue("a.data"), std::optional(QByteArray("\x00\x01{\"k\":1}\xff", 11)));
    QVERIFY(d->contains("a.bool"));
    QVERIFY(!d->contains("missing"));
    QCOMPARE(d->boolValue("missing"), std::nullopt);
    QCOMPARE(d->stringValue("missing"), std::nullopt);
}

void UserDefaultsTest::wrongTypesReadAsAbsent_data()
{
    addKinds();
}

void UserDefaultsTest::wrongTypesReadAsAbsent()
{
    QFETCH(QString, kind);
    auto d = make(kind);
    d->setString("s", "true");
    d->setInt("i", 3);
    d->setDouble("d", 2.5);
    d->setBool("b", true);
    QCOMPARE(d->boolValue("s"), std::nullopt);
    QCOMPARE(d->intValue("s"), std::nullopt);
    QCOMPARE(d->stringListValue("s"), std::nullopt);
    QCOMPARE(d->stringValue("i"), std::nullopt);
    QCOMPARE(d->boolValue("i"), std::nullopt);
    QCOMPARE(d->intValue("b"), std::nullopt);
    // Numbers convert only without loss.
    QCOMPARE(d->doubleValue("i"), std::optional(3.0));
    QCOMPARE(d->intValue("d"), std::nullopt);
    d->setDouble("d", 4.0);
    QCOMPARE(d->intValue("d"), std::optional<qint64>(4));
}

void UserDefaultsTest::removeAndChangeSignal_data()
{
    addKinds();
}

void UserDefaultsTest::removeAndChangeSignal()
{
    QFETCH(QString, kind);
    auto d = make(kind);
    QSignalSpy spy(d.get(), &UserDefaults::changed);
    d->setBool("selection.autoShow", false);
    d->remove("selection.autoShow");
    QVERIFY(!d->contains("selection.autoShow"));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy[0][0].toString(), QStringLiteral("selection.autoShow"));
}

void UserDefaultsTest::suitesAreSeparate_data()
{
    addKinds();
}

void UserDefaultsTest::suitesAreSeparate()
{
    QFETCH(QString, kind);
    auto d = make(kind);
    auto suite = d->suite("com.corvish.shared");
    d->setString("k", "main");
    suite->setString("k", "suite");
    QCOMPARE(d->stringValue("k"), std::optional(QStringLiteral("main")));
    QCOMPARE(suite->stringValue("k"), std::optional(QStringLiteral("suite")));
    QCOMPARE(d->suite("com.corvish.shared"), suite);
}

void UserDefaultsTest::desktopValuesSurviveReopening()
{
    {
        Platform::DesktopUserDefaults d(m_dir->filePath("defaults.ini"));
        d.setStringList("selection.blockedApps", {"a", "b"});
        d.suite("other")->setBool("x", true);
    }
    Platform::DesktopUserDefaults d(m_dir->filePath("defaults.ini"));
    QCOMPARE(d.stringListValue("selection.blockedApps"), std::optional(QStringList{"a", "b"}));
    QCOMPARE(d.suite("other")->boolValue("x"), std::optional(true));
    QVERIFY(QFile::exists(m_dir->filePath("other.ini")));
}

void UserDefaultsTest::corruptDesktopValuesReadAsAbsent()
{
    QFile f(m_dir->filePath("defaults.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[General]\n"
            "plain=hello\n"
            "badbool=b:yes\n"
            "badint=i:12abc\n"
            "badlist=\"l:[1,2]\"\n"
            "baddata=x:@@@\n"
            "good=i:7\n");
    f.close();
    Platform::DesktopUserDefaults d(m_dir->filePath("defaults.ini"));
    QCOMPARE(d.stringValue("plain"), std::nullopt);
    QCOMPARE(d.boolValue("badbool"), std::nullopt);
    QCOMPARE(d.intValue("badint"), std::nullopt);
    QCOMPARE(d.stringListValue("badlist"), std::nullopt);
    QCOMPARE(d.dataValue("baddata"), std::nullopt);
    QCOMPARE(d.intValue("good"), std::optional<qint64>(7));
}

void UserDefaultsTest::onlyARegularSettingsFileIsRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << "fifo";
    QTest::newRow("folder") << "folder";
    QTest::newRow("link to a device") << "device";
    QTest::newRow("link to a pipe") << "linked fifo";
}

void UserDefaultsTest::onlyARegularSettingsFileIsRead()
{
    QFETCH(QString, kind);
    const QString path = m_dir->filePath("defaults.ini");
    const QString fifo = kind == u"fifo" ? path : m_dir->filePath("pipe");
    if (kind.contains(u"fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    if (kind == u"folder")
        QVERIFY(QDir().mkpath(path));
    if (kind == u"device")
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    if (kind == u"linked fifo")
        QVERIFY(QFile::link(fifo, path));

    // Reading a pipe would block here for ever, and the device would never end.
    Platform::DesktopUserDefaults d(path);
    QSignalSpy failed(&d, &UserDefaults::saveFailed);
    QSignalSpy changed(&d, &UserDefaults::changed);
    QCOMPARE(d.boolValue("scroll.enabled"), std::nullopt);
    QVERIFY(d.keys().isEmpty());
    d.setBool("scroll.enabled", true);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(d.boolValue("scroll.enabled"), std::nullopt); // not shown as saved
    // What stood there is left as it was.
    const QFileInfo info(path);
    QCOMPARE(info.isDir(), kind == u"folder");
    QCOMPARE(info.isSymLink(), kind == u"device" || kind == u"linked fifo");
    if (kind == u"fifo")
        QVERIFY(!info.isFile() && info.exists());
}

void UserDefaultsTest::aChangeThatCannotBeSavedIsNotKept()
{
    const QString folder = m_dir->filePath("config");
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + "/defaults.ini";
    {
        Platform::DesktopUserDefaults d(path);
        d.setBool("kept", true);
        d.setInt("gone", 1);
    }
    Platform::DesktopUserDefaults d(path);
    QCOMPARE(d.boolValue("kept"), std::optional(true));
    // The folder can no longer be written (a file stands in its place: this holds even for root).
    QVERIFY(QDir(folder).removeRecursively());
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QSignalSpy failed(&d, &UserDefaults::saveFailed);
    QSignalSpy changed(&d, &UserDefaults::changed);
    d.setBool("kept", false);
    d.setBool("new", true);
    d.remove("gone");
    QCOMPARE(failed.size(), 3);
    QCOMPARE(changed.size(), 3);
    QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("kept"));
    QCOMPARE(d.boolValue("kept"), std::optional(true));
    QCOMPARE(d.boolValue("new"), std::nullopt);
    QCOMPARE(d.intValue("gone"), std::optional<qint64>(1));
}

// Each save rewrites and flushes the whole file: storing what it holds already writes nothing,
// yet still announces the key. A file another writer changed meanwhile is written as asked.
void UserDefaultsTest::whatTheFileHoldsIsNotWrittenAgain()
{
    const QString path = m_dir->filePath("defaults.ini");
    {
        Platform::DesktopUserDefaults first(path);
        first.setString("ai.provider", "openRouter");
        first.setBool("selection.autoShow", true);
    }
    // Every save puts a new file in place: the one held open here is then unlinked.
    QFile held(path);
    QVERIFY(held.open(QIODevice::ReadOnly));
    const auto stillInPlace = [&] {
        struct stat st {};
        return ::fstat(held.handle(), &st) == 0 && st.st_nlink == 1;
    };
    Platform::DesktopUserDefaults d(path);
    QSignalSpy changed(&d, &UserDefaults::changed);
    d.setString("ai.provider", "openRouter");
    d.setBool("selection.autoShow", true);
    d.remove("never.stored");
    QVERIFY(stillInPlace());
    QCOMPARE(changed.size(), 3);
    QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("ai.provider"));

    // Same text, other type: a change.
    d.setString("selection.autoShow", "b:true");
    QVERIFY(!stillInPlace());
    QCOMPARE(d.stringValue("selection.autoShow"), std::optional(QStringLiteral("b:true")));

    Platform::DesktopUserDefaults other(path);
    other.setString("ai.provider", "ollama");
    d.setString("ai.provider", "openRouter"); // what d last saw, no longer what the file holds
    QCOMPARE(Platform::DesktopUserDefaults(path).stringValue("ai.provider"), std::optional(QStringLiteral("openRouter")));
    QCOMPARE(changed.size(), 5);
}

QTEST_GUILESS_MAIN(UserDefaultsTest)
#include "tst_UserDefaults.moc"
