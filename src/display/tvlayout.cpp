#include "display/tvlayout.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kDefaultPpi = 96;

// a * b / c rounded, halves away from zero (c > 0).
int mulDivRound(qint64 a, qint64 b, qint64 c)
{
    const qint64 product = a * b;
    const qint64 magnitude = (std::abs(product) * 2 + c) / (2 * c);
    return int(product < 0 ? -magnitude : magnitude);
}

} // namespace

int roundHalfEven(qint64 numerator, qint64 denominator)
{
    qint64 quotient = numerator / denominator;
    qint64 remainder = numerator % denominator;
    if (remainder < 0) {
        --quotient;
        remainder += denominator;
    }
    if (remainder * 2 > denominator || (remainder * 2 == denominator && quotient % 2 != 0))
        ++quotient;
    return int(quotient);
}

int pointsFromPixels(int pixels, int ppi)
{
    return mulDivRound(pixels, 72, ppi > 0 ? ppi : kDefaultPpi);
}

int pixelsFromPoints(int points, int ppi)
{
    return mulDivRound(points, ppi > 0 ? ppi : kDefaultPpi, 72);
}

TVLayout TVLayoutRects(const QSize &client, int ppi, bool plainRenderer)
{
    const qint64 cw = std::max(0, client.width());
    const qint64 ch = std::max(0, client.height());
    const qint64 frameWidth = kTVReferenceRects[0][2];
    const qint64 frameHeight = kTVReferenceRects[0][3];

    TVLayout layout;
    for (int i = 0; i < kTVItemCount; ++i) {
        const auto &r = kTVReferenceRects[std::size_t(i) + 1];
        const int left = int(cw * r[0] / frameWidth);
        const int top = int(ch * r[1] / frameHeight);
        const int width = int(cw * r[2] / frameWidth) - left;
        const int height = int(ch * r[3] / frameHeight) - top;
        layout.rects[std::size_t(i)] = QRect(left, top, width, height);
        if (i < kTVLabelCount)
            layout.fontHeights[std::size_t(i)] = height;
    }
    // The name runs over two lines.
    const std::size_t name = std::size_t(TVItem::LabName);
    layout.fontHeights[name] = roundHalfEven(43LL * layout.fontHeights[name], 100);

    const int markPoints = pointsFromPixels(layout.fontHeight(TVItem::Lab1), ppi);
    layout.strikePointSize = roundHalfEven(12LL * markPoints, 10);
    layout.strikeFontHeight = pixelsFromPoints(layout.strikePointSize, ppi);
    layout.xLab1 = layout.rect(TVItem::Lab1);
    layout.xLab2 = layout.rect(TVItem::Lab2);

    // The video keeps a 16:9 frame as high as the video area, centred on it; the factor is
    // 1.7777 rather than 16/9.
    const QRect green = layout.rect(TVItem::GreenRect);
    const int videoWidth = roundHalfEven(17777LL * green.height(), 10000);
    const int spare = green.width() - videoWidth;
    layout.videoWindow = QRect(green.left() + spare / 2, green.top(), videoWidth, green.height());
    if (plainRenderer) {
        const int fourByThree = green.height() / 3 * 4;
        if (fourByThree <= green.width())
            layout.videoWindow.setWidth(fourByThree);
        else
            layout.videoWindow.setHeight(green.width() / 4 * 3);
    }
    layout.imageNoVideo = green;
    return layout;
}
