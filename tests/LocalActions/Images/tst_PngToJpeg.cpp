#include "LocalActions/Images/ImageConverter.h"
#include "LocalActions/Images/PngToJpeg.h"
#include "LocalActions/Transfers/FileOperations.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <png.h>

namespace {

// A PNG written with libpng itself, so that its colour type, depth, interlacing and colour chunks
// are exactly the case's.
struct PngShape {
    int width = 96;
    int height = 64;
    int colourType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlaced = false;
    bool transparency = false; // a tRNS chunk
    bool greyPalette = false;  // every colour of the palette a grey
    bool srgb = false;
    double gamma = 0;            // a gAMA chunk with this file gamma
    QList<double> chromaticities; // a cHRM chunk: white, red, green and blue, x and y of each
    QByteArray profile;          // an iCCP chunk
};

QByteArray displayP3()
{
    return QColorSpace(QColorSpace::DisplayP3).iccProfile();
}

// A profile whose header and tag table pass libpng's checks but whose red colourant is no XYZ
// value: Qt cannot read it.
QByteArray unreadableProfile()
{
    QByteArray icc = displayP3();
    const auto be32 = [&](qsizetype at) {
        return quint32(quint8(icc[at])) << 24 | quint32(quint8(icc[at + 1])) << 16 | quint32(quint8(icc[at + 2])) << 8
               | quint32(quint8(icc[at + 3]));
    };
    for (quint32 tag = 0, count = be32(128); tag < count; ++tag) {
        const qsizetype entry = 132 + qsizetype(tag) * 12;
        if (icc.mid(entry, 4) == "rXYZ")
            icc.replace(qsizetype(be32(entry + 4)), 4, "junk");
    }
    return icc;
}

// The colour profile a JPEG carries, its APP2 pieces put together; empty for none.
QByteArray profileOf(const QByteArray& jpeg)
{
    QByteArray profile;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && quint8(jpeg[at]) == 0xFF) {
        const quint8 marker = quint8(jpeg[at + 1]);
        if (marker == 0xDA) // the image data follows: no more headers
            break;
        const qsizetype length = quint8(jpeg[at + 2]) << 8 | quint8(jpeg[at + 3]);
        const QByteArray segment = jpeg.mid(at + 4, length - 2);
        if (marker == 0xE2 && segment.startsWith(QByteArrayView("ICC_PROFILE\0", 12)))
            profile += segment.mid(14);
        at += 2 + length;
    }
    return profile;
}

int channels(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    default:
        return 4;
    }
}

bool writePng(const QString& path, const PngShape& shape)
{
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(shape.width), png_uint_32(shape.height), shape.depth, shape.colourType,
                 shape.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette(256);
    std::vector<png_byte> alphas(256);
    for (int i = 0; i < 256; ++i) {
        palette[size_t(i)] = shape.greyPalette ? png_color{png_byte(255 - i), png_byte(255 - i), png_byte(255 - i)}
                                               : png_color{png_byte(i), png_byte(255 - i), png_byte((i * 7) & 0xff)};
        alphas[size_t(i)] = png_byte(i);
    }
    if (shape.colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette.data(), std::min(256, 1 << shape.depth));
    if (shape.transparency) {
        png_color_16 grey{};
        grey.gray = 40;
        grey.red = 40;
        png_set_tRNS(png, info, alphas.data(), shape.colourType == PNG_COLOR_TYPE_PALETTE ? std::min(256, 1 << shape.depth) : 0,
                     &grey);
    }
    if (shape.srgb)
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    if (shape.gamma > 0)
        png_set_gAMA(png, info, shape.gamma);
    if (shape.chromaticities.size() == 8) {
        const QList<double>& c = shape.chromaticities;
        png_set_cHRM(png, info, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    }
    if (!shape.profile.isEmpty())
        png_set_iCCP(png, info, "profile", 0, reinterpret_cast<png_const_bytep>(shape.profile.constData()),
                     png_uint_32(shape.profile.size()));
    png_write_info(png, info);
    if (shape.depth == 16)
        png_set_swap(png);
    const int bytes = shape.depth == 16 ? 2 : 1;
    const size_t stride = size_t(shape.width) * size_t(channels(shape.colourType)) * size_t(bytes);
    std::vector<png_byte> image(stride * size_t(shape.height));
    quint32 state = 7;
    for (int y = 0; y < shape.height; ++y)
        for (size_t i = 0; i < stride; ++i) {
            state = state * 1664525u + 1013904223u;
            // Gradients with grain, and the alpha and palette indices busy too.
            image[size_t(y) * stride + i] = png_byte((int(i) * 3 + y * 2 + int(state >> 29)) & 0xff);
        }
    std::vector<png_bytep> rows(size_t(shape.height));
    for (int y = 0; y < shape.height; ++y)
        rows[size_t(y)] = image.data() + size_t(y) * stride;
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// What the general road makes of the file: Qt's reader, the pixels and colour space alone, Qt's
// JPEG writer with optimised tables.
QByteArray generalRoad(const QString& path, int quality)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    QImage bare(image.constBits(), image.width(), image.height(), image.bytesPerLine(), image.format());
    if (image.format() == QImage::Format_Indexed8)
        bare.setColorTable(image.colorTable());
    bare.setColorSpace(image.colorSpace());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setOptimizedWrite(true);
    return writer.write(bare) ? bytes : QByteArray();
}

QImage decoded(const QByteArray& jpeg)
{
    return QImage::fromData(jpeg, "jpeg");
}

} // namespace

