#pragma once

#include "grid/sortgrid.h"
#include "scoring/resulttable.h"
#include "support/resulttablefixture.h"

#include <QApplication>
#include <QTest>

#include <memory>

// The result table's grid widget drawn like the main window's: laid out for a grid
// 590 pixels wide with five judges, Courier 11 pixels, centred cells.
inline void setUpResultGrid(ResultTableFixture<TSortGrid> &fixture, int competitors, int height = 300)
{
    TSortGrid &grid = fixture.grid;
    ResultTable &table = fixture.table;
    grid.setFont(TSortGrid::gridFont(QStringLiteral("Courier"), 11));
    grid.setScrollBars(ssVertical);
    grid.setOptions(GridOptions(goFixedVertLine) | goFixedHorzLine | goVertLine | goHorzLine
        | goDrawFocusSelected | goColSizing | goRowSelect);
    grid.setAlignmentHorz(taCenter);
    grid.setAlignmentVert(taMiddle);
    grid.resize(590, height);
    QObject::connect(&table, &ResultTable::judgeCountChanged, &grid,
        [&] { table.LayoutTableColumns(grid.width(), GridScrollBar::kThickness); });
    table.SetJudgeCount(5);
    grid.setRowCount(competitors + 1);
    for (int row = 1; row <= competitors; ++row) {
        grid.setCells(0, row, QString::number(row));
        grid.setCells(1, row, QStringLiteral("Paar %1").arg(row));
        grid.setCells(2, row, QStringLiteral("TSC %1").arg(QChar(u'A' + row % 26)));
        for (int judge = 0; judge < 5; ++judge)
            grid.setCells(3 + judge, row, QString::number((row * 7 + judge * 3) % 10));
        grid.setCells(10, row, QString::number(20 + row % 7));
        grid.setCells(11, row, QString::number(row));
    }
}

inline void showActive(QWidget &widget)
{
    widget.show();
    QApplication::setActiveWindow(&widget);
    (void)QTest::qWaitForWindowActive(&widget);
    widget.setFocus();
}

inline QPoint cellCentre(const TSortGrid &grid, int col, int row)
{
    return grid.cellRect(col, row).center();
}
