#include "grid/gridprint.h"

#include "grid/gridgeometry.h"
#include "grid/sortgrid.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>

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

namespace {

// Sheet font sizes in tenths of a point.
constexpr int kSmallestSize = 40;
constexpr int kLargestSize = 120;
// Below this a sheet of seven judges goes landscape when that allows more.
constexpr int kReadableSize = 90;
constexpr int kHeadingSize = 140;
constexpr int kSmallPrintSize = 90;
// Paper left free on every side, in millimetres, on top of what the printer needs.
constexpr double kMarginMm = 12.0;

QFont sheetFont(int size, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(size / 10.0);
    font.setBold(bold);
    return font;
}

// What one page holds, for one orientation and font size.
struct SheetLayout
{
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    int size = kSmallestSize;
    QRect content; // in painter coordinates
    QList<int> widths; // of the printed columns
    int rowHeight = 0;
    int headingHeight = 0;
    int footerHeight = 0;
    int rowsPerPage = 1;
};

class Sheet
{
public:
    Sheet(TSortGrid &grid, QPrinter &printer, int fromRow, int toRow)
        : m_grid(grid)
        , m_printer(printer)
    {
        for (int c = 0; c < grid.ColCount(); ++c) {
            if (grid.ColWidths(c) > 0)
                m_cols.append(c);
        }
        for (int row = fromRow; row <= toRow; ++row)
            m_rows.append(row);
    }

    const QList<int> &cols() const { return m_cols; }

    // Each printed column as wide as its widest text plus a little air on both sides.
    QList<int> columnWidths(int size) const
    {
        const QFontMetricsF header(sheetFont(size, true), &m_printer);
        const QFontMetricsF body(sheetFont(size), &m_printer);
        const double air = 2 * padding(size);
        QList<int> widths;
        for (int col : m_cols) {
            double widest = header.horizontalAdvance(m_grid.Cells(col, 0));
            for (int row : m_rows)
                widest = std::max(widest, body.horizontalAdvance(m_grid.Cells(col, row)));
            widths.append(int(std::ceil(widest + air)) + 1);
        }
        return widths;
    }

    double padding(int size) const { return size / 10.0 * m_printer.resolution() / 72.0 * 0.4; }

    SheetLayout layout(QPageLayout::Orientation orientation)
    {
        m_printer.setPageOrientation(orientation);
        SheetLayout sheet;
        sheet.orientation = orientation;
        sheet.content = contentRect();
        const int room = sheet.content.width();
        sheet.size = largestFittingSize(kSmallestSize, kLargestSize, [&](int size) {
            const QList<int> widths = columnWidths(size);
            int total = 0;
            for (int width : widths)
                total += width;
            return total <= room;
        });
        sheet.widths = fitColumnWidths(columnWidths(sheet.size), room);
        const QFontMetricsF body(sheetFont(sheet.size), &m_printer);
        sheet.rowHeight = int(std::ceil(body.height() * 1.45));
        sheet.headingHeight
            = int(std::ceil(QFontMetricsF(sheetFont(kHeadingSize, true), &m_printer).height() * 1.8));
        sheet.footerHeight
            = int(std::ceil(QFontMetricsF(sheetFont(kSmallPrintSize), &m_printer).height() * 1.5));
        const int rowRoom
            = sheet.content.height() - sheet.headingHeight - sheet.footerHeight - sheet.rowHeight;
        sheet.rowsPerPage = std::max(1, rowRoom / std::max(1, sheet.rowHeight));
        return sheet;
    }

private:
    // The page inside the printer's margins, moved in to kMarginMm from the paper's edge.
    QRect contentRect() const
    {
        const int dpi = m_printer.resolution();
        const QRect paint = m_printer.pageLayout().paintRectPixels(dpi);
        const QRect paper = m_printer.pageLayout().fullRectPixels(dpi);
        const int margin = int(kMarginMm / 25.4 * dpi);
        const int left = std::max(0, margin - (paint.left() - paper.left()));
        const int top = std::max(0, margin - (paint.top() - paper.top()));
        const int right = std::max(0, margin - (paper.right() - paint.right()));
        const int bottom = std::max(0, margin - (paper.bottom() - paint.bottom()));
        return QRect(0, 0, paint.width(), paint.height()).adjusted(left, top, -right, -bottom);
    }

    TSortGrid &m_grid;
    QPrinter &m_printer;
    QList<int> m_cols;
    QList<int> m_rows;
};

Qt::Alignment horizontal(TAlignment alignment)
{
    switch (alignment) {
    case taRightJustify:
        return Qt::AlignRight;
    case taCenter:
        return Qt::AlignHCenter;
    case taLeftJustify:
        break;
    }
    return Qt::AlignLeft;
}

} // namespace