Q_DECLARE_METATYPE(PngShape)

class PngToJpegTest : public QObject {
    Q_OBJECT
private slots:
    void sameResultAsTheGeneralRoad_data();
    void sameResultAsTheGeneralRoad();
    void othersGoTheGeneralRoad_data();
    void othersGoTheGeneralRoad();
    void aDamagedFileIsLeftToTheGeneralRoad();
    void bothRoadsWriteTheSameFile_data();
    void bothRoadsWriteTheSameFile();
};

void PngToJpegTest::sameResultAsTheGeneralRoad_data()
{
    QTest::addColumn<PngShape>("shape");
    QTest::addColumn<int>("quality");
    QTest::newRow("colour") << PngShape{} << 80;
    QTest::newRow("colour, best quality") << PngShape{} << 100;
    QTest::newRow("colour, worst quality") << PngShape{} << 1;
    QTest::newRow("with alpha") << PngShape{.colourType = PNG_COLOR_TYPE_RGB_ALPHA} << 80;
    QTest::newRow("with a transparent colour") << PngShape{.transparency = true} << 80;
    QTest::newRow("grey") << PngShape{.colourType = PNG_COLOR_TYPE_GRAY} << 80;
    QTest::newRow("palette") << PngShape{.colourType = PNG_COLOR_TYPE_PALETTE} << 80;
    QTest::newRow("palette with transparency") << PngShape{.colourType = PNG_COLOR_TYPE_PALETTE, .transparency = true} << 80;
    QTest::newRow("palette of greys") << PngShape{.colourType = PNG_COLOR_TYPE_PALETTE, .greyPalette = true} << 80;
    QTest::newRow("palette of 16 greys") << PngShape{.colourType = PNG_COLOR_TYPE_PALETTE, .depth = 4, .greyPalette = true} << 80;
    QTest::newRow("palette of greys with transparency")
        << PngShape{.colourType = PNG_COLOR_TYPE_PALETTE, .transparency = true, .greyPalette = true} << 80;
    // Colour information: the profile written is the one the general road decides on, whichever
    // chunks the file has.
    const QList<double> srgbPrimaries{0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.06};
    const QList<double> widePrimaries{0.3127, 0.329, 0.64, 0.33, 0.21, 0.71, 0.15, 0.06};
    QTest::newRow("sRGB") << PngShape{.srgb = true} << 80;
    QTest::newRow("sRGB with its gamma and primaries")
        << PngShape{.srgb = true, .gamma = 0.45455, .chromaticities = srgbPrimaries} << 80;
    QTest::newRow("gamma and primaries, as ImageMagick writes them")
        << PngShape{.gamma = 0.45455, .chromaticities = srgbPrimaries} << 80;
    QTest::newRow("gamma alone") << PngShape{.gamma = 1.0 / 1.8} << 80;
    QTest::newRow("primaries alone") << PngShape{.chromaticities = widePrimaries} << 80;
    QTest::newRow("gamma and primaries of their own")
        << PngShape{.gamma = 1.0 / 2.6, .chromaticities = widePrimaries} << 80;
    QTest::newRow("primaries that make no colour space")
        << PngShape{.gamma = 0.45455, .chromaticities = {0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.0}} << 80;
    QTest::newRow("grey in sRGB") << PngShape{.colourType = PNG_COLOR_TYPE_GRAY, .srgb = true} << 80;
    QTest::newRow("grey with gamma and primaries")
        << PngShape{.colourType = PNG_COLOR_TYPE_GRAY, .gamma = 0.45455, .chromaticities = srgbPrimaries} << 80;
    QTest::newRow("palette with gamma and primaries")
        << PngShape{.colourType = PNG_COLOR_TYPE_PALETTE, .gamma = 0.45455, .chromaticities = srgbPrimaries} << 80;
    QTest::newRow("palette of greys in sRGB")
        << PngShape{.colourType = PNG_COLOR_TYPE_PALETTE, .greyPalette = true, .srgb = true} << 80;
    QTest::newRow("an embedded profile") << PngShape{.profile = displayP3()} << 80;
    QTest::newRow("an embedded profile beside gamma and primaries")
        << PngShape{.gamma = 1.0 / 1.8, .chromaticities = widePrimaries, .profile = displayP3()} << 80;
    QTest::newRow("several bands, odd size") << PngShape{.width = 131, .height = 333} << 75;
    QTest::newRow("one row per band's end") << PngShape{.width = 40, .height = 193} << 75;
    QTest::newRow("one pixel") << PngShape{.width = 1, .height = 1} << 80;
}

