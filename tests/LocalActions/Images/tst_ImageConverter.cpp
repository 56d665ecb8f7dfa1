#include "LocalActions/Images/HeifCodec.h"
#include "LocalActions/Images/ImageConverter.h"
#include "LocalActions/Transfers/FileOperations.h"
#include "SecurityCore/PathNames.h"
#include "SecurityCore/PrivacyLog.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

// Left half red, right half blue, a green square in the top left corner: orientation and
// proportions show in a few pixels.
QImage sample(int width = 64, int height = 32)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < width / 4 && y < height / 4 ? qRgb(0, 200, 0)
                                 : x < width / 2                  ? qRgb(220, 20, 20)
                                                                  : qRgb(20, 20, 220));
    return image;
}

// Busy pixels, so that most of an encoded file is image data rather than headers.
QImage noisy(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            image.setPixel(x, y, qRgb(int(state >> 24), int(state >> 16) & 0xff, (x + y) & 0xff));
        }
    return image;
}

QByteArray encodedSample(ImageFormat format, const QImage& image = sample())
{
    if (format == ImageFormat::heic)
        return HeifCodec::encode(image, 90).value_or(QByteArray());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, toRaw(format).toLatin1());
    writer.setQuality(95);
    writer.write(image);
    return bytes;
}

QString write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Reads back what the converter wrote, by content; orientation tags are honoured, so a tag left in
// the output would show.
QImage readBack(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    QImage image;
    if (reader.read(&image))
        return image;
    return HeifCodec::read(contents(path), true).value_or(QImage());
}

QString formatByContent(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (reader.canRead())
        return QString::fromLatin1(reader.format());
    return HeifCodec::read(contents(path), true) ? QStringLiteral("heic") : QString();
}

bool near(QRgb a, QRgb b, int tolerance = 40)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// An EXIF block saying "rotate 90° clockwise to display", put right after the start marker.
QByteArray withOrientationSix(const QByteArray& jpeg)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff += QByteArray("\x01\0", 2);                          // one entry
    tiff += QByteArray("\x12\x01\x03\0\x01\0\0\0\x06\0\0\0", 12); // Orientation, SHORT, 1, 6
    tiff += QByteArray("\0\0\0\0", 4);                        // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// Two 2×2 frames, red then blue, each pixel coded after a clear code so the codes stay 3 bits.
QByteArray twoFrameGif()
{
    QByteArray gif("GIF89a\x02\0\x02\0\x81\0\0", 13); // 2×2, global table of 4 colours
    gif += QByteArray("\xff\0\0\0\0\xff\0\0\0\0\0\0", 12);  // red, blue, black, black
    auto frame = [&](int colour) {
        gif += QByteArray("\x21\xf9\x04\0\x0a\0\0\0", 8); // graphic control: 0.1 s
        gif += QByteArray("\x2c\0\0\0\0\x02\0\x02\0\0", 10);
        gif += char(2); // minimum code size
        QList<int> codes;
        for (int i = 0; i < 4; ++i)
            codes << 4 << colour;
        codes << 5;
        QByteArray data;
        quint32 bits = 0;
        int count = 0;
        for (int code : codes) {
            bits |= quint32(code) << count;
            count += 3;
            while (count >= 8) {
                data += char(bits & 0xff);
                bits >>= 8;
                count -= 8;
            }
        }
        if (count > 0)
            data += char(bits & 0xff);
        gif += char(data.size());
        gif += data;
        gif += char(0);
    };
    frame(0);
    frame(1);
    gif += char(0x3b);
    return gif;
}

// The disk, with one way to make the final write fail.
class DiskWithFailingCreate final : public FileOperations {
public:
    int failWith = 0;
    bool exists(const QString& path) const override { return m_disk.exists(path); }
    bool isDirectory(const QString& path) const override { return m_disk.isDirectory(path); }
    bool isFile(const QString& path) const override { return m_disk.isFile(path); }
    QString canonicalPath(const QString& path) const override { return m_disk.canonicalPath(path); }
    FileResult createFile(const QString& path, const QByteArray& bytes) override
    {
        if (failWith)
            return std::unexpected(FileError{failWith});
        return m_disk.createFile(path, bytes);
    }
    FileResult copyItem(const QString& from, const QString& to) override { return m_disk.copyItem(from, to); }
    FileResult moveItem(const QString& from, const QString& to) override { return m_disk.moveItem(from, to); }
    FileResult trashItem(const QString& path) override { return m_disk.trashItem(path); }

private:
    DiskFileOperations m_disk;
};

