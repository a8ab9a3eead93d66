#include "scoring/resulttable.h"

#include "grid/sortgridcore.h"
#include "scoring/marks.h"

#include <algorithm>
#include <array>
#include <span>

namespace {
// Empty once leading and trailing blanks are removed.
bool isBlank(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}
} // namespace

ResultTable::ResultTable(SortGridCore &grid)
    : m_grid(grid)
{ }

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
    JudgeCount = count;
    for (int judge = 1; judge <= kMaxJudges; ++judge)
        m_grid.setColWidths(markColumn(judge), judge <= count ? m_grid.DefaultColWidth() : -1);
    if (showMarkLabels)
        showMarkLabels(count);
    if (runResizeHandler)
        runResizeHandler();
    if (mirrorMarkLabels)
        mirrorMarkLabels(count);
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
    return std::clamp(JudgeCount, 0, kMaxJudges);
}

void ResultTable::CalcRowTotals()
{
    const int judges = countedJudges();
    std::array<QStringView, kMaxJudges> marks;
    for (int row = 1; row < m_grid.RowCount(); ++row) {
        m_grid.setCells(ColPlace, row, QString());
        for (int judge = 1; judge <= judges; ++judge)
            marks[size_t(judge - 1)] = m_grid.cellText(markColumn(judge), row);
        const MarkTally tally = tallyMarks(std::span(marks).first(size_t(judges)));
        const qint64 net = tally.net();
        if (net <= 0 || tally.sum <= 0 || tally.count < judges) {
            m_grid.setCells(ColTotal, row, QString());
            m_grid.setCells(ColRawTotal, row, QString());
        } else {
            m_grid.setCells(ColRawTotal, row, numberText(tally.sum));
            m_grid.setCells(ColTotal, row, numberText(net));
        }
    }
}

void ResultTable::AssignPlaces()
{
    CalcRowTotals();
    const QString currentNumber = m_grid.Cells(ColNumber, m_grid.Row());

    TSortOptions &options = m_grid.SortOptions();
    options.CanSort = true;
    m_grid.SortRowsByColumn(options.SortCol);
    options.CanSort = false;

    QString previousRaw;
    int place = 1;
    for (int row = 1; row < m_grid.RowCount(); ++row) {
        const QString &raw = m_grid.cellText(ColRawTotal, row);
        if (isBlank(raw) || isBlank(m_grid.cellText(ColTotal, row))) {
            m_grid.setCells(ColPlace, row, QString());
        } else if (raw == previousRaw) {
            m_grid.setCells(ColPlace, row, numberText(place));
        } else {
            m_grid.setCells(ColPlace, row, numberText(row));
            previousRaw = raw;
            place = row;
        }
    }

    selectCompetitor(currentNumber);
}

void ResultTable::placeOpenedTable()
{
    if (clearScoreboard)
        clearScoreboard();
    AssignPlaces();
    m_grid.SetModified(false);
}

void ResultTable::markSaved()
{
    m_grid.SetModified(false);
}

bool ResultTable::hasUnsavedChanges() const
{
    return m_grid.Modified();
}

bool ResultTable::marksEntered(int row) const
{
    const int judges = countedJudges();
    for (int judge = 1; judge <= judges; ++judge) {
        if (m_grid.cellText(markColumn(judge), row).isEmpty())
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

void ResultTable::UpdateStrikeMarks()
{
    if (showStrikeMarks)
        showStrikeMarks();
    AssignPlaces();
}

void ResultTable::showCurrentRow()
{
    showAndPlace(false);
}

void ResultTable::showAndPlace(bool placedAlready)
{
    const int row = m_grid.Row();
    if (!marksEntered(row))
        clearResults(row);
    if (showRow)
        showRow(row);
    if (showStrikeMarks)
        showStrikeMarks();
    if (placedAlready)
        keepPlaces();
    else
        AssignPlaces();
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
}

void ResultTable::enterPressed(bool entryMode)
{
    if (!entryMode) {
        showCurrentRow();
        return;
    }
    const int col = m_grid.Col();
    UpdateStrikeMarks();
    const int row = m_grid.Row();
    if (!marksEntered(row)) {
        if (col < kColumnCount - 1)
            m_grid.MoveCurrent(col + 1, row);
        return;
    }
    if (FinishRowEntry)
        FinishRowEntry(row);
    showAndPlace(true);
}
