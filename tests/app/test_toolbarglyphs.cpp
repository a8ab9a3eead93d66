#include "app/toolbarglyphs.h"

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

int lightness(const QImage &image)
{
    int sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum;
}

} // namespace

TEST(ToolbarGlyphs, EveryButtonHasItsOwnVisibleGlyph)
{
    QList<QImage> seen;
    for (ToolbarGlyph glyph : kAllToolbarGlyphs) {
        const QImage image = toolbarIcon(glyph).pixmap(QSize(32, 32)).toImage();
        const int index = int(seen.size());
        EXPECT_EQ(image.size(), QSize(32, 32));
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
        const QImage normal = renderToolbarGlyph(glyph, 24).copy();
        const QImage disabled
            = renderToolbarGlyph(glyph, 24, QIcon::Disabled).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                const QRgb d = disabled.pixel(x, y);
                ASSERT_LE(qAlpha(d), 102) << x << "," << y;
                ASSERT_LE(qAbs(qRed(d) - qBlue(d)) + qAbs(qGreen(d) - qBlue(d)), 2) << x << "," << y;
            }
        }
        EXPECT_GT(lightness(renderToolbarGlyph(glyph, 24, QIcon::Active)),
            lightness(renderToolbarGlyph(glyph, 24, QIcon::Normal)));
        // The kept drawing is not changed by the looks made from it.
        EXPECT_EQ(renderToolbarGlyph(glyph, 24), normal);
    }
}
