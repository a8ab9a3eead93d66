#include "grid/sortgridcore.h"

#include <algorithm>

SortGridCore::SortGridCore()
{
    resizeStorage();
    m_colWidths.assign(size_t(m_colCount), m_defaultColWidth);
}

SortGridCore::~SortGridCore() = default;

const SortGridCore::Cell *SortGridCore::cellAt(int col, int row) const
{
    if (col < 0 || col >= m_colCount || row < 0 || row >= int(m_rows.size()))
        return nullptr;
    return &m_rows[size_t(row)][col];
}

SortGridCore::Cell *SortGridCore::cellAt(int col, int row)
{
    if (col < 0 || col >= m_colCount || row < 0 || row >= int(m_rows.size()))
        return nullptr;
    return &m_rows[size_t(row)][col];
}

QString SortGridCore::Cells(int col, int row) const
{
    const Cell *cell = cellAt(col, row);
    return cell ? cell->text : QString();
}

void SortGridCore::setCells(int col, int row, const QString &text)
{
    if (Cell *cell = cellAt(col, row)) {
        cell->text = text;
        invalidateRow(row);
    }
}

const QString &SortGridCore::cellText(int col, int row) const
{
    static const QString kNone;
    const Cell *cell = cellAt(col, row);
    return cell ? cell->text : kNone;
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
    if (row < 0 || row >= int(m_rows.size()))
        return texts;
    texts.reserve(m_colCount);
    for (const Cell &cell : m_rows[size_t(row)])
        texts.append(cell.text);
    return texts;
}

void SortGridCore::setRows(int row, const QStringList &texts)
{
    if (row < 0 || row >= int(m_rows.size()))
        return;
    RowData &data = m_rows[size_t(row)];
    for (int c = 0; c < m_colCount; ++c)
        data[c] = Cell { c < texts.size() ? texts[c] : QString(), nullptr };
    invalidateRow(row);
}

void SortGridCore::resizeStorage()
{
    const size_t wanted = size_t(m_rowCount + m_hiddenRowCount);
    m_rows.resize(wanted);
    for (RowData &row : m_rows)
        row.resize(m_colCount);
}

void SortGridCore::setColCount(int count)
{
    count = std::max(count, 1);
    if (count == m_colCount)
        return;
    const int oldCols = m_colCount;
    m_colCount = count;
    m_colWidths.resize(size_t(count), m_defaultColWidth);
    resizeStorage();
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
    const int oldRows = m_rowCount;
    m_rowCount = count;
    resizeStorage();
    if (m_row >= count) {
        m_row = count - 1;
        m_selection.Top = std::min(m_selection.Top, m_row);
        m_selection.Bottom = std::min(m_selection.Bottom, m_row);
    }
    sizeChanged(m_colCount, oldRows);
}

void SortGridCore::setHiddenRowCount(int count)
{
    m_hiddenRowCount = std::max(count, 0);
    resizeStorage();
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
    layoutChanged();
}

void SortGridCore::setDefaultRowHeight(int height)
{
    if (height == m_defaultRowHeight)
        return;
    m_defaultRowHeight = height;
    layoutChanged();
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
    layoutChanged();
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
    m_col = col;
    m_row = row;
    if (m_rowSelect)
        m_selection = TGridRect { 0, row, m_colCount - 1, row };
    else
        m_selection = TGridRect { col, row, col, row };
    if (m_tracking) {
        ClearSelection();
        SelectedRowList.append(QString::number(row));
        AnchorRowList = QStringList { QString::number(row) };
        if (OnRowSelected)
            OnRowSelected(this);
    }
    invalidateRow(oldRow);
    invalidateRow(row);
    return true;
}

void SortGridCore::setSelection(const TGridRect &rect)
{
    TGridRect clamped {
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
        m_selection = TGridRect { 0, m_row, m_colCount - 1, m_row };
    else
        m_selection = TGridRect { m_col, m_row, m_col, m_row };
    invalidateGrid();
}

void SortGridCore::ClearSelection()
{
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

QList<int> SortGridCore::sortKeyColumns(int primary) const
{
    // Comma text: items separated by commas or blanks, double quotes group an item.
    QStringList items;
    const QString &text = m_sortOptions.SecondaryIndex;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == u',' || text[i] <= u' '))
            ++i;
        if (i >= text.size())
            break;
        QString item;
        if (text[i] == u'"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == u'"') {
                    if (i + 1 < text.size() && text[i + 1] == u'"') {
                        item += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < text.size() && text[i] != u',' && text[i] > u' ')
                item += text[i++];
        }
        items.append(item);
    }

    const QString primaryText = QString::number(primary);
    items.removeOne(primaryText);
    items.prepend(primaryText);

    QList<int> columns;
    for (const QString &item : std::as_const(items)) {
        bool ok = false;
        const int column = item.toInt(&ok);
        if (ok && column >= 0 && column < m_colCount)
            columns.append(column);
    }
    return columns;
}

