#pragma once

#include "grid/sortcompare.h"
#include "grid/sortoptions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <limits>
#include <span>
#include <utility>
#include <vector>

class QObject;

struct GridRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const GridRect &) const = default;
};

// The data side of the sortable grid: cells with their associated objects, counts,
// column widths, current cell and selection, the selection lists, the modified flag,
// the update bracket and the sort. It knows nothing of the screen; what the screen
// has to do goes through the protected virtual hooks, which the widget fills in.
class SortGridCore
{
public:
    using TNotifyEvent = std::function<void(SortGridCore *sender)>;
    using TSizeChangedEvent = std::function<void(SortGridCore *sender, int oldColCount, int oldRowCount)>;
    using TSortStartingEvent = std::function<void(SortGridCore *sender, int &col)>;
    using TSortFinishedEvent = std::function<void(SortGridCore *sender, int col)>;
    using TSelectCellEvent = std::function<void(SortGridCore *sender, int col, int row, bool &canSelect)>;
    using TGetSortStyleEvent = std::function<void(SortGridCore *sender, int col, TSortStyle &style)>;

    static constexpr int kFixedRows = 1;
    static constexpr int kDefaultColWidth = 64;
    static constexpr int kDefaultRowHeight = 24;

    SortGridCore();
    virtual ~SortGridCore();
    SortGridCore(const SortGridCore &) = delete;
    SortGridCore &operator=(const SortGridCore &) = delete;

    // Cells. Access outside the table reads as empty and writes nothing.
    QString Cells(int col, int row) const;
    // The cell's text without a copy; an empty text outside the table. Inline: a file
    // writer asks for every cell of a large table.
    const QString &cellText(int col, int row) const
    {
        if (col < 0 || col >= m_colCount || row < 0 || row >= m_storedRows)
            return emptyText();
        return m_cells[size_t(row) * size_t(m_colCount) + size_t(col)].text;
    }
    void setCells(int col, int row, const QString &text);
    // Asks early for a cell that a pass over the rows reads a few rows on: a large table
    // does not stay in the caches from one pass to the next.
    void prefetchCell(int col, int row) const
    {
        if (col >= 0 && col < m_colCount && row >= 0 && row < m_storedRows)
            __builtin_prefetch(m_cells.data() + size_t(row) * size_t(m_colCount) + size_t(col));
    }
    static constexpr int kPrefetchRows = 8;
    QObject *Objects(int col, int row) const;
    void setObjects(int col, int row, QObject *object);
    QStringList Rows(int row) const;
    void setRows(int row, const QStringList &texts);
    // The texts of row's first columns at once, texts[c] for column c (nullptr: empty);
    // the other columns keep theirs. With clearObjects, no cell of the row keeps an object.
    void setRowTexts(int row, std::span<const QString *const> texts, bool clearObjects);

    // The UTF-16 units of every stored text, hidden rows included: what a writer needs
    // to size its buffer without a pass over the cells.
    qint64 textUnits() const { return m_textUnits; }

    int ColCount() const { return m_colCount; }
    void setColCount(int count);
    int RowCount() const { return m_rowCount; }
    void setRowCount(int count);
    int FixedRows() const { return kFixedRows; }

    int DefaultColWidth() const { return m_defaultColWidth; }
    void setDefaultColWidth(int width);
    int DefaultRowHeight() const { return m_defaultRowHeight; }
    void setDefaultRowHeight(int height);
    int ColWidths(int col) const;
    void setColWidths(int col, int width);

    // Structural edits of the store; each keeps the cells' objects with their texts.
    // The row edits work on visible data rows and leave hidden rows where they are.
    void InsertRow(int row);
    void DeleteRow(int row);
    void MoveColumn(int fromCol, int toCol);
    void DeleteColumn(int col);
    // A cell change made by the operator: sets the modified flag when the text differs.
    void SetEditText(int col, int row, const QString &text);

