#include "grid/sortgridcore.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QObject>
#include <QStringList>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <random>

namespace {

// Records what the grid asks of the screen.
class RecordingGrid : public SortGridCore
{
public:
    QStringList messages;
    int screenBegins = 0;
    int screenEnds = 0;

protected:
    void showMessage(const QString &text) override { messages.append(text); }
    void screenBeginUpdate() override { ++screenBegins; }
    void screenEndUpdate() override { ++screenEnds; }
};

void fillColumn(SortGridCore &grid, int col, const QStringList &texts)
{
    grid.setRowCount(int(texts.size()) + 1);
    for (int i = 0; i < texts.size(); ++i)
        grid.setCells(col, i + 1, texts[i]);
}

QStringList column(const SortGridCore &grid, int col)
{
    QStringList texts;
    for (int row = 1; row < grid.RowCount(); ++row)
        texts.append(grid.Cells(col, row));
    return texts;
}

TEST(RowStore, OutsideAccessIsHarmless)
{
    SortGridCore grid;
    grid.setColCount(3);
    grid.setRowCount(2);
    grid.setCells(5, 1, QStringLiteral("x"));
    grid.setCells(-1, 1, QStringLiteral("x"));
    grid.setCells(0, 9, QStringLiteral("x"));
    EXPECT_EQ(grid.Cells(5, 1), QString());
    EXPECT_EQ(grid.Cells(0, -3), QString());
    EXPECT_EQ(grid.Objects(7, 7), nullptr);
    EXPECT_TRUE(grid.Rows(40).isEmpty());
    EXPECT_EQ(grid.ColWidths(99), 0);
}

TEST(RowStore, RowsAsListsAndNewColumnWidths)
{
    SortGridCore grid;
    grid.setDefaultColWidth(30);
    grid.setColCount(4);
    grid.setRowCount(3);
    grid.setColWidths(1, -1);
    grid.setRows(2, { QStringLiteral("a"), QStringLiteral("b") });
    EXPECT_EQ(grid.Rows(2), (QStringList { "a", "b", "", "" }));
    grid.setColCount(6);
    EXPECT_EQ(grid.ColWidths(5), 30);
    EXPECT_EQ(grid.ColWidths(1), -1);
    EXPECT_EQ(grid.Cells(0, 2), QStringLiteral("a"));
}

TEST(RowStore, TextUnitsFollowEveryChange)
{
    // A writer sizes its buffer by this count: one too few would write past its end.
    SortGridCore grid;
    const auto counted = [&grid] {
        qint64 units = 0;
        for (int row = 0; row < grid.RowCount() + grid.HiddenRowCount(); ++row) {
            for (int col = 0; col < grid.ColCount(); ++col)
                units += grid.cellText(col, row).size();
        }
        return units;
    };
    grid.setColCount(4);
    grid.setRowCount(6);
    grid.setCells(1, 2, QStringLiteral("Anna Müller"));
    grid.setCells(3, 5, QStringLiteral("12"));
    grid.setRows(3, { QStringLiteral("7"), QStringLiteral("TSC"), QStringLiteral("Grün-Gold") });
    grid.SetEditText(0, 3, QStringLiteral("117"));
    EXPECT_EQ(grid.textUnits(), counted());
    grid.setRowCount(5); // drops row 5
    EXPECT_EQ(grid.textUnits(), counted());
    grid.setColCount(3); // drops column 3
    EXPECT_EQ(grid.textUnits(), counted());
    grid.InsertRow(2);
    grid.DeleteRow(4);
    grid.MoveColumn(0, 2);
    grid.setHiddenRowCount(2);
    grid.setCells(1, 6, QStringLiteral("hidden"));
    grid.SortRowsByColumn(1);
    EXPECT_EQ(grid.textUnits(), counted());
    grid.setRowCount(2);
    grid.setHiddenRowCount(0);
    EXPECT_EQ(grid.textUnits(), counted());
}

TEST(RowStore, SizeChangeSequence)
{
    RecordingGrid grid;
    grid.setColCount(2);
    QStringList events;
    grid.OnModified = [&](SortGridCore *) { events << QStringLiteral("modified"); };
    grid.OnSizeChanged = [&](SortGridCore *, int oldCols, int oldRows) {
        events << QStringLiteral("size %1 %2").arg(oldCols).arg(oldRows);
    };
    grid.setRowCount(4);
    EXPECT_EQ(events, (QStringList { "modified", "size 2 5" }));
    EXPECT_TRUE(grid.Modified());
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Col(), 0);
    EXPECT_TRUE(grid.messages.isEmpty());

