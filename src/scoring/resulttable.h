#pragma once

#include <functional>

class SortGridCore;

// The result table of the main window on top of the grid's row store: 13 text
// columns, the header row, the judge count and its hidden mark columns, the column
// widths, and the totals and places.
class ResultTable
{
public:
    enum Column
    {
        ColNumber = 0,
        ColName = 1,
        ColClub = 2,
        ColFirstMark = 3,
        ColTotal = 10,
        ColPlace = 11,
        ColRawTotal = 12,
    };
    static constexpr int kColumnCount = 13;
    static constexpr int kMaxJudges = 7;
    static constexpr int kMinJudges = 3;
    static constexpr int kDefaultJudges = 5;
    static constexpr int kColWidth = 30;
    static constexpr int kRowHeight = 20;

    explicit ResultTable(SortGridCore &grid);

    SortGridCore &grid() const { return m_grid; }

    // Gives the grid the table's columns, sort settings and widths, and writes the header row.
    void setUpGrid();
    void writeHeader();

    int JudgeCount = kDefaultJudges;

    // Steps of SetJudgeCount that belong to the windows: the mark labels and the resize handler.
    std::function<void(int judges)> showMarkLabels;
    std::function<void()> runResizeHandler;
    std::function<void(int judges)> mirrorMarkLabels;

    void SetJudgeCount(int count);
    void LayoutTableColumns(int gridOuterWidth, int scrollArrowWidth);

    void CalcRowTotals();
    void AssignPlaces();

private:
    SortGridCore &m_grid;
};
