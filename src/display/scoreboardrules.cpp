#include "display/scoreboardrules.h"

#include "scoring/marks.h"

#include <algorithm>
#include <climits>

ScoreboardItem markItem(int judge)
{
    return ScoreboardItem(int(ScoreboardItem::Lab1) + std::clamp(judge, 1, kScoreboardMarks) - 1);
}

int markLabelCount(int judgeCount)
{
    return std::clamp(judgeCount, 0, kScoreboardMarks);
}

ScoreboardLook scoreboardLook(ScoreboardItem item, ScoreboardWindow window)
{
    const QStringList narrow { QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow") };
    const QStringList plain { QStringLiteral("Arial"), QStringLiteral("Liberation Sans") };
    const bool tv = window == ScoreboardWindow::TV;
    switch (item) {
    case ScoreboardItem::LabNum:
        return { narrow, true, Qt::yellow, 59, taCenter, false };
    case ScoreboardItem::LabName:
        return { narrow, true, Qt::yellow, tv ? 29 : 24, taLeftJustify, true };
    case ScoreboardItem::LabGesamt:
    case ScoreboardItem::LabPlatz:
        return { narrow, true, Qt::white, 59, taCenter, false };
    case ScoreboardItem::xLab1:
    case ScoreboardItem::xLab2:
        return { plain, false, Qt::red, tv ? 59 : 64, taCenter, false };
    default:
        return { narrow, true, Qt::white, tv ? 59 : 53, taCenter, false };
    }
}

QRect mainWindowItemBounds(ScoreboardItem item)
{
    static constexpr int kMarkLefts[kScoreboardMarks] = { 157, 243, 331, 417, 504, 591, 677 };
    switch (item) {
    case ScoreboardItem::LabNum:
        return { 44, 17, 80, 58 };
    case ScoreboardItem::LabName:
        return { 158, 18, 702, 56 };
    case ScoreboardItem::LabPlatz:
        return { 36, 434, 105, 46 };
    case ScoreboardItem::LabGesamt:
        return { 766, 434, 105, 46 };
    case ScoreboardItem::xLab1:
        return mainWindowItemBounds(ScoreboardItem::Lab1);
    case ScoreboardItem::xLab2:
        return mainWindowItemBounds(ScoreboardItem::Lab2);
    default:
        return { kMarkLefts[int(item) - int(ScoreboardItem::Lab1)], 430, 65, 48 };
    }
}

StrikeMarks chooseStrikeMarks(const QStringList &markCaptions)
{
    qint64 lowest = INT_MAX;
    qint64 highest = -INT_MAX;
    qint64 sum = 0;
    StrikeMarks marks;
    for (int judge = 1; judge <= markCaptions.size(); ++judge) {
        int value = 0;
        if (!parseMark(markCaptions[judge - 1], value))
            continue;
        if (value < lowest) {
            lowest = value;
            marks.lowestLabel = judge;
        }
        if (value > highest) {
            highest = value;
            marks.highestLabel = judge;
        }
        sum += value;
    }
    if (lowest == highest)
        marks.highestLabel = 2;
    // 64 bits: seven marks near the integer limits must not wrap into a false total.
    const qint64 total = sum - lowest - highest;
    if (total > 0)
        marks.total = QString::number(total);
    return marks;
}

bool markLabelVisible(int judge, int judgeCount)
{
    return judge <= 2 || judge <= judgeCount;
}
