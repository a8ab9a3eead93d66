// The sort engine of the row store: key columns, style choice and detection, the
// sorting passes, and the search for a row by its text.
#include "grid/sortgridcore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

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
