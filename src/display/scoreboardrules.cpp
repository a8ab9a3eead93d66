#include "display/scoreboardrules.h"

#include "scoring/marks.h"

#include <algorithm>
#include <vector>

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
    const std::vector<QStringView> captions(markCaptions.begin(), markCaptions.end());
    const MarkTally tally = tallyMarks(captions);
    StrikeMarks marks { tally.lowestJudge, tally.highestJudge, QString() };
    if (tally.lowest == tally.highest)
        marks.highestLabel = 2;
    if (tally.net() > 0)
        marks.total = QString::number(tally.net());
    return marks;
}

bool markLabelVisible(int judge, int judgeCount)
{
    return judge <= 2 || judge <= judgeCount;
}
