#include "Platform/Desktop/DesktopHotKeys.h"
#include "Platform/Simulated/SimulatedHotKeys.h"
#include "SecurityCore/PrivacyLog.h"
#include "System/GlobalHotKey.h"

#include <QJsonDocument>
#include <QTest>

using Combination = GlobalHotKey::Combination;
using Platform::SimulatedHotKeys;

namespace {

constexpr quint32 keyN = 45;
constexpr quint32 keyM = 46;

} // namespace

class GlobalHotKeyTest : public QObject {
    Q_OBJECT
private slots:
    void registersWithTheSystem();
    void secondRegistrationReplacesTheFirst();
    void withoutCommandOptionOrControlTheSystemIsNotAsked_data();
    void withoutCommandOptionOrControlTheSystemIsNotAsked();
    void refusalLeavesNothingRegistered();
    void pressRunsTheActionOneTurnLater();
    void pressQueuedBeforeUnregisterDoesNothing();
    void destroyedHotKeyLeavesNoRegistration();
    void eachHotKeyRunsOnlyItsOwnAction();
    void identifiersAreDistinctAndNeverZero();
    void desktopRefusesHonestly();
    void displayString_data();
    void displayString();
    void decoding_data();
    void decoding();
    void encodingRoundTrips();
    void fromKeyPress_data();
    void fromKeyPress();
};

void GlobalHotKeyTest::registersWithTheSystem()
{
    auto system = std::make_shared<SimulatedHotKeys>();
    GlobalHotKey hotKey(system);
    QVERIFY(hotKey.registerHotKey({keyN, Combination::command}, [] {}));
    QVERIFY(hotKey.isRegistered());
    const auto regs = system->registrations();
    QCOMPARE(regs.size(), 1);
    QCOMPARE(regs[0].keyCode, keyN);
    QCOMPARE(regs[0].modifiers, Combination::command);
    QCOMPARE(regs[0].identifier.id, hotKey.identifier());
    QCOMPARE(regs[0].identifier.signature, quint32(0x5A514B59)); // "ZQKY"

    hotKey.unregister();
    QVERIFY(!hotKey.isRegistered());
    QVERIFY(system->registrations().isEmpty());
    hotKey.unregister(); // nothing registered: harmless
    QCOMPARE(system->unregisterCalls, 1);
}

void GlobalHotKeyTest::secondRegistrationReplacesTheFirst()
{
    auto system = std::make_shared<SimulatedHotKeys>();
    GlobalHotKey hotKey(system);
    int runs = 0;
    QVERIFY(hotKey.registerHotKey({keyN, Combination::command}, [&] { ++runs; }));
    QVERIFY(hotKey.registerHotKey({keyN, Combination::command}, [&] { runs += 10; }));
    QCOMPARE(system->registrations().size(), 1);

    QVERIFY(system->press(keyN, Combination::command));
    QCoreApplication::processEvents();
    QCOMPARE(runs, 10);
}

void GlobalHotKeyTest::withoutCommandOptionOrControlTheSystemIsNotAsked_data()
{
    QTest::addColumn<quint32>("modifiers");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("none") << quint32(0) << false;
    QTest::newRow("shift alone") << Combination::shift << false;
    QTest::newRow("unknown bits only") << quint32(0x0400 | 0x0080) << false;
    QTest::newRow("command") << Combination::command << true;
    QTest::newRow("option") << Combination::option << true;
    QTest::newRow("control") << Combination::control << true;
    QTest::newRow("shift and option") << (Combination::shift | Combination::option) << true;
}