// The disk to read from; files to be created are only noted, never written.
class DiskNotingCreates final : public FileOperations {
public:
    QStringList created;
    bool exists(const QString& path) const override { return m_disk.exists(path); }
    bool isDirectory(const QString& path) const override { return m_disk.isDirectory(path); }
    bool isFile(const QString& path) const override { return m_disk.isFile(path); }
    QString canonicalPath(const QString& path) const override { return m_disk.canonicalPath(path); }
    FileResult createFile(const QString& path, const QByteArray&) override
    {
        created << path;
        return {};
    }
    FileResult copyItem(const QString&, const QString&) override { return std::unexpected(FileError{EROFS}); }
    FileResult moveItem(const QString&, const QString&) override { return std::unexpected(FileError{EROFS}); }
    FileResult trashItem(const QString&) override { return std::unexpected(FileError{EROFS}); }

private:
    DiskFileOperations m_disk;
};

QString describe(const std::expected<QUrl, ImageConverter::ConversionError>& result)
{
    if (result)
        return QStringLiteral("written:") + QFileInfo(result->toLocalFile()).fileName();
    if (const auto* unavailable = std::get_if<ImageConverter::FormatUnavailable>(&result.error()))
        return QStringLiteral("formatUnavailable:") + toRaw(unavailable->format);
    if (std::holds_alternative<ImageConverter::Unreadable>(result.error()))
        return QStringLiteral("unreadable");
    return QStringLiteral("writeFailed");
}

QStringList names(const QList<QUrl>& urls)
{
    QStringList out;
    for (const QUrl& url : urls)
        out << QFileInfo(url.toLocalFile()).fileName();
    return out;
}

} // namespace

Q_DECLARE_METATYPE(ImageFormat)

class ImageConverterTest : public QObject {
    Q_OBJECT

private slots:
    void writesWhatThisSystemOffers();
    void convertsBetweenFormats_data();
    void convertsBetweenFormats();
    void roundTripsHeic();
    void clampsQuality_data();
    void clampsQuality();
    void namesOutputsBeside_data();
    void namesOutputsBeside();
    void resizes_data();
    void resizes();
    void appliesOrientationOnlyWhenResizing();
    void takesTheFirstFrame();
    void failsAloneInABatch();
    void refusesAFormatItCannotWrite();
    void reportsAFailedWrite();
    void refusesARelativePath_data();
    void refusesARelativePath();
    void tellsFormatsByExtension_data();
    void tellsFormatsByExtension();

private:
    DiskFileOperations m_disk;
};

void ImageConverterTest::writesWhatThisSystemOffers()
{
    const QList<ImageFormat> writable = ImageConverter::writableFormats();
    // In the declared order, each one usable (the pair test below writes with every one of them).
    QList<ImageFormat> ordered;
    for (ImageFormat format : imageFormatCases)
        if (writable.contains(format))
            ordered << format;
    QCOMPARE(writable, ordered);
    QCOMPARE(ImageConverter::canWrite(ImageFormat::heic), HeifCodec::canEncode());
    // This build installs every encoder.
    QCOMPARE(writable.size(), 5);
}

void ImageConverterTest::convertsBetweenFormats_data()
{
    QTest::addColumn<ImageFormat>("from");
    QTest::addColumn<ImageFormat>("to");
    for (ImageFormat from : imageFormatCases)
        for (ImageFormat to : ImageConverter::writableFormats())
            QTest::addRow("%s to %s", qPrintable(toRaw(from)), qPrintable(toRaw(to))) << from << to;
}

void ImageConverterTest::convertsBetweenFormats()
{
    QFETCH(ImageFormat, from);
    QFETCH(ImageFormat, to);

    QTemporaryDir dir;
    const QByteArray source = encodedSample(from);
    QVERIFY(!source.isEmpty());
    const QString path = write(dir.filePath(QStringLiteral("picture.") + fileExtension(from)), source);

    const auto result = ImageConverter().convert(QUrl::fromLocalFile(path), to, 90, std::nullopt, m_disk);
    QVERIFY2(result, qPrintable(describe(result)));
    const QString output = result->toLocalFile();
    QCOMPARE(QFileInfo(output).dir().path(), QFileInfo(path).dir().path());
    QCOMPARE(PathNames::extension(output), fileExtension(to));
    QCOMPARE(formatByContent(output), toRaw(to));
    QCOMPARE(contents(path), source); // the source is untouched

    const QImage image = readBack(output);
    QCOMPARE(image.size(), QSize(64, 32));
    QVERIFY(near(image.pixel(2, 2), qRgb(0, 200, 0)));
    QVERIFY(near(image.pixel(24, 24), qRgb(220, 20, 20)));
    QVERIFY(near(image.pixel(60, 28), qRgb(20, 20, 220)));
}

