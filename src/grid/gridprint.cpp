#include "grid/gridprint.h"

#include "grid/gridgeometry.h"
#include "grid/sortgrid.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

using namespace GridGeometry;

QStringList PrinterProvider::printerNames() const
{
    return QPrinterInfo::availablePrinterNames();
}

std::unique_ptr<QPrinter> PrinterProvider::createPrinter() const
{
    return std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
}

std::unique_ptr<QPrinter> PrinterProvider::createPdfPrinter(const QString &fileName) const
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(fileName);
    printer->setPageSize(QPageSize(QPageSize::A4));
    return printer;
}

void printGrid(TSortGrid &grid, QPrinter &printer)
{
    const TPrintOptions &options = grid.PrintOptions();
    printer.setDocName(options.JobTitle);
    printer.setCopyCount(std::max(1, options.Copies));

    PrintLayout layout;
    layout.scale = printScale(printer.resolution(), grid.logicalDpiY());
    const int s = layout.scale;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());

    QList<int> widths;
    for (int c = 0; c < grid.ColCount(); ++c)
        widths.append(grid.ColWidths(c));
    const int fromRow = std::max(0, options.FromRow);
    const int toRow = std::min(options.ToRow, grid.RowCount() - 1);
    const int rowHeight = grid.DefaultRowHeight();
    const QList<PrintPage> pages
        = layoutPrintPages(widths, fromRow, toRow, rowHeight, layout, page.width(), page.height());
    int stripCount = 0;
    for (const PrintPage &p : pages)
        stripCount = std::max(stripCount, p.strip);

    QPainter painter;
    if (!painter.begin(&printer))
        return;
    QFont cellFont = grid.font();
    cellFont.setPixelSize(std::max(1, QFontInfo(grid.font()).pixelSize() * s));
    QFont titleFont = grid.font();
    titleFont.setPointSize(10);
    const QPen boxPen(Qt::black, std::max(1, s / 4));

    auto drawRow = [&](const PrintPage &p, int row, int top) {
        int x = layout.left * s;
        for (int col : p.cols) {
            const QRect box(x, top, widths[col] * s, rowHeight * s);
            painter.setPen(boxPen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box);
            painter.setFont(cellFont);
            painter.setPen(Qt::black);
            painter.drawText(box.adjusted(layout.textInset * s, 0, -layout.textInset * s, 0),
                Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, grid.Cells(col, row));
            x += box.width();
        }
    };

    bool first = true;
    for (const PrintPage &p : pages) {
        if (!first)
            printer.newPage();
        first = false;
        painter.setFont(titleFont);
        painter.setPen(Qt::black);
        const int titleHeight = QFontMetrics(titleFont, &printer).height();
        painter.drawText(
            QRect(0, 0, page.width(), titleHeight), Qt::AlignHCenter | Qt::AlignTop, options.PageTitle);
        int top = layout.headerTop * s;
        drawRow(p, 0, top);
        top += rowHeight * s;
        for (int row : p.rows) {
            drawRow(p, row, top);
            top += rowHeight * s;
        }
        painter.setFont(titleFont);
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, page.height() - titleHeight, page.width(), titleHeight),
            Qt::AlignRight | Qt::AlignBottom, printFooter(p.number, p.strip, stripCount));
    }
    painter.end();
}
