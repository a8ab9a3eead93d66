#include "scoring/resulttable.h"

#include "grid/sortgridcore.h"
#include "scoring/marks.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>
#include <limits>
#include <span>

ResultTable::ResultTable(SortGridCore &grid, QObject *parent)
    : QObject(parent)
    , m_grid(grid)
{ }

ResultTable::~ResultTable()
{
    m_grid.OnSelectCell = nullptr;
}

void ResultTable::setUpGrid()
{
    m_grid.setColCount(kColumnCount);
    m_grid.setDefaultColWidth(kColWidth);
    m_grid.setDefaultRowHeight(kRowHeight);
    m_grid.setRowSelect(true);
    TSortOptions &options = m_grid.SortOptions();
    options.CanSort = false;
    options.SecondaryIndex = QString::number(ColRawTotal);
    options.SortStyle = ssNumeric;
    options.SortCaseSensitive = false;
    options.SortCol = ColTotal;
    options.SortDirection = sdDescending;
    options.UpdateOnSizeChange = false;
    m_grid.OnSelectCell
        = [this](SortGridCore *, int col, int row, bool &canSelect) { selectCell(col, row, canSelect); };
}

void ResultTable::writeHeader()
{
    static const char *const kFixedHeaders[] = { "Nr.", "Name", "Verein" };
    for (int c = 0; c < 3; ++c)
        m_grid.setCells(c, 0, QString::fromLatin1(kFixedHeaders[c]));
    for (int judge = 1; judge <= kMaxJudges; ++judge)
        m_grid.setCells(markColumn(judge), 0, QStringLiteral("J.") + QString::number(judge));
    m_grid.setCells(ColTotal, 0, QStringLiteral("Summe"));
    m_grid.setCells(ColPlace, 0, QStringLiteral("Platz"));
    m_grid.setCells(ColRawTotal, 0, QString());
}

void ResultTable::SetJudgeCount(int count)
{
    m_judgeCount = count;
    for (int judge = 1; judge <= kMaxJudges; ++judge)
        m_grid.setColWidths(markColumn(judge), judge <= count ? m_grid.DefaultColWidth() : -1);
    emit judgeCountChanged(count);
    reshowCouple();
}

void ResultTable::LayoutTableColumns(int gridOuterWidth, int scrollArrowWidth)
{
    m_grid.setColWidths(ColRawTotal, -1);
    m_grid.setColWidths(ColNumber, 30);
    m_grid.setColWidths(ColTotal, 46);
    m_grid.setColWidths(ColPlace, 45);
    int used = 0;
    for (int c = 0; c < m_grid.ColCount(); ++c) {
        if (c != ColName && c != ColClub)
            used += m_grid.ColWidths(c);
    }
    const int remaining = gridOuterWidth - used - scrollArrowWidth - m_grid.ColCount() - 3;
    m_grid.setColWidths(ColName, (remaining / 3) * 2);
    m_grid.setColWidths(ColClub, remaining / 3);
}

int ResultTable::countedJudges() const
{
    return std::clamp(m_judgeCount, 0, kMaxJudges);
}

void ResultTable::CalcRowTotals()
{
    calcTotals(1, m_grid.RowCount() - 1, true);
}

void ResultTable::calcTotals(
    int firstRow, int lastRow, bool clearPlaces, QStringList *startNumbers, std::vector<Totals> *totals)
{
    const int judges = countedJudges();
    std::array<QStringView, kMaxJudges> marks;
    for (int row = std::max(firstRow, 1); row <= std::min(lastRow, m_grid.RowCount() - 1); ++row) {
        if (startNumbers)
            startNumbers->append(m_grid.cellText(ColNumber, row));
        if (clearPlaces)
            m_grid.setCells(ColPlace, row, QString());
        for (int judge = 1; judge <= judges; ++judge)
            marks[size_t(judge - 1)] = m_grid.cellText(markColumn(judge), row);
        const MarkTally tally = tallyMarks(std::span(marks).first(size_t(judges)));
        const qint64 net = tally.net();
        if (net <= 0 || tally.sum <= 0 || tally.count < judges) {
            m_grid.setCells(ColTotal, row, QString());
            m_grid.setCells(ColRawTotal, row, QString());
            if (totals)
                totals->push_back({});
        } else {
            m_grid.setCells(ColRawTotal, row, numberText(tally.sum));
            m_grid.setCells(ColTotal, row, numberText(net));
            if (totals)
                totals->push_back({ net, tally.sum });
        }
    }
}