void ImageConverterTest::roundTripsHeic()
{
    QTemporaryDir dir;
    const QImage original = sample(257, 131); // odd sizes: the HEVC coder works in blocks
    const QString png = write(dir.filePath(QStringLiteral("odd.png")), encodedSample(ImageFormat::png, original));
    const auto heic = ImageConverter().convert(QUrl::fromLocalFile(png), ImageFormat::heic, 100, std::nullopt, m_disk);
    QVERIFY(heic);
    QCOMPARE(names({*heic}), QStringList{"odd.heic"});
    const auto back = ImageConverter().convert(*heic, ImageFormat::png, 100, std::nullopt, m_disk);
    QVERIFY(back);
    QCOMPARE(names({*back}), QStringList{"odd 2.png"});
    const QImage image = readBack(back->toLocalFile());
    QCOMPARE(image.size(), original.size());
    for (QPoint p : {QPoint(5, 5), QPoint(100, 100), QPoint(250, 125)})
        QVERIFY2(near(image.pixel(p), original.pixel(p), 24), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
}

void ImageConverterTest::clampsQuality_data()
{
    QTest::addColumn<ImageFormat>("format");
    QTest::addColumn<qint64>("quality");
    QTest::addColumn<qint64>("sameAs");
    QTest::addColumn<qint64>("differentFrom");

    for (ImageFormat format : {ImageFormat::jpeg, ImageFormat::webp, ImageFormat::heic}) {
        QTest::addRow("%s 0 is 1", qPrintable(toRaw(format))) << format << qint64(0) << qint64(1) << qint64(60);
        QTest::addRow("%s -5 is 1", qPrintable(toRaw(format))) << format << qint64(-5) << qint64(1) << qint64(60);
        QTest::addRow("%s 150 is 100", qPrintable(toRaw(format))) << format << qint64(150) << qint64(100) << qint64(60);
    }
    for (ImageFormat format : {ImageFormat::png, ImageFormat::tiff})
        QTest::addRow("%s ignores quality", qPrintable(toRaw(format))) << format << qint64(5) << qint64(100) << qint64(-1);
}

void ImageConverterTest::clampsQuality()
{
    QFETCH(ImageFormat, format);
    QFETCH(qint64, quality);
    QFETCH(qint64, sameAs);
    QFETCH(qint64, differentFrom);

    QTemporaryDir dir;
    const QUrl source = QUrl::fromLocalFile(write(dir.filePath(QStringLiteral("s.png")), encodedSample(ImageFormat::png, sample(96, 64))));
    auto bytesAt = [&](qint64 q) {
        const auto result = ImageConverter().convert(source, format, q, std::nullopt, m_disk);
        return result ? contents(result->toLocalFile()) : QByteArray();
    };
    const QByteArray clamped = bytesAt(quality);
    QVERIFY(!clamped.isEmpty());
    QCOMPARE(clamped, bytesAt(sameAs));
    if (differentFrom >= 0)
        QVERIFY(clamped != bytesAt(differentFrom));
}

void ImageConverterTest::namesOutputsBeside_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<ImageFormat>("format");
    QTest::addColumn<QString>("expected");

    QTest::newRow("jpg to png") << "photo.jpg" << QStringList() << ImageFormat::png << "photo.png";
    QTest::newRow("png to png keeps the source") << "photo.png" << QStringList() << ImageFormat::png << "photo 2.png";
    QTest::newRow("taken names skipped") << "photo.jpg" << QStringList{"photo.png", "photo 2.png"} << ImageFormat::png
                                         << "photo 3.png";
    QTest::newRow("jpeg gets jpg") << "scan.tiff" << QStringList() << ImageFormat::jpeg << "scan.jpg";
    QTest::newRow("only the last extension goes") << "a.b.png" << QStringList() << ImageFormat::webp << "a.b.webp";
    QTest::newRow("a folder takes the name too") << "pic.png" << QStringList{"pic.heic/"} << ImageFormat::heic
                                                 << "pic 2.heic";
}

