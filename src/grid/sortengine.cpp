// The sort engine of the row store: key columns, style choice and detection, the
// sorting passes, and the search for a row by its text.
#include "grid/sortgridcore.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <numeric>
#include <utility>

namespace {

// Distinct words below largest in ascending order, least significant digit first: a few
// passes over the words instead of some twenty comparisons each.
void radixSort(std::vector<quint64> &words, std::vector<quint64> &scratch, quint64 largest)
{
    constexpr int kDigitBits = 11;
    constexpr quint64 kDigitMask = (quint64(1) << kDigitBits) - 1;
    scratch.resize(words.size());
    const int width = int(std::bit_width(largest));
    for (int shift = 0; shift < width; shift += kDigitBits) {
        std::array<size_t, size_t(1) << kDigitBits> starts {};
        for (const quint64 word : words)
            ++starts[(word >> shift) & kDigitMask];
        size_t start = 0;
        for (size_t &count : starts)
            start += std::exchange(count, start);
        for (const quint64 word : words)
            scratch[starts[(word >> shift) & kDigitMask]++] = word;
        words.swap(scratch);
    }
}

// Puts each word that is out of order where it belongs among the words before it, as long
// as that moves no more words than there are; false, with the words in some order, when it
// would move more.
bool insertOutOfOrder(std::vector<quint64> &words)
{
    size_t moves = 0;
    for (auto next = words.begin() + (words.empty() ? 0 : 1); next < words.end(); ++next) {
        if (*(next - 1) <= *next)
            continue;
        const auto at = std::upper_bound(words.begin(), next, *next);
        moves += size_t(next - at);
        if (moves > words.size())
            return false;
        std::rotate(at, next, next + 1);
    }
    return true;
}

// Distinct words, each below largest, in ascending order.
void sortWords(std::vector<quint64> &words, std::vector<quint64> &scratch, quint64 largest)
{
    // A table in order already (a placed protocol read back, a start list without marks)
    // keeps every row where it is; one in order but for a row or two (the placing after a
    // mark) moves only those.
    if (insertOutOfOrder(words))
        return;
    // A small table keeps the comparison sort: each radix pass clears and adds up 2,048
    // counters, more work than sorting a few hundred words.
    if (words.size() < 1024)
        std::sort(words.begin(), words.end());
    else
        radixSort(words, scratch, largest);
}

} // namespace

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
            const QString &text = rowCells(order[size_t(p)])[keyCol].text;
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
    if (size_t(keys.size()) > kMaxNumericKeys
        || std::any_of(styles.begin(), styles.end(), [](TSortStyle s) { return s != ssNumeric; }))
        return false;
    // Descending sorts compare negated values, so that one ascending comparison serves both.
    const double sign = m_sortOptions.SortDirection == sdDescending ? -1.0 : 1.0;
    constexpr double kEmpty = -std::numeric_limits<double>::infinity();
    const size_t rows = order.size();
    const auto keyCount = size_t(keys.size());

    // The keys, taken once into one flat array, kept from sort to sort: a large table is
    // placed again and again, and a fresh block would be paged in anew each time.
    std::vector<double> &values = m_sortValues;
    values.resize(rows * keyCount);
    std::array<double, kMaxNumericKeys> lowest {};
    std::array<double, kMaxNumericKeys> highest {};
    lowest.fill(std::numeric_limits<double>::infinity());
    highest.fill(-std::numeric_limits<double>::infinity());
    bool whole = true;
    for (size_t p = 0; p < rows; ++p) {
        if (p + kPrefetchRows < rows) {
            for (size_t k = 0; k < keyCount; ++k)
                prefetchCell(keys[qsizetype(k)], order[p + kPrefetchRows]);
        }
        const Cell *row = rowCells(order[p]);
        for (size_t k = 0; k < keyCount; ++k) {
            const QString &text = row[keys[qsizetype(k)]].text;
            double value = kEmpty;
            if (!text.isEmpty()) {
                if (!(textToFloat(text, value) && std::isfinite(value)))
                    return false;
                whole = whole && value == std::trunc(value) && std::abs(value) < 0x1p52;
                lowest[k] = std::min(lowest[k], sign * value);
                highest[k] = std::max(highest[k], sign * value);
            }
            values[p * keyCount + k] = sign * value;
        }
    }

    std::vector<int> next(rows);
    if (!whole || !sortPackedKeys(keyCount, lowest, highest, next)) {
        // Any finite numbers: row positions ordered by the keys, position last.
        for (size_t p = 0; p < rows; ++p)
            next[p] = int(p);
        std::sort(next.begin(), next.end(), [&values, keyCount](int a, int b) {
            const double *left = values.data() + size_t(a) * keyCount;
            const double *right = values.data() + size_t(b) * keyCount;
            for (size_t k = 0; k < keyCount; ++k) {
                if (left[k] != right[k])
                    return left[k] < right[k];
            }
            return a < b;
        });
    }
    for (size_t p = 0; p < rows; ++p)
        next[p] = order[size_t(next[p])];
    order.swap(next);
    return true;
}

