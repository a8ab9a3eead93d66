#include "exchange/textresultfile.h"
#include "grid/sortgridcore.h"
#include "scoring/marks.h"
#include "scoring/resulttable.h"

#include "support/qtprinters.h"
#include "support/resulttablefixture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <functional>
#include <random>

namespace {

class ResultTableTest : public ::testing::Test, protected ResultTableFixture<>
{
protected:
    void SetUp() override
    {
        grid.setRowCount(2);
        QObject::connect(
            &table, &ResultTable::judgeCountChanged, [this] { table.LayoutTableColumns(590, 17); });
        table.SetJudgeCount(5);
    }

    // Rows of { start number, marks... } for the first marks columns.
    void load(const std::vector<QStringList> &rows)
    {
        grid.setRowCount(int(rows.size()) + 1);
        for (size_t i = 0; i < rows.size(); ++i) {
            const int row = int(i) + 1;
            for (int c = 0; c < ResultTable::kColumnCount; ++c)
                grid.setCells(c, row, QString());
            grid.setCells(ResultTable::ColNumber, row, rows[i][0]);
            for (int k = 1; k < rows[i].size(); ++k)
                grid.setCells(ResultTable::ColFirstMark + k - 1, row, rows[i][k]);
        }
    }
};

TEST_F(ResultTableTest, HeaderRow)
{
    EXPECT_EQ(grid.Rows(0),
        (QStringList { "Nr.", "Name", "Verein", "J.1", "J.2", "J.3", "J.4", "J.5", "J.6", "J.7", "Summe",
            "Platz", "" }));
    table.SetJudgeCount(3);
    EXPECT_EQ(grid.Cells(8, 0), QStringLiteral("J.6"));
    EXPECT_EQ(grid.ColCount(), 13);
}

TEST_F(ResultTableTest, ColumnWidthsOfThe590PixelLayout)
{
    struct Case
    {
        int judges, name, club;
    };
    for (const Case &c : { Case { 3, 234, 117 }, Case { 5, 192, 96 }, Case { 7, 150, 75 } }) {
        table.SetJudgeCount(c.judges);
        EXPECT_EQ(grid.ColWidths(0), 30);
        EXPECT_EQ(grid.ColWidths(1), c.name) << c.judges << " judges";
        EXPECT_EQ(grid.ColWidths(2), c.club) << c.judges << " judges";
        for (int judge = 1; judge <= 7; ++judge)
            EXPECT_EQ(grid.ColWidths(judge + 2), judge <= c.judges ? 30 : -1) << "judge " << judge;
        EXPECT_EQ(grid.ColWidths(10), 46);
        EXPECT_EQ(grid.ColWidths(11), 45);
        EXPECT_EQ(grid.ColWidths(12), -1);
    }
}

// A new judge count is announced, and a couple on the scoreboard is shown again with it:
// its marks of the judges counted, its total of the new count. A cleared scoreboard
// stays cleared.
TEST_F(ResultTableTest, AJudgeCountChangeShowsTheCoupleAgain)
{
    struct Case
    {
        bool shown;
        int judges;
        QStringList marks; // as shown afterwards
        QString total;
    };
    const Case cases[] = {
        { true, 3, { "9", "5", "8", "", "", "", "" }, "8" },
        { true, 7, { "", "", "", "", "", "", "" }, "" },
        { true, 4, { "9", "5", "8", "7", "", "", "" }, "15" },
        { false, 3, {}, "" },
    };
    for (const Case &c : cases) {
        table.SetJudgeCount(5);
        load({ { "1", "9", "5", "8", "7", "6" }, { "2", "5", "5", "5", "5", "5" } });
        table.AssignPlaces();
        grid.MoveCurrent(0, rowOfNumber(QStringLiteral("1")));
        table.showCurrentRow();
        if (!c.shown)
            table.clearScoreboard();
        grid.MoveCurrent(0, rowOfNumber(QStringLiteral("2"))); // the current row is another one
        QSignalSpy counts(&table, &ResultTable::judgeCountChanged);
        QSignalSpy shown(&table, &ResultTable::coupleShown);
        table.SetJudgeCount(c.judges);
        ASSERT_EQ(counts.size(), 1);
        EXPECT_EQ(counts[0][0].toInt(), c.judges);
        EXPECT_EQ(grid.Cells(0, grid.Row()), QStringLiteral("2"));
        if (!c.shown) {
            EXPECT_EQ(shown.size(), 0);
            EXPECT_TRUE(table.shownNumber().isEmpty());
            continue;
        }
        ASSERT_EQ(shown.size(), 1) << c.judges;
        const QStringList texts = shown[0][0].toStringList();
        EXPECT_EQ(texts[0], QStringLiteral("1"));
        EXPECT_EQ(texts.mid(ResultTable::ColFirstMark, 7), c.marks) << c.judges;
        EXPECT_EQ(texts[ResultTable::ColTotal], c.total) << c.judges;
    }
}

TEST_F(ResultTableTest, RowTotals)
{
    struct Case
    {
        QStringList marks;
        int judges;
        QString net, raw;
    };
    const std::vector<Case> cases {
        { { "9", "8", "8", "8", "7" }, 5, "24", "40" },
        { { "10", "8", "8", "8", "6" }, 5, "24", "40" },
        { { "5", "5", "5", "5", "5" }, 5, "15", "25" },
        { { "5", "0", "0" }, 3, "", "" },
        { { "0", "0", "0" }, 3, "", "" },
        { { "4", "9", "6" }, 3, "6", "19" },
        { { "9", "8", "", "8", "7" }, 5, "", "" },
        { { "9", "8", "8a", "8", "7" }, 5, "", "" },
        { { "9", "8", " ", "8", "7" }, 5, "", "" },
        { { " 9", "+8", "8", "8", "7" }, 5, "24", "40" },
        { { "9 ", "8", "8", "8", "7" }, 5, "", "" },
        { { "9", "8", "8", "8", "2147483648" }, 5, "", "" },
        { { "6", "6", "6", "6", "6", "6" }, 6, "24", "36" },
        // Large marks must not wrap around in the sum.
        { { "2147483647", "2147483647", "2147483647", "2147483647", "2147483647" }, 5, "6442450941",
            "10737418235" },
    };
    for (const Case &c : cases) {
        table.SetJudgeCount(c.judges);
        QStringList row { "1" };
        row += c.marks;
        load({ row });
        grid.setCells(ResultTable::ColPlace, 1, QStringLiteral("typed"));
        table.CalcRowTotals();
        EXPECT_EQ(grid.Cells(10, 1), c.net) << c.marks.join(',').toStdString();
        EXPECT_EQ(grid.Cells(12, 1), c.raw) << c.marks.join(',').toStdString();
        EXPECT_EQ(grid.Cells(11, 1), QString());
    }
}

TEST_F(ResultTableTest, HiddenMarkColumnsKeepTextAndCountAgain)
{
    table.SetJudgeCount(7);
    load({ { "1", "5", "5", "5", "5", "5", "9", "1" } });
    table.SetJudgeCount(5);
    table.CalcRowTotals();
    EXPECT_EQ(grid.Cells(10, 1), QStringLiteral("15"));
    EXPECT_EQ(grid.Cells(8, 1), QStringLiteral("9"));
    table.SetJudgeCount(7);
    table.CalcRowTotals();
    EXPECT_EQ(grid.Cells(10, 1), QStringLiteral("25"));
    EXPECT_EQ(grid.Cells(12, 1), QStringLiteral("35"));
}

// A row shares the place of the row above only when net and raw total are both equal.
TEST_F(ResultTableTest, SharedPlacesNeedEqualNetAndRawTotals)
{
    struct Case
    {
        const char *what;
        std::vector<QStringList> rows;
        QStringList order, places;
    };
    const Case cases[] = {
        { "net 24 / raw 40 twice, then net 23 / raw 38",
            { { "7", "9", "8", "8", "8", "7" }, { "3", "8", "8", "7", "8", "6" },
                { "5", "10", "8", "8", "8", "6" } },
            { "7", "5", "3" }, { "1", "1", "3" } },
        { "net 25 and 24 with the same raw total 40",
            { { "1", "9", "8", "8", "8", "7" }, { "2", "9", "9", "8", "8", "6" },
                { "3", "1", "1", "2", "2", "1" } },
            { "2", "1", "3" }, { "1", "2", "3" } },
        { "net 17 / raw 28 above net 16 / raw 28, then two equal",
            { { "a", "2", "5", "6", "6", "9" }, { "b", "2", "4", "6", "6", "10" },
                { "c", "4", "4", "4", "4", "4" }, { "d", "4", "4", "4", "4", "4" } },
            { "a", "b", "c", "d" }, { "1", "2", "3", "3" } },
    };
    for (const Case &c : cases) {
        load(c.rows);
        table.AssignPlaces();
        EXPECT_EQ(columnTexts(0), c.order) << c.what;
        EXPECT_EQ(columnTexts(11), c.places) << c.what;
    }
}

// A cell of only blanks is no mark: the row is not complete and gets no total.
TEST_F(ResultTableTest, BlankCellsAreNoMarks)
{
    struct Case
    {
        QStringList marks;
        bool entered;
    };
    const Case cases[] = {
        { { "9", "8", "8", "8", "7" }, true }, { { "9", "8", " ", "8", "7" }, false },
        { { "9", "8", "   ", "8", "7" }, false }, { { "9", "8", "8", "8", "" }, false },
        { { "9", "8", "8", "8", "7", " ", " " }, true }, // judges 6 and 7 are not counted
        { { "9", "8", "8", "8", "x" }, true }, // a typed text is entered, but no mark
    };
    for (const Case &c : cases) {
        QStringList row { "1" };
        row += c.marks;
        load({ row });
        EXPECT_EQ(table.marksEntered(1), c.entered) << c.marks.join(',').toStdString();
        table.CalcRowTotals();
        EXPECT_EQ(grid.Cells(10, 1).isEmpty(), !c.entered || c.marks.contains("x"))
            << c.marks.join(',').toStdString();
    }
}

TEST_F(ResultTableTest, EqualNetTotalsAreSeparatedByRawTotals)
{
    // nets 24, 25, 24 with raws 38, 41, 40
    load({ { "a", "6", "8", "8", "8", "8" }, { "b", "9", "8", "8", "9", "7" },
        { "c", "9", "8", "8", "8", "7" } });
    table.AssignPlaces();
    EXPECT_EQ(columnTexts(0), (QStringList { "b", "c", "a" }));
    EXPECT_EQ(columnTexts(12), (QStringList { "41", "40", "38" }));
    EXPECT_EQ(columnTexts(11), (QStringList { "1", "2", "3" }));
}

TEST_F(ResultTableTest, IncompleteRowsGoLastInTheirOrder)
{
    load({ { "1", "5" }, { "2", "9", "8", "8", "8", "7" }, { "3" }, { "4", "6", "6", "6", "6", "6" } });
    table.AssignPlaces();
    EXPECT_EQ(columnTexts(0), (QStringList { "2", "4", "1", "3" }));
    EXPECT_EQ(columnTexts(11), (QStringList { "1", "2", "", "" }));
}

TEST_F(ResultTableTest, NoCompleteRowKeepsTheOrder)
{
    load({ { "3", "5" }, { "1" }, { "2", "4", "4" } });
    table.AssignPlaces();
    EXPECT_EQ(columnTexts(0), (QStringList { "3", "1", "2" }));
    EXPECT_EQ(columnTexts(11), (QStringList { "", "", "" }));
}

TEST_F(ResultTableTest, CurrentCompetitorIsFoundAgainAfterTheSort)
{
    std::vector<QStringList> rows;
    for (int i = 1; i <= 8; ++i)
        rows.push_back({ QString::number(i), "5", "5", "5", "5", "5" });
    rows[6] = { "7", "9", "9", "8", "9", "9" };
    load(rows);
    table.AssignPlaces(); // row 7 moves to the top, competitor 1 (current) to row 2
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Cells(0, 2), QStringLiteral("1"));
    grid.MoveCurrent(3, 7);
    const QString current = grid.Cells(0, 7);
    grid.setCells(3, 7, QStringLiteral("8"));
    grid.setCells(4, 7, QStringLiteral("8"));
    grid.setCells(5, 7, QStringLiteral("8"));
    grid.setCells(6, 7, QStringLiteral("8"));
    grid.setCells(7, 7, QStringLiteral("8"));
    table.AssignPlaces();
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Cells(0, 2), current);
    EXPECT_EQ(grid.Col(), 12);
    EXPECT_EQ(grid.Selection(), (GridRect { 0, 2, 12, 2 }));
}