void ResultTable::AssignPlaces()
{
    place(Totalling::Changed);
}

namespace {

// Whether text is number's decimal digits, as numberText writes them.
bool isNumberText(QStringView text, int number)
{
    qsizetype at = text.size();
    do {
        if (at == 0 || text[--at] != QChar(u'0' + number % 10))
            return false;
        number /= 10;
    } while (number > 0);
    return at == 0;
}

// Writes the places of the data rows first..last, which are in their order already: none
// without totals, the place of the row above when it ties with it, else its own row number.
// place holds the place of the row above first, and then that of last.
template <typename HasTotals, typename TiesWithRowAbove>
void writePlaces(SortGridCore &grid, int first, int last, int &place, HasTotals hasTotals,
    TiesWithRowAbove tiesWithRowAbove)
{
    for (int row = first; row <= last; ++row) {
        if (!hasTotals(row)) {
            grid.setCells(ResultTable::ColPlace, row, QString());
            continue;
        }
        if (row == 1 || !tiesWithRowAbove(row))
            place = row;
        // Most places stand as the last placing wrote them.
        if (!isNumberText(grid.cellText(ResultTable::ColPlace, row), place))
            grid.setCells(ResultTable::ColPlace, row, numberText(place));
    }
}

} // namespace

void ResultTable::place(Totalling totalling)
{
    // A row's totals follow from its own marks and the judge count alone: only the rows
    // whose texts changed since the last placing are totalled again. Every row gets its
    // place below: the places need not be emptied first.
    const SortGridCore::ChangedRows changed = m_grid.takeChangedRows();
    if (totalling == Totalling::Changed) {
        const bool byTotals = sortsByTotals();
        if (changed.all || m_placedJudges != countedJudges()) {
            m_totals.clear();
            calcTotals(1, m_grid.RowCount() - 1, false, nullptr, byTotals ? &m_totals : nullptr);
        } else if (byTotals && m_totals.size() == size_t(std::max(m_grid.RowCount() - 1, 0))) {
            // The others' totals are those of the last placing, in their rows' order.
            const int first = std::max(changed.first, 1);
            if (first <= changed.last) {
                std::vector<Totals> fresh;
                calcTotals(first, changed.last, false, nullptr, &fresh);
                std::copy(fresh.begin(), fresh.end(), m_totals.begin() + (first - 1));
            }
        } else {
            m_totals.clear();
            calcTotals(changed.first, changed.last, false);
        }
    }
    const QString currentNumber = m_grid.Cells(ColNumber, m_grid.Row());

    // A row shares the place of the row above only with the same net and raw total.
    quint64 noTotals = 0;
    bool moved = true;
    if (sortByTotals(noTotals, moved)) {
        const std::vector<quint64> &keys = m_totalKeys;
        if (moved || totalling != Totalling::Read) {
            int place = 1;
            writePlaces(
                m_grid, 1, m_grid.RowCount() - 1, place,
                [&](int row) { return keys[size_t(row - 1)] != noTotals; },
                [&](int row) { return keys[size_t(row - 1)] == keys[size_t(row - 2)]; });
        }
    } else {
        m_totals.clear();
        TSortOptions &options = m_grid.SortOptions();
        options.CanSort = true;
        m_grid.SortRowsByColumn(options.SortCol);
        options.CanSort = false;
        // The totals of the row above are read where they are stored: writing a place
        // changes no total.
        int place = 1;
        writePlaces(
            m_grid, 1, m_grid.RowCount() - 1, place,
            [&](int row) {
                m_grid.prefetchCell(ColTotal, row + SortGridCore::kPrefetchRows);
                m_grid.prefetchCell(ColRawTotal, row + SortGridCore::kPrefetchRows);
                return !isBlankText(m_grid.cellText(ColRawTotal, row))
                    && !isBlankText(m_grid.cellText(ColTotal, row));
            },
            [&](int row) {
                return m_grid.cellText(ColRawTotal, row) == m_grid.cellText(ColRawTotal, row - 1)
                    && m_grid.cellText(ColTotal, row) == m_grid.cellText(ColTotal, row - 1);
            });
    }

    // What the placing wrote and moved is placed.
    m_grid.takeChangedRows();
    m_placedJudges = countedJudges();
    selectCompetitor(currentNumber);
    emit placesChanged();
}