    // Current cell and selection.
    int Col() const { return m_col; }
    int Row() const { return m_row; }
    void setCol(int col) { MoveCurrent(col, m_row); }
    void setRow(int row) { MoveCurrent(m_col, row); }
    // The ordinary change of the current cell: SelectCell is asked first; false when refused.
    bool MoveCurrent(int col, int row);
    GridRect Selection() const { return m_selection; }
    void setSelection(const GridRect &rect);
    bool RowSelect() const { return m_rowSelect; }
    void setRowSelect(bool on);

    QStringList SelectedRowList;
    QStringList AnchorRowList;
    bool SelectionTracking() const { return m_tracking; }
    void setSelectionTracking(bool on) { m_tracking = on; }
    void ClearSelection();
    // Row-list entries that the selection bookkeeping has looked at, so that tests can
    // pin its cost to the number of rows.
    qint64 rowListWork() const { return m_rowListWork; }
    int HiddenRowCount() const { return m_hiddenRowCount; }
    void setHiddenRowCount(int count);

    // Whether the operator may type into cells; the widget's editor follows it, the row
    // store only keeps the flag.
    virtual bool cellEditing() const { return m_cellEditing; }
    virtual void setCellEditing(bool on) { m_cellEditing = on; }

    bool Modified() const { return m_modified; }
    void SetModified(bool modified);

    // Update bracket.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return m_updateDepth > 0; }

    // Sorting.
    TSortOptions &SortOptions() { return m_sortOptions; }
    const TSortOptions &SortOptions() const { return m_sortOptions; }
    void SortRowsByColumn(int column);
    // Sorts as SortRowsByColumn(column) does around its comparison (the hooks, the
    // selection, the current cell), by keys the caller worked out: keys[p] belongs to the
    // data row at position p. Ascending, equal keys in their present order. On return
    // keys[p] is the key of the row now at position p. Returns false, changing nothing,
    // when sorting is off or the keys are too large to sort this way (a key and a data
    // row's position must fit into 64 bits together).
    bool SortRowsByKeys(int column, std::vector<quint64> &keys);
    int FindRowWithText(int col, const QString &text, bool ignoreCase) const;
    // The style of one key column: the hook when assigned, else the options' style.
    TSortStyle ChooseSortStyle(int col, TSortStyle &hookStyle);
    // ssNumeric, ssDateTime, ssTime or ssNormal: the first that every data cell of the
    // column converts to; ssNumeric without data rows.
    TSortStyle DetectSortStyle(int col) const;

    // Called once, before the next change of the texts, their order or the counts: a
    // reader that put off reading the table reads it then, as it was. Empty: no call.
    void callBeforeNextChange(std::function<void()> call) { m_beforeNextChange = std::move(call); }

    // The rows whose texts changed since the last call: first..last, or every row when
    // rows or columns moved, came or went (and before the first call).
    struct ChangedRows
    {
        bool all = true;
        int first = std::numeric_limits<int>::max();
        int last = -1;
    };
    ChangedRows takeChangedRows() { return std::exchange(m_changedRows, ChangedRows { false }); }

    TNotifyEvent OnModified;
    TNotifyEvent OnEndUpdate;
    TNotifyEvent OnRowSelected;
    TSizeChangedEvent OnSizeChanged;
    TSortStartingEvent OnSortStarting;
    TSortFinishedEvent OnSortFinished;
    TSelectCellEvent OnSelectCell;
    TGetSortStyleEvent OnGetSortStyle;

protected:
    // Asked before the current cell moves; the default fires OnSelectCell.
    virtual bool SelectCell(int col, int row);
    // Screen side of the update bracket: busy cursor, painting, input, focus.
    virtual void screenBeginUpdate() { }
    virtual void screenEndUpdate() { }
    virtual void showMessage(const QString &text) { Q_UNUSED(text); }
    // Layout after a count or width change; the widget recomputes its scroll range.
    virtual void layoutChanged() { }
    virtual void updateScrollBars() { }
    virtual void scrollIntoView(int col, int row)
    {
        Q_UNUSED(col);
        Q_UNUSED(row);
    }
    virtual void invalidateRow(int row) { Q_UNUSED(row); }
    virtual void invalidateGrid() { }
    // After a successful move of the current cell.
    virtual void currentCellMoved(int oldCol, int oldRow)
    {
        Q_UNUSED(oldCol);
        Q_UNUSED(oldRow);
    }
    // After a column width changed.
    virtual void colWidthsChanged() { layoutChanged(); }
    // After the row height changed.
    virtual void rowHeightsChanged() { layoutChanged(); }

