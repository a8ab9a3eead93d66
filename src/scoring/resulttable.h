#pragma once

#include <functional>

class QString;
class SortGridCore;

// The result table of the main window on top of the grid's row store: 13 text
// columns, the header row, the judge count and its hidden mark columns, the column
// widths, the totals and places, and what showing a row and Enter do to the table.
// The windows draw; every change of cells, order and current row is made here.
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

    // The column of judge 1 .. 7.
    static constexpr int markColumn(int judge) { return ColFirstMark + judge - 1; }

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

    // Every counted judge's cell of the row holds some text (a blank counts).
    bool marksEntered(int row) const;
    // Empties the net total, place and raw total of the row.
    void clearResults(int row);
    // Makes the first row with the start number current and selects the whole row;
    // nothing moves when there is none.
    void selectCompetitor(const QString &number);

    // Steps of showing a row that belong to the windows, connected by the shell: the
    // row's captions on the scoreboard, its shown total and strike marks, and leaving
    // entry mode on a row.
    std::function<void(int row)> showRow;
    std::function<void()> showStrikeMarks;
    std::function<void(int row)> FinishRowEntry;
    std::function<void()> clearScoreboard;

    // A file has replaced every row: the scoreboard is emptied before the new table is
    // placed, and the table counts as saved.
    void placeOpenedTable();
    // A save has written the table as it is now.
    void markSaved();
    // A cell has changed since the last successful save, or since the last open when
    // nothing was saved after it.
    bool hasUnsavedChanges() const;

    // The scoreboard's total and strike marks from the marks it shows, then the placing.
    void UpdateStrikeMarks();
    // Shows the current row (double click, F9, the TV window shown): a row with marks
    // missing loses its results, the scoreboard shows it, and the table is placed with
    // the same competitor current again.
    void showCurrentRow();
    // Enter in the table: in browse mode it shows the current row; in entry mode it
    // places the table and moves to the next column, or, when the row's marks are all
    // entered, leaves entry mode and shows the row.
    void enterPressed(bool entryMode);

private:
    int countedJudges() const;
    void showAndPlace(bool placedAlready);
    void keepPlaces();

    SortGridCore &m_grid;
};