bool ResultTable::sortsByTotals() const
{
    const TSortOptions &options = m_grid.SortOptions();
    return options.SortCol == ColTotal && options.SecondaryIndex == QString::number(ColRawTotal)
        && options.SortStyle == ssNumeric && options.SortDirection == sdDescending && !options.CustomCompare
        && !m_grid.OnGetSortStyle && !m_grid.OnSortStarting;
}

bool ResultTable::sortByTotals(quint64 &noTotals, bool &moved)
{
    // The table's own order, net total then raw total, both descending, rows without
    // totals last: as the totals' texts sort, without reading them back.
    const size_t rows = size_t(std::max(m_grid.RowCount() - 1, 0));
    if (m_totals.size() != rows || rows == 0 || !sortsByTotals())
        return false;
    Totals lowest { std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max() };
    Totals highest;
    for (const Totals &totals : m_totals) {
        if (totals.net > 0) {
            lowest = { std::min(lowest.net, totals.net), std::min(lowest.raw, totals.raw) };
            highest = { std::max(highest.net, totals.net), std::max(highest.raw, totals.raw) };
        }
    }
    const quint64 rawSpan = highest.net > 0 ? quint64(highest.raw - lowest.raw) + 1 : 1;
    const quint64 netSpan = highest.net > 0 ? quint64(highest.net - lowest.net) + 1 : 1;
    if (__builtin_mul_overflow(rawSpan, netSpan, &noTotals))
        return false;
    m_totalKeys.resize(rows);
    for (size_t p = 0; p < rows; ++p) {
        const Totals &totals = m_totals[p];
        m_totalKeys[p] = totals.net > 0
            ? quint64(highest.net - totals.net) * rawSpan + quint64(highest.raw - totals.raw)
            : noTotals;
    }
    moved = !std::is_sorted(m_totalKeys.begin(), m_totalKeys.end());
    TSortOptions &options = m_grid.SortOptions();
    options.CanSort = true;
    const bool sorted = m_grid.SortRowsByKeys(options.SortCol, m_totalKeys);
    options.CanSort = false;
    if (sorted && moved) {
        // The totals follow their rows, for the next placing.
        for (size_t p = 0; p < rows; ++p) {
            const quint64 key = m_totalKeys[p];
            m_totals[p] = key == noTotals
                ? Totals {}
                : Totals { highest.net - qint64(key / rawSpan), highest.raw - qint64(key % rawSpan) };
        }
    }
    return sorted;
}

bool ResultTable::marksEntered(int row) const
{
    const int judges = countedJudges();
    for (int judge = 1; judge <= judges; ++judge) {
        if (isBlankText(m_grid.cellText(markColumn(judge), row)))
            return false;
    }
    return true;
}

void ResultTable::clearResults(int row)
{
    m_grid.setCells(ColTotal, row, QString());
    m_grid.setCells(ColPlace, row, QString());
    m_grid.setCells(ColRawTotal, row, QString());
}

void ResultTable::selectCompetitor(const QString &number)
{
    const int found = m_grid.FindRowWithText(ColNumber, number, false);
    if (found > 0 && found < m_grid.RowCount()) {
        if (m_grid.MoveCurrent(ColRawTotal, found))
            m_grid.setSelection(GridRect { 0, found, ColRawTotal, found });
    }
}

