#include "grid/sortgridcore.h"

#include "grid/sharedtexts.h"

#include <algorithm>

namespace {

// What a cell keeps of a text: short ones from the shared table, so that a large
// table's marks neither take a heap block each nor lie scattered over the heap.
const QString &storedText(const QString &text)
{
    return SharedTexts::isShort(text) ? SharedTexts::shared(text) : text;
}

} // namespace

SortGridCore::SortGridCore()
{
    resizeStorage(m_colCount);
    m_colWidths.assign(size_t(m_colCount), m_defaultColWidth);
}

SortGridCore::~SortGridCore() = default;

const SortGridCore::Cell *SortGridCore::cellAt(int col, int row) const
{
    if (col < 0 || col >= m_colCount || row < 0 || row >= storedRows())
        return nullptr;
    return rowCells(row) + col;
}

SortGridCore::Cell *SortGridCore::cellAt(int col, int row)
{
    if (col < 0 || col >= m_colCount || row < 0 || row >= storedRows())
        return nullptr;
    return rowCells(row) + col;
}

QString SortGridCore::Cells(int col, int row) const
{
    const Cell *cell = cellAt(col, row);
    return cell ? cell->text : QString();
}

bool SortGridCore::assignText(Cell &cell, int row, const QString &text)
{
    // The very text the cell holds (a shared one, or one copied from it): nothing to do.
    if (text.constData() == cell.text.constData() && text.size() == cell.text.size()
        && text.isNull() == cell.text.isNull())
        return false;
    const QString &stored = storedText(text);
    // The same characters: the placing rewrites most totals and places with the texts
    // they already hold, shared ones or (in a table just read) ones of their own, which
    // stay rather than go back to the heap one by one.
    if (stored.size() == cell.text.size() && stored.isNull() == cell.text.isNull()
        && (stored.constData() == cell.text.constData() || QStringView(stored) == QStringView(cell.text)))
        return false;
    beforeAnyChange();
    m_changedRows.first = std::min(m_changedRows.first, row);
    m_changedRows.last = std::max(m_changedRows.last, row);
    m_textUnits += stored.size() - cell.text.size();
    cell.text = stored;
    return true;
}

void SortGridCore::countTextUnits()
{
    m_textUnits = 0;
    for (const Cell &cell : m_cells)
        m_textUnits += cell.text.size();
}

const QString &SortGridCore::emptyText()
{
    static const QString empty;
    return empty;
}

void SortGridCore::setCells(int col, int row, const QString &text)
{
    // A text written again as it stands needs no repaint: the placing rewrites most of them.
    if (Cell *cell = cellAt(col, row); cell && assignText(*cell, row, text))
        invalidateRow(row);
}

QObject *SortGridCore::Objects(int col, int row) const
{
    const Cell *cell = cellAt(col, row);
    return cell ? cell->object : nullptr;
}

void SortGridCore::setObjects(int col, int row, QObject *object)
{
    if (Cell *cell = cellAt(col, row))
        cell->object = object;
}

QStringList SortGridCore::Rows(int row) const
{
    QStringList texts;
    if (row < 0 || row >= storedRows())
        return texts;
    texts.reserve(m_colCount);
    const Cell *cells = rowCells(row);
    for (int c = 0; c < m_colCount; ++c)
        texts.append(cells[c].text);
    return texts;
}

void SortGridCore::setRows(int row, const QStringList &texts)
{
    if (row < 0 || row >= storedRows())
        return;
    Cell *data = rowCells(row);
    for (int c = 0; c < m_colCount; ++c) {
        assignText(data[c], row, c < texts.size() ? texts[c] : QString());
        data[c].object = nullptr;
    }
    invalidateRow(row);
}

void SortGridCore::setRowTexts(int row, std::span<const QString *const> texts, bool clearObjects)
{
    if (row < 0 || row >= storedRows())
        return;
    Cell *cells = rowCells(row);
    const size_t count = std::min(texts.size(), size_t(m_colCount));
    for (size_t c = 0; c < count; ++c)
        assignText(cells[c], row, texts[c] ? *texts[c] : emptyText());
    if (clearObjects) {
        for (int c = 0; c < m_colCount; ++c)
            cells[c].object = nullptr;
    }
    invalidateRow(row);
}

void SortGridCore::resizeStorage(int oldColCount)
{
    const size_t rows = size_t(m_rowCount + m_hiddenRowCount);
    const size_t cols = size_t(m_colCount);
    m_storedRows = int(rows);
    if (oldColCount == m_colCount || m_cells.empty()) {
        for (size_t i = rows * cols; i < m_cells.size(); ++i)
            m_textUnits -= m_cells[i].text.size();
        m_cells.resize(rows * cols);
        return;
    }
    // A new row length: every row moves to its new place, cut or widened by empty cells.
    const size_t oldCols = size_t(oldColCount);
    const size_t keptRows = std::min(rows, m_cells.size() / oldCols);
    const size_t keptCols = std::min(cols, oldCols);
    std::vector<Cell> cells(rows * cols);
    for (size_t r = 0; r < keptRows; ++r) {
        const auto from = m_cells.begin() + std::ptrdiff_t(r * oldCols);
        std::move(from, from + std::ptrdiff_t(keptCols), cells.begin() + std::ptrdiff_t(r * cols));
    }
    m_cells.swap(cells);
    countTextUnits();
}