    events.clear();
    grid.setRowCount(1);
    EXPECT_EQ(grid.messages, QStringList { QStringLiteral("Rowsize too small") });
    EXPECT_EQ(events, (QStringList { "modified", "size 2 4" }));
    EXPECT_EQ(grid.RowCount(), 1);
}

TEST(RowStore, MoveCurrentAsksSelectCellAndTracksSelection)
{
    SortGridCore grid;
    grid.setRowCount(5);
    int rowSelected = 0;
    grid.OnRowSelected = [&](SortGridCore *) { ++rowSelected; };
    grid.OnSelectCell = [](SortGridCore *, int, int row, bool &can) { can = row != 3; };
    EXPECT_TRUE(grid.MoveCurrent(2, 4));
    EXPECT_EQ(grid.SelectedRowList, QStringList { "4" });
    EXPECT_EQ(grid.AnchorRowList, QStringList { "4" });
    EXPECT_EQ(rowSelected, 1);
    EXPECT_FALSE(grid.MoveCurrent(1, 3));
    EXPECT_EQ(grid.Row(), 4);
    EXPECT_FALSE(grid.MoveCurrent(1, 0)); // the header row is never current
    grid.setRowSelect(true);
    grid.OnSelectCell = nullptr;
    grid.MoveCurrent(1, 2);
    EXPECT_EQ(grid.Selection(), (GridRect { 0, 2, 4, 2 }));
}

TEST(SortEngine, NumericEmptyCellPlacement)
{
    SortGridCore grid;
    grid.SortOptions().SortStyle = ssNumeric;
    fillColumn(grid, 0, { "10", "", "9" });
    grid.SortRowsByColumn(0);
    EXPECT_EQ(column(grid, 0), (QStringList { "", "9", "10" }));
    grid.SortOptions().SortDirection = sdDescending;
    grid.SortRowsByColumn(0);
    EXPECT_EQ(column(grid, 0), (QStringList { "10", "9", "" }));
}

TEST(SortEngine, EqualRowsKeepTheirOrderInBothDirections)
{
    for (TSortDirection direction : { sdAscending, sdDescending }) {
        SortGridCore grid;
        grid.setColCount(2);
        grid.SortOptions().SortStyle = ssNumeric;
        grid.SortOptions().SortDirection = direction;
        fillColumn(grid, 0, { "5", "7", "5", "7", "5" });
        for (int row = 1; row < grid.RowCount(); ++row)
            grid.setCells(1, row, QString(QChar(u'a' + row)));
        grid.SortRowsByColumn(0);
        const QStringList expected = direction == sdAscending ? QStringList { "b", "d", "f", "c", "e" }
                                                              : QStringList { "c", "e", "b", "d", "f" };
        EXPECT_EQ(column(grid, 1), expected) << "direction " << direction;
    }
}

TEST(SortEngine, SecondaryKeysAndPrimaryListedOnce)
{
    SortGridCore grid;
    grid.setColCount(3);
    grid.SortOptions().SortStyle = ssNumeric;
    grid.SortOptions().SortDirection = sdDescending;
    grid.SortOptions().SecondaryIndex = QStringLiteral("2, 2x 99 \"1\",");
    fillColumn(grid, 0, { "24", "25", "24", "24" });
    const QStringList second { "38", "41", "40", "40" };
    const QStringList third { "a", "b", "c", "d" };
    for (int i = 0; i < 4; ++i) {
        grid.setCells(2, i + 1, second[i]);
        grid.setCells(1, i + 1, third[i]);
    }
    QList<int> styleAsked;
    grid.OnGetSortStyle = [&](SortGridCore *, int col, TSortStyle &style) {
        styleAsked.append(col);
        style = ssNumeric;
    };
    grid.SortRowsByColumn(0);
    EXPECT_EQ(column(grid, 1), (QStringList { "b", "d", "c", "a" }));
    // "2x" and 99 are skipped; keys are handled least significant first.
    EXPECT_EQ(styleAsked, (QList<int> { 1, 2, 0 }));
    EXPECT_FALSE(grid.Updating());

    styleAsked.clear();
    grid.SortOptions().SecondaryIndex = QStringLiteral("0,2");
    grid.SortRowsByColumn(0);
    EXPECT_EQ(styleAsked, (QList<int> { 2, 0 }));
}

