#pragma once

#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"

#include <QList>
#include <QString>
#include <QStringList>

// Rows of { number, name, club, mark 1, ... } from row 1 on; the cells not given are emptied.
inline void fillResultRows(SortGridCore &grid, const QList<QStringList> &rows)
{
    grid.setRowCount(int(rows.size()) + 1);
    for (int i = 0; i < rows.size(); ++i) {
        for (int c = 0; c < ResultTable::kColumnCount; ++c)
            grid.setCells(c, i + 1, c < rows[i].size() ? rows[i][c] : QString());
    }
}

// The result table as the main window keeps it: 13 columns, the header row, five judges.
// On the row store alone or on the grid widget; fixtures derive from it or hold one.
template <class Grid = SortGridCore> class ResultTableFixture
{
public:
    Grid grid;
    ResultTable table { grid };

    ResultTableFixture()
    {
        table.setUpGrid();
        table.writeHeader();
        table.SetJudgeCount(ResultTable::kDefaultJudges);
    }

    void setRows(const QList<QStringList> &rows) { fillResultRows(grid, rows); }

    // Every row, the header included.
    QList<QStringList> allRows() const
    {
        QList<QStringList> rows;
        for (int r = 0; r < grid.RowCount(); ++r)
            rows.append(grid.Rows(r));
        return rows;
    }

    // One column's texts in the data rows.
    QStringList columnTexts(int col) const
    {
        QStringList texts;
        for (int row = 1; row < grid.RowCount(); ++row)
            texts.append(grid.Cells(col, row));
        return texts;
    }

    int rowOfNumber(const QString &number) const
    {
        for (int row = 1; row < grid.RowCount(); ++row) {
            if (grid.Cells(ResultTable::ColNumber, row) == number)
                return row;
        }
        return -1;
    }
};