void ImageConverterTest::namesOutputsBeside()
{
    QFETCH(QString, source);
    QFETCH(QStringList, present);
    QFETCH(ImageFormat, format);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    const auto sourceFormat = ImageConverter::formatForExtension(source);
    QVERIFY(sourceFormat);
    const QByteArray sourceBytes = encodedSample(*sourceFormat);
    const QString path = write(dir.filePath(source), sourceBytes);
    for (const QString& name : present) {
        if (name.endsWith(QLatin1Char('/')))
            QDir(dir.path()).mkdir(name.chopped(1));
        else
            write(dir.filePath(name), "taken");
    }
    const auto result = ImageConverter().convert(QUrl::fromLocalFile(path), format, 80, std::nullopt, m_disk);
    QCOMPARE(describe(result), QStringLiteral("written:") + expected);
    QCOMPARE(contents(path), sourceBytes);
    for (const QString& name : present)
        if (!name.endsWith(QLatin1Char('/')))
            QCOMPARE(contents(dir.filePath(name)), QByteArray("taken"));
}

void ImageConverterTest::resizes_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qint64>("maxPixels");
    QTest::addColumn<QString>("expectedName");
    QTest::addColumn<QString>("expectedFormat");
    QTest::addColumn<QSize>("expectedSize");

    QTest::newRow("wide") << "wide.png" << QSize(400, 100) << qint64(100) << "wide 2.png" << "png" << QSize(100, 25);
    QTest::newRow("tall jpeg") << "tall.jpeg" << QSize(90, 300) << qint64(150) << "tall.jpg" << "jpeg" << QSize(45, 150);
    QTest::newRow("rounding") << "r.webp" << QSize(333, 100) << qint64(100) << "r 2.webp" << "webp" << QSize(100, 30);
    QTest::newRow("within the bound still writes") << "small.png" << QSize(50, 20) << qint64(100) << "small 2.png"
                                                   << "png" << QSize(50, 20);
    QTest::newRow("capital TIFF stays tiff") << "scan.TIFF" << QSize(200, 200) << qint64(64) << "scan.tiff" << "tiff"
                                             << QSize(64, 64);
    QTest::newRow("heic") << "h.heic" << QSize(120, 60) << qint64(60) << "h 2.heic" << "heic" << QSize(60, 30);
    QTest::newRow("unknown extension writes png") << "pic.bmp" << QSize(80, 40) << qint64(40) << "pic.png" << "png"
                                                  << QSize(40, 20);
}

void ImageConverterTest::resizes()
{
    QFETCH(QString, source);
    QFETCH(QSize, size);
    QFETCH(qint64, maxPixels);
    QFETCH(QString, expectedName);
    QFETCH(QString, expectedFormat);
    QFETCH(QSize, expectedSize);

    QTemporaryDir dir;
    const ImageFormat format = ImageConverter::formatForExtension(source).value_or(ImageFormat::png);
    QByteArray bytes;
    if (source.endsWith(QLatin1String(".bmp"))) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "bmp").write(sample(size.width(), size.height()));
    } else {
        bytes = encodedSample(format, sample(size.width(), size.height()));
    }
    const QString path = write(dir.filePath(source), bytes);
    const auto result = ImageConverter().run(FileOperation::resizeImage(maxPixels), {QUrl::fromLocalFile(path)}, m_disk);
    QVERIFY(result.failed.isEmpty());
    QCOMPARE(names(result.produced), QStringList{expectedName});
    const QString output = result.produced.first().toLocalFile();
    QCOMPARE(formatByContent(output), expectedFormat);
    const QImage image = readBack(output);
    QCOMPARE(image.size(), expectedSize);
    QVERIFY(near(image.pixel(0, 0), qRgb(0, 200, 0), 60));
    QVERIFY(near(image.pixel(image.width() - 1, image.height() - 1), qRgb(20, 20, 220), 60));
}