TEST(SortEngine, CaseRuleLowersOnlyAsciiLetters)
{
    SortGridCore grid;
    fillColumn(grid, 0, { "apple", "Apple", "\u00C4b", "\u00E4a", "Zed" });
    grid.SortRowsByColumn(0);
    // Ä (0xC4) stays upper case and sorts before ä (0xE4); apple and Apple tie.
    EXPECT_EQ(column(grid, 0), (QStringList { "apple", "Apple", "Zed", "\u00C4b", "\u00E4a" }));
    grid.SortOptions().SortCaseSensitive = true;
    grid.SortRowsByColumn(0);
    EXPECT_EQ(column(grid, 0), (QStringList { "Apple", "Zed", "apple", "\u00C4b", "\u00E4a" }));
}

TEST(SortEngine, SelectionAndObjectsFollowTheirRows)
{
    SortGridCore grid;
    grid.setColCount(2);
    grid.SortOptions().SortStyle = ssNumeric;
    fillColumn(grid, 0, { "3", "1", "2" });
    QObject marker;
    grid.setObjects(1, 1, &marker);
    grid.MoveCurrent(1, 1);
    int selectAsked = 0;
    grid.OnSelectCell = [&](SortGridCore *, int, int, bool &) { ++selectAsked; };
    grid.SortOptions().CustomCompare = [](const QString &, const QString &) { return 0; };
    grid.SortRowsByColumn(0);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(selectAsked, 1);
    EXPECT_EQ(grid.SelectedRowList, QStringList { "3" });
    EXPECT_EQ(grid.AnchorRowList, QStringList { "3" });
    EXPECT_EQ(grid.Objects(1, 3), &marker);
    EXPECT_EQ(grid.Objects(1, 1), nullptr);
    EXPECT_FALSE(grid.SortOptions().CustomCompare);
}

TEST(SortEngine, CurrentCellMovesOnlyOnceEveryRowIsPlaced)
{
    SortGridCore grid;
    grid.setColCount(2);
    grid.SortOptions().SortStyle = ssNumeric;
    fillColumn(grid, 0, { "4", "3", "2", "1" });
    grid.MoveCurrent(1, 1);
    QStringList seen;
    grid.OnSelectCell = [&](SortGridCore *sender, int, int, bool &) {
        for (int row = 1; row < sender->RowCount(); ++row)
            seen << sender->Cells(0, row);
    };
    grid.SortRowsByColumn(0);
    EXPECT_EQ(seen, (QStringList { "1", "2", "3", "4" }));
    EXPECT_EQ(grid.Row(), 4);
}

TEST(SortEngine, NotificationsAndBracket)
{
    RecordingGrid grid;
    fillColumn(grid, 0, { "only" });
    QStringList events;
    grid.OnSortStarting = [&](SortGridCore *, int &col) { events << QStringLiteral("start %1").arg(col); };
    grid.OnSortFinished = [&](SortGridCore *, int col) { events << QStringLiteral("finish %1").arg(col); };
    grid.OnEndUpdate = [&](SortGridCore *) { events << QStringLiteral("end"); };
    grid.SortOptions().UpdateOnSizeChange = true;
    grid.SortRowsByColumn(0);
    EXPECT_EQ(events, (QStringList { "start 0", "finish 0", "end" }));
    EXPECT_EQ(column(grid, 0), QStringList { "only" });
    EXPECT_EQ(grid.screenBegins, 1);
    EXPECT_EQ(grid.screenEnds, 1);
    EXPECT_TRUE(grid.SortOptions().UpdateOnSizeChange);
    EXPECT_FALSE(grid.Updating());

    events.clear();
    grid.SortRowsByColumn(42); // outside the table: nothing moves, the bracket still closes
    EXPECT_EQ(events, (QStringList { "start 42", "finish 42", "end" }));
    EXPECT_EQ(grid.SortOptions().SortCol, 42);
    EXPECT_FALSE(grid.Updating());

    events.clear();
    grid.SortOptions().CanSort = false;
    grid.SortRowsByColumn(0);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(grid.SortOptions().SortCol, 42);
}