void printGrid(TSortGrid &grid, QPrinter &printer, const QDateTime &printedAt)
{
    const TPrintOptions &options = grid.PrintOptions();
    printer.setDocName(options.JobTitle);
    printer.setCopyCount(std::max(1, options.Copies));
    const int fromRow = std::max(0, options.FromRow);
    const int toRow = std::min(options.ToRow, grid.RowCount() - 1);

    Sheet sheet(grid, printer, fromRow, toRow);
    SheetLayout layout = sheet.layout(QPageLayout::Portrait);
    if (layout.size < kReadableSize) {
        const SheetLayout landscape = sheet.layout(QPageLayout::Landscape);
        if (sheetInLandscape(layout.size, landscape.size, kReadableSize))
            layout = landscape;
    }
    printer.setPageOrientation(layout.orientation);
    const QList<QList<int>> pages = pageRows(fromRow, toRow, layout.rowsPerPage);

    // Every column aligned as its first printed row shows it on screen.
    const int sampleRow = std::clamp(fromRow == 0 ? 1 : fromRow, 0, grid.RowCount() - 1);
    QList<Qt::Alignment> alignments;
    for (int col : sheet.cols())
        alignments.append(horizontal(grid.CellFormat(col, sampleRow).AlignmentHorz));

    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const QFont bodyFont = sheetFont(layout.size);
    const QFont headerFont = sheetFont(layout.size, true);
    const QFont headingFont = sheetFont(kHeadingSize, true);
    const QFont smallFont = sheetFont(kSmallPrintSize);
    const int pad = int(sheet.padding(layout.size));
    const QPen boxPen(Qt::black, std::max(1, printer.resolution() / 150));
    const QRect &content = layout.content;
    const QString printedText = QStringLiteral("Gedruckt am %1 um %2 Uhr")
                                    .arg(printedAt.toString(QStringLiteral("dd.MM.yyyy")),
                                        printedAt.toString(QStringLiteral("HH:mm")));

    auto drawRow = [&](int row, int top, bool header) {
        int x = content.left();
        painter.setFont(header ? headerFont : bodyFont);
        const QFontMetrics metrics(painter.font(), &printer);
        for (int i = 0; i < sheet.cols().size(); ++i) {
            const QRect box(x, top, layout.widths[i], layout.rowHeight);
            painter.setPen(boxPen);
            painter.setBrush(header ? QBrush(QColor(224, 224, 224)) : QBrush(Qt::NoBrush));
            painter.drawRect(box);
            painter.setPen(Qt::black);
            const QRect room = box.adjusted(pad, 0, -pad, 0);
            // Only a sheet at its smallest size may have to cut a text short.
            const QString text
                = metrics.elidedText(grid.Cells(sheet.cols()[i], row), Qt::ElideRight, room.width());
            painter.drawText(room, alignments[i] | Qt::AlignVCenter | Qt::TextSingleLine, text);
            x += box.width();
        }
    };

    for (int p = 0; p < pages.size(); ++p) {
        if (p > 0)
            printer.newPage();
        // Heading: the competition on the left, the time of printing on the right.
        const QFontMetrics headingMetrics(headingFont, &printer);
        const QRect headingLine(content.left(), content.top(), content.width(), headingMetrics.height());
        painter.setPen(Qt::black);
        painter.setFont(smallFont);
        painter.drawText(headingLine, Qt::AlignRight | Qt::AlignBottom, printedText);
        const int printedWidth = QFontMetrics(smallFont, &printer).horizontalAdvance(printedText);
        const int titleRoom = content.width() - printedWidth - headingMetrics.averageCharWidth() * 2;
        painter.setFont(headingFont);
        painter.drawText(headingLine, Qt::AlignLeft | Qt::AlignBottom,
            headingMetrics.elidedText(options.PageTitle, Qt::ElideRight, std::max(0, titleRoom)));
        const int rule = headingLine.bottom() + headingMetrics.descent();
        painter.setPen(boxPen);
        painter.drawLine(content.left(), rule, content.right(), rule);

        int top = content.top() + layout.headingHeight;
        drawRow(0, top, true);
        top += layout.rowHeight;
        for (int row : pages[p]) {
            drawRow(row, top, false);
            top += layout.rowHeight;
        }

        painter.setFont(smallFont);
        painter.setPen(Qt::black);
        painter.drawText(QRect(content.left(), content.bottom() - layout.footerHeight, content.width(),
                             layout.footerHeight),
            Qt::AlignRight | Qt::AlignBottom, printFooter(p + 1, int(pages.size())));
    }
    painter.end();
}
