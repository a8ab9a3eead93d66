#include "display/pictures.h"
#include "platform/jpegencoder.h"
#include "platform/monitors.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

namespace {

QImage filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(data);
}

void writeJpeg(const QString &path, const QImage &image)
{
    writeFile(path, Jpeg::encode(image));
}

// JPEG turns a plain colour into nearly the same colour.
bool isNear(QRgb actual, QRgb expected)
{
    return std::abs(qRed(actual) - qRed(expected)) <= 8 && std::abs(qGreen(actual) - qGreen(expected)) <= 8
        && std::abs(qBlue(actual) - qBlue(expected)) <= 8;
}

class PicturesFolder : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString folder() const { return m_dir.path() + u'/'; }
    QString path(const char *name) const { return folder() + QLatin1String(name); }

    QTemporaryDir m_dir;
};

} // namespace

TEST(Pictures, FittingRules)
{
    const struct
    {
        const char *name;
        PictureFit fit;
        QSize picture, area;
        QRect expected;
    } cases[] = {
        { "wide logo, centred vertically", PictureFit::KeepAspectCentred, { 800, 200 }, { 1280, 720 },
            { 0, 200, 1280, 320 } },
        { "4:3 logo, too high when as wide", PictureFit::KeepAspectCentred, { 400, 300 }, { 1280, 720 },
            { 160, 0, 960, 720 } },
        { "square logo", PictureFit::KeepAspectCentred, { 500, 500 }, { 1280, 720 }, { 280, 0, 720, 720 } },
        { "small logo is enlarged", PictureFit::KeepAspectCentred, { 64, 36 }, { 1280, 720 },
            { 0, 0, 1280, 720 } },
        { "tall logo, too wide when as high", PictureFit::KeepAspectCentred, { 100, 400 }, { 50, 720 },
            { 0, 260, 50, 200 } },
        { "wide logo in a narrow area", PictureFit::KeepAspectCentred, { 800, 200 }, { 100, 720 },
            { 0, 347, 100, 25 } },
        { "main window, default background", PictureFit::KeepAspectTopLeft, { 1920, 1080 }, { 900, 506 },
            { 0, 0, 900, 506 } },
        { "main window, 4:3 background undistorted", PictureFit::KeepAspectTopLeft, { 1600, 1200 },
            { 900, 506 }, { 0, 0, 674, 506 } },
        { "TV window, 4:3 background stretched", PictureFit::Stretch, { 1600, 1200 }, { 1920, 1080 },
            { 0, 0, 1920, 1080 } },
        { "no picture", PictureFit::KeepAspectCentred, { 0, 0 }, { 1280, 720 }, {} },
        { "no area", PictureFit::Stretch, { 800, 200 }, { 0, 0 }, {} },
    };
    for (const auto &c : cases)
        EXPECT_EQ(Pictures::fitRect(c.fit, c.picture, c.area), c.expected) << c.name;
}

// The full picture, or for an area no larger than the main window's box its own copy at that
// size; the decoder's scales keep at least the area's size.
TEST(Pictures, DefaultBackgroundIsCalmAndDark)
{
    const struct
    {
        QSize area;
        QSize decoded;
    } cases[] = {
        { QSize(), QSize(1920, 1080) },
        { QSize(1920, 1080), QSize(1920, 1080) },
        { QSize(1280, 720), QSize(1440, 810) },
        { QSize(900, 506), QSize(900, 506) },
        { QSize(640, 360), QSize(675, 380) },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.area.width());
        const QImage background = Pictures::defaultBackground(c.area);
        ASSERT_EQ(background.size(), c.decoded);
        qint64 sum = 0;
        qint64 samples = 0;
        int brightest = 0;
        int darkest = 255;
        for (int y = 0; y < background.height(); y += 8) {
            for (int x = 0; x < background.width(); x += 8, ++samples) {
                const int grey = qGray(background.pixel(x, y));
                sum += grey;
                brightest = std::max(brightest, grey);
                darkest = std::min(darkest, grey);
            }
        }
        EXPECT_LT(sum / samples, 50);
        EXPECT_LT(brightest, 90) << "white figures need a dark ground everywhere";
        // The compiled-in picture, not the plain stand-in for a missing one.
        EXPECT_GT(brightest - darkest, 10);
    }
}

