#include "platform/jpegdecoder.h"
#include "platform/jpegencoder.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace {

using Colours = Jpeg::EncodeOptions::Colours;

// Four quadrants: red, green / blue, white.
QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            image.setPixel(x, y,
                !bottom ? (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0))
                        : (right ? qRgb(255, 255, 255) : qRgb(0, 0, 255)));
        }
    }
    return image;
}

// Busy noise, so that the compressed scan is long.
QImage noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            image.setPixel(x, y, qRgb(int(state >> 24), int(state >> 16) & 255, int(state >> 8) & 255));
        }
    }
    return image;
}

void expectNear(QRgb actual, QRgb expected, const char *where)
{
    const int tolerance = 14;
    EXPECT_NEAR(qRed(actual), qRed(expected), tolerance) << where;
    EXPECT_NEAR(qGreen(actual), qGreen(expected), tolerance) << where;
    EXPECT_NEAR(qBlue(actual), qBlue(expected), tolerance) << where;
}

// Offset of the first byte after a marker's two bytes, or -1.
qsizetype findMarker(const QByteArray &jpeg, unsigned char marker)
{
    for (qsizetype i = 0; i + 1 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && uchar(jpeg[i + 1]) == marker)
            return i + 2;
    }
    return -1;
}

// Writes a new width and height into the frame header of a baseline picture.
QByteArray withFrameSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = findMarker(jpeg, 0xC0);
    EXPECT_GT(sof, 0);
    // length (2), precision (1), height (2), width (2)
    jpeg[sof + 3] = char(height >> 8);
    jpeg[sof + 4] = char(height & 255);
    jpeg[sof + 5] = char(width >> 8);
    jpeg[sof + 6] = char(width & 255);
    return jpeg;
}

} // namespace

struct RoundTripCase
{
    const char *name;
    Jpeg::EncodeOptions options;
    QRgb topLeft, topRight, bottomLeft, bottomRight;
};

TEST(JpegDecoder, ReadsEveryKindOfPictureAsRgb32)
{
    const RoundTripCase cases[] = {
        { "baseline colour", { 95, false, Colours::Rgb }, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
            qRgb(255, 255, 255) },
        { "progressive colour", { 95, true, Colours::Rgb }, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
            qRgb(255, 255, 255) },
        // qGray: (11 r + 16 g + 5 b) / 32
        { "greyscale", { 95, false, Colours::Grayscale }, qRgb(87, 87, 87), qRgb(127, 127, 127),
            qRgb(39, 39, 39), qRgb(255, 255, 255) },
        { "Adobe CMYK", { 95, false, Colours::AdobeCmyk }, qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
            qRgb(255, 255, 255) },
    };
    for (const auto &c : cases) {
        const QImage image = Jpeg::decode(Jpeg::encode(quadrants(64, 48), c.options));
        ASSERT_EQ(image.size(), QSize(64, 48)) << c.name;
        EXPECT_EQ(image.format(), QImage::Format_RGB32) << c.name;
        expectNear(image.pixel(16, 12), c.topLeft, c.name);
        expectNear(image.pixel(48, 12), c.topRight, c.name);
        expectNear(image.pixel(16, 36), c.bottomLeft, c.name);
        expectNear(image.pixel(48, 36), c.bottomRight, c.name);
    }
}

TEST(JpegDecoder, SizesThatAreNoMultipleOfTheBlockSize)
{
    for (const QSize size : { QSize(1, 1), QSize(17, 9), QSize(9, 31) }) {
        QImage source(size, QImage::Format_RGB32);
        source.fill(qRgb(200, 100, 50));
        const QImage image = Jpeg::decode(Jpeg::encode(source));
        ASSERT_EQ(image.size(), size);
        expectNear(image.pixel(size.width() - 1, size.height() - 1), qRgb(200, 100, 50), "last pixel");
    }
}

