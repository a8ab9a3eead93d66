#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class SortGridCore;

// The result table on top of the grid's row store: 13 text columns, the header row, the
// judge count and its hidden mark columns, the column widths, the totals and places, and
// every rule of working the table: entry mode, which keys a cell takes, where Enter and
// Tab go, what showing a couple does, the search by start number. The grid keeps the
// mechanics (its editor, keys and mouse); the windows connect to the signals and only
// show. Every change of cells, order and current row is made here.
class ResultTable : public QObject
{
    Q_OBJECT
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
    // Digits typed outside entry mode within this time of each other form one start number.
    static constexpr int kNumberSearchPause = 1000;

    // The column of judge 1 .. 7.
    static constexpr int markColumn(int judge) { return ColFirstMark + judge - 1; }

    explicit ResultTable(SortGridCore &grid, QObject *parent = nullptr);
    ~ResultTable() override;

    SortGridCore &grid() const { return m_grid; }

    // Gives the grid the table's columns, sort settings and widths and takes its cell
    // selection; writes the header row.
    void setUpGrid();
    void writeHeader();

    int judgeCount() const { return m_judgeCount; }
    // Shows the mark columns of the judges counted, hides the others, and shows the couple
    // on the scoreboard again with the new count.
    void SetJudgeCount(int count);
    void LayoutTableColumns(int gridOuterWidth, int scrollArrowWidth);

    void CalcRowTotals();
    void AssignPlaces();

    // Every counted judge's cell of the row holds more than blanks.
    bool marksEntered(int row) const;
    // No counted judge's cell of the row holds a mark.
    bool noMarks(int row) const;
    // Empties the net total, place and raw total of the row.
    void clearResults(int row);
    // Makes the first row with the start number current and selects the whole row;
    // nothing moves when there is none.
    void selectCompetitor(const QString &number);

    // The 13 texts a row shows on the scoreboard: its cells, the marks only when all of
    // them are entered, and no mark of a judge not counted.
    QStringList shownTexts(int row) const;
    // The start number of the couple on the scoreboard; empty when it is cleared.
    QString shownNumber() const { return m_shownNumber; }

    // Commands.
    // Shows the current row (double click, F9, Enter outside entry mode, the TV window
    // shown): a row with marks missing loses its results, the table is placed with the same
    // competitor current, and the couple goes on the scoreboard.
    void showCurrentRow();
    // Ctrl+A.
    void clearScoreboard();
    // Ctrl+N: the next couple in start-list order (the order of the last open) without
    // marks, selected as after a placing; nothing goes to the audience.
    void nextCoupleWithoutMarks();
    // Tab: the next shown column of the row, from the last shown judge (or beyond) to judge 1.
    void nextColumn();

    // The grid's events, which the window passes on.
    void keyPress(QChar &key);
    void keyDown(int &key, Qt::KeyboardModifiers shift);

    // Entry mode: the current cell is one that the operator types into.
    bool entryMode() const;
    // Ends entry mode with the whole row selected (Esc, a finished row).
    void finishRowEntry(int row);

    // Files. A file has replaced every row: the scoreboard is emptied before the new table
    // is placed, its order is the start-list order, and the table counts as saved.
    void placeOpenedTable();
    // For the reader of a file to be opened: totals each row as the reader fills it, while
    // its texts are at hand, so that placeOpenedTable need not read the table again.
    std::function<void(int row)> openedRowReader();
    // The table of a session that did not end normally: placed, and not saved.
    void placeRestoredTable();
    // A save has written the table as it is now.
    void markSaved();
    // A cell has changed since the last successful save, or since the last open when
    // nothing was saved after it.
    bool hasUnsavedChanges() const;
    // The table holds competitors that a save or print would write.
    bool canSave() const;

    // The first status panel: "row:rows", empty for an empty table.
    QString positionText(int row) const;

    // Asks the operator a yes/no question; true for "Ja". Without it every question is
    // answered "Nein".
    void setAskYesNo(std::function<bool(const QString &question)> ask) { m_askYesNo = std::move(ask); }

signals:
    // Enter completed the marks of a row (before it is placed).
    void rowFinished(int row);
    // Totals, places or order changed (after a placing).
    void placesChanged();
    // The grid's current row changed.
    void currentRowChanged(int row);
    // Open, recovery restore: all rows are new.
    void tableReplaced();
    void judgeCountChanged(int judges);
    // The 13 texts of the row now on the scoreboard (shownTexts).
    void coupleShown(const QStringList &rowTexts);
    // Ctrl+A, an open.
    void scoreboardCleared();
    // The text of the position panel: the position, or the start number being searched.
    void positionTextChanged(const QString &text);

private:
    int countedJudges() const;
    // The net and raw total of a row, both 0 for a row without totals.
    struct Totals
    {
        qint64 net = 0;
        qint64 raw = 0;
        bool operator==(const Totals &) const = default;
    };
    // Totals rows firstRow..lastRow; with startNumbers, appends their start numbers too,
    // and with totals, the totals of each row.
    void calcTotals(int firstRow, int lastRow, bool clearPlaces, QStringList *startNumbers = nullptr,
        std::vector<Totals> *totals = nullptr);
    // Totals the rows that changed since the last placing (every row when all did), unless
    // the totals are known already, then sorts and places. Read: openedRowReader totalled
    // the rows and placed them as they stood in the file, which holds if none moves.
    enum class Totalling
    {
        Changed,
        Known,
        Read
    };
    void place(Totalling totalling);
    bool sortsByTotals() const;
    // Sorts by m_totals as numbers when they are the table's sort keys; false when the
    // texts must be sorted. noTotals is then the key of the rows without totals, and moved
    // whether any row moved.
    bool sortByTotals(quint64 &noTotals, bool &moved);
    bool markMissing(int col, int row) const;
    bool isShownMarkColumn(int col) const;
    void selectCell(int col, int row, bool &canSelect);
    void enterPressed();
    void showAndPlace(bool placedAlready);
    void keepPlaces();
    void showCouple(int row);
    void reshowCouple();
    bool mayChangeMark();
    void searchNumber(QChar key);
    void endNumberSearch();
    int rowOfNumber(const QString &number) const;

    SortGridCore &m_grid;
    int m_judgeCount = kDefaultJudges;
    int m_placedJudges = -1; // the judge count of the last placing
    std::function<bool(const QString &)> m_askYesNo;
    QString m_shownNumber;
    QString m_changeAllowedFor; // the complete row whose marks the operator chose to change
    QStringList m_startOrder; // start numbers in the order of the last open
    // When the table is sorted by its totals: each row's totals in the rows' order, as the
    // last placing left them, and their sort keys. A placing after a change totals only
    // the rows that changed; the blocks stay from placing to placing.
    std::vector<Totals> m_totals;
    std::vector<quint64> m_totalKeys;
    int m_rowsRead = 0; // the rows openedRowReader totalled, from the first on
    QString m_searched; // the start number being typed
    QElapsedTimer m_lastDigit;
};
