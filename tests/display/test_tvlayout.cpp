#include "display/tvlayout.h"

#include <gtest/gtest.h>

namespace {

struct LayoutCase
{
    QSize client;
    QRect lab1;
    QRect labName;
    int labNameFont;
    QRect greenRect;
    QRect video; // mixing renderer
    QRect plainVideo;
};

// Worked out by hand: left = cw * L / 1920, width = cw * R / 1920 - left, and so on.
const LayoutCase kCases[] = {
    { { 1920, 1080 }, { 342, 930, 133, 90 }, { 336, 40, 1511, 119 }, 51, { 320, 180, 1280, 720 },
        { 320, 180, 1280, 720 }, { 320, 180, 960, 720 } },
    { { 1366, 768 }, { 243, 661, 94, 64 }, { 239, 28, 1075, 85 }, 37, { 227, 128, 911, 512 },
        { 227, 128, 910, 512 }, { 227, 128, 680, 512 } },
    // 4:3: the 16:9 frame stands out to both sides of the video area.
    { { 1024, 768 }, { 182, 661, 71, 64 }, { 179, 28, 806, 85 }, 37, { 170, 128, 683, 512 },
        { 57, 128, 910, 512 }, { 57, 128, 680, 512 } },
    { { 3840, 2160 }, { 684, 1860, 266, 180 }, { 672, 80, 3022, 238 }, 102, { 640, 360, 2560, 1440 },
        { 640, 360, 2560, 1440 }, { 640, 360, 1920, 1440 } },
    { { 640, 480 }, { 114, 413, 44, 40 }, { 112, 17, 503, 53 }, 23, { 106, 80, 427, 320 },
        { 35, 80, 569, 320 }, { 35, 80, 424, 320 } },
    // 5:4: narrower than 4:3, so the plain renderer's frame keeps the 16:9 edges and loses height.
    { { 1280, 1024 }, { 228, 881, 88, 86 }, { 224, 37, 1007, 113 }, 49, { 213, 170, 853, 683 },
        { 33, 170, 1214, 683 }, { 33, 170, 1214, 639 } },
};

} // namespace

TEST(TVLayout, ScalesTheReferenceLayout)
{
    for (const auto &c : kCases) {
        SCOPED_TRACE(testing::Message() << c.client.width() << "x" << c.client.height());
        const TVLayout layout = TVLayoutRects(c.client, 96, false);
        EXPECT_EQ(layout.rect(TVItem::Lab1), c.lab1);
        EXPECT_EQ(layout.fontHeight(TVItem::Lab1), c.lab1.height());
        EXPECT_EQ(layout.rect(TVItem::LabName), c.labName);
        EXPECT_EQ(layout.fontHeight(TVItem::LabName), c.labNameFont);
        EXPECT_EQ(layout.rect(TVItem::GreenRect), c.greenRect);
        EXPECT_EQ(layout.imageNoVideo, c.greenRect);
        EXPECT_EQ(layout.videoWindow, c.video);
        EXPECT_EQ(TVLayoutRects(c.client, 96, true).videoWindow, c.plainVideo);
    }
}

TEST(TVLayout, ReferenceSizeReproducesEveryRectangle)
{
    const TVLayout layout = TVLayoutRects(QSize(1920, 1080));
    const QRect expected[] = {
        { 342, 930, 133, 90 },
        { 527, 930, 133, 90 },
        { 711, 930, 133, 90 },
        { 897, 930, 133, 90 },
        { 1080, 930, 133, 90 },
        { 1265, 930, 133, 90 },
        { 1450, 930, 133, 90 },
        { 1646, 920, 206, 108 },
        { 88, 920, 198, 108 },
        { 93, 40, 171, 119 },
        { 336, 40, 1511, 119 },
        { 320, 180, 1280, 720 },
    };
    for (int i = 0; i < kTVItemCount; ++i)
        EXPECT_EQ(layout.rects[std::size_t(i)], expected[i]) << "item " << i;
    EXPECT_EQ(layout.fontHeight(TVItem::LabGesamt), 108);
    EXPECT_EQ(layout.fontHeight(TVItem::LabNum), 119);
    EXPECT_EQ(layout.fontHeight(TVItem::GreenRect), 0);
    EXPECT_EQ(layout.xLab1, expected[0]);
    EXPECT_EQ(layout.xLab2, expected[1]);
}

