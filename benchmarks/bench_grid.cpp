// A full repaint of the result grid against a QTableWidget of the same size,
// columns, font and texts, and a repaint after scrolling by one page.
#include "guienvironment.h"
#include "ratioreporter.h"

#include "grid/sortgrid.h"
#include "scoring/resulttableformat.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTableWidget>

#include <memory>

namespace {

constexpr int kRows = 10000;
const int kWidths[13] = { 30, 192, 96, 30, 30, 30, 30, 30, -1, -1, 46, 45, -1 };
const char *const kHeaders[13]
    = { "Nr.", "Name", "Verein", "J.1", "J.2", "J.3", "J.4", "J.5", "J.6", "J.7", "Summe", "Platz", "" };

QString cellText(int col, int row)
{
    switch (col) {
    case 0:
        return QString::number(row);
    case 1:
        return QStringLiteral("Paar %1").arg(row);
    case 2:
        return QStringLiteral("TSC %1").arg(row % 97);
    case 10:
        return QString::number(20 + row % 7);
    case 11:
    case 12:
        return QString::number(row);
    default:
        return QString::number((row * 7 + col) % 10);
    }
}

std::unique_ptr<TSortGrid> makeGrid()
{
    auto grid = std::make_unique<TSortGrid>();
    grid->setFont(TSortGrid::gridFont(QStringLiteral("Courier"), 11));
    grid->setScrollBars(ssVertical);
    grid->setOptions(GridOptions(goFixedVertLine) | goFixedHorzLine | goVertLine | goHorzLine
        | goDrawFocusSelected | goColSizing | goRowSelect);
    grid->setAlignmentHorz(taCenter);
    grid->setAlignmentVert(taMiddle);
    grid->setColCount(13);
    grid->setDefaultRowHeight(20);
    grid->setRowCount(kRows + 1);
    for (int c = 0; c < 13; ++c) {
        grid->setCells(c, 0, QString::fromLatin1(kHeaders[c]));
        for (int row = 1; row <= kRows; ++row)
            grid->setCells(c, row, cellText(c, row));
    }
    grid->OnGetCellFormat = resultTableCellFormat;
    grid->resize(600, 300);
    grid->show();
    for (int c = 0; c < 13; ++c)
        grid->setColWidths(c, kWidths[c]);
    grid->MoveCurrent(0, 3);
    return grid;
}

std::unique_ptr<QTableWidget> makeTable()
{
    auto table = std::make_unique<QTableWidget>(kRows, 13);
    table->setFont(TSortGrid::gridFont(QStringLiteral("Courier"), 11));
    table->verticalHeader()->hide();
    table->horizontalHeader()->setMinimumSectionSize(1);
    table->verticalHeader()->setDefaultSectionSize(21);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QStringList headers;
    for (const char *header : kHeaders)
        headers << QString::fromLatin1(header);
    table->setHorizontalHeaderLabels(headers);
    const QBrush brushes[13]
        = { QColor(192, 192, 192), QBrush(), QBrush(), QColor(255, 255, 192), QColor(255, 255, 192),
              QColor(255, 255, 192), QColor(255, 255, 192), QColor(255, 255, 192), QColor(255, 255, 192),
              QColor(255, 255, 192), QColor(224, 255, 224), QColor(224, 216, 255), QBrush() };
    for (int row = 0; row < kRows; ++row) {
        for (int c = 0; c < 13; ++c) {
            auto *item = new QTableWidgetItem(cellText(c, row + 1));
            item->setTextAlignment(c == 1 || c == 2 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
            if (brushes[c].style() != Qt::NoBrush)
                item->setBackground(brushes[c]);
            table->setItem(row, c, item);
        }
    }
    for (int c = 0; c < 13; ++c) {
        if (kWidths[c] < 0)
            table->setColumnHidden(c, true);
        else
            table->setColumnWidth(c, kWidths[c] + 1);
    }
    table->resize(600, 300);
    table->show();
    table->selectRow(2);
    return table;
}

void repaint(QWidget *viewport, QImage &image)
{
    image.fill(Qt::white);
    viewport->render(&image);
}

void BM_SortGridRepaint(benchmark::State &state)
{
    auto grid = makeGrid();
    QImage image(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        repaint(grid->viewport(), image);
}

void BM_TableWidgetRepaint(benchmark::State &state)
{
    auto table = makeTable();
    QImage image(table->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        repaint(table->viewport(), image);
}

void BM_SortGridPageScroll(benchmark::State &state)
{
    auto grid = makeGrid();
    QImage image(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const int page = grid->visibleRowCount();
    int step = 0;
    for (auto _ : state) {
        grid->setTopRow(1 + (++step % 100) * page);
        repaint(grid->viewport(), image);
    }
}

void BM_TableWidgetPageScroll(benchmark::State &state)
{
    auto table = makeTable();
    QImage image(table->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const int page = table->viewport()->height() / 21;
    int step = 0;
    for (auto _ : state) {
        table->verticalScrollBar()->setValue((++step % 100) * page);
        repaint(table->viewport(), image);
    }
}

BENCHMARK(BM_SortGridRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TableWidgetRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SortGridPageScroll)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TableWidgetPageScroll)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    GuiBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    return runWithRatios(argc, argv,
        { { "BM_SortGridRepaint", "BM_TableWidgetRepaint", 1.5 },
            { "BM_SortGridPageScroll", "BM_SortGridRepaint", 1.1 },
            { "BM_SortGridPageScroll", "BM_TableWidgetPageScroll", 1.5 } });
}