void GlobalHotKeyTest::withoutCommandOptionOrControlTheSystemIsNotAsked()
{
    QFETCH(quint32, modifiers);
    QFETCH(bool, accepted);
    auto system = std::make_shared<SimulatedHotKeys>();
    GlobalHotKey hotKey(system);
    // A working shortcut first: a refused one must not leave it active.
    QVERIFY(hotKey.registerHotKey({keyM, Combination::control}, [] {}));
    const int callsBefore = system->registerCalls;

    PrivacyLog::Capture log;
    QCOMPARE(hotKey.registerHotKey({keyN, modifiers}, [] {}), accepted);
    QCOMPARE(hotKey.isRegistered(), accepted);
    QCOMPARE(system->registerCalls - callsBefore, accepted ? 1 : 0);
    QCOMPARE(system->registrations().size(), accepted ? 1 : 0);
    QVERIFY(log.entries(QStringLiteral("GlobalHotKey")).isEmpty());
}

void GlobalHotKeyTest::refusalLeavesNothingRegistered()
{
    auto system = std::make_shared<SimulatedHotKeys>();
    system->refuse(keyN, Combination::command | Combination::shift, -9);
    GlobalHotKey hotKey(system);
    int runs = 0;
    QVERIFY(hotKey.registerHotKey({keyM, Combination::command}, [&] { ++runs; }));

    PrivacyLog::Capture log;
    QVERIFY(!hotKey.registerHotKey({keyN, Combination::command | Combination::shift}, [&] { ++runs; }));
    QVERIFY(!hotKey.isRegistered());
    QVERIFY(system->registrations().isEmpty());
    const auto entries = log.entries(QStringLiteral("GlobalHotKey"));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].type, QtCriticalMsg);
    QCOMPARE(entries[0].message, QStringLiteral("Shortcut refused by the system: -9"));

    // The earlier shortcut is gone too.
    QVERIFY(!system->press(keyM, Combination::command));
    QCoreApplication::processEvents();
    QCOMPARE(runs, 0);
}

void GlobalHotKeyTest::pressRunsTheActionOneTurnLater()
{
    auto system = std::make_shared<SimulatedHotKeys>();
    GlobalHotKey hotKey(system);
    int runs = 0;
    QVERIFY(hotKey.registerHotKey({keyN, Combination::command}, [&] { ++runs; }));
    QVERIFY(system->press(keyN, Combination::command));
    QCOMPARE(runs, 0); // never inside the system's callback
    QCoreApplication::processEvents();
    QCOMPARE(runs, 1);
}

void GlobalHotKeyTest::pressQueuedBeforeUnregisterDoesNothing()
{
    auto system = std::make_shared<SimulatedHotKeys>();
    GlobalHotKey hotKey(system);
    int runs = 0;
    QVERIFY(hotKey.registerHotKey({keyN, Combination::command}, [&] { ++runs; }));
    QVERIFY(system->press(keyN, Combination::command));
    hotKey.unregister();
    QCoreApplication::processEvents();
    QCOMPARE(runs, 0);
}