TEST(JpegDecoder, SideLimitIsInclusive)
{
    QImage wide(Jpeg::kMaxSide, 1, QImage::Format_RGB32);
    wide.fill(Qt::gray);
    EXPECT_EQ(Jpeg::decode(Jpeg::encode(wide)).size(), QSize(16384, 1));

    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(Qt::gray);
    const QByteArray jpeg = Jpeg::encode(small);
    for (const QSize size : { QSize(16385, 8), QSize(8, 16385), QSize(65535, 65535) }) {
        try {
            Jpeg::decode(withFrameSize(jpeg, size.width(), size.height()));
            ADD_FAILURE() << size.width() << "x" << size.height() << " was accepted";
        } catch (const JpegError &e) {
            // libjpeg itself refuses sides above 65500 pixels, with its own words.
            if (size.width() <= 65500 && size.height() <= 65500) {
                EXPECT_STREQ(e.what(), "JPEG picture too large");
            }
        }
    }
}

TEST(JpegDecoder, RefusesWhatIsNoCompletePicture)
{
    const QByteArray good = Jpeg::encode(noise(96, 64));
    const qsizetype scan = findMarker(good, 0xDA);
    ASSERT_GT(scan, 0);
    const struct
    {
        const char *name;
        QByteArray data;
    } cases[] = {
        { "empty", QByteArray() },
        { "text", QByteArray("Hintergrund, aber kein JPEG\r\n") },
        { "PNG", QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") },
        { "start marker only", QByteArray::fromHex("ffd8") },
        { "header without scan", good.left(scan - 2) },
        { "scan cut short", good.left(scan + (good.size() - scan) / 2) },
        { "zero width", withFrameSize(good, 0, 64) },
    };
    for (const auto &c : cases)
        EXPECT_THROW(Jpeg::decode(c.data), JpegError) << c.name;
}

TEST(JpegDecoder, MissingEndMarkerAfterCompleteDataIsAccepted)
{
    for (const bool progressive : { false, true }) {
        const QByteArray jpeg = Jpeg::encode(noise(64, 48), { 90, progressive, Colours::Rgb });
        ASSERT_TRUE(jpeg.endsWith(QByteArray::fromHex("ffd9")));
        EXPECT_EQ(Jpeg::decode(jpeg.chopped(2)).size(), QSize(64, 48)) << progressive;
    }
    // Without its last scan a progressive picture only looks complete.
    const QByteArray jpeg = Jpeg::encode(noise(64, 48), { 90, true, Colours::Rgb });
    const qsizetype lastScan = jpeg.lastIndexOf(QByteArray::fromHex("ffda"));
    EXPECT_THROW(Jpeg::decode(jpeg.left(lastScan)), JpegError);
    EXPECT_THROW(Jpeg::decode(jpeg.left(lastScan + (jpeg.size() - lastScan) / 2)), JpegError);
}

TEST(JpegDecoder, LargePicturesAreScaledForTheLargestMonitor)
{
    // libjpeg rounds each scaled side up.
    const struct
    {
        QSize picture, monitor, expected;
    } cases[] = {
        { { 100, 60 }, {}, { 100, 60 } },
        { { 100, 60 }, { 50, 30 }, { 100, 60 } }, // exactly twice each side: 8/8
        { { 100, 60 }, { 49, 30 }, { 88, 53 } }, // 7/8
        { { 100, 60 }, { 40, 30 }, { 75, 45 } }, // 6/8
        { { 60, 100 }, { 40, 30 }, { 30, 50 } }, // 4/8: the height decides
        { { 160, 8 }, { 8, 8 }, { 20, 1 } }, // 1/8, still too wide but within four times the area
    };
    for (const auto &c : cases) {
        QImage source(c.picture, QImage::Format_RGB32);
        source.fill(qRgb(200, 100, 50));
        const QImage image = Jpeg::decode(Jpeg::encode(source), c.monitor);
        EXPECT_EQ(image.size(), c.expected) << c.picture.width() << "x" << c.picture.height();
        expectNear(image.pixel(image.width() - 1, image.height() - 1), qRgb(200, 100, 50), "last pixel");
    }

    QImage huge(4000, 4000, QImage::Format_RGB32);
    huge.fill(qRgb(30, 60, 90));
    const QByteArray jpeg = Jpeg::encode(huge, { 75, false, Colours::Rgb });
    huge = QImage();
    const QImage image = Jpeg::decode(jpeg, QSize(640, 480));
    EXPECT_EQ(image.size(), QSize(500, 500));
    expectNear(image.pixel(250, 250), qRgb(30, 60, 90), "centre");
    // At 1/8 still 500 x 500, more than four times a 200 x 150 monitor.
    EXPECT_THROW(Jpeg::decode(jpeg, QSize(200, 150)), JpegError);
}

TEST(JpegDecoder, PicturesAreDecodedAtTheSmallestScaleThatCoversTheirArea)
{
    const struct
    {
        QSize monitor, area, expected;
    } cases[] = {
        { {}, { 900, 525 }, { 960, 540 } }, // 4/8
        { {}, { 961, 525 }, { 1200, 675 } }, // 5/8: one pixel wider than 4/8 gives
        { {}, { 1920, 1080 }, { 1920, 1080 } },
        { {}, { 3840, 2160 }, { 1920, 1080 } }, // never above full size
        { {}, { 100, 1080 }, { 1920, 1080 } }, // both sides must be covered
        { {}, { 10, 10 }, { 240, 135 } }, // 1/8 at the least
        { { 640, 360 }, { 1920, 1080 }, { 1200, 675 } }, // the monitors' limit comes first
    };
    QImage source(1920, 1080, QImage::Format_RGB32);
    source.fill(qRgb(40, 120, 200));
    const QByteArray jpeg = Jpeg::encode(source);
    for (const auto &c : cases) {
        const QImage image = Jpeg::decode(jpeg, c.monitor, c.area);
        EXPECT_EQ(image.size(), c.expected) << c.area.width() << "x" << c.area.height();
        expectNear(image.pixel(image.width() / 2, image.height() / 2), qRgb(40, 120, 200), "centre");
    }
}

TEST(JpegDecoder, EndlessScansAreRefused)
{
    const QByteArray jpeg = Jpeg::encode(quadrants(32, 32), { 90, true, Colours::Rgb });
    // The first scan of a progressive picture, from its marker to the next marker.
    const qsizetype sosStart = findMarker(jpeg, 0xDA) - 2;
    qsizetype end = sosStart + 2;
    while (!(uchar(jpeg[end]) == 0xFF && uchar(jpeg[end + 1]) != 0 && (uchar(jpeg[end + 1]) & 0xF8) != 0xD0))
        ++end;
    const QByteArray firstScan = jpeg.mid(sosStart, end - sosStart);
    const auto repeated
        = [&](int times) { return jpeg.left(end) + firstScan.repeated(times) + jpeg.mid(end); };
    EXPECT_NO_THROW(Jpeg::decode(repeated(50)));
    EXPECT_THROW(Jpeg::decode(repeated(600)), JpegError);
}

TEST(JpegDecoder, DamagedBytesNeverCrash)
{
    const QByteArray good = Jpeg::encode(quadrants(48, 32), { 80, true, Colours::Rgb });
    std::srand(7);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        QByteArray bad = good;
        const int changes = 1 + std::rand() % 8;
        for (int i = 0; i < changes; ++i)
            bad[std::rand() % bad.size()] = char(std::rand() & 255);
        if (round % 3 == 0)
            bad.truncate(std::rand() % bad.size());
        try {
            const QImage image = Jpeg::decode(bad);
            EXPECT_FALSE(image.isNull());
            EXPECT_LE(image.width(), Jpeg::kMaxSide);
            EXPECT_LE(image.height(), Jpeg::kMaxSide);
        } catch (const JpegError &) {
            ++refused;
        }
    }
    // Every third one is cut short, so many must have been refused.
    EXPECT_GE(refused, 100);
}

TEST(JpegDecoder, ReadsFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Bild.jpg"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Jpeg::encode(quadrants(40, 20)));
    file.close();
    EXPECT_EQ(Jpeg::readFile(path).size(), QSize(40, 20));

    EXPECT_THROW(Jpeg::readFile(dir.filePath(QStringLiteral("fehlt.jpg"))), JpegError);
    EXPECT_THROW(Jpeg::readFile(dir.path()), JpegError);
}
