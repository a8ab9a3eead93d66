#include "gridtesthelpers.h"

#include "grid/gridprint.h"
#include "grid/sortgrid.h"
#include "platform/messagebox.h"
#include "scoring/resulttable.h"
#include "scoring/resulttableformat.h"
#include "support/pdfprinters.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QPrinter>
#include <QRegularExpression>
#include <QToolTip>

namespace {

QColor pixel(const QImage &image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

// Leftmost and rightmost dark pixel columns inside a rectangle.
std::pair<int, int> inkSpan(const QImage &image, const QRect &rect)
{
    int first = -1;
    int last = -1;
    for (int x = rect.left(); x <= rect.right(); ++x) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            if (qGray(image.pixel(x, y)) < 128) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return { first, last };
}

class ResultGridRender : public ::testing::Test, protected ResultTableFixture<TSortGrid>
{
protected:
    void SetUp() override
    {
        setUpResultGrid(*this, 30);
        grid.OnGetCellFormat = resultTableCellFormat;
        showActive(grid);
        // The main window lays out its columns after every resize of the grid.
        table.LayoutTableColumns(grid.width(), GridScrollBar::kThickness);
        table.selectCompetitor(QStringLiteral("3")); // as a placing leaves it
    }
};

TEST_F(ResultGridRender, MainWindowLayoutColoursAndLines)
{
    const QImage image = grid.viewport()->grab().toImage();
    image.save(QStringLiteral("grid_mainwindow.png"));
    grid.grab().save(QStringLiteral("grid_mainwindow_full.png"));
    ASSERT_EQ(image.width(), 590 - 4 - 17);
    // Columns by hand: 0 at 0 (30), Name at 31 (192), Verein at 224 (96), J.1..J.5 at
    // 321, 352, 383, 414, 445 (30 each), J.6 and J.7 hidden, Summe at 476 (46), Platz at
    // 523 (45) and its line at 568, the last pixel of the client area.
    EXPECT_EQ(grid.cellRect(10, 1).left(), 476);
    EXPECT_EQ(grid.cellRect(11, 1).right(), 567);
    EXPECT_EQ(grid.ColWidths(12), -1);
    const int row1 = 21 + 1; // first pixel row inside data row 1
    EXPECT_EQ(pixel(image, 1, row1), QColor(192, 192, 192));
    EXPECT_EQ(pixel(image, 322, row1), QColor(255, 255, 192));
    EXPECT_EQ(pixel(image, 476, row1), QColor(224, 255, 224)); // right after J.5's line
    EXPECT_EQ(pixel(image, 524, row1), QColor(224, 216, 255));
    EXPECT_EQ(pixel(image, 32, row1), grid.palette().color(QPalette::Base));
    EXPECT_EQ(pixel(image, 475, row1), QColor(192, 192, 192)); // the grid line after J.5
    EXPECT_EQ(pixel(image, 568, row1), QColor(192, 192, 192));
    // The current row 3 keeps the grid's colours: drawn as selected.
    const int row3 = 21 * 3 + 1;
    EXPECT_EQ(pixel(image, 322, row3), grid.palette().color(QPalette::Highlight));
    EXPECT_EQ(pixel(image, 476, row3), grid.palette().color(QPalette::Highlight));

    // The start number is centred: "1" in a 30-pixel cell.
    const auto [left, right] = inkSpan(image, grid.cellRect(0, 1).adjusted(1, 1, -1, -1));
    ASSERT_GE(left, 0);
    EXPECT_LE(std::abs((left + right) - 29), 3) << left << " " << right;
    // Names are left-aligned, 2 pixels in.
    const auto [nameLeft, nameRight] = inkSpan(image, grid.cellRect(1, 1).adjusted(1, 1, -1, -1));
    EXPECT_LE(nameLeft - 31, 3);
    EXPECT_GT(nameRight, nameLeft);
}

TEST_F(ResultGridRender, HiddenRowsPaintBlank)
{
    grid.setHideRows(true);
    const QImage image = grid.viewport()->grab().toImage();
    image.save(QStringLiteral("grid_hiderows.png"));
    EXPECT_EQ(grid.Row(), 1);
    // No text in any data row, the header is still drawn.
    EXPECT_EQ(
        inkSpan(image, QRect(0, 21 * 2, image.width(), 21 * 5)).first, -1); // row 1 is current: highlighted
    EXPECT_GE(inkSpan(image, grid.cellRect(1, 0).adjusted(1, 1, -1, -1)).first, 0);
}

TEST(GridPicture, ArrowBoxesButtonsAndBevel)
{
    TSortGrid grid;
    grid.setFont(TSortGrid::gridFont(QStringLiteral("Courier"), 11));
    grid.setColCount(4);
    grid.setDefaultColWidth(60);
    grid.setDefaultRowHeight(20);
    grid.setRowCount(4);
    grid.setOptions(GridOptions(goFixedVertLine) | goFixedHorzLine | goVertLine | goHorzLine);
    grid.setBevelStyle(cbRaised);
    const QStringList header { "Nr.", "Angemeldet", "Klasse", "Notiz" };
    for (int c = 0; c < 4; ++c)
        grid.setCells(c, 0, header[c]);
    grid.setCells(1, 1, QStringLiteral("1"));
    grid.setCells(2, 2, QStringLiteral("D"));
    grid.SortOptions().SortCol = 1;
    grid.SortOptions().SortDirection = sdDescending;
    grid.OnGetCellFormat = [](TSortGrid *, int col, int row, TGridDrawState, TFormatOptions &, bool &check,
                               bool &combo, bool &dots) {
        check = col == 1 && row > 0;
        combo = col == 2 && row > 0;
        dots = col == 3 && row > 0;
    };
    grid.resize(300, 120);
    showActive(grid);
    grid.MoveCurrent(2, 2);
    const QImage image = grid.viewport()->grab().toImage();
    image.save(QStringLiteral("grid_specialcells.png"));
    // The down arrow sits at left + 3, 20 / 2 - 4 in the sort column's header: its top
    // edge is the wide one.
    const QRect header1 = grid.cellRect(1, 0);
    EXPECT_LT(qGray(image.pixel(header1.left() + 3 + 4, 6 + 1)), 128);
    // "Angemeldet" does not fit 60 - 12 pixels next to the arrow.
    // Check box of row 1 checked, of row 3 unchecked: the box at (left + 25, top + 5),
    // framed in both, the tick only inside the checked one.
    auto boxInk = [&](int row) {
        const QRect cell = grid.cellRect(1, row);
        int frame = 0;
        int inside = 0;
        for (int x = 0; x < 10; ++x) {
            for (int y = 0; y < 10; ++y) {
                const bool dark = qGray(image.pixel(cell.left() + 25 + x, cell.top() + 5 + y)) < 128;
                ((x == 0 || y == 0 || x == 9 || y == 9) ? frame : inside) += dark ? 1 : 0;
            }
        }
        return std::pair { frame, inside };
    };
    EXPECT_EQ(boxInk(1).first, 36);
    EXPECT_GT(boxInk(1).second, 4);
    EXPECT_EQ(boxInk(3), (std::pair { 36, 0 }));
    // The drop-down button over the right 16 pixels of the current cell, the ellipsis
    // button in the current row's other cell.
    const QRect combo = grid.cellRect(2, 2);
    EXPECT_EQ(QColor(image.pixel(combo.right() - 8, combo.top() + 3)), QColor(212, 208, 200));
    const QRect dots = grid.cellRect(3, 2);
    EXPECT_EQ(QColor(image.pixel(dots.right() - 8, dots.top() + 3)), QColor(212, 208, 200));
    EXPECT_NE(QColor(image.pixel(grid.cellRect(3, 1).right() - 8, grid.cellRect(3, 1).top() + 3)),
        QColor(212, 208, 200));
    // The raised bevel of a data cell: dark right and bottom edges, light left and top.
    const QRect plain = grid.cellRect(3, 3);
    const QRgb dark = grid.palette().color(QPalette::Dark).rgb();
    const QRgb light = grid.palette().color(QPalette::Light).rgb();
    ASSERT_NE(dark, grid.palette().color(QPalette::Base).rgb());
    EXPECT_EQ(image.pixel(plain.right(), plain.center().y()), dark);
    EXPECT_EQ(image.pixel(plain.center().x(), plain.bottom()), dark);
    EXPECT_EQ(image.pixel(plain.left(), plain.center().y()), light);
    EXPECT_EQ(image.pixel(plain.center().x(), plain.top()), light);
}

// Resting the mouse on a cell: the tool tip shows a text that the column cuts off.
TEST_F(ResultGridRender, ClippedNamesAndClubsShowWholeAsToolTips)
{
    const QString longName
        = QStringLiteral("Maximilian von Hohenberg-Schwarzenfels / Anna Müller-Lüdenscheidt");
    grid.setCells(1, 2, longName);
    grid.setCells(2, 2, QStringLiteral("Tanzclub Blau-Gold Mönchengladbach"));
    const auto tipAt = [this](int col, int row) {
        QToolTip::hideText(); // fades out: wait until it is gone
        for (int i = 0; i < 100 && QToolTip::isVisible(); ++i)
            QTest::qWait(20);
        const QPoint pos = cellCentre(grid, col, row);
        QHelpEvent hover(QEvent::ToolTip, pos, grid.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(grid.viewport(), &hover);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(1, 2), longName);
    EXPECT_EQ(tipAt(2, 2), QStringLiteral("Tanzclub Blau-Gold Mönchengladbach"));
    EXPECT_EQ(tipAt(1, 3), QString()); // "Paar 3" fits
    EXPECT_EQ(tipAt(0, 2), QString());
    grid.setColWidths(1, 1000); // widened until the whole name shows
    EXPECT_EQ(tipAt(1, 2), QString());
    QToolTip::hideText();
}

int pdfPageCount(const QString &file)
{
    QFile pdf(file);
    if (!pdf.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(pdf.readAll());
    return int(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}

TEST_F(ResultGridRender, NoPrinterInstalled)
{
    const QString file = printedFile(QStringLiteral("grid_noprinter.pdf"));
    QFile::remove(file);
    grid.setPrinterProvider(std::make_shared<PdfPrinters>(QStringList(), file));
    MessageBox::setAutoAnswer(QMessageBox::Ok);
    const int shown = MessageBox::shownCount();
    grid.Print();
    MessageBox::setAutoAnswer(std::nullopt);
    EXPECT_EQ(MessageBox::shownCount(), shown + 1);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("No Printer is installed"));
    EXPECT_EQ(MessageBox::lastIcon(), QMessageBox::Critical);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(ResultGridRender, PrintsTheShownColumnsOnCountedPages)
{
    const QString file = printedFile(QStringLiteral("grid_print.pdf"));
    QFile::remove(file);
    grid.setPrinterProvider(std::make_shared<PdfPrinters>(QStringList { QStringLiteral("PDF") }, file));
    grid.PrintOptions().JobTitle = QStringLiteral("Ergebnisliste");
    grid.PrintOptions().PageTitle = QStringLiteral("Turnier am Sonntag");
    grid.PrintOptions().FromRow = 1;
    grid.PrintOptions().ToRow = 60; // clamped to the 30 data rows
    grid.OnSetFilter = [](TSortGrid *, const QStringList &texts, bool &accept) { accept = texts[0] == "1"; };
    grid.setFiltered(true);
    ASSERT_EQ(grid.RowCount(), 2);
    grid.Print();
    EXPECT_FALSE(grid.Filtered());
    EXPECT_EQ(grid.RowCount(), 31);
    QString text = pdfText(file);
    EXPECT_EQ(pdfPageCount(file), 1);
    for (const char *shown : { "Turnier am Sonntag", "Seite 1 von 1", "J.5", "Paar 30", "TSC E" })
        EXPECT_TRUE(text.contains(QString::fromUtf8(shown))) << shown;
    EXPECT_FALSE(text.contains(QStringLiteral("J.6"))) << "a hidden judge column was printed";

    // Three hundred rows: every page has the heading, the header row and its number.
    grid.setRowCount(301);
    for (int row = 31; row <= 300; ++row)
        grid.setRows(
            row, { QString::number(row), QStringLiteral("Paar %1").arg(row), QStringLiteral("TSC") });
    grid.PrintOptions().ToRow = 300;
    grid.Print();
    text = pdfText(file);
    const int pages = pdfPageCount(file);
    ASSERT_GT(pages, 2);
    EXPECT_EQ(text.count(QStringLiteral("Turnier am Sonntag")), pages);
    EXPECT_EQ(text.count(QStringLiteral("Verein")), pages);
    for (int page = 1; page <= pages; ++page)
        EXPECT_TRUE(text.contains(QStringLiteral("Seite %1 von %2").arg(page).arg(pages))) << page;
    EXPECT_TRUE(text.contains(QStringLiteral("Paar 300")));
}

// Short names fit portrait at a good size; seven judges beside long names go landscape.
TEST_F(ResultGridRender, LandscapeOnlyWhenPortraitIsTooSmall)
{
    table.SetJudgeCount(7);
    grid.PrintOptions().FromRow = 1;
    grid.PrintOptions().ToRow = 30;
    const auto orientation = [this](const QString &name) {
        grid.setCells(1, 7, QStringLiteral("Kurz"));
        grid.setCells(2, 7, name);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printedFile(QStringLiteral("grid_print_orientation.pdf")));
        grid.PrintTo(printer);
        return std::pair { printer.pageLayout().orientation(), pdfText(printer.outputFileName()) };
    };
    EXPECT_EQ(orientation(QStringLiteral("TSC")).first, QPageLayout::Portrait);
    const QString club = QStringLiteral("Tanzsportgemeinschaft Blau-Weiß-Gold im Turn- und Sportverein "
                                        "Hohenberg-Schwarzenfels 1887 e.V. Abteilung Standard und Latein");
    const auto [landscape, text] = orientation(club);
    EXPECT_EQ(landscape, QPageLayout::Landscape);
    EXPECT_TRUE(text.contains(club)) << text.toStdString();
}

// "&" is text in a cell and on paper: Courier draws "Anna & Max" as wide as "Anna + Max".
TEST_F(ResultGridRender, AmpersandsAreDrawnAndPrintedAsWritten)
{
    const QStringList written { "Anna & Max", "Rot&&Weiß &", "&" };
    const QStringList sameWidth { "Anna + Max", "Rot++Weiß +", "+" };
    for (int i = 0; i < written.size(); ++i) {
        grid.setCells(1, 5 + i, written[i]);
        grid.setCells(1, 8 + i, sameWidth[i]);
    }
    const QImage image = grid.viewport()->grab().toImage();
    for (int i = 0; i < written.size(); ++i) {
        const auto [left, right] = inkSpan(image, grid.cellRect(1, 5 + i).adjusted(1, 1, -1, -1));
        const auto [sameLeft, sameRight] = inkSpan(image, grid.cellRect(1, 8 + i).adjusted(1, 1, -1, -1));
        ASSERT_GE(left, 0) << written[i].toStdString();
        EXPECT_LE(std::abs(left - sameLeft), 2) << written[i].toStdString();
        EXPECT_LE(std::abs(right - sameRight), 2) << written[i].toStdString();
    }

    const QString file = printedFile(QStringLiteral("grid_print_ampersand.pdf"));
    QFile::remove(file);
    grid.setPrinterProvider(std::make_shared<PdfPrinters>(QStringList { QStringLiteral("PDF") }, file));
    grid.PrintOptions().FromRow = 5;
    grid.PrintOptions().ToRow = 7;
    grid.Print();
    const QString printed = pdfText(file);
    for (const QString &text : written)
        EXPECT_TRUE(printed.contains(text)) << text.toStdString() << " in " << printed.toStdString();
}

} // namespace
