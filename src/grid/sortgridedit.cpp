// Row and column insertion, deletion and moves, and the filter of the sortable grid.
#include "grid/sortgrid.h"

#include <algorithm>

namespace {

bool rowIsEmpty(const QStringList &texts)
{
    return std::all_of(texts.begin(), texts.end(), [](const QString &text) { return text.isEmpty(); });
}

} // namespace

template <class Function> void TSortGrid::withoutAlwaysShowEditor(Function &&function)
{
    const bool always = hasOption(goAlwaysShowEditor);
    if (always)
        setOption(goAlwaysShowEditor, false);
    function();
    if (always)
        setOption(goAlwaysShowEditor, true);
}

void TSortGrid::InsertGridRow(int row)
{
    const int oldLast = RowCount() - 1;
    const int target = std::clamp(row, 1, std::max(1, oldLast)) < oldLast ? std::max(row, 1) : oldLast + 1;
    InsertRow(target);
    for (int c = 0; c < ColCount(); ++c)
        setCells(c, target, QString());
    selectSingleRow(target);
    if (OnRowInsert)
        OnRowInsert(this, target);
}

void TSortGrid::DeleteGridRow(int row)
{
    withoutAlwaysShowEditor([&] {
        SetModified(true);
        if (RowCount() < 3) {
            for (int c = 0; c < ColCount(); ++c)
                setCells(c, 1, QString());
        } else {
            DeleteRow(row);
        }
    });
    if (OnRowDelete)
        OnRowDelete(this, row);
}

void TSortGrid::InsertGridColumn(int col)
{
    col = std::clamp(col, 0, ColCount());
    setColCount(ColCount() + 1);
    MoveColumn(ColCount() - 1, col);
    for (int r = 0; r < RowCount() + HiddenRowCount(); ++r)
        setCells(col, r, QString());
    setColWidths(col, DefaultColWidth());
    MoveCurrent(col, Row());
    if (OnColumnInsert)
        OnColumnInsert(this, col);
}

void TSortGrid::DeleteGridColumn(int col)
{
    if (col < 0 || col >= ColCount() || ColCount() <= 1)
        return;
    withoutAlwaysShowEditor([&] {
        for (int r = 0; r < RowCount() + HiddenRowCount(); ++r)
            setCells(col, r, QString());
        DeleteColumn(col);
    });
    if (OnColumnDelete)
        OnColumnDelete(this, col);
}

void TSortGrid::moveColumnByDrag(int fromCol, int toCol)
{
    withoutAlwaysShowEditor([&] { GridBase::moveColumnByDrag(fromCol, toCol); });
}

void TSortGrid::columnMoved(int fromCol, int toCol)
{
    SetModified(true);
    int &sortCol = SortOptions().SortCol;
    if (fromCol == sortCol)
        sortCol = toCol;
    else if (toCol <= sortCol && sortCol <= fromCol)
        ++sortCol;
    else if (fromCol <= sortCol && sortCol <= toCol)
        --sortCol;
}

// --- Filter ------------------------------------------------------------------------------

void TSortGrid::setFiltered(bool on)
{
    m_filtered = on;
    const bool firstRowEmpty = RowCount() < 2 || rowIsEmpty(Rows(1));
    if (!((!on || !firstRowEmpty) && (on || HiddenRowCount() > 0)))
        return;
    const bool modified = Modified();
    const bool openBracket = !Updating();
    if (openBracket)
        BeginUpdate();
    if (on) {
        const int rowCount = RowCount();
        const int stored = rowCount + HiddenRowCount();
        std::vector<int> accepted { 0 };
        std::vector<int> rejected;
        for (int row = 1; row < rowCount; ++row) {
            bool accept = false;
            if (OnSetFilter)
                OnSetFilter(this, Rows(row), accept);
            (accept ? accepted : rejected).push_back(row);
        }
        for (int row = rowCount; row < stored; ++row)
            rejected.push_back(row);
        const int visible = int(accepted.size());
        std::vector<int> sources = accepted;
        if (visible == 1)
            sources.push_back(-1);
        sources.insert(sources.end(), rejected.begin(), rejected.end());
        rebuildRows(sources, std::max(visible, 2));
        if (visible > 1)
            SortRowsByColumn(SortOptions().SortCol);
        GoToCell(0, 1, true);
    } else {
        const int hidden = HiddenRowCount();
        std::vector<int> sources;
        const int stored = RowCount() + hidden;
        for (int row = 0; row < stored; ++row)
            sources.push_back(row);
        if (stored > 2 && rowIsEmpty(Rows(1)))
            sources.erase(sources.begin() + 1);
        rebuildRows(sources, int(sources.size()));
        if (hidden > 0)
            SortRowsByColumn(SortOptions().SortCol);
    }
    if (openBracket)
        EndUpdate();
    SetModified(modified);
}
