#include "grid/gridgeometry.h"

#include <gtest/gtest.h>

using namespace GridGeometry;

void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Every character 7 pixels wide, as in an 11-pixel monospaced font.
int monoWidth(const QString &text)
{
    return int(text.size()) * 7;
}

TEST(HeaderText, ShortenedToTwoFullStops)
{
    struct Case
    {
        const char *text;
        int room;
        const char *expected;
    } cases[] = {
        { "Summe", 35, "Summe" }, // exactly fits
        { "Summe", 34, "Su.." }, // "Sum.." is still 35 wide: one more character goes
        { "Verein", 29, "Ve.." }, // 42 -> "Vere.." 42 -> "Ver.." 35 -> "Ve.." 28
        { "Verein", 10, "V.." }, // never shorter than three characters
        { "X", 1, "X" }, // one character is never shortened
        { "J.1", 21, "J.1" },
        { "J.1", 20, "J.." },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(shortenHeaderText(QString::fromLatin1(c.text), c.room, monoWidth),
            QString::fromLatin1(c.expected))
            << c.text << " in " << c.room;
    }
    EXPECT_EQ(headerTextRoom(30, false), 29);
    EXPECT_EQ(headerTextRoom(30, true), 18);
}

TEST(TextOffsets, AlignmentsAndWideTexts)
{
    struct Case
    {
        int alignment;
        int cellWidth;
        int textWidth;
        int expected;
    } horz[] = {
        { taLeftJustify, 30, 50, 2 },
        { taRightJustify, 30, 14, 14 },
        { taCenter, 30, 14, 8 },
        { taCenter, 30, 15, 7 }, // 7.5 toward zero
        { taCenter, 30, 35, -2 }, // -2.5 toward zero, not -3
        { taRightJustify, 30, 35, -7 },
    };
    for (const Case &c : horz)
        EXPECT_EQ(textOffsetHorz(TAlignment(c.alignment), c.cellWidth, c.textWidth), c.expected);
    EXPECT_EQ(textOffsetVert(taTopJustify, 20, 13), 2);
    EXPECT_EQ(textOffsetVert(taMiddle, 20, 13), 3);
    EXPECT_EQ(textOffsetVert(taBottomJustify, 20, 13), 4);
    EXPECT_EQ(textOffsetVert(taMiddle, 10, 13), -1);
}

TEST(ImagePlaces, ArrowBoxAndButtons)
{
    EXPECT_EQ(sortArrowRect(QRect(31, 0, 30, 20), 20), QRect(34, 6, 8, 7));
    EXPECT_EQ(sortArrowRect(QRect(0, 0, 9, 20), 21), QRect(3, 6, 6, 7));
    EXPECT_EQ(checkBoxRect(QRect(31, 42, 30, 20), 20), QRect(41, 47, 10, 10));
    EXPECT_EQ(checkBoxRect(QRect(0, 21, 8, 20), 20), QRect(0, 26, 7, 10));
    EXPECT_EQ(cellButtonRect(QRect(10, 21, 50, 20)), QRect(44, 21, 16, 20));
    EXPECT_EQ(cellButtonRect(QRect(10, 21, 12, 20)), QRect(10, 21, 12, 20));
}

TEST(LastColumnStretch, FillsTheGridWidth)
{
    // Three columns of 30 in a grid 200 wide, at the left edge: 200 - 60 - 3 - 3.
    EXPECT_EQ(lastColumnStretch(200, { 30, 30, 30 }, 0, 3), 134);
    // Not scrolled to where the last column shows: nothing changes.
    EXPECT_EQ(lastColumnStretch(200, { 30, 30, 30 }, 0, 2), std::nullopt);
    // A hidden column counts -1 and one visible column: it takes no room.
    EXPECT_EQ(lastColumnStretch(200, { 30, -1, 30, 30 }, 0, 4), 134);
    EXPECT_EQ(lastColumnStretch(60, { 30, 30, 30 }, 0, 3), std::nullopt);
    EXPECT_EQ(visibleColCount({ 30, 30, 30 }, 0, 196), 3);
    EXPECT_EQ(visibleColCount({ 30, -1, 30, 30 }, 0, 92), 3); // 31 + 31 fit, the third needs 93
    EXPECT_EQ(visibleColCount({ 30, -1, 30, 30 }, 0, 93), 4);
}

TEST(ShownColumns, HiddenColumnsSkippedUpToTheClientWidth)
{
    const QList<int> widths { 30, -1, 20, 40, 10 };
    // x of each column: 0, hidden, 31, 52 (starts inside 60), 93 (outside).
    EXPECT_EQ(
        shownColumns(widths, 0, 60), (QList<ShownColumn> { { 0, 0, 30 }, { 2, 31, 20 }, { 3, 52, 40 } }));
    EXPECT_EQ(shownColumns(widths, 0, 52), (QList<ShownColumn> { { 0, 0, 30 }, { 2, 31, 20 } }));
    EXPECT_EQ(shownColumns(widths, 1, 60), (QList<ShownColumn> { { 2, 0, 20 }, { 3, 21, 40 } }));
    EXPECT_TRUE(shownColumns({ -1, -1 }, 0, 100).isEmpty());
    EXPECT_TRUE(shownColumns(widths, 0, 0).isEmpty());
}

