#include "LocalActions/Files/OfficeDocument.h"
#include "LocalActions/Files/Zip.h"

#include <QXmlStreamReader>
#include <QtTest>

namespace {

quint16 u16(const QByteArray& b, qsizetype at)
{
    return quint16(quint8(b[at])) | quint16(quint8(b[at + 1])) << 8;
}

quint32 u32(const QByteArray& b, qsizetype at)
{
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}

// Bit by bit, without a table, to check the writer's table-driven one.
quint32 slowCrc(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

struct ReadEntry {
    QString name;
    QByteArray body;
};

// A small reader that follows the central directory as any unzip tool does and insists on every
// field the writer promises.
std::optional<QList<ReadEntry>> unzip(const QByteArray& zip, QString* why)
{
    auto bad = [why](const QString& reason) {
        *why = reason;
        return std::nullopt;
    };
    if (zip.size() < 22)
        return bad(QStringLiteral("too short"));
    const qsizetype end = zip.size() - 22;
    if (u32(zip, end) != 0x06054B50)
        return bad(QStringLiteral("no end record"));
    const quint16 count = u16(zip, end + 10);
    if (u16(zip, end + 8) != count)
        return bad(QStringLiteral("disk count differs"));
    const quint32 dirSize = u32(zip, end + 12);
    const quint32 dirOffset = u32(zip, end + 16);
    if (dirOffset + dirSize != quint32(end))
        return bad(QStringLiteral("directory does not end at the end record"));
    QList<ReadEntry> out;
    qsizetype at = dirOffset;
    for (int i = 0; i < count; ++i) {
        if (u32(zip, at) != 0x02014B50)
            return bad(QStringLiteral("bad directory signature"));
        if (u16(zip, at + 4) != 20 || u16(zip, at + 6) != 20 || u16(zip, at + 8) != 0 || u16(zip, at + 10) != 0
            || u16(zip, at + 12) != 0 || u16(zip, at + 14) != 33)
            return bad(QStringLiteral("directory header fields"));
        const quint32 crc = u32(zip, at + 16);
        const quint32 size = u32(zip, at + 20);
        if (u32(zip, at + 24) != size)
            return bad(QStringLiteral("stored sizes differ"));
        const quint16 nameLength = u16(zip, at + 28);
        if (u16(zip, at + 30) || u16(zip, at + 32) || u16(zip, at + 34) || u16(zip, at + 36) || u32(zip, at + 38))
            return bad(QStringLiteral("extra, comment or attributes set"));
        const quint32 local = u32(zip, at + 42);
        const QByteArray name = zip.mid(at + 46, nameLength);
        at += 46 + nameLength;

        if (u32(zip, local) != 0x04034B50)
            return bad(QStringLiteral("bad local signature"));
        if (u16(zip, local + 4) != 20 || u16(zip, local + 6) != 0 || u16(zip, local + 8) != 0 || u16(zip, local + 10) != 0
            || u16(zip, local + 12) != 33 || u32(zip, local + 14) != crc || u32(zip, local + 18) != size
            || u32(zip, local + 22) != size || u16(zip, local + 26) != nameLength || u16(zip, local + 28) != 0)
            return bad(QStringLiteral("local header disagrees with the directory"));
        if (zip.mid(local + 30, nameLength) != name)
            return bad(QStringLiteral("local name differs"));
        const QByteArray body = zip.mid(local + 30 + nameLength, size);
        if (slowCrc(body) != crc)
            return bad(QStringLiteral("checksum of %1").arg(QString::fromUtf8(name)));
        out.append({QString::fromUtf8(name), body});
    }
    return out;
}

QString resolve(const QString& partPath, const QString& target)
{
    // Targets are relative to the folder of the part the relationships belong to.
    QString owner = partPath;
    owner.remove(QStringLiteral("_rels/"));
    owner.chop(int(qstrlen(".rels")));
    const QString folder = owner.contains(u'/') ? owner.left(owner.lastIndexOf(u'/') + 1) : QString();
    return QDir::cleanPath(folder + target);
}

} // namespace

class TestOfficeZip : public QObject {
    Q_OBJECT

private slots:
    void crc_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("expected");
        QTest::newRow("empty") << QByteArray() << 0u;
        QTest::newRow("check value") << QByteArray("123456789") << 0xCBF43926u;
        QTest::newRow("abc") << QByteArray("abc") << 0x352441C2u;
        QTest::newRow("fox") << QByteArray("The quick brown fox jumps over the lazy dog") << 0x414FA339u;
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        QTest::newRow("every byte value") << all << slowCrc(all);
    }
    void crc()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, expected);
        QCOMPARE(Zip::crc32(bytes), expected);
    }

    void emptyArchiveIsTheEndRecord()
    {
        QCOMPARE(Zip::archive({}), QByteArray::fromHex("504b0506 0000 0000 0000 0000 00000000 00000000 0000"));
    }

    void oneEntryByteForByte()
    {
        const QByteArray expected = QByteArray::fromHex(
            // local header, name, body
            "504b0304 1400 0000 0000 0000 2100 c2412435 03000000 03000000 0100 0000"
            "61 616263"
            // central directory header, name
            "504b0102 1400 1400 0000 0000 0000 2100 c2412435 03000000 03000000 0100 0000 0000 0000 0000 00000000 00000000"
            "61"
            // end record: one entry, directory of 47 bytes at offset 34
            "504b0506 0000 0000 0100 0100 2f000000 22000000 0000");
        const QByteArray zip = Zip::archive({{QStringLiteral("a"), QStringLiteral("abc")}});
        QCOMPARE(zip.size(), 103);
        QCOMPARE(zip.toHex(' '), expected.toHex(' '));
    }

    void littleEndianHelpers()
    {
        QByteArray b;
        Zip::append(b, quint16(0x1234));
        Zip::append(b, quint32(0xA1B2C3D4));
        QCOMPARE(b, QByteArray::fromHex("3412 d4c3b2a1"));
    }

    void utf8NamesAndOffsets()
    {
        const QList<Zip::Entry> entries{{QStringLiteral("dir/é.txt"), QStringLiteral("ü")},
                                        {QStringLiteral("b"), QString()},
                                        {QStringLiteral("c"), QStringLiteral("third")}};
        const QByteArray zip = Zip::archive(entries);
        QString why;
        const auto read = unzip(zip, &why);
        QVERIFY2(read, qPrintable(why));
        QCOMPARE(read->size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(read->at(i).name, entries[i].path);
            QCOMPARE(read->at(i).body, entries[i].contents.toUtf8());
        }
        QCOMPARE(Zip::archive(entries), zip); // fixed time stamp: same bytes every time
    }

    void packages_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("roots"); // root element of each part as {namespace}name

        const QString rels = QStringLiteral("{http://schemas.openxmlformats.org/package/2006/relationships}Relationships");
        const QString types = QStringLiteral("{http://schemas.openxmlformats.org/package/2006/content-types}Types");
        const QString sml = QStringLiteral("{http://schemas.openxmlformats.org/spreadsheetml/2006/main}");
        const QString pml = QStringLiteral("{http://schemas.openxmlformats.org/presentationml/2006/main}");
        QTest::newRow("word") << "word" << "docx"
                              << QStringList{"[Content_Types].xml", "_rels/.rels", "word/document.xml"}
                              << QStringList{types, rels, "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}document"};
        QTest::newRow("excel") << "excel" << "xlsx"
                               << QStringList{"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                                              "xl/_rels/workbook.xml.rels", "xl/worksheets/sheet1.xml"}
                               << QStringList{types, rels, sml + "workbook", rels, sml + "worksheet"};
        QTest::newRow("powerPoint")
            << "powerPoint" << "pptx"
            << QStringList{"[Content_Types].xml",
                           "_rels/.rels",
                           "ppt/presentation.xml",
                           "ppt/_rels/presentation.xml.rels",
                           "ppt/slides/slide1.xml",
                           "ppt/slides/_rels/slide1.xml.rels",
                           "ppt/slideLayouts/slideLayout1.xml",
                           "ppt/slideLayouts/_rels/slideLayout1.xml.rels",
                           "ppt/slideMasters/slideMaster1.xml",
                           "ppt/slideMasters/_rels/slideMaster1.xml.rels",
                           "ppt/theme/theme1.xml"}
            << QStringList{types,
                           rels,
                           pml + "presentation",
                           rels,
                           pml + "sld",
                           rels,
                           pml + "sldLayout",
                           rels,
                           pml + "sldMaster",
                           rels,
                           "{http://schemas.openxmlformats.org/drawingml/2006/main}theme"};
    }
    void packages()
    {
        QFETCH(QString, kind);
        QFETCH(QString, extension);
        QFETCH(QStringList, paths);
        QFETCH(QStringList, roots);

        const auto k = OfficeDocument::kindFromRaw(kind);
        QVERIFY(k);
        QCOMPARE(OfficeDocument::fileExtension(*k), extension);
        QString why;
        const auto read = unzip(OfficeDocument::data(*k), &why);
        QVERIFY2(read, qPrintable(why));

        QStringList names;
        for (const auto& e : *read)
            names << e.name;
        QCOMPARE(names, paths);

        QStringList overrides;
        QStringList targets;
        for (int i = 0; i < read->size(); ++i) {
            const auto& [name, body] = read->at(i);
            const QByteArray declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
            QVERIFY2(body.startsWith(declaration), qPrintable(name));
            QVERIFY2(!body.mid(declaration.size()).contains('\n'), qPrintable(name + " has more than one line"));
            QXmlStreamReader xml(body);
            bool sawRoot = false;
            while (!xml.atEnd()) {
                xml.readNext();
                if (!xml.isStartElement())
                    continue;
                if (!sawRoot) {
                    QCOMPARE(QStringLiteral("{%1}%2").arg(xml.namespaceUri(), xml.name()), roots[i]);
                    sawRoot = true;
                }
                if (xml.name() == u"Override")
                    overrides << xml.attributes().value(QStringLiteral("PartName")).toString();
                if (xml.name() == u"Relationship")
                    targets << resolve(name, xml.attributes().value(QStringLiteral("Target")).toString());
            }
            QVERIFY2(!xml.hasError(), qPrintable(name + QStringLiteral(": ") + xml.errorString()));
        }
        // Every relationship points at a part of the package, and every XML part has its type.
        for (const QString& target : targets)
            QVERIFY2(paths.contains(target), qPrintable(target));
        for (const QString& path : paths) {
            if (path == u"[Content_Types].xml" || path.endsWith(u".rels"))
                continue;
            QVERIFY2(overrides.contains(u'/' + path), qPrintable(path + " has no content type"));
        }
    }

    void kindsAreExact()
    {
        QCOMPARE(OfficeDocument::kindFromRaw(QStringLiteral("Word")), std::nullopt);
        QCOMPARE(OfficeDocument::kindFromRaw(QStringLiteral("powerpoint")), std::nullopt);
        QCOMPARE(OfficeDocument::kindFromRaw(QStringLiteral("excel")), std::optional(OfficeDocument::Kind::excel));
    }
};

QTEST_GUILESS_MAIN(TestOfficeZip)
#include "tst_OfficeZip.moc"
