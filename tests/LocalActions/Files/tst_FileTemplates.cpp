#include "LocalActions/Files/FileNameVariables.h"
#include "LocalActions/Files/FileNaming.h"
#include "LocalActions/Files/FileTemplate.h"
#include "LocalActions/Transfers/TransferOperation.h"
#include "SecurityCore/ModuleStrings.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestFileTemplates : public QObject {
    Q_OBJECT

private slots:
    void builtInTable()
    {
        const auto& all = FileTemplate::builtIns();
        QStringList rows;
        for (const auto& t : all) {
            QCOMPARE(t.titleKey, t.id);
            QVERIFY(t.isBuiltIn);
            QVERIFY(t.id.startsWith(u"template."));
            rows << t.id + u'|' + t.fileExtension + u'|' + t.categoryKey.value_or(QStringLiteral("-"));
        }
        QCOMPARE(rows, (QStringList{
                           "template.plainText|txt|-",
                           "template.markdown|md|-",
                           "template.richText|rtf|-",
                           "template.word|docx|template.category.office",
                           "template.excel|xlsx|template.category.office",
                           "template.powerPoint|pptx|template.category.office",
                           "template.shell|sh|template.category.code",
                           "template.python|py|template.category.code",
                           "template.javascript|js|template.category.code",
                           "template.typescript|ts|template.category.code",
                           "template.swift|swift|template.category.code",
                           "template.html|html|template.category.code",
                           "template.css|css|template.category.code",
                           "template.json|json|template.category.data",
                           "template.yaml|yml|template.category.data",
                           "template.xml|xml|template.category.data",
                           "template.csv|csv|template.category.data",
                       }));
        QCOMPARE(FileTemplate::officeTemplates() + FileTemplate::developerTemplates() + FileTemplate::dataTemplates(),
                 all.mid(3));
        QCOMPARE(FileTemplate::plainText(), all[0]);
        QCOMPARE(FileTemplate::markdown(), all[1]);
        QCOMPARE(FileTemplate::richText(), all[2]);
        QCOMPARE(all[5].source, FileTemplate::Source(FileTemplate::Office{QStringLiteral("powerPoint")}));
        QCOMPARE(all[5].symbolName, QStringLiteral("rectangle.on.rectangle"));
    }

    void boilerplateBytes_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("rich text") << "template.richText" << 56 << QByteArray("{\\rtf1\\ansi\\ansicpg1252");
        QTest::newRow("html") << "template.html" << 84 << QByteArray("<!doctype html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n");
        QTest::newRow("xml") << "template.xml" << 39 << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
        QTest::newRow("json") << "template.json" << 4 << QByteArray("{\n}\n");
        QTest::newRow("shell") << "template.shell" << 10 << QByteArray("#!/bin/sh\n");
        QTest::newRow("python") << "template.python" << 23 << QByteArray("#!/usr/bin/env python3\n");
        QTest::newRow("yaml") << "template.yaml" << 0 << QByteArray();
    }
    void boilerplateBytes()
    {
        QFETCH(QString, id);
        QFETCH(int, size);
        QFETCH(QByteArray, start);
        const auto t = FileTemplate::builtIn(id);
        QVERIFY(t);
        const auto* source = std::get_if<FileTemplate::BuiltIn>(&t->source);
        QVERIFY(source);
        const QByteArray bytes = source->boilerplate.toUtf8();
        QCOMPARE(bytes.size(), size);
        QVERIFY(bytes.startsWith(start));
    }

    void lookUpById_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("found");
        QTest::newRow("yaml") << "template.yaml" << true;
        QTest::newRow("spelled with the extension") << "template.yml" << false;
        QTest::newRow("capital T") << "Template.markdown" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("last") << "template.csv" << true;
    }
    void lookUpById()
    {
        QFETCH(QString, id);
        QFETCH(bool, found);
        const auto t = FileTemplate::builtIn(id);
        QCOMPARE(t.has_value(), found);
        if (t)
            QCOMPARE(t->id, id);
    }

    void jsonRoundTrip_data()
    {
        QTest::addColumn<FileTemplate>("fileTemplate");
        for (const auto& t : FileTemplate::builtIns())
            QTest::newRow(qPrintable(t.id)) << t;
        QTest::newRow("user's model file")
            << FileTemplate{QStringLiteral("user.invoice"), QStringLiteral("Invoice"), false, QStringLiteral("numbers"),
                            QStringLiteral("doc"), FileTemplate::File{QStringLiteral("/home/me/Invoice.numbers")}, std::nullopt};
        QTest::newRow("no extension, odd office kind")
            << FileTemplate{QStringLiteral("x"), QStringLiteral("x"), false, QString(), QString(),
                            FileTemplate::Office{QStringLiteral("Word")}, QStringLiteral("c")};
    }
    void jsonRoundTrip()
    {
        QFETCH(FileTemplate, fileTemplate);
        const QJsonObject json = toJson(fileTemplate);
        QCOMPARE(json.contains(u"categoryKey"), fileTemplate.categoryKey.has_value());
        // Through text, as the settings store it.
        const auto back = fileTemplateFromJson(QJsonDocument::fromJson(QJsonDocument(json).toJson()).object());
        QVERIFY(back);
        QCOMPARE(*back, fileTemplate);
    }

    void storedForm()
    {
        const auto decoded = fileTemplateFromJson(parse(
            R"({"id":"u1","titleKey":"Mine","isBuiltIn":false,"fileExtension":"key","symbolName":"doc",
                "source":{"file":{"path":"/models/Mine.key","extra":1}}})"));
        QVERIFY(decoded);
        QCOMPARE(decoded->source, FileTemplate::Source(FileTemplate::File{QStringLiteral("/models/Mine.key")}));
        QCOMPARE(decoded->categoryKey, std::nullopt);
        QCOMPARE(toJson(FileTemplate::officeTemplates().first().source), parse(R"({"office":{"kind":"word"}})"));
        QCOMPARE(toJson(FileTemplate::plainText()),
                 parse(R"({"id":"template.plainText","titleKey":"template.plainText","isBuiltIn":true,
                          "fileExtension":"txt","symbolName":"doc.text","source":{"builtIn":{"boilerplate":""}}})"));
    }

    void sourceDecoding_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("error"); // empty when it decodes
        const QString oneKey = QStringLiteral("Invalid number of keys found, expected one.");
        QTest::newRow("two cases") << QByteArray(R"({"builtIn":{"boilerplate":""},"file":{"path":"/a"}})") << oneKey;
        QTest::newRow("empty object") << QByteArray("{}") << oneKey;
        QTest::newRow("unknown case only") << QByteArray(R"({"template":{"path":"/a"}})") << oneKey;
        QTest::newRow("case beside a stranger") << QByteArray(R"({"office":{"kind":"excel"},"note":"x"})") << QString();
        QTest::newRow("missing label") << QByteArray(R"({"office":{}})") << "No value associated with key \"kind\".";
        QTest::newRow("label of wrong type") << QByteArray(R"({"file":{"path":7}})")
                                             << "Expected a value of another type for key \"path\".";
    }
    void sourceDecoding()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, error);
        QJsonObject t = toJson(FileTemplate::plainText());
        t.insert(QStringLiteral("source"), QJsonDocument::fromJson(source).object());
        const auto decoded = fileTemplateFromJson(t);
        QCOMPARE(decoded.has_value(), error.isEmpty());
        if (!decoded)
            QCOMPARE(decoded.error().message, error);
    }

    void requiredKeys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value"); // undefined removes the key
        for (const char* key : {"id", "titleKey", "isBuiltIn", "fileExtension", "symbolName", "source"})
            QTest::newRow(qPrintable(QStringLiteral("missing %1").arg(QLatin1String(key)))) << QString::fromLatin1(key) << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("isBuiltIn as text") << "isBuiltIn" << QJsonValue(QStringLiteral("true"));
        QTest::newRow("id as number") << "id" << QJsonValue(3);
        QTest::newRow("categoryKey as number") << "categoryKey" << QJsonValue(3);
        QTest::newRow("source as text") << "source" << QJsonValue(QStringLiteral("builtIn"));
    }
    void requiredKeys()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QJsonObject t = toJson(FileTemplate::officeTemplates().first());
        QVERIFY(fileTemplateFromJson(t));
        if (value.isUndefined())
            t.remove(key);
        else
            t.insert(key, value);
        QVERIFY(!fileTemplateFromJson(t));
    }

    void contentTypes_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("type");
        QTest::newRow("plain text") << "template.plainText" << "text/plain";
        QTest::newRow("word") << "template.word" << "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
        QTest::newRow("json") << "template.json" << "application/json";
    }
    void contentTypes()
    {
        QFETCH(QString, id);
        QFETCH(QString, type);
        QCOMPARE(FileTemplate::builtIn(id)->contentType(), type);
        FileTemplate unknown = FileTemplate::plainText();
        unknown.fileExtension = QStringLiteral("zzqq");
        QCOMPARE(unknown.contentType(), QStringLiteral("application/octet-stream"));
        unknown.fileExtension.clear();
        QCOMPARE(unknown.contentType(), QStringLiteral("application/octet-stream"));
    }

    // Every key these actions show has its own text in each language, not the English fallback.
    void everyKeyHasItsThreeTexts()
    {
        QStringList keys{QStringLiteral("newFile.defaultName"), QStringLiteral("finder.error.noTerminal"),
                         TransferOperation::sourceMissingKey, TransferOperation::failedKey};
        for (const auto& t : FileTemplate::builtIns()) {
            keys << t.titleKey;
            if (t.categoryKey)
                keys << *t.categoryKey;
        }
        for (const auto p : FileNameVariables::allPresets)
            keys << FileNameVariables::titleKey(p);
        for (const auto p : FileNaming::allNameProblems)
            keys << FileNaming::messageKey(p);
        for (const auto r : allConflictResolutions)
            keys << titleKey(r);
        for (const QString& language : ModuleStrings::languages) {
            QFile file(QStringLiteral(":/strings/LocalActions/%1.json").arg(language));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(language));
            const QJsonObject table = QJsonDocument::fromJson(file.readAll()).object();
            for (const QString& key : keys)
                QVERIFY2(!table.value(key).toString().isEmpty(), qPrintable(language + u' ' + key));
        }
    }
};

QTEST_GUILESS_MAIN(TestFileTemplates)
#include "tst_FileTemplates.moc"