TEST_F(ResultTableTest, DuplicateStartNumbersSelectTheFirstInNewOrder)
{
    load({ { "4", "5", "5", "5", "5", "5" }, { "4", "9", "9", "9", "9", "9" } });
    grid.MoveCurrent(0, 1);
    table.AssignPlaces();
    EXPECT_EQ(grid.Cells(3, 1), QStringLiteral("9"));
    EXPECT_EQ(grid.Row(), 1);
}

TEST_F(ResultTableTest, TableWithoutDataRows)
{
    grid.setRowCount(1);
    table.CalcRowTotals();
    table.AssignPlaces();
    table.SetJudgeCount(7);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Cells(0, 0), QStringLiteral("Nr."));
}

// Placing again totals only the rows that changed since the last placing: whatever changed
// them, the table must come out as a placing of every row from scratch does.
TEST_F(ResultTableTest, PlacingAgainGivesWhatAWholePlacingGives)
{
    const auto mark = [](int col, int row, const char *text) {
        return [=](SortGridCore &g, ResultTable &) { g.setCells(col, row, QString::fromLatin1(text)); };
    };
    struct Case
    {
        const char *change;
        std::function<void(SortGridCore &, ResultTable &)> apply;
    };
    const std::vector<Case> cases {
        { "a mark of the last row", mark(ResultTable::markColumn(5), 4, "1") },
        { "a mark emptied", mark(ResultTable::markColumn(2), 2, "") },
        { "a total typed over", mark(ResultTable::ColTotal, 3, "99") },
        { "a raw total emptied", mark(ResultTable::ColRawTotal, 1, "") },
        { "a mark typed in the editor",
            [](SortGridCore &g, ResultTable &) {
                g.SetEditText(ResultTable::markColumn(1), 2, QStringLiteral("1"));
            } },
        { "a whole row",
            [](SortGridCore &g, ResultTable &) {
                g.setRows(3, { "7", "G", "X", "1", "1", "1", "1", "1", "", "", "3", "1", "5" });
            } },
        { "a row inserted",
            [](SortGridCore &g, ResultTable &) {
                g.InsertRow(1);
                fillResultRows(g, { { "5", "E", "X", "4", "4", "4", "4", "4" } }); // all rows anew
            } },
        { "a row deleted", [](SortGridCore &g, ResultTable &) { g.DeleteRow(2); } },
        { "the first mark column moved out of the counted ones",
            [](SortGridCore &g, ResultTable &) {
                g.MoveColumn(ResultTable::markColumn(1), ResultTable::markColumn(7));
            } },
        { "a judge less", [](SortGridCore &, ResultTable &t) { t.SetJudgeCount(4); } },
        { "a row more",
            [](SortGridCore &g, ResultTable &) {
                g.setRowCount(g.RowCount() + 1);
                g.setCells(ResultTable::ColNumber, g.RowCount() - 1, QStringLiteral("6"));
            } },
    };
    for (const Case &c : cases) {
        table.SetJudgeCount(5);
        setRows({ { "1", "A", "X", "9", "9", "9", "9", "9" }, { "2", "B", "X", "8", "8", "8", "8", "8" },
            { "3", "C", "X", "7", "7", "7", "7", "7" }, { "4", "D", "X", "6", "6", "6", "6", "6" } });
        table.AssignPlaces();
        c.apply(grid, table);
        table.AssignPlaces();

        ResultTableFixture<> whole;
        whole.table.SetJudgeCount(table.judgeCount());
        whole.grid.setRowCount(grid.RowCount());
        for (int row = 1; row < grid.RowCount(); ++row)
            whole.grid.setRows(row, grid.Rows(row));
        whole.table.AssignPlaces();
        EXPECT_EQ(allRows().mid(1), whole.allRows().mid(1)) << c.change;
    }
}

