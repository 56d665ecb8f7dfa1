#include "Platform/Simulated/SimulatedKeychain.h"
#include "SecurityCore/KeychainStore.h"

#include <QTest>

using Platform::Keychain;
using Platform::SimulatedKeychain;
using Op = SimulatedKeychain::Operation;

namespace {
const QString service = QStringLiteral("com.corvish.credentials");

KeychainError unexpected(int status)
{
    return KeychainErrors::UnexpectedStatus{status};
}
} // namespace

class KeychainStoreTest : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void setTwiceKeepsOneItemWithTheSecondValue();
    void absentAccount();
    void removeAllLeavesOtherServices();
    void failures_data();
    void failures();
    void failedAddAfterDeleteLeavesNoItem();
    void unencodableValueTouchesNothing();
    void nonUtf8ValueReadsAsNothing();
};

void KeychainStoreTest::roundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("ascii") << "sk-abc123";
    QTest::newRow("non-ascii") << QString::fromUtf8("clé-密钥-🔑");
    QTest::newRow("empty") << QString();
}

void KeychainStoreTest::roundTrip()
{
    QFETCH(QString, value);
    auto keychain = std::make_shared<SimulatedKeychain>();
    const KeychainStore store(keychain, service);
    QVERIFY(store.set(value, "ai.openrouter.apiKey").has_value());
    const auto read = store.value("ai.openrouter.apiKey");
    QVERIFY(read.has_value());
    QCOMPARE(read->value_or("<none>"), value);
}

void KeychainStoreTest::setTwiceKeepsOneItemWithTheSecondValue()
{
    auto keychain = std::make_shared<SimulatedKeychain>();
    const KeychainStore store(keychain, service);
    QVERIFY(store.set("first", "a").has_value());
    QVERIFY(store.set("second", "a").has_value());
    QCOMPARE(keychain->itemCount(service), 1);
    QCOMPARE(store.value("a")->value(), QStringLiteral("second"));
}

void KeychainStoreTest::absentAccount()
{
    auto keychain = std::make_shared<SimulatedKeychain>();
    const KeychainStore store(keychain, service);
    const auto read = store.value("never");
    QVERIFY(read.has_value());
    QVERIFY(!read->has_value());
    QVERIFY(store.remove("never").has_value());
    QVERIFY(store.removeAll().has_value());
}

void KeychainStoreTest::removeAllLeavesOtherServices()
{
    auto keychain = std::make_shared<SimulatedKeychain>();
    const KeychainStore store(keychain, service);
    const KeychainStore other(keychain, "com.example.other");
    QVERIFY(store.set("1", "a").has_value());
    QVERIFY(store.set("2", "b").has_value());
    QVERIFY(other.set("3", "a").has_value());
    QVERIFY(store.removeAll().has_value());
    QCOMPARE(keychain->itemCount(service), 0);
    QCOMPARE(other.value("a")->value(), QStringLiteral("3"));
}

void KeychainStoreTest::failures_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("fails");
    // Not-found is success for deletions and "no value" for reads; everything else passes through.
    QTest::newRow("read: locked keychain") << int(Op::Copy) << Keychain::statusInteractionNotAllowed << true;
    QTest::newRow("read: denied") << int(Op::Copy) << Keychain::statusAuthFailed << true;
    QTest::newRow("read: not found") << int(Op::Copy) << Keychain::statusItemNotFound << false;
    QTest::newRow("remove: denied") << int(Op::Remove) << Keychain::statusAuthFailed << true;
    QTest::newRow("remove: not found") << int(Op::Remove) << Keychain::statusItemNotFound << false;
    QTest::newRow("remove all: unavailable") << int(Op::RemoveAll) << Keychain::statusNotAvailable << true;
    QTest::newRow("remove all: not found") << int(Op::RemoveAll) << Keychain::statusItemNotFound << false;
}

void KeychainStoreTest::failures()
{
    QFETCH(int, operation);
    QFETCH(int, status);
    QFETCH(bool, fails);
    auto keychain = std::make_shared<SimulatedKeychain>();
    const KeychainStore store(keychain, service);
    QVERIFY(store.set("secret", "a").has_value());
    keychain->failNext(Op(operation), status);
    std::optional<KeychainError> error;
    switch (Op(operation)) {
    case Op::Copy:
        if (auto r = store.value("a"); !r)
            error = r.error();
        else if (!fails)
            QVERIFY(!r->has_value());
        break;
    case Op::Remove:
        if (auto r = store.remove("a"); !r)
            error = r.error();
        break;
    case Op::RemoveAll:
        if (auto r = store.removeAll(); !r)
            error = r.error();
        break;
    case Op::Add:
        break;
    }
    QCOMPARE(error.has_value(), fails);
    if (fails)
        QCOMPARE(*error, unexpected(status));
}

void KeychainStoreTest::failedAddAfterDeleteLeavesNoItem()
{
    auto keychain = std::make_shared<SimulatedKeychain>();
    const KeychainStore store(keychain, service);
    QVERIFY(store.set("old", "a").has_value());
    keychain->failNext(Op::Add, Keychain::statusInteractionNotAllowed);
    const auto r = store.set("new", "a");
    QVERIFY(!r.has_value());
    QCOMPARE(r.error(), unexpected(Keychain::statusInteractionNotAllowed));
    QVERIFY(!store.value("a")->has_value());
}

void KeychainStoreTest::unencodableValueTouchesNothing()
{
    auto keychain = std::make_shared<SimulatedKeychain>();
    const KeychainStore store(keychain, service);
    QVERIFY(store.set("old", "a").has_value());
    const QString loneSurrogate(QChar(0xD800));
    const auto r = store.set("x" + loneSurrogate, "a");
    QVERIFY(!r.has_value());
    QCOMPARE(r.error(), KeychainError(KeychainErrors::DataEncodingFailed{}));
    QCOMPARE(store.value("a")->value(), QStringLiteral("old"));
}

void KeychainStoreTest::nonUtf8ValueReadsAsNothing()
{
    auto keychain = std::make_shared<SimulatedKeychain>();
    keychain->store(service, "a", QByteArray("\xff\xfe latin", 8));
    const KeychainStore store(keychain, service);
    const auto r = store.value("a");
    QVERIFY(r.has_value());
    QVERIFY(!r->has_value());
}

QTEST_GUILESS_MAIN(KeychainStoreTest)
#include "tst_KeychainStore.moc"
