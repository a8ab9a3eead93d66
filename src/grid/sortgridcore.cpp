#include "grid/sortgridcore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

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

const QString &SortGridCore::cellText(int col, int row) const
{
    static const QString empty;
    const Cell *cell = cellAt(col, row);
    return cell ? cell->text : empty;
}

void SortGridCore::setCells(int col, int row, const QString &text)
{
    if (Cell *cell = cellAt(col, row)) {
        cell->text = text;
        invalidateRow(row);
    }
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
    currentCellMoved(oldCol, oldRow);
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

// One pass per key, least significant first; each pass only permutes row indices.
void SortGridCore::sortKeyByKey(
    const QList<int> &keys, const std::vector<TSortStyle> &styles, std::vector<int> &order)
{
    const int dataRows = int(order.size());
    std::vector<QString> lowered; // reserved up front: entries view into it
    for (qsizetype k = keys.size() - 1; k >= 0; --k) {
        const int keyCol = keys[k];
        const TSortStyle style = styles[size_t(k)];
        m_sortedList.clear();
        m_sortedList.resize(size_t(dataRows));
        lowered.clear();
        lowered.reserve(size_t(dataRows));
        for (int p = 0; p < dataRows; ++p) {
            TSortedListEntry &entry = m_sortedList[size_t(p)];
            const QString &text = m_rows[size_t(order[size_t(p)])][keyCol].text;
            if (!m_sortOptions.SortCaseSensitive && hasAsciiCapitals(text)) {
                lowered.push_back(lowerAsciiLetters(text));
                entry.key = lowered.back();
            } else {
                entry.key = text;
            }
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
}

// When every key is numeric and each of its texts is a finite number or empty, the
// numeric comparison is a total order (empty before every number), and one pass over
// all keys at once gives exactly the order of the key-by-key passes. The placing always
// sorts such a table. Returns false, leaving the order alone, when that does not hold.
bool SortGridCore::sortAllNumericKeys(
    const QList<int> &keys, const std::vector<TSortStyle> &styles, std::vector<int> &order) const
{
    constexpr qsizetype kMaxKeys = 3;
    if (keys.size() > kMaxKeys
        || std::any_of(styles.begin(), styles.end(), [](TSortStyle s) { return s != ssNumeric; }))
        return false;
    struct Keyed
    {
        std::array<double, kMaxKeys> value {};
        int position = 0;
    };
    // Descending sorts compare negated values, so that one ascending comparison serves both.
    const double sign = m_sortOptions.SortDirection == sdDescending ? -1.0 : 1.0;
    const size_t rows = order.size();
    std::vector<Keyed> keyed(rows);
    for (size_t p = 0; p < rows; ++p) {
        const RowData &row = m_rows[size_t(order[p])];
        keyed[p].position = int(p);
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const QString &text = row[keys[k]].text;
            double value = -std::numeric_limits<double>::infinity();
            if (!text.isEmpty() && !(textToFloat(text, value) && std::isfinite(value)))
                return false;
            keyed[p].value[size_t(k)] = sign * value;
        }
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        if (a.value != b.value)
            return a.value < b.value;
        return a.position < b.position;
    });
    std::vector<int> next(rows);
    for (size_t p = 0; p < rows; ++p)
        next[p] = order[size_t(keyed[p].position)];
    order.swap(next);
    return true;
}

TSortStyle SortGridCore::DetectSortStyle(int col) const
{
    bool numeric = true;
    bool dateTime = true;
    bool time = true;
    double value = 0;
    for (int row = kFixedRows; row < m_rowCount && (numeric || dateTime || time); ++row) {
        const QString &text = cellText(col, row);
        numeric = numeric && textToFloat(text, value);
        dateTime = dateTime && textToDateTime(text, value);
        time = time && textToTime(text, value);
    }
    if (numeric)
        return ssNumeric;
    if (dateTime)
        return ssDateTime;
    return time ? ssTime : ssNormal;
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

    if (primaryValid && dataRows > 0) {
        // Styles are chosen least significant key first, as the passes would ask for them.
        // Automatic detection looks at every key column on its own, so that a date column
        // as a further key of a numeric one still sorts by date; the style of the primary
        // column is what stays in SortStyle.
        std::vector<TSortStyle> styles(size_t(keys.size()));
        const bool detect = !OnGetSortStyle && m_sortOptions.SortStyle == ssAutomatic;
        TSortStyle hookStyle = ssAutomatic;
        for (qsizetype k = keys.size() - 1; k >= 0; --k) {
            if (detect)
                m_sortOptions.SortStyle = DetectSortStyle(keys[k]);
            styles[size_t(k)] = ChooseSortStyle(keys[k], hookStyle);
        }
        if (!sortAllNumericKeys(keys, styles, order))
            sortKeyByKey(keys, styles, order);
    }
    m_sortedList.clear();

    if (primaryValid && dataRows > 0) {
        // Every row is in its place before the current cell moves, so that the
        // handlers of that move see a whole table.
        std::vector<RowData> moved(static_cast<size_t>(dataRows));
        for (int p = 0; p < dataRows; ++p)
            moved[size_t(p)] = std::move(m_rows[size_t(order[size_t(p)])]);
        for (int p = 0; p < dataRows; ++p)
            m_rows[size_t(p + kFixedRows)] = std::move(moved[size_t(p)]);
        bool currentPlaced = false;
        for (int p = 0; p < dataRows; ++p) {
            const int gridRow = p + kFixedRows;
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

void SortGridCore::SetEditText(int col, int row, const QString &text)
{
    Cell *cell = cellAt(col, row);
    if (!cell || cell->text == text)
        return;
    cell->text = text;
    invalidateRow(row);
    SetModified(true);
}

void SortGridCore::rebuildRows(const std::vector<int> &sources, int rowCount)
{
    std::vector<RowData> rows(sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        const int from = sources[i];
        if (from >= 0 && from < int(m_rows.size()))
            rows[i] = m_rows[size_t(from)];
        else
            rows[i].resize(m_colCount);
    }
    m_rows.swap(rows);
    rowCount = std::clamp(rowCount, kFixedRows, std::max(int(m_rows.size()), kFixedRows));
    m_hiddenRowCount = int(m_rows.size()) - rowCount;
    if (rowCount == m_rowCount)
        invalidateGrid();
    else
        setRowCount(rowCount);
}

void SortGridCore::InsertRow(int row)
{
    row = std::clamp(row, kFixedRows, m_rowCount);
    std::vector<int> sources;
    sources.reserve(m_rows.size() + 1);
    for (int i = 0; i < int(m_rows.size()); ++i) {
        if (i == row)
            sources.push_back(-1);
        sources.push_back(i);
    }
    if (row >= int(m_rows.size()))
        sources.push_back(-1);
    rebuildRows(sources, m_rowCount + 1);
}

void SortGridCore::DeleteRow(int row)
{
    if (row < kFixedRows || row >= m_rowCount)
        return;
    std::vector<int> sources;
    sources.reserve(m_rows.size());
    for (int i = 0; i < int(m_rows.size()); ++i) {
        if (i != row)
            sources.push_back(i);
    }
    rebuildRows(sources, m_rowCount - 1);
}

void SortGridCore::MoveColumn(int fromCol, int toCol)
{
    if (fromCol < 0 || fromCol >= m_colCount || toCol < 0 || toCol >= m_colCount || fromCol == toCol)
        return;
    for (RowData &row : m_rows)
        row.move(fromCol, toCol);
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