TEST(SortEngine, EmptyTableSortsWithoutHarm)
{
    RecordingGrid grid;
    grid.setRowCount(1);
    grid.SortRowsByColumn(0);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.FindRowWithText(0, QString(), false), -1);
    EXPECT_FALSE(grid.Updating());
}

TEST(SortEngine, SortChangingHookColumnIsThePrimary)
{
    SortGridCore grid;
    grid.setColCount(2);
    fillColumn(grid, 1, { "b", "c", "a" });
    grid.OnSortStarting = [](SortGridCore *, int &col) { col = 1; };
    grid.SortRowsByColumn(0);
    EXPECT_EQ(column(grid, 1), (QStringList { "a", "b", "c" }));
    EXPECT_EQ(grid.SortOptions().SortCol, 0);
}

TEST(SortEngine, MatchesAStableReferenceOnRandomNumbers)
{
    // Small whole numbers (packed into one word per row), negative ones, whole numbers whose
    // words take five radix passes, fractions and numbers too far apart to pack, each way round. An empty
    // cell sorts below every number.
    struct Case
    {
        const char *name;
        std::function<double(std::mt19937 &)> value;
    };
    const Case cases[] = {
        { "small", [](std::mt19937 &r) { return double(r() % 21); } },
        { "negative", [](std::mt19937 &r) { return double(int(r() % 41) - 20); } },
        { "wide", [](std::mt19937 &r) { return double(r() % 1000000); } },
        { "fractions", [](std::mt19937 &r) { return double(r() % 40) / 4.0; } },
        { "far apart", [](std::mt19937 &r) { return r() % 2 ? double(r() % 5) : 1e15 + double(r() % 5); } },
    };
    constexpr double kEmpty = -std::numeric_limits<double>::infinity();
    for (const Case &c : cases) {
        for (const TSortDirection direction : { sdAscending, sdDescending }) {
            std::mt19937 random(7);
            SortGridCore grid;
            grid.setColCount(3); // the last column only tells the rows apart
            grid.SortOptions().SortStyle = ssNumeric;
            grid.SortOptions().SortDirection = direction;
            grid.SortOptions().SecondaryIndex = QStringLiteral("1");
            const int rows = 3000;
            grid.setRowCount(rows + 1);
            QLocale locale;
            locale.setNumberOptions(QLocale::OmitGroupSeparator);
            const auto text
                = [&locale](double v) { return v == kEmpty ? QString() : locale.toString(v, 'g', 17); };
            std::vector<std::array<double, 3>> reference;
            for (int row = 1; row <= rows; ++row) {
                const double a = random() % 20 == 0 ? kEmpty : c.value(random);
                const double b = random() % 20 == 0 ? kEmpty : c.value(random);
                grid.setCells(0, row, text(a));
                grid.setCells(1, row, text(b));
                grid.setCells(2, row, QString::number(row));
                reference.push_back({ a, b, double(row) });
            }
            std::stable_sort(reference.begin(), reference.end(), [direction](const auto &l, const auto &r) {
                const bool down = direction == sdDescending;
                if (l[0] != r[0])
                    return down ? l[0] > r[0] : l[0] < r[0];
                return down ? l[1] > r[1] : l[1] < r[1];
            });
            grid.SortRowsByColumn(0);
            for (int row = 1; row <= rows; ++row) {
                const auto &expected = reference[size_t(row - 1)];
                ASSERT_EQ(grid.Cells(0, row), text(expected[0])) << c.name << " " << direction << " " << row;
                ASSERT_EQ(grid.Cells(1, row), text(expected[1])) << c.name << " " << direction << " " << row;
                ASSERT_EQ(grid.Cells(2, row), QString::number(expected[2])) << c.name << " " << direction;
            }
        }
    }
}

