#pragma once

#include <QRect>
#include <QSize>

#include <array>
#include <cstddef>

// The items of the TV window that the layout places, in the order of the reference table.
enum class TVItem
{
    Lab1,
    Lab2,
    Lab3,
    Lab4,
    Lab5,
    Lab6,
    Lab7,
    LabGesamt,
    LabPlatz,
    LabNum,
    LabName,
    GreenRect
};

inline constexpr int kTVItemCount = 12;
// Every item before GreenRect is a label and gets a font height.
inline constexpr int kTVLabelCount = 11;

// The TV layout in its 1920 x 1080 reference frame as left, top, right, bottom: row 0 is
// the frame, rows 1..12 the items in TVItem order.
inline constexpr std::array<std::array<int, 4>, 13> kTVReferenceRects = { {
    { 0, 0, 1920, 1080 },
    { 342, 930, 475, 1020 },
    { 527, 930, 660, 1020 },
    { 711, 930, 844, 1020 },
    { 897, 930, 1030, 1020 },
    { 1080, 930, 1213, 1020 },
    { 1265, 930, 1398, 1020 },
    { 1450, 930, 1583, 1020 },
    { 1646, 920, 1852, 1028 },
    { 88, 920, 286, 1028 },
    { 93, 40, 264, 159 },
    { 336, 40, 1847, 159 },
    { 320, 180, 1600, 900 },
} };

// Where everything on the TV window goes for one client size.
struct TVLayout
{
    std::array<QRect, kTVItemCount> rects;
    // Character heights in pixels of the labels, in TVItem order.
    std::array<int, kTVLabelCount> fontHeights {};
    // The strike marks lie on Lab1 and Lab2 until the next competitor moves them.
    QRect xLab1;
    QRect xLab2;
    int strikePointSize = 0;
    int strikeFontHeight = 0;
    QRect videoWindow;
    QRect imageNoVideo;

    QRect rect(TVItem item) const { return rects[std::size_t(item)]; }
    // 0 for GreenRect, which has no font.
    int fontHeight(TVItem item) const
    {
        return item == TVItem::GreenRect ? 0 : fontHeights[std::size_t(item)];
    }
};

// Scales the reference layout to a client size. ppi is the screen's pixels per inch for
// the strike marks' point size; plainRenderer gives the video the 4:3 frame of the renderer
// that cannot keep the picture's aspect ratio itself.
TVLayout TVLayoutRects(const QSize &client, int ppi = 96, bool plainRenderer = false);

// numerator / denominator rounded to the nearest integer, halves to even (denominator > 0).
int roundHalfEven(qint64 numerator, qint64 denominator);
// Font sizes: points and pixels at ppi, rounded to the nearest integer, halves away from zero.
int pointsFromPixels(int pixels, int ppi);
int pixelsFromPoints(int points, int ppi);
