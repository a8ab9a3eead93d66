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

TEST(Printing, SheetSizeOrientationAndPages)
{
    // Text 10 units wide per tenth of a point plus 100 of air, in a room of 1000: 90 fits
    // (1000), 91 does not (1010).
    const auto fitsIn = [](int room) { return [room](int size) { return size * 10 + 100 <= room; }; };
    EXPECT_EQ(largestFittingSize(40, 120, fitsIn(1000)), 90);
    EXPECT_EQ(largestFittingSize(40, 120, fitsIn(100000)), 120);
    EXPECT_EQ(largestFittingSize(40, 120, fitsIn(10)), 40); // nothing fits: the smallest

    const struct
    {
        int portrait, landscape;
        bool landscapeChosen;
    } orientations[] = { { 120, 120, false }, { 90, 120, false }, { 89, 120, true }, { 60, 60, false },
        { 60, 55, false } };
    for (const auto &o : orientations)
        EXPECT_EQ(sheetInLandscape(o.portrait, o.landscape, 90), o.landscapeChosen)
            << o.portrait << o.landscape;

    EXPECT_EQ(fitColumnWidths({ 10, 50, 20 }, 80), (QList<int> { 10, 50, 20 }));
    EXPECT_EQ(fitColumnWidths({ 10, 50, 20 }, 70), (QList<int> { 10, 40, 20 }));
    EXPECT_EQ(fitColumnWidths({ 10, 50, 20 }, 10), (QList<int> { 10, 1, 20 }));

    EXPECT_EQ(pageRows(1, 5, 2), (QList<QList<int>> { { 1, 2 }, { 3, 4 }, { 5 } }));
    EXPECT_EQ(pageRows(1, 4, 2), (QList<QList<int>> { { 1, 2 }, { 3, 4 } }));
    EXPECT_EQ(pageRows(1, 2, 0), (QList<QList<int>> { { 1 }, { 2 } }));
    EXPECT_EQ(pageRows(1, 0, 30), (QList<QList<int>> { {} }));

    EXPECT_EQ(printFooter(2, 5), QStringLiteral("Seite 2 von 5"));
}

} // namespace