bool ResultTable::noMarks(int row) const
{
    for (int judge = 1; judge <= countedJudges(); ++judge) {
        if (!markMissing(markColumn(judge), row))
            return false;
    }
    return true;
}

bool ResultTable::markMissing(int col, int row) const
{
    return isBlankText(m_grid.cellText(col, row));
}

bool ResultTable::isShownMarkColumn(int col) const
{
    return col >= markColumn(1) && col <= markColumn(countedJudges());
}

int ResultTable::rowOfNumber(const QString &number) const
{
    if (number.isEmpty())
        return -1;
    const int found = m_grid.FindRowWithText(ColNumber, number, false);
    return found > 0 && found < m_grid.RowCount() ? found : -1;
}

QStringList ResultTable::shownTexts(int row) const
{
    QStringList texts = m_grid.Rows(row);
    texts.resize(kColumnCount);
    const bool complete = marksEntered(row);
    for (int judge = 1; judge <= kMaxJudges; ++judge) {
        if (!complete || judge > countedJudges())
            texts[markColumn(judge)].clear();
    }
    return texts;
}

// --- Showing ---------------------------------------------------------------------------

void ResultTable::showCurrentRow()
{
    endNumberSearch();
    showAndPlace(false);
}

void ResultTable::showAndPlace(bool placedAlready)
{
    // The scoreboard shows the row as it is before the placing (its place from the last one).
    const int row = m_grid.Row();
    if (!marksEntered(row))
        clearResults(row);
    showCouple(row);
    if (placedAlready)
        keepPlaces();
    else
        AssignPlaces();
}

void ResultTable::showCouple(int row)
{
    if (row < 1 || row >= m_grid.RowCount())
        return;
    m_shownNumber = m_grid.Cells(ColNumber, row);
    emit coupleShown(shownTexts(row));
}

void ResultTable::reshowCouple()
{
    const int row = rowOfNumber(m_shownNumber);
    if (row < 0)
        return;
    // The totals and places of the new count, with the same competitor current.
    if (!marksEntered(row))
        clearResults(row);
    AssignPlaces();
    showCouple(rowOfNumber(m_shownNumber));
}

void ResultTable::clearScoreboard()
{
    m_shownNumber.clear();
    emit scoreboardCleared();
}

void ResultTable::keepPlaces()
{
    // No cell has changed since the last placing and the competitor it selected is
    // still current: the totals, the stable sort and the places would come out the
    // same. What the operator sees of a placing still happens: the end of the update
    // bracket (repaint, the grid takes the focus back from the closed editor) and the
    // selection of the row, which writes the position text.
    m_grid.BeginUpdate();
    m_grid.EndUpdate();
    selectCompetitor(m_grid.Cells(ColNumber, m_grid.Row()));
    emit placesChanged();
}

// --- Entry -----------------------------------------------------------------------------

bool ResultTable::entryMode() const
{
    return m_grid.cellEditing() && m_grid.Col() < ColTotal;
}

void ResultTable::selectCell(int col, int row, bool &canSelect)
{
    // The mark columns of judges not counted are hidden: nothing goes there unseen.
    if (col >= markColumn(countedJudges() + 1) && col <= markColumn(kMaxJudges)) {
        canSelect = false;
        return;
    }
    // Totals and places are the table's own: a move there ends entry mode.
    if (col < ColTotal) {
        m_grid.setCellEditing(true);
        m_grid.setRowSelect(false);
    } else {
        m_grid.setCellEditing(false);
    }
    if (row != m_grid.Row()) {
        m_changeAllowedFor.clear();
        emit currentRowChanged(row);
    }
    emit positionTextChanged(positionText(row));
}

void ResultTable::finishRowEntry(int row)
{
    m_changeAllowedFor.clear();
    m_grid.setCellEditing(false);
    m_grid.MoveCurrent(ColRawTotal, row);
    m_grid.setSelection(GridRect { 0, row, ColRawTotal, row });
    emit positionTextChanged(positionText(m_grid.Row()));
    if (m_grid.Row() != row)
        m_grid.setRow(row);
}