TEST(ScrollToCell, TopRowAndLeftColumn)
{
    struct Case
    {
        int row;
        int rowCount;
        int visible;
        int top;
    } cases[] = {
        { 10, 100, 10, 9 }, // second from the top
        { 1, 100, 10, 1 }, { 95, 100, 10, 90 }, // in the last page: the last page
        { 91, 100, 10, 90 }, { 90, 100, 10, 89 }, { 3, 5, 10, 1 }, // everything fits
    };
    for (const Case &c : cases)
        EXPECT_EQ(scrollToCellTopRow(c.row, c.rowCount, c.visible), c.top) << "row " << c.row;

    const QList<int> widths { 50, 50, 50, 50, 50 };
    EXPECT_EQ(scrollToCellLeftCol(1, 0, widths, 102), 0);
    EXPECT_EQ(scrollToCellLeftCol(3, 0, widths, 102), 2);
    EXPECT_EQ(scrollToCellLeftCol(4, 0, widths, 102), 3);
    // A column left of the view brings the view back to it.
    EXPECT_EQ(scrollToCellLeftCol(1, 3, widths, 102), 1);
    EXPECT_EQ(maxLeftCol(widths, 102), 3);
    EXPECT_EQ(maxLeftCol(widths, 1000), 0);
}

TEST(ScrollBars, ProportionalPageSizes)
{
    EXPECT_EQ(verticalPageSize(10, 100, 90), 10); // 11 / 100 * 90 = 9.9
    EXPECT_EQ(verticalPageSize(0, 10000, 9990), 1);
    EXPECT_EQ(horizontalPageSize(4, 13, 9), 3); // 2.77
    EXPECT_EQ(horizontalPageSize(0, 13, 9), 1);
}

TEST(MouseHits, ColumnSizingAndAutoSize)
{
    const QList<int> edges { 30, 61, 92 };
    struct Case
    {
        int x;
        int hit;
    } cases[] = { { 26, -1 }, { 27, 0 }, { 34, 0 }, { 35, -1 }, { 58, 1 }, { 96, 2 }, { 97, -1 } };
    for (const Case &c : cases)
        EXPECT_EQ(columnSizingHit(c.x, edges), c.hit) << "x " << c.x;

    // Column 1 spans x 31..60, its line is at 61 and the previous line at 30.
    EXPECT_EQ(autoSizeTarget(59, 1, 31, 60, 0), 1);
    EXPECT_EQ(autoSizeTarget(33, 1, 31, 60, 0), 0);
    EXPECT_EQ(autoSizeTarget(33, 1, 31, 60, -1), -1);
    EXPECT_EQ(autoSizeTarget(45, 1, 31, 60, 0), -1);
    EXPECT_EQ(autoSizeWidth({ 0, 21, 35 }, 7, 14), 42);
    EXPECT_EQ(autoSizeWidth({ 0, 0 }, 7, 14), 14);
}

TEST(Printing, PagesStripsAndFooter)
{
    EXPECT_EQ(printScale(1200, 96), 12);
    EXPECT_EQ(printScale(600, 96), 6);
    EXPECT_EQ(printScale(72, 96), 1);

    PrintLayout layout; // scale 1: left 80, header at 20, 20 kept free at the bottom
    // Page 300 wide: 80 + 100 + 100 fit, the third column starts a strip; the hidden one is left out.
    // Page 200 high: rows start at 40 and a row may end at 180 at most: 7 rows a page.
    const QList<PrintPage> pages = layoutPrintPages({ 100, -1, 100, 150 }, 1, 10, 20, layout, 300, 200);
    ASSERT_EQ(pages.size(), 4);
    EXPECT_EQ(pages[0], (PrintPage { 1, 1, { 0, 2 }, { 1, 2, 3, 4, 5, 6, 7 } }));
    EXPECT_EQ(pages[1], (PrintPage { 1, 2, { 3 }, { 1, 2, 3, 4, 5, 6, 7 } }));
    EXPECT_EQ(pages[2], (PrintPage { 2, 1, { 0, 2 }, { 8, 9, 10 } }));
    EXPECT_EQ(pages[3], (PrintPage { 2, 2, { 3 }, { 8, 9, 10 } }));

    // The main window's settings: rows 0 to 0, the header printed once more as a row.
    const QList<PrintPage> header = layoutPrintPages({ 30, 30 }, 0, 0, 20, layout, 3000, 3000);
    ASSERT_EQ(header.size(), 1);
    EXPECT_EQ(header[0].rows, QList<int> { 0 });
    EXPECT_EQ(layoutPrintPages({ 30 }, 5, 4, 20, layout, 3000, 3000)[0].rows, QList<int>());

    EXPECT_EQ(printFooter(2, 1, 1), QStringLiteral("Seite 2"));
    EXPECT_EQ(printFooter(2, 3, 3), QStringLiteral("Seite 2-3"));
}

} // namespace