TSortStyle SortGridCore::ChooseSortStyle(int col, TSortStyle &hookStyle)
{
    if (OnGetSortStyle) {
        OnGetSortStyle(this, col, hookStyle);
        m_sortOptions.SortStyle = hookStyle;
    }
    return m_sortOptions.SortStyle;
}

void SortGridCore::SortRowsByColumn(int column)
{
    if (!m_sortOptions.CanSort)
        return;
    m_sortOptions.SortCol = column;
    BeginUpdate();
    int primary = column;
    if (OnSortStarting)
        OnSortStarting(this, primary);

    QList<int> selected;
    for (const QString &row : std::as_const(SelectedRowList))
        selected.append(row.toInt());
    std::sort(selected.begin(), selected.end());

    const QList<int> keys = sortKeyColumns(primary);
    const bool primaryValid = !keys.isEmpty() && keys.first() == primary;
    const int dataRows = m_rowCount - kFixedRows;

    // order[p] is the store row that ends up at data position p. Intermediate passes
    // only permute indices; the rows themselves move once, after the final pass.
    std::vector<int> order(size_t(std::max(dataRows, 0)));
    for (int p = 0; p < dataRows; ++p)
        order[size_t(p)] = p + kFixedRows;

    TSortStyle hookStyle = ssAutomatic;
    for (qsizetype k = keys.size() - 1; primaryValid && dataRows > 0 && k >= 0; --k) {
        const int keyCol = keys[k];
        const TSortStyle style = ChooseSortStyle(keyCol, hookStyle);
        m_sortedList.clear();
        m_sortedList.resize(size_t(dataRows));
        for (int p = 0; p < dataRows; ++p) {
            TSortedListEntry &entry = m_sortedList[size_t(p)];
            const QString &text = m_rows[size_t(order[size_t(p)])][keyCol].text;
            entry.key = m_sortOptions.SortCaseSensitive ? text : lowerAsciiLetters(text);
            entry.rowNumber = p + kFixedRows;
            prepareSortEntry(entry, style);
        }
        quickSortEntries(m_sortedList, style, m_sortOptions.SortDirection, m_sortOptions.CustomCompare);
        std::vector<int> next(order.size());
        for (int p = 0; p < dataRows; ++p)
            next[size_t(p)] = order[size_t(m_sortedList[size_t(p)].rowNumber - kFixedRows)];
        order.swap(next);
    }
    m_sortedList.clear();

    if (primaryValid && dataRows > 0) {
        std::vector<RowData> moved(static_cast<size_t>(dataRows));
        for (int p = 0; p < dataRows; ++p)
            moved[size_t(p)] = m_rows[size_t(order[size_t(p)])];
        bool currentPlaced = false;
        for (int p = 0; p < dataRows; ++p) {
            const int gridRow = p + kFixedRows;
            m_rows[size_t(gridRow)] = std::move(moved[size_t(p)]);
            if (!std::binary_search(selected.begin(), selected.end(), order[size_t(p)]))
                continue;
            if (!currentPlaced) {
                currentPlaced = true;
                if (m_row != gridRow)
                    MoveCurrent(m_col, gridRow);
                SelectedRowList.clear();
                AnchorRowList.clear();
            }
            SelectedRowList.append(QString::number(gridRow));
            AnchorRowList.append(QString::number(gridRow));
        }
        invalidateGrid();
    }

    m_sortOptions.CustomCompare = nullptr;
    if (OnSortFinished)
        OnSortFinished(this, primary);
    EndUpdate();
}

int SortGridCore::FindRowWithText(int col, const QString &text, bool ignoreCase) const
{
    const int last = std::min(m_rowCount + m_hiddenRowCount, int(m_rows.size()));
    if (col < 0 || col >= m_colCount)
        return -1;
    const QString wanted = ignoreCase ? lowerAsciiLetters(text) : text;
    for (int row = kFixedRows; row < last; ++row) {
        const QString &cell = m_rows[size_t(row)][col].text;
        if ((ignoreCase ? lowerAsciiLetters(cell) : cell) == wanted)
            return row;
    }
    return -1;
}
