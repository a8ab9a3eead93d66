#include "scoring/toolbarglyphs.h"

#include <gtest/gtest.h>

#include <QPixmap>

namespace {

// Share of pixels that are at least half opaque.
double coverage(const QImage &image)
{
    int covered = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            covered += qAlpha(image.pixel(x, y)) >= 128;
    return double(covered) / (image.width() * image.height());
}

} // namespace

TEST(ToolbarGlyphs, EveryButtonHasItsOwnVisibleGlyph)
{
    QList<QImage> seen;
    for (ToolbarGlyph glyph : kAllToolbarGlyphs) {
        const QImage image = renderToolbarGlyph(glyph, 32);
        ASSERT_EQ(image.size(), QSize(32, 32));
        const int index = int(seen.size());
        EXPECT_GT(coverage(image), 0.15) << index;
        EXPECT_LT(coverage(image), 0.95) << index;
        for (int other = 0; other < index; ++other)
            EXPECT_NE(image, seen[other]) << index << " looks like " << other;
        seen.append(image);
    }
}

TEST(ToolbarGlyphs, DisabledIsFaintGreyAndActiveIsLighter)
{
    for (ToolbarGlyph glyph : kAllToolbarGlyphs) {
        const QImage normal = renderToolbarGlyph(glyph, 24).convertToFormat(QImage::Format_ARGB32);
        const QImage disabled
            = renderToolbarGlyph(glyph, 24, QIcon::Disabled).convertToFormat(QImage::Format_ARGB32);
        const QImage active
            = renderToolbarGlyph(glyph, 24, QIcon::Active).convertToFormat(QImage::Format_ARGB32);
        long normalLight = 0;
        long activeLight = 0;
        bool disabledGreyAndFaint = true;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                const QRgb d = disabled.pixel(x, y);
                disabledGreyAndFaint = disabledGreyAndFaint && qAlpha(d) <= 102
                    && qAbs(qRed(d) - qGreen(d)) <= 1 && qAbs(qGreen(d) - qBlue(d)) <= 1;
                EXPECT_EQ(qAlpha(active.pixel(x, y)), qAlpha(normal.pixel(x, y)));
                normalLight
                    += qRed(normal.pixel(x, y)) + qGreen(normal.pixel(x, y)) + qBlue(normal.pixel(x, y));
                activeLight
                    += qRed(active.pixel(x, y)) + qGreen(active.pixel(x, y)) + qBlue(active.pixel(x, y));
            }
        }
        EXPECT_TRUE(disabledGreyAndFaint);
        EXPECT_GT(activeLight, normalLight);
    }
}

TEST(ToolbarGlyphs, IconDrawsAtTheRequestedSize)
{
    const QIcon icon = toolbarIcon(ToolbarGlyph::sbTV);
    for (int side : { 16, 32, 48 }) {
        const QImage image = icon.pixmap(QSize(side, side)).toImage();
        EXPECT_EQ(image.size(), QSize(side, side));
        EXPECT_GT(coverage(image), 0.15) << side;
    }
    const QImage disabled = icon.pixmap(QSize(32, 32), QIcon::Disabled).toImage();
    EXPECT_LE(qAlpha(disabled.pixel(16, 12)), 102);
}