TEST_F(PicturesFolder, BackgroundFromTheProgramFolderOrTheDefault)
{
    const QImage builtIn = Pictures::defaultBackground();
    const QImage none = Pictures::loadBackground(QStringList { folder() });
    EXPECT_EQ(none, builtIn);

    writeFile(path("Hintergrund.jpg"), "not a JPEG picture\r\n");
    EXPECT_EQ(Pictures::loadBackground(QStringList { folder() }), builtIn);

    writeJpeg(path("Hintergrund.jpg"), filled(1600, 1200, qRgb(40, 90, 160)));
    const QImage own = Pictures::loadBackground(QStringList { folder() });
    EXPECT_EQ(own.size(), QSize(1600, 1200));
    EXPECT_TRUE(isNear(own.pixel(800, 600), qRgb(40, 90, 160)));
}

TEST_F(PicturesFolder, LargePicturesAreReadForTheLargestMonitor)
{
    const FixedMonitorList monitors(
        { QRect(0, 0, 200, 100), QRect(200, 0, 100, 60), QRect(300, 0, 160, 160), QRect(460, 0, 240, 100) });
    const QSize largest = Pictures::largestMonitorSize(monitors);
    EXPECT_EQ(largest, QSize(160, 160));

    writeJpeg(path("Hintergrund.jpg"), filled(720, 480, qRgb(40, 90, 160)));
    const QImage background = Pictures::loadBackground(QStringList { folder() }, largest);
    EXPECT_EQ(background.size(), QSize(270, 180)); // 3/8: at most 320 wide
    EXPECT_TRUE(isNear(background.pixel(135, 90), qRgb(40, 90, 160)));

    // Still above four times the area at 1/8: refused, the logo stays.
    writeJpeg(path("TV-Logo1.jpg"), filled(720, 480, qRgb(220, 30, 30)));
    QImage logo = filled(16, 9, qRgb(1, 2, 3));
    EXPECT_FALSE(Pictures::loadLogo(QStringList { folder() }, 1, logo, QSize(16, 9)));
    EXPECT_EQ(logo, filled(16, 9, qRgb(1, 2, 3)));
    EXPECT_TRUE(Pictures::loadLogo(QStringList { folder() }, 1, logo, QSize(45, 30)));
    EXPECT_EQ(logo.size(), QSize(90, 60));
}

TEST_F(PicturesFolder, NoPlainFileNamedLikeThePictureLeavesItAsItWas)
{
    // A FIFO without a writer would block the start in open(), /dev/zero never ends.
    const struct
    {
        const char *name;
        std::function<bool(const QString &path)> make;
    } cases[] = {
        { "a folder", [](const QString &path) { return QDir().mkdir(path); } },
        { "a FIFO",
            [](const QString &path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; } },
        { "a link to /dev/zero",
            [](const QString &path) { return QFile::link(QStringLiteral("/dev/zero"), path); } },
    };
    const QImage builtIn = Pictures::defaultBackground();
    const QImage before = filled(16, 9, qRgb(1, 2, 3));
    for (const auto &c : cases) {
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        ASSERT_TRUE(c.make(folder + QStringLiteral("Hintergrund.jpg"))) << c.name;
        ASSERT_TRUE(c.make(folder + QStringLiteral("TV-Logo.jpg"))) << c.name;
        EXPECT_EQ(Pictures::loadBackground(QStringList { folder }), builtIn) << c.name;
        QImage logo = before;
        EXPECT_FALSE(Pictures::loadLogo(QStringList { folder }, 0, logo)) << c.name;
        EXPECT_EQ(logo, before) << c.name;
    }
}

TEST_F(PicturesFolder, LogosSwitchAndKeepTheLastGoodOne)
{
    writeJpeg(path("TV-Logo.jpg"), filled(160, 90, qRgb(220, 30, 30)));
    writeJpeg(path("TV-Logo2.jpg"), filled(800, 200, qRgb(30, 30, 220)));
    writeFile(path("TV-Logo3.jpg"), Jpeg::encode(filled(64, 64, qRgb(0, 200, 0))).left(300));

    QImage logo;
    EXPECT_FALSE(Pictures::loadLogo(QStringList { folder() }, 1, logo)) << "no TV-Logo1.jpg";
    EXPECT_TRUE(logo.isNull());

    ASSERT_TRUE(Pictures::loadLogo(QStringList { folder() }, 2, logo));
    EXPECT_EQ(logo.size(), QSize(800, 200));

    EXPECT_FALSE(Pictures::loadLogo(QStringList { folder() }, 3, logo)) << "cut short";
    EXPECT_FALSE(Pictures::loadLogo(QStringList { folder() }, 4, logo)) << "missing";
    EXPECT_FALSE(Pictures::loadLogo(QStringList { folder() }, 6, logo)) << "no such logo";
    EXPECT_EQ(logo.size(), QSize(800, 200));
    EXPECT_TRUE(isNear(logo.pixel(10, 10), qRgb(30, 30, 220)));

    // Alt+0 after Alt+2.
    ASSERT_TRUE(Pictures::loadLogo(QStringList { folder() }, 0, logo));
    EXPECT_EQ(logo.size(), QSize(160, 90));
    EXPECT_TRUE(isNear(logo.pixel(10, 10), qRgb(220, 30, 30)));
}