void ResultTable::keyPress(QChar &key)
{
    if (key == QChar(13)) {
        enterPressed();
        return;
    }
    if (!entryMode()) {
        // Digits and Backspace search a start number; other characters are left to the
        // grid's search in the sort column.
        if ((key >= u'0' && key <= u'9') || key == QChar(8)) {
            searchNumber(key);
            key = QChar(0);
        } else if (!key.isNull()) {
            endNumberSearch();
        }
        return;
    }
    const int col = m_grid.Col();
    const bool digitsOnly = col == ColNumber || (col >= markColumn(1) && col <= markColumn(kMaxJudges));
    if (digitsOnly && !(key >= u'0' && key <= u'9') && key != QChar(8)) {
        key = QChar(0);
        return;
    }
    if (isShownMarkColumn(col) && !mayChangeMark())
        key = QChar(0);
}

void ResultTable::keyDown(int &key, Qt::KeyboardModifiers shift)
{
    if (key == Qt::Key_Escape) {
        endNumberSearch();
        finishRowEntry(m_grid.Row());
        return;
    }
    if (key == Qt::Key_Delete && shift == Qt::NoModifier && entryMode() && isShownMarkColumn(m_grid.Col())
        && !mayChangeMark())
        key = 0;
}

bool ResultTable::mayChangeMark()
{
    const int row = m_grid.Row();
    const QString number = m_grid.Cells(ColNumber, row);
    if (!marksEntered(row) || (!m_changeAllowedFor.isNull() && m_changeAllowedFor == number))
        return true;
    const bool yes = m_askYesNo && m_askYesNo(QStringLiteral("Wertung von Nr. %1 ändern?").arg(number));
    if (yes)
        m_changeAllowedFor = number;
    return yes;
}

void ResultTable::enterPressed()
{
    endNumberSearch();
    if (!entryMode()) {
        showCurrentRow();
        return;
    }
    const int col = m_grid.Col();
    const bool finished = marksEntered(m_grid.Row());
    if (finished)
        emit rowFinished(m_grid.Row());
    AssignPlaces();
    const int row = m_grid.Row();
    if (finished) {
        finishRowEntry(row);
        showAndPlace(true);
        return;
    }
    // On through the shown columns; from the last judge back to the first mark missing.
    int next = col + 1;
    if (col >= markColumn(countedJudges())) {
        next = col;
        for (int judge = 1; judge <= countedJudges(); ++judge) {
            if (markMissing(markColumn(judge), row)) {
                next = markColumn(judge);
                break;
            }
        }
    }
    m_grid.MoveCurrent(next, row);
}

void ResultTable::nextColumn()
{
    endNumberSearch();
    const int col = m_grid.Col();
    m_grid.setCol(col >= markColumn(countedJudges()) ? markColumn(1) : col + 1);
}

// --- Finding a couple ----------------------------------------------------------------

void ResultTable::searchNumber(QChar key)
{
    if (!m_lastDigit.isValid() || m_lastDigit.elapsed() > kNumberSearchPause)
        m_searched.clear();
    m_lastDigit.start();
    if (key == QChar(8))
        m_searched.chop(1);
    else
        m_searched.append(key);
    if (m_searched.isEmpty()) {
        endNumberSearch();
        return;
    }
    const int row = rowOfNumber(m_searched);
    if (row < 0) {
        emit positionTextChanged(QStringLiteral("%1 fehlt").arg(m_searched));
        return;
    }
    finishRowEntry(row);
    emit positionTextChanged(QStringLiteral("Nr. %1").arg(m_searched));
}

void ResultTable::endNumberSearch()
{
    if (m_searched.isEmpty())
        return;
    m_searched.clear();
    m_lastDigit.invalidate();
    emit positionTextChanged(positionText(m_grid.Row()));
}

