#include "LocalActions/Files/OfficeDocument.h"

namespace OfficeDocument {
namespace {

const QString declaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");

const QString contentTypesNS = QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types");
const QString packageRelationshipsNS = QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");
const QString relationshipsNS = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString wordNS = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QString spreadsheetNS = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString presentationNS = QStringLiteral("http://schemas.openxmlformats.org/presentationml/2006/main");
const QString drawingNS = QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main");

QString relationshipType(const char* name)
{
    return relationshipsNS + u'/' + QLatin1String(name);
}

struct Relationship {
    QString id;
    QString type;
    QString target;
};

QString relationships(const QList<Relationship>& list)
{
    QString xml = declaration + QStringLiteral("<Relationships xmlns=\"%1\">").arg(packageRelationshipsNS);
    for (const auto& r : list)
        xml += QStringLiteral("<Relationship Id=\"%1\" Type=\"%2\" Target=\"%3\"/>").arg(r.id, r.type, r.target);
    return xml + QStringLiteral("</Relationships>");
}

QString singleRelationship(const char* type, const QString& target)
{
    return relationships({{QStringLiteral("rId1"), relationshipType(type), target}});
}

QString contentTypes(const QList<std::pair<QString, QString>>& overrides)
{
    QString xml = declaration + QStringLiteral("<Types xmlns=\"%1\">").arg(contentTypesNS)
        + QStringLiteral("<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>");
    for (const auto& [part, type] : overrides)
        xml += QStringLiteral("<Override PartName=\"%1\" ContentType=\"%2\"/>").arg(part, type);
    return xml + QStringLiteral("</Types>");
}

// The presentation parts declare a, r and p, in this order.
QString presentationNamespaces()
{
    return QStringLiteral(" xmlns:a=\"%1\" xmlns:r=\"%2\" xmlns:p=\"%3\"").arg(drawingNS, relationshipsNS, presentationNS);
}

const QString emptyShapeTree = QStringLiteral(
    "<p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr/></p:spTree>");

const QString colourOverride = QStringLiteral("<p:clrMapOvr><a:overrideClrMapping/></p:clrMapOvr>");

QString themeText()
{
    auto srgb = [](const char* slot, const char* rgb) {
        return QStringLiteral("<a:%1><a:srgbClr val=\"%2\"/></a:%1>").arg(QLatin1String(slot), QLatin1String(rgb));
    };
    const QString solidFill = QStringLiteral("<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>");
    const QString font = QStringLiteral("<a:latin typeface=\"%1\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/>");

    QString xml = declaration + QStringLiteral("<a:theme xmlns:a=\"%1\" name=\"Office\"><a:themeElements>").arg(drawingNS);
    xml += QStringLiteral("<a:clrScheme name=\"Office\">"
                          "<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
                          "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>");
    xml += srgb("dk2", "44546A") + srgb("lt2", "E7E6E6") + srgb("accent1", "4472C4") + srgb("accent2", "ED7D31")
        + srgb("accent3", "A5A5A5") + srgb("accent4", "FFC000") + srgb("accent5", "5B9BD5")
        + srgb("accent6", "70AD47") + srgb("hlink", "0563C1") + srgb("folHlink", "954F72");
    xml += QStringLiteral("</a:clrScheme>");
    xml += QStringLiteral("<a:fontScheme name=\"Office\"><a:majorFont>") + font.arg(QStringLiteral("Calibri Light"))
        + QStringLiteral("</a:majorFont><a:minorFont>") + font.arg(QStringLiteral("Calibri"))
        + QStringLiteral("</a:minorFont></a:fontScheme>");
    xml += QStringLiteral("<a:fmtScheme name=\"Office\"><a:fillStyleLst>") + solidFill + solidFill + solidFill
        + QStringLiteral("</a:fillStyleLst><a:lnStyleLst>");
    for (const char* width : {"6350", "12700", "19050"})
        xml += QStringLiteral("<a:ln w=\"%1\">").arg(QLatin1String(width)) + solidFill + QStringLiteral("</a:ln>");
    xml += QStringLiteral("</a:lnStyleLst><a:effectStyleLst>");
    for (int i = 0; i < 3; ++i)
        xml += QStringLiteral("<a:effectStyle><a:effectLst/></a:effectStyle>");
    xml += QStringLiteral("</a:effectStyleLst><a:bgFillStyleLst>") + solidFill + solidFill + solidFill
        + QStringLiteral("</a:bgFillStyleLst></a:fmtScheme>");
    return xml + QStringLiteral("</a:themeElements></a:theme>");
}

} // namespace

QString toRaw(Kind kind)
{
    switch (kind) {
    case Kind::word: return QStringLiteral("word");
    case Kind::excel: return QStringLiteral("excel");
    case Kind::powerPoint: return QStringLiteral("powerPoint");
    }
    return {};
}

std::optional<Kind> kindFromRaw(const QString& raw)
{
    for (const auto kind : allKinds)
        if (toRaw(kind) == raw)
            return kind;
    return std::nullopt;
}

QString fileExtension(Kind kind)
{
    switch (kind) {
    case Kind::word: return QStringLiteral("docx");
    case Kind::excel: return QStringLiteral("xlsx");
    case Kind::powerPoint: return QStringLiteral("pptx");
    }
    return {};
}

const QString& theme()
{
    static const QString text = themeText();
    return text;
}

const QList<Zip::Entry>& wordParts()
{
    static const QList<Zip::Entry> list{
        {QStringLiteral("[Content_Types].xml"),
         contentTypes({{QStringLiteral("/word/document.xml"),
                        QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml")}})},
        {QStringLiteral("_rels/.rels"), singleRelationship("officeDocument", QStringLiteral("word/document.xml"))},
        {QStringLiteral("word/document.xml"),
         declaration + QStringLiteral("<w:document xmlns:w=\"%1\"><w:body><w:p/></w:body></w:document>").arg(wordNS)},
    };
    return list;
}

const QList<Zip::Entry>& excelParts()
{
    static const QList<Zip::Entry> list{
        {QStringLiteral("[Content_Types].xml"),
         contentTypes({{QStringLiteral("/xl/workbook.xml"),
                        QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml")},
                       {QStringLiteral("/xl/worksheets/sheet1.xml"),
                        QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml")}})},
        {QStringLiteral("_rels/.rels"), singleRelationship("officeDocument", QStringLiteral("xl/workbook.xml"))},
        {QStringLiteral("xl/workbook.xml"),
         declaration
             + QStringLiteral("<workbook xmlns=\"%1\" xmlns:r=\"%2\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>")
                   .arg(spreadsheetNS, relationshipsNS)},
        {QStringLiteral("xl/_rels/workbook.xml.rels"), singleRelationship("worksheet", QStringLiteral("worksheets/sheet1.xml"))},
        {QStringLiteral("xl/worksheets/sheet1.xml"),
         declaration + QStringLiteral("<worksheet xmlns=\"%1\"><sheetData/></worksheet>").arg(spreadsheetNS)},
    };
    return list;
}

const QList<Zip::Entry>& powerPointParts()
{
    static const QList<Zip::Entry> list{
        {QStringLiteral("[Content_Types].xml"),
         contentTypes({
             {QStringLiteral("/ppt/presentation.xml"),
              QStringLiteral("application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml")},
             {QStringLiteral("/ppt/slides/slide1.xml"),
              QStringLiteral("application/vnd.openxmlformats-officedocument.presentationml.slide+xml")},
             {QStringLiteral("/ppt/slideLayouts/slideLayout1.xml"),
              QStringLiteral("application/vnd.openxmlformats-officedocument.presentationml.slideLayout+xml")},
             {QStringLiteral("/ppt/slideMasters/slideMaster1.xml"),
              QStringLiteral("application/vnd.openxmlformats-officedocument.presentationml.slideMaster+xml")},
             {QStringLiteral("/ppt/theme/theme1.xml"), QStringLiteral("application/vnd.openxmlformats-officedocument.theme+xml")},
         })},
        {QStringLiteral("_rels/.rels"), singleRelationship("officeDocument", QStringLiteral("ppt/presentation.xml"))},
        {QStringLiteral("ppt/presentation.xml"),
         declaration + QStringLiteral("<p:presentation") + presentationNamespaces()
             + QStringLiteral(">"
                              "<p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" r:id=\"rId1\"/></p:sldMasterIdLst>"
                              "<p:sldIdLst><p:sldId id=\"256\" r:id=\"rId2\"/></p:sldIdLst>"
                              "<p:sldSz cx=\"12192000\" cy=\"6858000\"/>"
                              "<p:notesSz cx=\"6858000\" cy=\"9144000\"/>"
                              "</p:presentation>")},
        {QStringLiteral("ppt/_rels/presentation.xml.rels"),
         relationships({{QStringLiteral("rId1"), relationshipType("slideMaster"), QStringLiteral("slideMasters/slideMaster1.xml")},
                        {QStringLiteral("rId2"), relationshipType("slide"), QStringLiteral("slides/slide1.xml")}})},
        {QStringLiteral("ppt/slides/slide1.xml"),
         declaration + QStringLiteral("<p:sld") + presentationNamespaces() + QStringLiteral("><p:cSld>") + emptyShapeTree
             + QStringLiteral("</p:cSld>") + colourOverride + QStringLiteral("</p:sld>")},
        {QStringLiteral("ppt/slides/_rels/slide1.xml.rels"),
         singleRelationship("slideLayout", QStringLiteral("../slideLayouts/slideLayout1.xml"))},
        {QStringLiteral("ppt/slideLayouts/slideLayout1.xml"),
         declaration + QStringLiteral("<p:sldLayout") + presentationNamespaces()
             + QStringLiteral(" type=\"blank\"><p:cSld name=\"Blank\">") + emptyShapeTree + QStringLiteral("</p:cSld>")
             + colourOverride + QStringLiteral("</p:sldLayout>")},
        {QStringLiteral("ppt/slideLayouts/_rels/slideLayout1.xml.rels"),
         singleRelationship("slideMaster", QStringLiteral("../slideMasters/slideMaster1.xml"))},
        {QStringLiteral("ppt/slideMasters/slideMaster1.xml"),
         declaration + QStringLiteral("<p:sldMaster") + presentationNamespaces() + QStringLiteral("><p:cSld>") + emptyShapeTree
             + QStringLiteral("</p:cSld>"
                              "<p:clrMap bg1=\"lt1\" tx1=\"dk1\" bg2=\"lt2\" tx2=\"dk2\" accent1=\"accent1\" accent2=\"accent2\""
                              " accent3=\"accent3\" accent4=\"accent4\" accent5=\"accent5\" accent6=\"accent6\""
                              " hlink=\"hlink\" folHlink=\"folHlink\"/>"
                              "<p:sldLayoutIdLst><p:sldLayoutId id=\"2147483649\" r:id=\"rId1\"/></p:sldLayoutIdLst>"
                              "</p:sldMaster>")},
        {QStringLiteral("ppt/slideMasters/_rels/slideMaster1.xml.rels"),
         relationships({{QStringLiteral("rId1"), relationshipType("slideLayout"), QStringLiteral("../slideLayouts/slideLayout1.xml")},
                        {QStringLiteral("rId2"), relationshipType("theme"), QStringLiteral("../theme/theme1.xml")}})},
        {QStringLiteral("ppt/theme/theme1.xml"), theme()},
    };
    return list;
}

const QList<Zip::Entry>& parts(Kind kind)
{
    switch (kind) {
    case Kind::word: return wordParts();
    case Kind::excel: return excelParts();
    case Kind::powerPoint: return powerPointParts();
    }
    return wordParts();
}

QByteArray data(Kind kind)
{
    return Zip::archive(parts(kind));
}

} // namespace OfficeDocument