bool SortGridCore::sortPackedKeys(size_t keyCount, const std::array<double, kMaxNumericKeys> &lowest,
    const std::array<double, kMaxNumericKeys> &highest, std::vector<int> &positions) const
{
    // Whole numbers in a range that fits: each row's keys and position become one word
    // (empty below every number, which descending sorts see as above), so the sort
    // compares plain integers and no two words are equal. Totals and places always fit.
    const size_t rows = positions.size();
    std::array<quint64, kMaxNumericKeys> spans {};
    quint64 room = rows;
    for (size_t k = 0; k < keyCount; ++k) {
        const double range = highest[k] >= lowest[k] ? highest[k] - lowest[k] : 0.0;
        if (range > 0x1p40)
            return false;
        spans[k] = quint64(range) + 3; // empty, the numbers, empty negated
        if (__builtin_mul_overflow(room, spans[k], &room))
            return false;
    }
    std::vector<quint64> &packed = m_sortPacked;
    packed.resize(rows);
    const double *value = m_sortValues.data();
    for (size_t p = 0; p < rows; ++p) {
        quint64 word = 0;
        for (size_t k = 0; k < keyCount; ++k, ++value) {
            quint64 slot = 0;
            if (*value == -std::numeric_limits<double>::infinity())
                slot = 0;
            else if (*value == std::numeric_limits<double>::infinity())
                slot = spans[k] - 1;
            else
                slot = quint64(*value - lowest[k]) + 1;
            word = word * spans[k] + slot;
        }
        packed[p] = word * rows + p;
    }
    sortWords(packed, m_sortScratch, room - 1);
    for (size_t p = 0; p < rows; ++p)
        positions[p] = int(packed[p] % rows);
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
    sortRows(column, [this](int primary, std::vector<int> &order) {
        const QList<int> keys = sortKeyColumns(primary);
        if (keys.isEmpty() || keys.first() != primary || order.empty())
            return false;
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
        m_sortedList.clear();
        return true;
    });
}

bool SortGridCore::SortRowsByKeys(int column, std::vector<quint64> &keys)
{
    const size_t rows = keys.size();
    if (!m_sortOptions.CanSort || rows != size_t(std::max(m_rowCount - kFixedRows, 0)))
        return false;
    // Each key and its position as one word, the position in the low bits: both come back
    // with a shift and a mask.
    const quint64 highest = rows ? *std::max_element(keys.begin(), keys.end()) : 0;
    const int positionBits = std::bit_width(rows);
    if (std::bit_width(highest) + positionBits > 64)
        return false;
    const quint64 positionMask = (quint64(1) << positionBits) - 1;
    sortRows(column, [&](int, std::vector<int> &order) {
        std::vector<quint64> &packed = m_sortPacked;
        packed.resize(rows);
        for (size_t p = 0; p < rows; ++p)
            packed[p] = keys[p] << positionBits | p;
        sortWords(packed, m_sortScratch, highest << positionBits | positionMask);
        for (size_t p = 0; p < rows; ++p) {
            keys[p] = packed[p] >> positionBits;
            order[p] = int(packed[p] & positionMask) + kFixedRows;
        }
        return rows > 0;
    });
    return true;
}