void ResultTable::nextCoupleWithoutMarks()
{
    endNumberSearch();
    // The first row of each start number, as rowOfNumber finds it.
    QHash<QStringView, int> rows;
    rows.reserve(m_grid.RowCount());
    for (int row = m_grid.RowCount() - 1; row > 0; --row)
        rows.insert(QStringView(m_grid.cellText(ColNumber, row)), row);
    // Start numbers that the last open did not bring (a restored table) follow in the
    // table's order.
    std::vector<QStringView> order;
    QSet<QStringView> known;
    order.reserve(size_t(m_startOrder.size() + m_grid.RowCount()));
    for (const QString &number : std::as_const(m_startOrder)) {
        order.push_back(number);
        known.insert(number);
    }
    for (int row = 1; row < m_grid.RowCount(); ++row) {
        const QStringView number = m_grid.cellText(ColNumber, row);
        if (!known.contains(number)) {
            known.insert(number);
            order.push_back(number);
        }
    }
    const QStringView currentNumber = m_grid.cellText(ColNumber, m_grid.Row());
    const auto found = std::find(order.begin(), order.end(), currentNumber);
    const qsizetype current = found == order.end() ? -1 : found - order.begin();
    const auto count = qsizetype(order.size());
    for (qsizetype step = 1; step <= count; ++step) {
        const QStringView number = order[size_t((current + step) % count)];
        const int row = number.isEmpty() ? -1 : rows.value(number, -1);
        if (row > 0 && noMarks(row) && !number.trimmed().isEmpty()) {
            finishRowEntry(row);
            return;
        }
    }
}

// --- Files -----------------------------------------------------------------------------

void ResultTable::placeOpenedTable()
{
    m_changeAllowedFor.clear();
    clearScoreboard();
    // A large table is read from memory once for the totals and the start numbers both.
    Totalling totalling = Totalling::Read;
    if (m_rowsRead != m_grid.RowCount() - 1) {
        m_startOrder.clear();
        m_startOrder.reserve(m_grid.RowCount());
        m_totals.clear();
        calcTotals(1, m_grid.RowCount() - 1, false, &m_startOrder, sortsByTotals() ? &m_totals : nullptr);
        totalling = Totalling::Known;
    }
    m_rowsRead = 0;
    place(totalling);
    m_grid.SetModified(false);
    emit tableReplaced();
}

std::function<void(int)> ResultTable::openedRowReader()
{
    // A saved protocol comes in its order: each row is placed as it comes too, and the
    // placing keeps those places when the sort moves no row.
    return [this, keys = sortsByTotals(), place = 1](int row) mutable {
        if (row == 1) {
            m_startOrder.clear();
            m_startOrder.reserve(m_grid.RowCount());
            m_totals.clear();
            m_rowsRead = 0;
        }
        if (row != m_rowsRead + 1)
            return;
        calcTotals(row, row, false, &m_startOrder, keys ? &m_totals : nullptr);
        m_rowsRead = row;
        if (keys) {
            writePlaces(
                m_grid, row, row, place, [&](int r) { return m_totals[size_t(r - 1)].net != 0; },
                [&](int r) { return m_totals[size_t(r - 1)] == m_totals[size_t(r - 2)]; });
        }
    };
}

void ResultTable::placeRestoredTable()
{
    m_changeAllowedFor.clear();
    m_startOrder.clear();
    AssignPlaces();
    emit tableReplaced();
}

void ResultTable::markSaved()
{
    m_grid.SetModified(false);
}

bool ResultTable::hasUnsavedChanges() const
{
    return m_grid.Modified();
}

bool ResultTable::canSave() const
{
    return m_grid.RowCount() >= 3 && !m_grid.Cells(ColNumber, 1).isEmpty();
}

QString ResultTable::positionText(int row) const
{
    if (m_grid.RowCount() == 2 && m_grid.Cells(ColNumber, 1).trimmed().isEmpty())
        return QString();
    return QStringLiteral("%1:%2").arg(row).arg(m_grid.RowCount() - 1);
}