// Mark after mark in a table the placings keep reordering: each placing, which totals only
// the row typed in, must give what a placing of every row from scratch gives.
TEST_F(ResultTableTest, PlacingMarkAfterMarkGivesWhatAWholePlacingGives)
{
    std::mt19937 random(11);
    const auto randomMark = [&] { return random() % 6 == 0 ? QString() : QString::number(1 + random() % 4); };
    QList<QStringList> rows;
    for (int i = 0; i < 300; ++i) {
        QStringList row { QString::number(i + 1), "N", "C" };
        for (int judge = 1; judge <= 5; ++judge)
            row.append(randomMark());
        rows.append(row);
    }
    setRows(rows);
    table.AssignPlaces();
    for (int step = 0; step < 200; ++step) {
        grid.setCells(ResultTable::markColumn(1 + int(random() % 5)), 1 + int(random() % 300), randomMark());
        table.AssignPlaces();

        ResultTableFixture<> whole;
        whole.grid.setRowCount(grid.RowCount());
        for (int row = 1; row < grid.RowCount(); ++row)
            whole.grid.setRows(row, grid.Rows(row));
        whole.table.AssignPlaces();
        ASSERT_EQ(allRows(), whole.allRows()) << "step " << step;
    }
}

// Placing a wholly totalled table sorts by the totals as numbers; the texts' own sort must
// give the same table, ties, rows without totals and totals too far apart to pack included.
TEST_F(ResultTableTest, PlacingByTotalsSortsAsTheTotalsTexts)
{
    struct Case
    {
        const char *what;
        int rows;
        int lowestMark, highestMark;
        int blankOneIn; // a mark left out of every so many rows
    };
    const Case cases[] = {
        { "small table, many ties", 40, 1, 3, 5 },
        { "large table, many ties", 3000, 1, 4, 7 },
        { "large table, few ties", 3000, 1, 1000, 0 },
        { "totals too far apart to pack", 200, 1, 2147483000, 9 },
        { "no row complete", 30, 1, 9, 1 },
    };
    std::mt19937 random(5);
    for (const Case &c : cases) {
        QList<QStringList> rows;
        for (int i = 0; i < c.rows; ++i) {
            QStringList row { QString::number(i + 1), "N", "C" };
            for (int judge = 1; judge <= 5; ++judge) {
                const int mark = c.lowestMark + int(random() % unsigned(c.highestMark - c.lowestMark + 1));
                row.append(QString::number(mark));
            }
            if (c.blankOneIn && random() % unsigned(c.blankOneIn) == 0)
                row[3 + int(random() % 5)].clear();
            rows.append(row);
        }
        setRows(rows);
        table.AssignPlaces();

        ResultTableFixture<> byTexts;
        byTexts.grid.OnSortStarting = [](SortGridCore *, int &) {}; // the texts' own sort
        byTexts.setRows(rows);
        byTexts.table.AssignPlaces();
        EXPECT_EQ(allRows(), byTexts.allRows()) << c.what;
    }
}