void SortGridCore::sortRows(int column, const std::function<bool(int, std::vector<int> &)> &sortRows)
{
    m_sortOptions.SortCol = column;
    BeginUpdate();
    int primary = column;
    if (OnSortStarting)
        OnSortStarting(this, primary);

    QList<int> selected;
    for (const QString &row : std::as_const(SelectedRowList))
        selected.append(row.toInt());
    std::sort(selected.begin(), selected.end());

    // order[p] is the store row that ends up at data position p. Intermediate passes
    // only permute indices; the rows themselves move once, after the final pass.
    const int dataRows = m_rowCount - kFixedRows;
    std::vector<int> order(size_t(std::max(dataRows, 0)));
    for (int p = 0; p < dataRows; ++p)
        order[size_t(p)] = p + kFixedRows;

    if (sortRows(primary, order)) {
        // Every row is in its place before the current cell moves, so that the
        // handlers of that move see a whole table.
        permuteDataRows(order);
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

void SortGridCore::permuteDataRows(const std::vector<int> &order)
{
    // Along the cycles of the permutation: each row moves once, through one spare row.
    // Cells are relocatable, so a row moves as its bytes, without touching the texts.
    static_assert(QTypeInfo<QString>::isRelocatable);
    const size_t rowBytes = sizeof(Cell) * size_t(m_colCount);
    std::vector<std::byte> spare(rowBytes);
    std::vector<bool> placed(order.size());
    const auto rowAt
        = [this](size_t position) { return static_cast<void *>(rowCells(int(position) + kFixedRows)); };
    const auto prefetchRow = [&](size_t position) {
        const char *bytes = static_cast<const char *>(rowAt(position));
        for (size_t offset = 0; offset < rowBytes; offset += 64)
            __builtin_prefetch(bytes + offset);
    };
    constexpr int kLookAhead = 4;
    for (size_t start = 0; start < order.size(); ++start) {
        if (placed[start])
            continue;
        placed[start] = true;
        if (order[start] == int(start) + kFixedRows)
            continue;
        beforeChange();
        std::memcpy(spare.data(), rowAt(start), rowBytes);
        // The rows of a cycle lie anywhere in a large table: ask for the next few early.
        size_t ahead = start;
        for (int i = 0; i < kLookAhead && ahead != start + order.size(); ++i) {
            ahead = size_t(order[ahead] - kFixedRows);
            if (ahead == start)
                ahead = start + order.size();
            else
                prefetchRow(ahead);
        }
        size_t at = start;
        for (;;) {
            const size_t from = size_t(order[at] - kFixedRows);
            if (from == start) {
                std::memcpy(rowAt(at), spare.data(), rowBytes);
                break;
            }
            if (ahead != start + order.size()) {
                ahead = size_t(order[ahead] - kFixedRows);
                if (ahead == start)
                    ahead = start + order.size();
                else
                    prefetchRow(ahead);
            }
            std::memcpy(rowAt(at), rowAt(from), rowBytes);
            placed[from] = true;
            at = from;
        }
    }
}

int SortGridCore::FindRowWithText(int col, const QString &text, bool ignoreCase) const
{
    const int last = std::min(m_rowCount + m_hiddenRowCount, storedRows());
    if (col < 0 || col >= m_colCount)
        return -1;
    if (ignoreCase) {
        const QString wanted = lowerAsciiLetters(text);
        for (int row = kFixedRows; row < last; ++row) {
            if (lowerAsciiLetters(rowCells(row)[col].text) == wanted)
                return row;
        }
        return -1;
    }
    // Compared in place: a copy of each text would touch its shared block twice.
    for (int row = kFixedRows; row < last; ++row) {
        if (rowCells(row)[col].text == text)
            return row;
    }
    return -1;
}
