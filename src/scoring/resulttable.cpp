#include "scoring/resulttable.h"

#include "grid/sortgridcore.h"
#include "scoring/marks.h"

#include <algorithm>
#include <climits>

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
    options.SecondaryIndex = QStringLiteral("12");
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
        m_grid.setCells(ColFirstMark + judge - 1, 0, QStringLiteral("J.") + QString::number(judge));
    m_grid.setCells(ColTotal, 0, QStringLiteral("Summe"));
    m_grid.setCells(ColPlace, 0, QStringLiteral("Platz"));
    m_grid.setCells(ColRawTotal, 0, QString());
}

void ResultTable::SetJudgeCount(int count)
{
    JudgeCount = count;
    for (int judge = 1; judge <= kMaxJudges; ++judge)
        m_grid.setColWidths(judge + 2, judge <= count ? m_grid.DefaultColWidth() : -1);
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

void ResultTable::CalcRowTotals()
{
    const int judges = std::clamp(JudgeCount, 0, kMaxJudges);
    for (int row = 1; row < m_grid.RowCount(); ++row) {
        m_grid.setCells(ColPlace, row, QString());
        qint64 sum = 0;
        int count = 0;
        int lowest = INT_MAX;
        int highest = -INT_MAX;
        for (int judge = 1; judge <= judges; ++judge) {
            int mark = 0;
            if (!parseMark(m_grid.cellText(judge + 2, row), mark))
                continue;
            if (mark < lowest)
                lowest = mark;
            if (mark > highest)
                highest = mark;
            sum += mark;
            ++count;
        }
        const qint64 net = sum - lowest - highest;
        if (net <= 0 || sum <= 0 || count < judges) {
            m_grid.setCells(ColTotal, row, QString());
            m_grid.setCells(ColRawTotal, row, QString());
        } else {
            m_grid.setCells(ColRawTotal, row, numberText(sum));
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

    const int found = m_grid.FindRowWithText(ColNumber, currentNumber, false);
    if (found > 0 && found < m_grid.RowCount()) {
        if (m_grid.MoveCurrent(ColRawTotal, found))
            m_grid.setSelection(GridRect { 0, found, ColRawTotal, found });
    }
}
