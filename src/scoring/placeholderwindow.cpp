#include "scoring/placeholderwindow.h"

#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>

PlaceholderWindow::PlaceholderWindow(QWidget *parent)
    : QWidget(parent)
{
    SortGridCore grid;
    ResultTable table(grid);
    table.setUpGrid();
    table.writeHeader();

    auto *layout = new QHBoxLayout(this);
    for (int c = 0; c < ResultTable::kColumnCount; ++c) {
        if (!grid.Cells(c, 0).isEmpty())
            layout->addWidget(new QLabel(grid.Cells(c, 0), this));
    }
    setWindowTitle(QFileInfo(QCoreApplication::applicationFilePath()).baseName());
}
