#include "ContextCore/OneKeyJson.h"

#include <QJsonDocument>
#include <QTest>

class OneKeyJsonTest : public QObject {
    Q_OBJECT
private slots:
    void encodes();
    void decodes_data();
    void decodes();
};

void OneKeyJsonTest::encodes()
{
    QCOMPARE(QJsonDocument(OneKeyJson::encode("none")).toJson(QJsonDocument::Compact), QByteArray(R"({"none":{}})"));
    QCOMPARE(QJsonDocument(OneKeyJson::encodeUnlabelled("resize", 1024)).toJson(QJsonDocument::Compact),
             QByteArray(R"({"resize":{"_0":1024}})"));
}

void OneKeyJsonTest::decodes_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("caseName"); // empty: must fail
    QTest::addColumn<QString>("error");
    const QString keys = OneKeyJson::invalidKeyCount;
    QTest::newRow("one case") << QByteArray(R"({"b":{"_0":1}})") << "b" << "";
    QTest::newRow("unknown keys ignored") << QByteArray(R"({"zz":1,"a":{}})") << "a" << "";
    QTest::newRow("no key") << QByteArray(R"({})") << "" << keys;
    QTest::newRow("only unknown keys") << QByteArray(R"({"zz":{}})") << "" << keys;
    QTest::newRow("two cases") << QByteArray(R"({"a":{},"b":{}})") << "" << keys;
    QTest::newRow("payload not an object") << QByteArray(R"({"a":3})") << "" << "";
}

void OneKeyJsonTest::decodes()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, caseName);
    QFETCH(QString, error);
    const auto r = OneKeyJson::decode(QJsonDocument::fromJson(json).object(), {"a", "b", "c"});
    QCOMPARE(r.has_value(), !caseName.isEmpty());
    if (r)
        QCOMPARE(r->name, caseName);
    else if (!error.isEmpty())
        QCOMPARE(r.error().message, error);
}

QTEST_GUILESS_MAIN(OneKeyJsonTest)
#include "tst_OneKeyJson.moc"