void ImageConverterTest::appliesOrientationOnlyWhenResizing()
{
    QTemporaryDir dir;
    const QString path = write(dir.filePath(QStringLiteral("turned.jpg")),
                               withOrientationSix(encodedSample(ImageFormat::jpeg, sample(40, 20))));
    QImageReader check(path);
    check.setAutoTransform(true);
    QCOMPARE(check.read().size(), QSize(20, 40)); // the fixture carries its tag

    const ImageConverter converter;
    const auto converted = converter.convert(QUrl::fromLocalFile(path), ImageFormat::jpeg, 90, std::nullopt, m_disk);
    QVERIFY(converted);
    // As stored, and without a tag that would turn it when shown.
    const QImage asStored = readBack(converted->toLocalFile());
    QCOMPARE(asStored.size(), QSize(40, 20));
    QVERIFY(near(asStored.pixel(1, 1), qRgb(0, 200, 0)));

    const auto resized = converter.convert(QUrl::fromLocalFile(path), ImageFormat::png, 90, 1000, m_disk);
    QVERIFY(resized);
    const QImage upright = readBack(resized->toLocalFile());
    QCOMPARE(upright.size(), QSize(20, 40));
    QVERIFY(near(upright.pixel(18, 1), qRgb(0, 200, 0))); // the green corner turned to the top right
}

void ImageConverterTest::takesTheFirstFrame()
{
    QTemporaryDir dir;
    const QString path = write(dir.filePath(QStringLiteral("anim.gif")), twoFrameGif());
    QImageReader check(path);
    QCOMPARE(check.imageCount(), 2);

    const auto result = ImageConverter().run(FileOperation::convertImage(ImageFormat::png, 100),
                                             {QUrl::fromLocalFile(path)}, m_disk);
    QCOMPARE(names(result.produced), QStringList{"anim.png"});
    QImageReader reader(result.produced.first().toLocalFile());
    QCOMPARE(reader.imageCount(), 1);
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(2, 2));
    QCOMPARE(QColor(image.pixel(1, 1)), QColor(255, 0, 0));
}

void ImageConverterTest::failsAloneInABatch()
{
    QTemporaryDir dir;
    const QByteArray jpeg = encodedSample(ImageFormat::jpeg);
    const QByteArray png = encodedSample(ImageFormat::png);
    const QByteArray heic = encodedSample(ImageFormat::heic);
    const QByteArray noisyJpeg = encodedSample(ImageFormat::jpeg, noisy(400, 300));
    const QList<QUrl> files{
        QUrl::fromLocalFile(write(dir.filePath("one.png"), png)),
        QUrl::fromLocalFile(write(dir.filePath("notes.txt"), "just some words\n")),
        QUrl::fromLocalFile(write(dir.filePath("cut.jpg"), noisyJpeg.left(noisyJpeg.size() * 2 / 3))),
        QUrl::fromLocalFile(write(dir.filePath("cut.png"), png.left(png.size() / 2))),
        QUrl::fromLocalFile(write(dir.filePath("cut.heic"), heic.left(heic.size() / 2))),
        QUrl::fromLocalFile(write(dir.filePath("noise.png"), QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(500, '\x5a'))),
        QUrl::fromLocalFile(write(dir.filePath("empty.webp"), QByteArray())),
        QUrl::fromLocalFile(dir.filePath("vanished.png")),
        QUrl::fromLocalFile(write(dir.filePath("two.jpg"), jpeg)),
    };
    const auto result = ImageConverter().run(FileOperation::convertImage(ImageFormat::webp, 70), files, m_disk);
    QCOMPARE(names(result.produced), (QStringList{"one.webp", "two.webp"}));
    QCOMPARE(names(result.failed),
             (QStringList{"notes.txt", "cut.jpg", "cut.png", "cut.heic", "noise.png", "empty.webp", "vanished.png"}));
    // Nothing half-written is left for the failed ones.
    QCOMPARE(QDir(dir.path()).entryList({"*.webp"}, QDir::Files), (QStringList{"empty.webp", "one.webp", "two.webp"}));
}

void ImageConverterTest::refusesAFormatItCannotWrite()
{
    QTemporaryDir dir;
    const QList<QUrl> files{QUrl::fromLocalFile(write(dir.filePath("a.png"), encodedSample(ImageFormat::png))),
                            QUrl::fromLocalFile(write(dir.filePath("b.jpg"), encodedSample(ImageFormat::jpeg)))};
    const ImageConverter withoutWebp({ImageFormat::png, ImageFormat::jpeg, ImageFormat::heic, ImageFormat::tiff});
    QCOMPARE(describe(withoutWebp.convert(files.first(), ImageFormat::webp, 80, std::nullopt, m_disk)),
             QStringLiteral("formatUnavailable:webp"));
    const auto result = withoutWebp.run(FileOperation::convertImage(ImageFormat::webp, 80), files, m_disk);
    QCOMPARE(result.failed, files);
    QVERIFY(result.produced.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"a.png", "b.jpg"}));
    // Formats it still writes are not affected.
    QVERIFY(withoutWebp.convert(files.first(), ImageFormat::jpeg, 80, std::nullopt, m_disk));
    // Nor does the streamed PNG to JPEG, with an encoder of its own, write what may not be.
    const ImageConverter withoutJpeg({ImageFormat::png, ImageFormat::heic, ImageFormat::tiff, ImageFormat::webp});
    QCOMPARE(describe(withoutJpeg.convert(files.first(), ImageFormat::jpeg, 80, std::nullopt, m_disk)),
             QStringLiteral("formatUnavailable:jpeg"));
}