// The program folder first, then the per-user and the installed data folder.
TEST_F(PicturesFolder, EachPictureComesFromTheFirstFolderThatHoldsIt)
{
    QTemporaryDir user;
    QTemporaryDir installed;
    const QStringList folders { folder(), user.path() + u'/', installed.path() + u'/' };
    writeJpeg(installed.filePath(QStringLiteral("Hintergrund.jpg")), filled(64, 36, qRgb(200, 0, 0)));
    writeJpeg(installed.filePath(QStringLiteral("TV-Logo.jpg")), filled(32, 32, qRgb(200, 0, 0)));
    writeJpeg(user.filePath(QStringLiteral("TV-Logo.jpg")), filled(48, 32, qRgb(0, 200, 0)));
    writeJpeg(installed.filePath(QStringLiteral("TV-Logo1.jpg")), filled(40, 20, qRgb(0, 0, 200)));
    // Broken in the program folder: the operator's file counts, the one below is not used.
    writeFile(path("TV-Logo1.jpg"), "not a JPEG picture");

    EXPECT_EQ(Pictures::loadBackground(folders).size(), QSize(64, 36));
    QImage logo;
    ASSERT_TRUE(Pictures::loadLogo(folders, 0, logo));
    EXPECT_EQ(logo.size(), QSize(48, 32)) << "the user's logo before the installed one";
    EXPECT_FALSE(Pictures::loadLogo(folders, 1, logo));
    EXPECT_EQ(logo.size(), QSize(48, 32));

    writeJpeg(path("Hintergrund.jpg"), filled(80, 40, qRgb(0, 0, 200)));
    EXPECT_EQ(Pictures::loadBackground(folders).size(), QSize(80, 40));
}

TEST(FittedPicture, ScalesOnceAndPaintsWhereTheRuleSays)
{
    FittedPicture logo(PictureFit::KeepAspectCentred);
    EXPECT_TRUE(logo.setPicture(filled(800, 200, qRgb(250, 250, 0))));
    EXPECT_TRUE(logo.setAreaSize(QSize(1280, 720)));
    EXPECT_EQ(logo.target(), QRect(0, 200, 1280, 320));
    EXPECT_EQ(logo.scaled().size(), QSize(1280, 320));
    const qint64 scaledKey = logo.scaled().cacheKey();
    EXPECT_FALSE(logo.setAreaSize(QSize(1280, 720)));
    EXPECT_FALSE(logo.setPicture(logo.picture()));
    EXPECT_EQ(logo.scaled().cacheKey(), scaledKey) << "nothing changed, so nothing is scaled again";

    // The video area of a 1920 x 1080 TV window starts at 320, 180.
    QImage window = filled(1920, 1080, qRgb(0, 0, 0));
    {
        QPainter painter(&window);
        logo.paint(painter, QPoint(320, 180));
    }
    EXPECT_EQ(window.pixel(320, 380), qRgb(250, 250, 0));
    EXPECT_EQ(window.pixel(1599, 699), qRgb(250, 250, 0));
    EXPECT_EQ(window.pixel(960, 379), qRgb(0, 0, 0));
    EXPECT_EQ(window.pixel(960, 700), qRgb(0, 0, 0));

    EXPECT_TRUE(logo.setPicture(QImage()));
    EXPECT_TRUE(logo.target().isEmpty());
    EXPECT_TRUE(logo.scaled().isNull());
}

TEST(FittedPicture, OtherAspectIsDistortedOnTheTVWindowOnly)
{
    const QImage fourByThree = filled(1600, 1200, qRgb(10, 20, 30));
    FittedPicture tv(PictureFit::Stretch);
    FittedPicture main(PictureFit::KeepAspectTopLeft);
    tv.setPicture(fourByThree);
    main.setPicture(fourByThree);
    tv.setAreaSize(QSize(1920, 1080));
    main.setAreaSize(QSize(900, 506));
    EXPECT_EQ(tv.scaled().size(), QSize(1920, 1080));
    EXPECT_EQ(main.scaled().size(), QSize(674, 506));
}