    void sizeChanged(int oldColCount, int oldRowCount);
    // Before any change of order or counts.
    void beforeChange()
    {
        m_changedRows.all = true;
        beforeAnyChange();
    }
    void beforeAnyChange()
    {
        if (m_beforeNextChange)
            std::exchange(m_beforeNextChange, nullptr)();
    }
    // Row-list look-ups that count towards rowListWork().
    bool rowListContains(const QStringList &list, const QString &row) const;
    // For each row first..last whether the list holds it, in one pass over the list.
    std::vector<bool> rowListMarks(const QStringList &list, int first, int last) const;
    // Rebuilds the whole store (visible and hidden rows) from rows of the old store:
    // sources[i] is the old index of new row i, -1 an empty row. The first rowCount
    // rows are visible, the rest hidden below them.
    void rebuildRows(const std::vector<int> &sources, int rowCount);

private:
    struct Cell
    {
        QString text;
        QObject *object = nullptr;
    };

    const Cell *cellAt(int col, int row) const;
    Cell *cellAt(int col, int row);
    // Row after row, ColCount cells each: a pass over the rows reads memory in order.
    Cell *rowCells(int row) { return m_cells.data() + size_t(row) * size_t(m_colCount); }
    const Cell *rowCells(int row) const { return m_cells.data() + size_t(row) * size_t(m_colCount); }
    int storedRows() const { return m_storedRows; }
    static const QString &emptyText();
    // False when the cell (of that row) held those characters already and stays as it was.
    bool assignText(Cell &cell, int row, const QString &text);
    void countTextUnits();
    void resizeStorage(int oldColCount);
    // Moves the data rows so that data position p holds the row that was at order[p].
    void permuteDataRows(const std::vector<int> &order);
    QList<int> sortKeyColumns(int primary) const;
    void sortKeyByKey(const QList<int> &keys, const std::vector<TSortStyle> &styles, std::vector<int> &order);
    static constexpr size_t kMaxNumericKeys = 3;
    bool sortAllNumericKeys(
        const QList<int> &keys, const std::vector<TSortStyle> &styles, std::vector<int> &order) const;
    // The data rows ordered by sortRows (primary key column, order of store rows in
    // data position order), which returns false when it left them alone.
    void sortRows(int column, const std::function<bool(int primary, std::vector<int> &order)> &sortRows);
    bool sortPackedKeys(size_t keyCount, const std::array<double, kMaxNumericKeys> &lowest,
        const std::array<double, kMaxNumericKeys> &highest, std::vector<int> &positions) const;

    std::vector<Cell> m_cells; // RowCount + HiddenRowCount rows
    int m_storedRows = 0;
    qint64 m_textUnits = 0;
    mutable std::vector<double> m_sortValues;
    mutable std::vector<quint64> m_sortPacked;
    mutable std::vector<quint64> m_sortScratch;
    std::vector<int> m_colWidths;
    int m_colCount = 5;
    int m_rowCount = 5;
    int m_defaultColWidth = kDefaultColWidth;
    int m_defaultRowHeight = kDefaultRowHeight;
    int m_col = 0;
    int m_row = 1;
    GridRect m_selection { 0, 1, 0, 1 };
    bool m_rowSelect = false;
    bool m_tracking = true;
    int m_hiddenRowCount = 0;
    mutable qint64 m_rowListWork = 0;
    bool m_modified = false;
    bool m_cellEditing = false;
    int m_updateDepth = 0;
    bool m_savedUpdateOnSizeChange = false;
    TSortOptions m_sortOptions;
    TSortedList m_sortedList;
    std::function<void()> m_beforeNextChange;
    ChangedRows m_changedRows;
};