void GlobalHotKeyTest::destroyedHotKeyLeavesNoRegistration()
{
    auto system = std::make_shared<SimulatedHotKeys>();
    int runs = 0;
    {
        GlobalHotKey hotKey(system);
        QVERIFY(hotKey.registerHotKey({keyN, Combination::command}, [&] { ++runs; }));
        QVERIFY(system->press(keyN, Combination::command));
    }
    QVERIFY(system->registrations().isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(runs, 0);
}

void GlobalHotKeyTest::eachHotKeyRunsOnlyItsOwnAction()
{
    auto system = std::make_shared<SimulatedHotKeys>();
    GlobalHotKey first(system);
    GlobalHotKey second(system);
    QStringList ran;
    QVERIFY(first.registerHotKey({keyN, Combination::command}, [&] { ran << QStringLiteral("first"); }));
    QVERIFY(second.registerHotKey({keyM, Combination::command}, [&] { ran << QStringLiteral("second"); }));
    QVERIFY(system->press(keyM, Combination::command));
    QCoreApplication::processEvents();
    QCOMPARE(ran, QStringList{QStringLiteral("second")});
}

void GlobalHotKeyTest::identifiersAreDistinctAndNeverZero()
{
    auto system = std::make_shared<SimulatedHotKeys>();
    GlobalHotKey a(system);
    GlobalHotKey b(system);
    QVERIFY(a.identifier() != 0);
    QCOMPARE(b.identifier(), a.identifier() + 1);
}

void GlobalHotKeyTest::desktopRefusesHonestly()
{
    // Without an X11 session there is nobody to grab keys from.
    GlobalHotKey hotKey(std::make_shared<Platform::DesktopHotKeys>(nullptr));
    PrivacyLog::Capture log;
    QVERIFY(!hotKey.registerHotKey({keyN, Combination::command}, [] {}));
    QVERIFY(!hotKey.isRegistered());
    QVERIFY(log.contains(QStringLiteral("Shortcut refused by the system: %1").arg(int(Platform::HotKeys::statusUnavailable))));
}

void GlobalHotKeyTest::displayString_data()
{
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("modifiers");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Super Alt A") << quint32(0) << (Combination::control | Combination::option) << QString::fromUtf8("Alt+Super+A");
    QTest::newRow("Ctrl Shift Return") << quint32(36) << (Combination::shift | Combination::command) << QString::fromUtf8("Ctrl+Shift+Return");
    QTest::newRow("unnamed key") << quint32(50) << (Combination::shift | Combination::command) << QString::fromUtf8("Ctrl+Shift+?");
    QTest::newRow("all four in fixed order") << quint32(49)
        << (Combination::command | Combination::shift | Combination::option | Combination::control)
        << QString::fromUtf8("Ctrl+Alt+Shift+Super+Space");
    QTest::newRow("digit 5") << quint32(23) << Combination::command << QString::fromUtf8("Ctrl+5");
    QTest::newRow("F12") << quint32(111) << Combination::option << QString::fromUtf8("Alt+F12");
    QTest::newRow("escape") << quint32(53) << Combination::control << QString::fromUtf8("Super+Esc");
    QTest::newRow("up arrow") << quint32(126) << Combination::command << QString::fromUtf8("Ctrl+↑");
    QTest::newRow("other bits ignored") << quint32(1) << quint32(Combination::command | 0x0001) << QString::fromUtf8("Ctrl+S");
}

void GlobalHotKeyTest::displayString()
{
    QFETCH(quint32, keyCode);
    QFETCH(quint32, modifiers);
    QFETCH(QString, expected);
    QCOMPARE((Combination{keyCode, modifiers}.displayString()), expected);
}

void GlobalHotKeyTest::decoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("modifiers");
    QTest::newRow("control command N") << QByteArray(R"({"keyCode":45,"modifiers":4352})") << true << keyN << quint32(0x1100);
    QTest::newRow("extra member ignored") << QByteArray(R"({"keyCode":0,"modifiers":256,"x":1})") << true << quint32(0) << quint32(256);
    QTest::newRow("largest value") << QByteArray(R"({"keyCode":4294967295,"modifiers":256})") << true << quint32(4294967295u) << quint32(256);
    QTest::newRow("missing modifiers") << QByteArray(R"({"keyCode":45})") << false << quint32(0) << quint32(0);
    QTest::newRow("missing key code") << QByteArray(R"({"modifiers":256})") << false << quint32(0) << quint32(0);
    QTest::newRow("key code as text") << QByteArray(R"({"keyCode":"45","modifiers":256})") << false << quint32(0) << quint32(0);
    QTest::newRow("negative") << QByteArray(R"({"keyCode":-1,"modifiers":256})") << false << quint32(0) << quint32(0);
    QTest::newRow("fraction") << QByteArray(R"({"keyCode":4.5,"modifiers":256})") << false << quint32(0) << quint32(0);
    QTest::newRow("beyond 32 bits") << QByteArray(R"({"keyCode":4294967296,"modifiers":256})") << false << quint32(0) << quint32(0);
    QTest::newRow("null member") << QByteArray(R"({"keyCode":null,"modifiers":256})") << false << quint32(0) << quint32(0);
    QTest::newRow("array") << QByteArray(R"([45,256])") << false << quint32(0) << quint32(0);
    QTest::newRow("malformed") << QByteArray(R"({"keyCode":45,)") << false << quint32(0) << quint32(0);
    QTest::newRow("empty") << QByteArray() << false << quint32(0) << quint32(0);
}