void PngToJpegTest::sameResultAsTheGeneralRoad()
{
    QFETCH(PngShape, shape);
    QFETCH(int, quality);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.png"));
    QVERIFY(writePng(path, shape));
    const auto streamed = PngToJpeg::convert(path, quality);
    QVERIFY(streamed);
    const QByteArray reference = generalRoad(path, quality);
    QVERIFY(!reference.isEmpty());
    const QImage ours = decoded(*streamed), theirs = decoded(reference);
    QVERIFY(!ours.isNull());
    QCOMPARE(ours.size(), QSize(shape.width, shape.height));
    QCOMPARE(ours.format(), theirs.format()); // grey stays grey, colour stays colour
    QCOMPARE(ours.colorSpace(), theirs.colorSpace());
    QCOMPARE(profileOf(*streamed), profileOf(reference)); // byte for byte
    QVERIFY(ours == theirs); // the very same pixels
    QVERIFY(streamed->size() <= reference.size() + 64);
}

void PngToJpegTest::othersGoTheGeneralRoad_data()
{
    QTest::addColumn<PngShape>("shape");
    QTest::newRow("interlaced") << PngShape{.interlaced = true};
    QTest::newRow("16 bits") << PngShape{.depth = 16};
    QTest::newRow("grey with a transparent value") << PngShape{.colourType = PNG_COLOR_TYPE_GRAY, .transparency = true};
    QTest::newRow("grey with alpha") << PngShape{.colourType = PNG_COLOR_TYPE_GRAY_ALPHA};
    QTest::newRow("grey of 4 bits") << PngShape{.colourType = PNG_COLOR_TYPE_GRAY, .depth = 4};
    QTest::newRow("a profile Qt cannot read") << PngShape{.profile = unreadableProfile()};
    QTest::newRow("a profile Qt cannot read, beside gamma")
        << PngShape{.gamma = 0.45455, .profile = unreadableProfile()};
}

void PngToJpegTest::othersGoTheGeneralRoad()
{
    QFETCH(PngShape, shape);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.png"));
    QVERIFY(writePng(path, shape));
    QVERIFY(!PngToJpeg::convert(path, 80));
    // The converter still converts it.
    DiskFileOperations disk;
    const auto result = ImageConverter().convert(QUrl::fromLocalFile(path), ImageFormat::jpeg, 80, std::nullopt, disk);
    QVERIFY(result);
    const QImage image(result->toLocalFile(), "jpeg");
    QCOMPARE(image.size(), QSize(shape.width, shape.height));
}

void PngToJpegTest::aDamagedFileIsLeftToTheGeneralRoad()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.png"));
    QVERIFY(writePng(path, PngShape{.width = 300, .height = 400}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray whole = file.readAll();
    for (qsizetype keep : {whole.size() / 2, qsizetype(40), qsizetype(8)}) {
        QVERIFY(file.resize(keep));
        QVERIFY(!PngToJpeg::convert(path, 80)); // nothing half-made, no thread left waiting
    }
    QVERIFY(!PngToJpeg::convert(dir.filePath(QStringLiteral("missing.png")), 80));
    QVERIFY(file.resize(0) && file.write("not a PNG at all") > 0);
    file.close();
    QVERIFY(!PngToJpeg::convert(path, 80));
}

// The same pixels, streamed and through the general road (which an interlaced file takes): the
// same JPEG, density and colour profile included.
void PngToJpegTest::bothRoadsWriteTheSameFile_data()
{
    QTest::addColumn<PngShape>("shape");
    QTest::newRow("colour") << PngShape{};
    QTest::newRow("grey") << PngShape{.colourType = PNG_COLOR_TYPE_GRAY};
    QTest::newRow("gamma and primaries")
        << PngShape{.gamma = 0.45455, .chromaticities = {0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.06}};
}

void PngToJpegTest::bothRoadsWriteTheSameFile()
{
    QFETCH(PngShape, shape);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("streamed")) && QDir(dir.path()).mkdir(QStringLiteral("general")));
    const QString streamed = dir.filePath(QStringLiteral("streamed/p.png"));
    const QString general = dir.filePath(QStringLiteral("general/p.png"));
    QVERIFY(writePng(streamed, shape));
    shape.interlaced = true;
    QVERIFY(writePng(general, shape));
    QVERIFY(PngToJpeg::convert(streamed, 80));
    QVERIFY(!PngToJpeg::convert(general, 80));
    DiskFileOperations disk;
    const auto fromStream = ImageConverter().convert(QUrl::fromLocalFile(streamed), ImageFormat::jpeg, 80, std::nullopt, disk);
    const auto fromGeneral = ImageConverter().convert(QUrl::fromLocalFile(general), ImageFormat::jpeg, 80, std::nullopt, disk);
    QVERIFY(fromStream && fromGeneral);
    QFile a(fromStream->toLocalFile()), b(fromGeneral->toLocalFile());
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray ours = a.readAll(), theirs = b.readAll();
    QCOMPARE(ours.left(20).toHex(' '), theirs.left(20).toHex(' ')); // the header, density included
    QVERIFY(ours == theirs);
}

QTEST_GUILESS_MAIN(PngToJpegTest)
#include "tst_PngToJpeg.moc"