void SortGridCore::setColCount(int count)
{
    count = std::max(count, 1);
    if (count == m_colCount)
        return;
    beforeChange();
    const int oldCols = m_colCount;
    m_colCount = count;
    m_colWidths.resize(size_t(count), m_defaultColWidth);
    resizeStorage(oldCols);
    m_col = std::min(m_col, count - 1);
    m_selection.Left = std::min(m_selection.Left, count - 1);
    m_selection.Right = std::min(m_selection.Right, count - 1);
    sizeChanged(oldCols, m_rowCount);
}

void SortGridCore::setRowCount(int count)
{
    count = std::max(count, kFixedRows);
    if (count == m_rowCount)
        return;
    beforeChange();
    const int oldRows = m_rowCount;
    m_rowCount = count;
    resizeStorage(m_colCount);
    if (m_row >= count) {
        m_row = count - 1;
        m_selection.Top = std::min(m_selection.Top, m_row);
        m_selection.Bottom = std::min(m_selection.Bottom, m_row);
    }
    sizeChanged(m_colCount, oldRows);
}

void SortGridCore::setHiddenRowCount(int count)
{
    beforeChange();
    m_hiddenRowCount = std::max(count, 0);
    resizeStorage(m_colCount);
}

void SortGridCore::sizeChanged(int oldColCount, int oldRowCount)
{
    SetModified(true);
    updateScrollBars();
    if (m_sortOptions.UpdateOnSizeChange)
        SortRowsByColumn(m_sortOptions.SortCol);
    if (!Updating()) {
        layoutChanged();
        if (m_rowCount > kFixedRows && MoveCurrent(0, 1))
            scrollIntoView(0, 1);
    }
    if (m_rowCount < 2)
        showMessage(QStringLiteral("Rowsize too small"));
    if (OnSizeChanged)
        OnSizeChanged(this, oldColCount, oldRowCount);
}

void SortGridCore::setDefaultColWidth(int width)
{
    if (width == m_defaultColWidth)
        return;
    m_defaultColWidth = width;
    std::fill(m_colWidths.begin(), m_colWidths.end(), width);
    colWidthsChanged();
}

void SortGridCore::setDefaultRowHeight(int height)
{
    if (height == m_defaultRowHeight)
        return;
    m_defaultRowHeight = height;
    rowHeightsChanged();
}

int SortGridCore::ColWidths(int col) const
{
    if (col < 0 || col >= m_colCount)
        return 0;
    return m_colWidths[size_t(col)];
}

void SortGridCore::setColWidths(int col, int width)
{
    if (col < 0 || col >= m_colCount || m_colWidths[size_t(col)] == width)
        return;
    m_colWidths[size_t(col)] = width;
    colWidthsChanged();
}

bool SortGridCore::SelectCell(int col, int row)
{
    bool canSelect = true;
    if (OnSelectCell)
        OnSelectCell(this, col, row, canSelect);
    return canSelect;
}

bool SortGridCore::MoveCurrent(int col, int row)
{
    if (col < 0 || col >= m_colCount || row < kFixedRows || row >= m_rowCount)
        return false;
    if (!SelectCell(col, row))
        return false;
    const int oldRow = m_row;
    const int oldCol = m_col;
    m_col = col;
    m_row = row;
    if (m_rowSelect)
        m_selection = GridRect { 0, row, m_colCount - 1, row };
    else
        m_selection = GridRect { col, row, col, row };
    if (m_tracking) {
        ClearSelection();
        SelectedRowList.append(QString::number(row));
        AnchorRowList = QStringList { QString::number(row) };
        if (OnRowSelected)
            OnRowSelected(this);
    }
    invalidateRow(oldRow);
    invalidateRow(row);
    currentCellMoved(oldCol, oldRow);
    return true;
}

void SortGridCore::setSelection(const GridRect &rect)
{
    GridRect clamped {
        std::clamp(std::min(rect.Left, rect.Right), 0, m_colCount - 1),
        std::clamp(std::min(rect.Top, rect.Bottom), 0, m_rowCount - 1),
        std::clamp(std::max(rect.Left, rect.Right), 0, m_colCount - 1),
        std::clamp(std::max(rect.Top, rect.Bottom), 0, m_rowCount - 1),
    };
    if (clamped == m_selection)
        return;
    m_selection = clamped;
    invalidateGrid();
}