void ImageConverterTest::reportsAFailedWrite()
{
    QTemporaryDir dir;
    const QString path = write(dir.filePath(QStringLiteral("Secret Plans.jpg")), encodedSample(ImageFormat::jpeg));
    DiskWithFailingCreate disk;
    disk.failWith = ENOSPC;
    PrivacyLog::Capture capture;
    QCOMPARE(describe(ImageConverter().convert(QUrl::fromLocalFile(path), ImageFormat::png, 80, std::nullopt, disk)),
             QStringLiteral("writeFailed"));
    const auto entries = capture.entries(QStringLiteral("ImageConverter"));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().type, QtCriticalMsg);
    QCOMPARE(entries.first().message,
             QStringLiteral("Encoding failed for ") + PrivacyLog::redact(QUrl::fromLocalFile(path)));
    QVERIFY(!entries.first().message.contains(QLatin1String("Secret")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Secret Plans.jpg"});
}

// A path that is not absolute names no folder to write into: the file is refused, however the
// current folder would resolve it, and nothing is written (an output once landed in "/").
void ImageConverterTest::refusesARelativePath_data()
{
    QTest::addColumn<QUrl>("source");
    QTest::addColumn<ImageFormat>("format");
    QTest::addColumn<int>("maxPixels"); // 0 for none

    QTest::newRow("a bare name, png to jpeg") << QUrl::fromLocalFile("photo.png") << ImageFormat::jpeg << 0;
    QTest::newRow("a bare name, png to png") << QUrl::fromLocalFile("photo.png") << ImageFormat::png << 0;
    QTest::newRow("a bare name, resized") << QUrl::fromLocalFile("photo.png") << ImageFormat::png << 16;
    QTest::newRow("through the current folder") << QUrl::fromLocalFile("./photo.png") << ImageFormat::jpeg << 0;
    QTest::newRow("through a folder") << QUrl::fromLocalFile("sub/photo.png") << ImageFormat::tiff << 0;
    QTest::newRow("a URL without a scheme") << QUrl("photo.png") << ImageFormat::jpeg << 0;
}

void ImageConverterTest::refusesARelativePath()
{
    QFETCH(QUrl, source);
    QFETCH(ImageFormat, format);
    QFETCH(int, maxPixels);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    write(dir.filePath(QStringLiteral("photo.png")), encodedSample(ImageFormat::png));
    write(dir.filePath(QStringLiteral("sub/photo.png")), encodedSample(ImageFormat::png));
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    DiskNotingCreates disk;
    const auto result = ImageConverter().convert(source, format, 80,
                                                 maxPixels ? std::optional<qint64>(maxPixels) : std::nullopt, disk);
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(disk.created.join(u','), QString());
    QCOMPARE(describe(result), QStringLiteral("unreadable"));
}

void ImageConverterTest::tellsFormatsByExtension_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("format");

    QTest::newRow("jpg") << "/a/b.jpg" << "jpeg";
    QTest::newRow("JPEG") << "/a/b.JPEG" << "jpeg";
    QTest::newRow("Tiff") << "/a/b.Tiff" << "tiff";
    QTest::newRow("heic") << "/a/b.heic" << "heic";
    QTest::newRow("tif is not tiff") << "/a/b.tif" << "";
    QTest::newRow("gif") << "/a/b.gif" << "";
    QTest::newRow("no extension") << "/a/png" << "";
    QTest::newRow("dot file") << "/a/.png" << "";
}

void ImageConverterTest::tellsFormatsByExtension()
{
    QFETCH(QString, path);
    QFETCH(QString, format);

    const auto found = ImageConverter::formatForExtension(path);
    QCOMPARE(found ? toRaw(*found) : QString(), format);
}

QTEST_GUILESS_MAIN(ImageConverterTest)
#include "tst_ImageConverter.moc"