// A table opened with its rows totalled and placed as the reader fills them is placed, and
// keeps its start order for Ctrl+N, as one totalled after the reading: a start list in start
// order, and a placed protocol whose places were typed over.
TEST_F(ResultTableTest, RowsTotalledWhileReadPlaceAsAfterTheReading)
{
    QTemporaryDir dir;
    const QString startList = dir.filePath(QStringLiteral("startlist.txt"));
    QByteArray bytes = "Nr.\tName\tVerein\r\n";
    std::mt19937 random(3);
    for (int number = 1; number <= 1500; ++number) {
        bytes += QByteArray::number(number) + "\tN" + QByteArray::number(random() % 50) + "\tC";
        for (int judge = 1; judge <= 5 && number % 7; ++judge)
            bytes += "\t" + QByteArray::number(1 + random() % 4);
        bytes += "\r\n";
    }
    QFile file(startList);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const auto open = [](ResultTableFixture<> &f, const QString &path, bool whileRead) {
        LoadTextFile(f.grid, path, whileRead ? f.table.openedRowReader() : std::function<void(int)>());
        f.table.placeOpenedTable();
    };
    // The couples without marks that Ctrl+N visits from the first couple on, after a sort by
    // name.
    const auto withoutMarks = [](ResultTableFixture<> &f) {
        f.grid.SortOptions().CanSort = true;
        f.grid.SortRowsByColumn(ResultTable::ColName);
        f.grid.MoveCurrent(1, f.grid.FindRowWithText(ResultTable::ColNumber, QStringLiteral("1"), false));
        QStringList visited;
        for (int i = 0; i < 5; ++i) {
            f.table.nextCoupleWithoutMarks();
            visited.append(f.grid.Cells(ResultTable::ColNumber, f.grid.Row()));
        }
        return visited;
    };

    // What the placing decides: the order, the totals and the places. A saved protocol has
    // blanks for empty cells.
    const auto placing = [](const ResultTableFixture<> &f) {
        QList<QStringList> columns;
        for (int col : { 0, 10, 11, 12 })
            columns.append(f.columnTexts(col));
        return columns;
    };
    ResultTableFixture<> placed;
    open(placed, startList, false);
    const QList<QStringList> placedRows = placing(placed);
    for (int row = 1; row < placed.grid.RowCount(); row += 97)
        placed.grid.setCells(ResultTable::ColPlace, row, QStringLiteral("99"));
    const QString protocol = dir.filePath(QStringLiteral("protocol.txt"));
    SaveTextFile(placed.grid, protocol);

    for (const QString &path : { startList, protocol }) {
        ResultTableFixture<> whileRead;
        open(whileRead, path, true);
        ResultTableFixture<> afterwards;
        open(afterwards, path, false);
        EXPECT_EQ(whileRead.allRows(), afterwards.allRows()) << path.toStdString();
        EXPECT_EQ(placing(whileRead), placedRows) << path.toStdString();
        EXPECT_EQ(whileRead.grid.Modified(), afterwards.grid.Modified());
        EXPECT_EQ(withoutMarks(whileRead), withoutMarks(afterwards));
    }
    EXPECT_EQ(withoutMarks(placed), (QStringList { "7", "14", "21", "28", "35" }));
}