TEST(SortEngine, KeyByKeyPassesAgreeWithTheSinglePass)
{
    // A text that is no number sends the sort through one pass per key; with the
    // text in a row of its own at the end, the other rows must come out as before.
    std::mt19937 random(5);
    auto fill = [&](SortGridCore &grid, bool withText) {
        grid.setColCount(2);
        grid.SortOptions().SortStyle = ssNumeric;
        grid.SortOptions().SortDirection = sdDescending;
        grid.SortOptions().SecondaryIndex = QStringLiteral("1");
        grid.setRowCount(502);
        for (int row = 1; row <= 500; ++row) {
            grid.setCells(0, row, random() % 8 == 0 ? QString() : QString::number(random() % 9));
            grid.setCells(1, row, QString::number(random() % 5));
        }
        grid.setCells(0, 501, withText ? QStringLiteral("") : QString());
        grid.setCells(1, 501, withText ? QStringLiteral("x") : QString());
    };
    SortGridCore fast;
    SortGridCore byKey;
    const auto seed = random();
    random.seed(seed);
    fill(fast, false);
    random.seed(seed);
    fill(byKey, true);
    fast.SortRowsByColumn(0);
    byKey.SortRowsByColumn(0);
    QStringList fastRows, byKeyRows;
    for (int row = 1; row <= 501; ++row) {
        if (fast.Cells(1, row) != QString())
            fastRows << fast.Rows(row).join(u'|');
        if (byKey.Cells(1, row) != QStringLiteral("x"))
            byKeyRows << byKey.Rows(row).join(u'|');
    }
    EXPECT_EQ(fastRows, byKeyRows);
}

TEST(SortEngine, QuickSortStaysInRangeWhateverTheComparisonSays)
{
    std::mt19937 random(11);
    for (int size : { 1, 2, 3, 17, 1000 }) {
        std::vector<int> values(static_cast<size_t>(size));
        for (int i = 0; i < size; ++i)
            values[size_t(i)] = i;
        boundedQuickSort(values, 0, size - 1, [&](int, int) { return int(random() % 3) - 1; });
        std::vector<int> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < size; ++i)
            ASSERT_EQ(sorted[size_t(i)], i) << "size " << size;
    }
}

TEST(FindRowWithText, ExactOrIgnoringCaseAndIncludingHiddenRows)
{
    SortGridCore grid;
    fillColumn(grid, 0, { "Abc", "abc", "x" });
    EXPECT_EQ(grid.FindRowWithText(0, QStringLiteral("abc"), false), 2);
    EXPECT_EQ(grid.FindRowWithText(0, QStringLiteral("ABC"), true), 1);
    EXPECT_EQ(grid.FindRowWithText(0, QStringLiteral("ab"), false), -1);

    // A row moved out of view below the last visible row is still found.
    grid.setHiddenRowCount(1);
    grid.setRowCount(3);
    EXPECT_EQ(grid.FindRowWithText(0, QStringLiteral("x"), false), 3);
}

TEST(SortCompare, ByteComparisonAndNumberConversion)
{
    EXPECT_LT(byteCompare(u"ab", u"abc"), 0);
    EXPECT_EQ(byteCompare(u"ab", u"ab"), 0);
    EXPECT_EQ(byteCompare(u"b", u"a"), 1);
    double v = 0;
    EXPECT_TRUE(textToFloat(u"  42 ", v));
    EXPECT_EQ(v, 42.0);
    EXPECT_TRUE(textToFloat(u"-7", v));
    EXPECT_EQ(v, -7.0);
    EXPECT_TRUE(textToFloat(u"2.5", v));
    EXPECT_EQ(v, 2.5);
    EXPECT_FALSE(textToFloat(u"", v));
    EXPECT_FALSE(textToFloat(u"   ", v));
    EXPECT_FALSE(textToFloat(u"1,000", v));
    EXPECT_FALSE(textToFloat(u"8a", v));
}

} // namespace
