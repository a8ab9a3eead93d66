#pragma once

#include "display/scoreboardrules.h"

#include <QRect>

// The TV window's items at its 1920 x 1080 reference size, with the character heights
// that size gives them: 90 for the marks, 108 for total and place, 119 for the number,
// 51 for the two-line name, 109 for the strike marks (82 points at 96 ppi).
struct TVReferenceItem
{
    ScoreboardItem item;
    QRect bounds;
    int charHeight;
};

inline constexpr TVReferenceItem kTVReference[] = {
    { ScoreboardItem::Lab1, { 342, 930, 133, 90 }, 90 },
    { ScoreboardItem::Lab2, { 527, 930, 133, 90 }, 90 },
    { ScoreboardItem::Lab3, { 711, 930, 133, 90 }, 90 },
    { ScoreboardItem::Lab4, { 897, 930, 133, 90 }, 90 },
    { ScoreboardItem::Lab5, { 1080, 930, 133, 90 }, 90 },
    { ScoreboardItem::Lab6, { 1265, 930, 133, 90 }, 90 },
    { ScoreboardItem::Lab7, { 1450, 930, 133, 90 }, 90 },
    { ScoreboardItem::LabGesamt, { 1646, 920, 206, 108 }, 108 },
    { ScoreboardItem::LabPlatz, { 88, 920, 198, 108 }, 108 },
    { ScoreboardItem::LabNum, { 93, 40, 171, 119 }, 119 },
    { ScoreboardItem::LabName, { 336, 40, 1511, 119 }, 51 },
    { ScoreboardItem::xLab1, { 342, 930, 133, 90 }, 109 },
    { ScoreboardItem::xLab2, { 527, 930, 133, 90 }, 109 },
};