TEST(Marks, PresentOnlyWhenTheWholeTextIsAnInteger)
{
    int v = 0;
    EXPECT_TRUE(parseMark(u"-2147483648", v));
    EXPECT_EQ(v, -2147483647 - 1);
    EXPECT_TRUE(parseMark(u"  +12", v));
    EXPECT_EQ(v, 12);
    EXPECT_FALSE(parseMark(u"-2147483649", v));
    EXPECT_FALSE(parseMark(u"", v));
    EXPECT_FALSE(parseMark(u"-", v));
    EXPECT_FALSE(parseMark(u"0x1F", v));
    EXPECT_FALSE(parseMark(u"$1F", v));
    EXPECT_FALSE(parseMark(u"1 2", v));
}

TEST(Marks, NumberTextsFromTheSharedStorageStayApart)
{
    EXPECT_EQ(numberText(0), QStringLiteral("0"));
    EXPECT_EQ(numberText(8191), QStringLiteral("8191")); // the ends of shared blocks
    EXPECT_EQ(numberText(8192), QStringLiteral("8192"));
    EXPECT_EQ(numberText(100000), QStringLiteral("100000"));
    EXPECT_EQ(numberText(1048575), QStringLiteral("1048575")); // the widest shared text
    EXPECT_EQ(numberText(1048576), QStringLiteral("1048576"));
    EXPECT_EQ(numberText(10000000000), QStringLiteral("10000000000"));
    EXPECT_EQ(numberText(-3), QStringLiteral("-3"));
    // A cell edited by hand must not change every other cell showing the same number.
    QString copy = numberText(42);
    copy[0] = u'9';
    EXPECT_EQ(copy, QStringLiteral("92"));
    EXPECT_EQ(numberText(42), QStringLiteral("42"));
}

} // namespace
