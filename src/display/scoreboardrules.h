#pragma once

#include "display/label3dgeometry.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <QStringList>

// The scoreboard's decisions that need no window: its items and their looks, the
// main window's positions, which marks are struck, the total shown and which mark
// labels a judge count shows.

enum class ScoreboardItem
{
    LabNum,
    LabName,
    Lab1,
    Lab2,
    Lab3,
    Lab4,
    Lab5,
    Lab6,
    Lab7,
    LabGesamt,
    LabPlatz,
    xLab1,
    xLab2,
};
inline constexpr int kScoreboardItemCount = 13;
inline constexpr int kScoreboardMarks = 7;

// The mark label of judge 1..7.
ScoreboardItem markItem(int judge);
// The judge count as far as the seven mark labels can show it.
int markLabelCount(int judgeCount);

enum class ScoreboardWindow
{
    Main,
    TV,
};

struct ScoreboardLook
{
    QStringList families; // the design font first, then the face that stands in for it
    bool bold = false;
    QColor color;
    int charHeight = 0; // pixels
    TAlignment alignment = taCenter;
    bool wordWrap = false;
};

// The look an item is created with; the TV window's heights are design values that
// its layout replaces.
ScoreboardLook scoreboardLook(ScoreboardItem item, ScoreboardWindow window);

// Bounds on the main window; the strike marks stand over Lab1 and Lab2 until placed.
QRect mainWindowItemBounds(ScoreboardItem item);

struct StrikeMarks
{
    int lowestLabel = 0; // judge number under xLab1, 0: hidden
    int highestLabel = 0; // judge number under xLab2, 0: hidden
    QString total; // LabGesamt
    bool operator==(const StrikeMarks &) const = default;
};

// Strikes the lowest and the highest of the shown marks (captions of Lab1 .. Labn) and
// totals the rest; captions that are not integers take no part.
StrikeMarks chooseStrikeMarks(const QStringList &markCaptions);

// Whether the mark label of `judge` shows with `judgeCount` judges.
bool markLabelVisible(int judge, int judgeCount);