TEST(TVLayout, StrikeMarksAreOneAndAFifthOfTheMarksInPoints)
{
    const struct
    {
        QSize client;
        int ppi;
        int markPixels, strikePoints, strikePixels;
    } cases[] = {
        // 90 px = 67.5 pt -> 68 pt; 1.2 x 68 = 81.6 -> 82 pt = 109.3 px
        { { 1920, 1080 }, 96, 90, 82, 109 },
        // 90 px at 120 ppi = 54 pt; 64.8 -> 65 pt = 108.3 px
        { { 1920, 1080 }, 120, 90, 65, 108 },
        // 64 px = 48 pt; 57.6 -> 58 pt = 77.3 px
        { { 1366, 768 }, 96, 64, 58, 77 },
        // 40 px = 30 pt; 36 pt = 48 px
        { { 640, 480 }, 96, 40, 36, 48 },
    };
    for (const auto &c : cases) {
        const TVLayout layout = TVLayoutRects(c.client, c.ppi);
        EXPECT_EQ(layout.fontHeight(TVItem::Lab1), c.markPixels);
        EXPECT_EQ(layout.strikePointSize, c.strikePoints) << c.client.width() << " at " << c.ppi;
        EXPECT_EQ(layout.strikeFontHeight, c.strikePixels) << c.client.width() << " at " << c.ppi;
    }
}

TEST(TVLayout, DecimalFactorsRoundHalvesToEven)
{
    // Name height 150: 0.43 x 150 = 64.5 -> 64; height 250: 107.5 -> 108.
    EXPECT_EQ(TVLayoutRects(QSize(1920, 1361)).rect(TVItem::LabName).height(), 150);
    EXPECT_EQ(TVLayoutRects(QSize(1920, 1361)).fontHeight(TVItem::LabName), 64);
    EXPECT_EQ(TVLayoutRects(QSize(1920, 2269)).rect(TVItem::LabName).height(), 250);
    EXPECT_EQ(TVLayoutRects(QSize(1920, 2269)).fontHeight(TVItem::LabName), 108);

    // Video area 5000 high: 1.7777 x 5000 = 8888.5 -> 8888.
    const TVLayout tall = TVLayoutRects(QSize(13333, 7500));
    EXPECT_EQ(tall.rect(TVItem::GreenRect), QRect(2222, 1250, 8888, 5000));
    EXPECT_EQ(tall.videoWindow, QRect(2222, 1250, 8888, 5000));

    // 1.7777 is not 16/9: 722 x 16/9 = 1283.56, but 722 x 1.7777 = 1283.4994 -> 1283,
    // and the spare -3 halves towards zero to -1.
    const TVLayout odd = TVLayoutRects(QSize(1920, 1083));
    EXPECT_EQ(odd.rect(TVItem::GreenRect), QRect(320, 180, 1280, 722));
    EXPECT_EQ(odd.videoWindow, QRect(319, 180, 1283, 722));
}

TEST(TVLayout, NoClientAreaGivesEmptyItems)
{
    const TVLayout layout = TVLayoutRects(QSize(0, 0));
    EXPECT_EQ(layout.rect(TVItem::GreenRect), QRect(0, 0, 0, 0));
    EXPECT_EQ(layout.videoWindow, QRect(0, 0, 0, 0));
    EXPECT_EQ(layout.fontHeight(TVItem::LabName), 0);
    EXPECT_EQ(layout.strikePointSize, 0);
}

TEST(TVLayout, RoundingHelpers)
{
    const struct
    {
        qint64 numerator, denominator;
        int expected;
    } halves[]
        = { { 5, 2, 2 }, { 7, 2, 4 }, { -5, 2, -2 }, { -7, 2, -4 }, { 6449, 100, 64 }, { 6451, 100, 65 } };
    for (const auto &c : halves)
        EXPECT_EQ(roundHalfEven(c.numerator, c.denominator), c.expected)
            << c.numerator << "/" << c.denominator;

    // Halves away from zero; a missing pixels-per-inch counts as 96.
    EXPECT_EQ(pointsFromPixels(30, 96), 23);
    EXPECT_EQ(pointsFromPixels(29, 96), 22);
    EXPECT_EQ(pixelsFromPoints(9, 96), 12);
    EXPECT_EQ(pixelsFromPoints(82, 0), 109);
}