void SortGridCore::setRowSelect(bool on)
{
    if (on == m_rowSelect)
        return;
    m_rowSelect = on;
    if (on)
        m_selection = GridRect { 0, m_row, m_colCount - 1, m_row };
    else
        m_selection = GridRect { m_col, m_row, m_col, m_row };
    invalidateGrid();
}

bool SortGridCore::rowListContains(const QStringList &list, const QString &row) const
{
    m_rowListWork += list.size();
    return list.contains(row);
}

std::vector<bool> SortGridCore::rowListMarks(const QStringList &list, int first, int last) const
{
    std::vector<bool> marks(size_t(std::max(0, last - first + 1)));
    m_rowListWork += list.size();
    for (const QString &text : list) {
        bool ok = false;
        const int row = text.toInt(&ok);
        // Only the canonical text counts as the row, as a text comparison would have it.
        if (ok && row >= first && row <= last && text == QString::number(row))
            marks[size_t(row - first)] = true;
    }
    return marks;
}

void SortGridCore::ClearSelection()
{
    m_rowListWork += SelectedRowList.size();
    for (const QString &row : std::as_const(SelectedRowList))
        invalidateRow(row.toInt());
    SelectedRowList.clear();
    AnchorRowList = QStringList { QString() };
}

void SortGridCore::SetModified(bool modified)
{
    m_modified = modified;
    if (modified && OnModified)
        OnModified(this);
}

void SortGridCore::BeginUpdate()
{
    if (m_updateDepth++ == 0) {
        m_savedUpdateOnSizeChange = m_sortOptions.UpdateOnSizeChange;
        m_sortOptions.UpdateOnSizeChange = false;
        screenBeginUpdate();
    }
}

void SortGridCore::EndUpdate()
{
    if (m_updateDepth == 0)
        return;
    if (--m_updateDepth == 0) {
        layoutChanged();
        screenEndUpdate();
        m_sortOptions.UpdateOnSizeChange = m_savedUpdateOnSizeChange;
    }
    if (OnEndUpdate)
        OnEndUpdate(this);
}

void SortGridCore::SetEditText(int col, int row, const QString &text)
{
    Cell *cell = cellAt(col, row);
    if (!cell || cell->text == text)
        return;
    assignText(*cell, row, text);
    invalidateRow(row);
    SetModified(true);
}

void SortGridCore::rebuildRows(const std::vector<int> &sources, int rowCount)
{
    beforeChange();
    const size_t cols = size_t(m_colCount);
    std::vector<Cell> cells(sources.size() * cols);
    for (size_t i = 0; i < sources.size(); ++i) {
        const int from = sources[i];
        if (from >= 0 && from < storedRows())
            std::copy(rowCells(from), rowCells(from) + cols, cells.begin() + std::ptrdiff_t(i * cols));
    }
    m_cells.swap(cells);
    m_storedRows = int(sources.size());
    countTextUnits();
    const int stored = storedRows();
    rowCount = std::clamp(rowCount, kFixedRows, std::max(stored, kFixedRows));
    m_hiddenRowCount = stored - rowCount;
    if (rowCount == m_rowCount)
        invalidateGrid();
    else
        setRowCount(rowCount);
}

void SortGridCore::InsertRow(int row)
{
    row = std::clamp(row, kFixedRows, m_rowCount);
    std::vector<int> sources;
    const int stored = storedRows();
    sources.reserve(size_t(stored) + 1);
    for (int i = 0; i < stored; ++i) {
        if (i == row)
            sources.push_back(-1);
        sources.push_back(i);
    }
    if (row >= stored)
        sources.push_back(-1);
    rebuildRows(sources, m_rowCount + 1);
}

void SortGridCore::DeleteRow(int row)
{
    if (row < kFixedRows || row >= m_rowCount)
        return;
    std::vector<int> sources;
    const int stored = storedRows();
    sources.reserve(size_t(stored));
    for (int i = 0; i < stored; ++i) {
        if (i != row)
            sources.push_back(i);
    }
    rebuildRows(sources, m_rowCount - 1);
}

void SortGridCore::MoveColumn(int fromCol, int toCol)
{
    if (fromCol < 0 || fromCol >= m_colCount || toCol < 0 || toCol >= m_colCount || fromCol == toCol)
        return;
    beforeChange();
    for (int row = 0; row < storedRows(); ++row) {
        Cell *cells = rowCells(row);
        if (fromCol < toCol)
            std::rotate(cells + fromCol, cells + fromCol + 1, cells + toCol + 1);
        else
            std::rotate(cells + toCol, cells + fromCol, cells + fromCol + 1);
    }
    const int width = m_colWidths[size_t(fromCol)];
    m_colWidths.erase(m_colWidths.begin() + fromCol);
    m_colWidths.insert(m_colWidths.begin() + toCol, width);
    colWidthsChanged();
}

void SortGridCore::DeleteColumn(int col)
{
    if (col < 0 || col >= m_colCount || m_colCount <= 1)
        return;
    MoveColumn(col, m_colCount - 1);
    setColCount(m_colCount - 1);
}
