#pragma once

#include <QString>
#include <QStringView>

#include <climits>
#include <span>

// A mark is present when its whole text reads as a 32-bit signed decimal integer,
// optionally preceded by blanks and a sign.
bool parseMark(QStringView text, int &value);

// Empty or only blanks: no mark, no total, nothing entered. The text file stores an
// empty cell as one blank, so a protocol read back has such cells where marks are to come.
bool isBlankText(QStringView text);

// The present marks among the texts of judges 1 .. n. Among equal lowest (highest) marks
// the one of the smallest judge number counts; no mark present leaves both judges 0.
struct MarkTally
{
    qint64 sum = 0; // 64 bits: seven marks near the limits must not wrap
    int lowest = INT_MAX;
    int highest = -INT_MAX;
    int lowestJudge = 0;
    int highestJudge = 0;
    int count = 0;

    // The sum without one lowest and one highest mark.
    qint64 net() const { return sum - lowest - highest; }
};
MarkTally tallyMarks(std::span<const QStringView> marks);

// Decimal text of a total or place; values below 2^20 come from shared storage, so that
// placing a large table does not allocate a string per cell.
QString numberText(qint64 value);