void GlobalHotKeyTest::decoding()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, decodes);
    const auto c = Combination::fromJsonData(json);
    QCOMPARE(c.has_value(), decodes);
    if (decodes) {
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        QCOMPARE(c->keyCode, keyCode);
        QCOMPARE(c->modifiers, modifiers);
    }
}

void GlobalHotKeyTest::encodingRoundTrips()
{
    const Combination c{keyN, Combination::control | Combination::command};
    const QJsonObject o = QJsonDocument::fromJson(c.toJsonData()).object();
    QCOMPARE(o.keys(), (QStringList{QStringLiteral("keyCode"), QStringLiteral("modifiers")}));
    QCOMPARE(o.value(QStringLiteral("keyCode")).toInteger(), 45);
    QCOMPARE(o.value(QStringLiteral("modifiers")).toInteger(), 4352);
    QCOMPARE(Combination::fromJsonData(c.toJsonData()), std::optional<Combination>(c));
    QCOMPARE(c.displayString(), QString::fromUtf8("Ctrl+Super+N"));
}

void GlobalHotKeyTest::fromKeyPress_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("held");
    QTest::addColumn<bool>("made");
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("modifiers");
    QTest::addColumn<QString>("shown"); // the recorded combination reads as the keys pressed
    QTest::newRow("ctrl N is command N") << int(Qt::Key_N) << Qt::KeyboardModifiers(Qt::ControlModifier) << true << keyN
        << Combination::command << "Ctrl+N";
    QTest::newRow("alt is option") << int(Qt::Key_A) << Qt::KeyboardModifiers(Qt::AltModifier) << true << quint32(0)
        << Combination::option << "Alt+A";
    QTest::newRow("meta is control") << int(Qt::Key_F5) << Qt::KeyboardModifiers(Qt::MetaModifier) << true << quint32(96)
        << Combination::control << "Super+F5";
    QTest::newRow("ctrl alt N") << int(Qt::Key_N) << (Qt::ControlModifier | Qt::AltModifier) << true << keyN
        << (Combination::command | Combination::option) << "Ctrl+Alt+N";
    QTest::newRow("shift kept alongside") << int(Qt::Key_Return) << (Qt::ControlModifier | Qt::ShiftModifier) << true << quint32(36)
        << (Combination::command | Combination::shift) << "Ctrl+Shift+Return";
    QTest::newRow("shifted digit reads as its digit") << int(Qt::Key_Exclam) << (Qt::ControlModifier | Qt::ShiftModifier) << true
        << quint32(18) << (Combination::command | Combination::shift) << "Ctrl+Shift+1";
    QTest::newRow("keypad flag dropped") << int(Qt::Key_7) << (Qt::ControlModifier | Qt::KeypadModifier) << true << quint32(26)
        << Combination::command << "Ctrl+7";
    QTest::newRow("shift alone") << int(Qt::Key_N) << Qt::KeyboardModifiers(Qt::ShiftModifier) << false << quint32(0) << quint32(0)
        << "";
    QTest::newRow("no modifier") << int(Qt::Key_N) << Qt::KeyboardModifiers() << false << quint32(0) << quint32(0) << "";
    QTest::newRow("key without code") << int(Qt::Key_Comma) << Qt::KeyboardModifiers(Qt::ControlModifier) << false << quint32(0)
        << quint32(0) << "";
}

void GlobalHotKeyTest::fromKeyPress()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, held);
    QFETCH(bool, made);
    const auto c = Combination::fromKeyPress(key, held);
    QCOMPARE(c.has_value(), made);
    if (made) {
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(QString, shown);
        QCOMPARE(c->keyCode, keyCode);
        QCOMPARE(c->modifiers, modifiers);
        QCOMPARE(c->displayString(), shown);
    }
}

QTEST_GUILESS_MAIN(GlobalHotKeyTest)
#include "tst_GlobalHotKey.moc"
