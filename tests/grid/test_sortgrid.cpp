#include "gridtesthelpers.h"

#include "grid/sortgrid.h"
#include "platform/messagebox.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>

namespace {

// What Qt delivers for a double click: press, release, press, double
// click, release.
void doubleClick(QWidget *widget, const QPoint &pos)
{
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
}

class SortGridTest : public ::testing::Test
{
protected:
    // A plain grid: three columns, rows "1".."n" in column 0 and names in column 1.
    void fill(int rows, const QStringList &names = {})
    {
        grid.setColCount(3);
        grid.setDefaultColWidth(60);
        grid.setDefaultRowHeight(20);
        grid.setRowCount(rows + 1);
        grid.setCells(0, 0, QStringLiteral("Nr."));
        grid.setCells(1, 0, QStringLiteral("Name"));
        for (int row = 1; row <= rows; ++row) {
            grid.setCells(0, row, QString::number(row));
            grid.setCells(1, row, row <= names.size() ? names[row - 1] : QStringLiteral("n%1").arg(row));
        }
    }

    QStringList column(int col) const
    {
        QStringList texts;
        for (int row = 1; row < grid.RowCount(); ++row)
            texts.append(grid.Cells(col, row));
        return texts;
    }

    TSortGrid grid;
};

TEST_F(SortGridTest, MultiSelectKeepsRowSelectionAndUserSettingsCountAsAChange)
{
    grid.setMultiSelect(true);
    EXPECT_TRUE(grid.hasOption(goRowSelect));
    grid.setMultiSelect(false);
    EXPECT_TRUE(grid.hasOption(goRowSelect)); // switching off leaves whole-row selection on

    grid.SetModified(false);
    grid.setUserSettings({ QStringLiteral("a=1") });
    EXPECT_TRUE(grid.Modified());
}

TEST_F(SortGridTest, FontsAndScrollBar)
{
    EXPECT_EQ(QFontInfo(TSortGrid::gridFont(QStringLiteral("Courier"), 11)).family(),
        QStringLiteral("Liberation Mono"));
    EXPECT_EQ(QFontInfo(TSortGrid::gridFont(QStringLiteral("Courier"), 11)).pixelSize(), 11);
    EXPECT_EQ(QFontInfo(TSortGrid::gridFont(QStringLiteral("Arial"), 11)).family(),
        QStringLiteral("Liberation Sans"));
    fill(100);
    grid.setScrollBars(ssVertical);
    grid.resize(300, 200);
    showActive(grid);
    ASSERT_TRUE(grid.verticalScrollBar()->isVisible());
    EXPECT_EQ(grid.verticalScrollBar()->width(), 17);
    EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
    // Frame 2 pixels on each side, the bar takes 17.
    EXPECT_EQ(grid.viewport()->width(), 300 - 4 - 17);
}

TEST_F(SortGridTest, LastColumnStretchOnResize)
{
    grid.setColCount(3);
    grid.setDefaultColWidth(30);
    grid.setRowCount(2);
    grid.resize(200, 100);
    showActive(grid);
    EXPECT_EQ(grid.ColWidths(2), 134);
    EXPECT_EQ(grid.ColWidths(0), 30);
}

TEST_F(SortGridTest, DoubleClickFiresOnceAndAutoSizesOnAHeaderBorder)
{
    fill(5, { QStringLiteral("ABCDE"), QStringLiteral("AB") });
    grid.resize(400, 200);
    showActive(grid);
    int dblClicks = 0;
    grid.OnDblClick = [&](TSortGrid *sender) {
        EXPECT_EQ(sender, &grid);
        ++dblClicks;
    };
    doubleClick(grid.viewport(), cellCentre(grid, 1, 2));
    EXPECT_EQ(dblClicks, 1);
    EXPECT_EQ(grid.Row(), 2);

    // The border after column 1 is the line at x = 60 + 1 + 60.
    const QRect header = grid.cellRect(1, 0);
    doubleClick(grid.viewport(), QPoint(header.right(), header.center().y()));
    EXPECT_EQ(dblClicks, 2);
    const QFontMetrics metrics(grid.font());
    EXPECT_EQ(grid.ColWidths(1),
        metrics.horizontalAdvance(QStringLiteral("ABCDE")) + metrics.horizontalAdvance(QStringLiteral("X")));
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("ABCDE")); // a click on a border does not sort
}

TEST_F(SortGridTest, HeaderClicksSortOnlyWhenSortingIsAllowed)
{
    fill(3, { QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("a") });
    grid.resize(400, 200);
    showActive(grid);
    const QPoint nameHeader = cellCentre(grid, 1, 0);

    grid.SortOptions().CanSort = false;
    grid.SortOptions().SortDirection = sdDescending;
    QTest::mouseClick(grid.viewport(), Qt::RightButton, Qt::NoModifier, nameHeader);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, nameHeader);
    EXPECT_EQ(column(1), (QStringList { "b", "c", "a" }));
    EXPECT_EQ(grid.SortOptions().SortDirection, sdDescending);
    EXPECT_EQ(grid.SortOptions().SortCol, 0);

    grid.SortOptions().CanSort = true;
    grid.SortOptions().SortDirection = sdAscending;
    QTest::mouseClick(grid.viewport(), Qt::RightButton, Qt::NoModifier, nameHeader);
    EXPECT_EQ(column(1), (QStringList { "c", "b", "a" }));
    EXPECT_EQ(grid.SortOptions().SortDirection, sdDescending);
    EXPECT_EQ(grid.SortOptions().SortCol, 1);
    // Left clicks on the sort column: descending becomes ascending, and back.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, nameHeader);
    EXPECT_EQ(column(1), (QStringList { "a", "b", "c" }));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, nameHeader);
    EXPECT_EQ(column(1), (QStringList { "c", "b", "a" }));
    // Another column after a descending sort: ascending.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid, 0, 0));
    EXPECT_EQ(column(0), (QStringList { "1", "2", "3" }));
}

TEST_F(SortGridTest, ClickBelowTheLastRowActsOnTheLastRow)
{
    fill(3);
    grid.resize(400, 300);
    showActive(grid);
    const QRect last = grid.cellRect(1, 3);
    QTest::mouseClick(
        grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(last.center().x(), last.bottom() + 60));
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Col(), 1);
}

TEST_F(SortGridTest, PopupMenuOnlyOverDataRows)
{
    fill(3);
    grid.resize(400, 300);
    showActive(grid);
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    grid.setPopupMenu(&menu);
    QTest::mouseClick(grid.viewport(), Qt::RightButton, Qt::NoModifier, cellCentre(grid, 1, 0));
    EXPECT_FALSE(menu.isVisible());
    QTest::mouseClick(grid.viewport(), Qt::RightButton, Qt::NoModifier, cellCentre(grid, 1, 2));
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
}

TEST_F(SortGridTest, FilterWithoutAcceptedRowsAndBack)
{
    fill(4);
    grid.SortOptions().CanSort = false;
    grid.SetModified(false);
    int calls = 0;
    grid.OnSetFilter = [&](TSortGrid *, const QStringList &, bool &) { ++calls; };
    grid.setFiltered(true);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.HiddenRowCount(), 4);
    EXPECT_EQ(grid.Rows(1), (QStringList { "", "", "" }));
    EXPECT_EQ(grid.FindRowWithText(0, QStringLiteral("3"), false), 4);
    EXPECT_FALSE(grid.Modified());

    grid.setFiltered(false);
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.HiddenRowCount(), 0);
    EXPECT_EQ(column(0), (QStringList { "1", "2", "3", "4" }));
    EXPECT_FALSE(grid.Modified());
}

TEST_F(SortGridTest, FilterKeepsAcceptedRowsInOrder)
{
    fill(5);
    grid.SortOptions().CanSort = false;
    grid.OnSetFilter
        = [](TSortGrid *, const QStringList &texts, bool &accept) { accept = texts[0].toInt() % 2 == 1; };
    grid.setFiltered(true);
    EXPECT_EQ(column(0), (QStringList { "1", "3", "5" }));
    EXPECT_EQ(grid.HiddenRowCount(), 2);
    EXPECT_EQ(grid.Row(), 1);
    grid.setFiltered(false);
    EXPECT_EQ(column(0), (QStringList { "1", "3", "5", "2", "4" }));
    // Nothing to filter when the first row is empty.
    grid.setRows(1, {});
    grid.setFiltered(true);
    EXPECT_EQ(grid.RowCount(), 6);
}

TEST_F(SortGridTest, WheelMovesTheCurrentRowAndKeepsItNearTheTop)
{
    fill(100);
    grid.resize(300, 230); // 10 rows fit below the header
    showActive(grid);
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(50, 50), grid.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
            QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid.viewport(), &event);
    };
    for (int i = 0; i < 3; ++i)
        wheel(-120);
    EXPECT_EQ(grid.Row(), 4);
    EXPECT_EQ(grid.topRow(), 4);
    grid.GoToCell(0, 10, true);
    EXPECT_EQ(grid.topRow(), 9);
    wheel(120);
    EXPECT_EQ(grid.Row(), 9);
    EXPECT_EQ(grid.topRow(), 6); // two above the old top row, shown second
}

TEST_F(SortGridTest, TheRowMadeCurrentIsScrolledIntoView)
{
    fill(100);
    grid.setScrollBars(ssVertical);
    grid.resize(300, 235); // 10 rows shown
    showActive(grid);
    grid.GoToCell(0, 100, true);
    ASSERT_EQ(grid.topRow(), 91);
    grid.SortOptions().SortStyle = ssNumeric;
    // A right click on the header sorts descending: the current row 100 goes to the top.
    QTest::mouseClick(grid.viewport(), Qt::RightButton, Qt::NoModifier, cellCentre(grid, 0, 0));
    ASSERT_EQ(grid.Cells(0, 1), QStringLiteral("100"));
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.topRow(), 1);
    grid.setRow(grid.FindRowWithText(0, QStringLiteral("3"), false));
    EXPECT_EQ(grid.Row(), 98);
    EXPECT_EQ(grid.topRow(), 89); // the least scrolling that shows it
}

TEST_F(SortGridTest, GoToCellAndScrollToCell)
{
    fill(100);
    grid.setScrollBars(ssVertical);
    grid.resize(300, 235); // 2 + 21 header + 10 rows of 21 + 2
    showActive(grid);
    int selectAsked = 0;
    grid.OnSelectCell = [&](SortGridCore *, int, int, bool &) { ++selectAsked; };
    grid.GoToCell(7, 50, true); // the column is clamped
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(grid.Row(), 50);
    EXPECT_EQ(grid.topRow(), 49);
    EXPECT_EQ(grid.SelectedRowList, QStringList { "50" });
    EXPECT_EQ(grid.AnchorRowList, QStringList { "50" });
    EXPECT_EQ(selectAsked, 1);
    grid.ScrollToCell(0, 97);
    EXPECT_EQ(grid.topRow(), 91); // the last page: 100 rows, 10 shown
}

class EditingTest : public SortGridTest
{
protected:
    void SetUp() override
    {
        fill(5);
        grid.setOptions(GridOptions(goVertLine) | goHorzLine | goEditing);
        grid.resize(400, 200);
        showActive(grid);
        grid.MoveCurrent(1, 2);
    }
};

TEST_F(EditingTest, EnterTogglesTheEditor)
{
    QTest::keyClick(&grid, Qt::Key_Return);
    ASSERT_TRUE(grid.editorMode());
    EXPECT_TRUE(grid.cellEditor()->hasFocus());
    EXPECT_EQ(grid.cellEditor()->text(), QStringLiteral("n2"));
    QTest::keyClick(grid.cellEditor(), Qt::Key_Return);
    EXPECT_FALSE(grid.editorMode());
    EXPECT_TRUE(grid.hasFocus());
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("n2"));
}

TEST_F(EditingTest, TypedCharactersPassTheKeyPressHandler)
{
    QStringList seen;
    grid.OnKeyDown
        = [&](TSortGrid *, int &key, Qt::KeyboardModifiers) { seen << QStringLiteral("down %1").arg(key); };
    grid.OnKeyPress = [&](TSortGrid *, QChar &key) {
        seen << QStringLiteral("press %1").arg(key);
        if (!key.isDigit() && key != u'\b' && key != u'\r')
            key = QChar();
    };
    grid.SetModified(false);
    QTest::keyClicks(&grid, QStringLiteral("a1"));
    ASSERT_TRUE(grid.editorMode());
    QTest::keyClicks(grid.cellEditor(), QStringLiteral("x2"));
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("12"));
    EXPECT_TRUE(grid.Modified());
    EXPECT_EQ(seen.mid(0, 4),
        (QStringList { QStringLiteral("down %1").arg(Qt::Key_A), "press a",
            QStringLiteral("down %1").arg(Qt::Key_1), "press 1" }));
}

TEST_F(EditingTest, EscapeAndArrowsFromTheEditorReachKeyDown)
{
    QList<int> keys;
    grid.OnKeyDown = [&](TSortGrid *, int &key, Qt::KeyboardModifiers) { keys << key; };
    grid.OnKeyPress = [&](TSortGrid *, QChar &key) {
        if (key == QChar(27))
            grid.setOption(goEditing, false); // as the main window leaves entry mode
    };
    QTest::keyClick(&grid, Qt::Key_5);
    ASSERT_TRUE(grid.editorMode());
    QTest::keyClick(grid.cellEditor(), Qt::Key_Down);
    EXPECT_EQ(grid.Row(), 3); // the grid moved, the editor closed
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("5"));
    QTest::keyClick(&grid, Qt::Key_7);
    ASSERT_TRUE(grid.editorMode());
    QTest::keyClick(grid.cellEditor(), Qt::Key_Escape);
    EXPECT_FALSE(grid.editorMode());
    EXPECT_EQ(keys, (QList<int> { Qt::Key_5, Qt::Key_Down, Qt::Key_7, Qt::Key_Escape }));
    EXPECT_EQ(grid.Cells(1, 3), QStringLiteral("7"));
}

TEST_F(EditingTest, InvalidValueIsPutBack)
{
    grid.SetModified(false);
    QStringList calls;
    grid.OnCellValidate
        = [&](TSortGrid *, int col, int row, const QString &oldValue, QString &newValue, bool &valid) {
              calls << QStringLiteral("%1,%2 %3->%4").arg(col).arg(row).arg(oldValue, newValue);
              valid = newValue != QStringLiteral("bad");
          };
    QTest::keyClick(&grid, Qt::Key_B);
    QTest::keyClicks(grid.cellEditor(), QStringLiteral("ad"));
    QTest::keyClick(grid.cellEditor(), Qt::Key_Down);
    EXPECT_EQ(calls, QStringList { "1,2 n2->bad" });
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("n2"));
    EXPECT_FALSE(grid.Modified());

    QTest::keyClick(&grid, Qt::Key_O);
    QTest::keyClick(grid.cellEditor(), Qt::Key_K);
    QTest::keyClick(grid.cellEditor(), Qt::Key_Return);
    EXPECT_EQ(calls.last(), QStringLiteral("1,3 n3->ok"));
    EXPECT_EQ(grid.Cells(1, 3), QStringLiteral("ok"));
    EXPECT_TRUE(grid.Modified());
}

TEST_F(SortGridTest, IncrementalSearchOnTheSortColumn)
{
    fill(4, { QStringLiteral("meier"), QStringLiteral("Abel"), QStringLiteral("Mann"), QStringLiteral("") });
    grid.resize(400, 200);
    showActive(grid);
    grid.SortOptions().SortCol = 1;
    QList<QChar> pressed;
    grid.OnKeyPress = [&](TSortGrid *, QChar &key) { pressed << key; };
    grid.MoveCurrent(0, 1);
    QTest::keyClick(&grid, Qt::Key_M);
    EXPECT_EQ(grid.Row(), 3);
    QTest::keyClick(&grid, Qt::Key_M); // wraps around to the rows above
    EXPECT_EQ(grid.Row(), 1);
    QTest::keyClick(&grid, Qt::Key_Z);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(pressed, (QList<QChar> { u'M', u'M', u'Z' }));
}

TEST_F(SortGridTest, ExtendedKeysInsertAndDelete)
{
    fill(3);
    grid.resize(400, 200);
    showActive(grid);
    QStringList events;
    grid.OnRowInsert = [&](TSortGrid *, int row) { events << QStringLiteral("insert %1").arg(row); };
    grid.OnRowDelete = [&](TSortGrid *, int row) { events << QStringLiteral("delete %1").arg(row); };
    QTest::keyClick(&grid, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(grid.RowCount(), 4); // off by default
    grid.setExtendedKeys(true);
    grid.MoveCurrent(0, 2);
    QTest::keyClick(&grid, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(column(0), (QStringList { "1", "", "2", "3" }));
    EXPECT_EQ(grid.Row(), 2);
    grid.MoveCurrent(0, 4); // at the last row the new row comes after it
    QTest::keyClick(&grid, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(column(0), (QStringList { "1", "", "2", "3", "" }));
    EXPECT_EQ(grid.Row(), 5);
    grid.MoveCurrent(0, 1);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(column(0), (QStringList { "", "2", "3", "" }));
    EXPECT_EQ(events, (QStringList { "insert 2", "insert 5", "delete 1" }));

    grid.setColCount(2);
    QTest::keyClick(&grid, Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(grid.ColCount(), 3);
    EXPECT_EQ(grid.Col(), 0);
    EXPECT_EQ(grid.Cells(1, 0), QStringLiteral("Nr."));
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(grid.ColCount(), 2);
    EXPECT_EQ(grid.Cells(0, 0), QStringLiteral("Nr."));
}

TEST_F(SortGridTest, DeletingTheOnlyDataRowClearsIt)
{
    fill(1);
    grid.DeleteGridRow(1);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Rows(1), (QStringList { "", "", "" }));
}

TEST_F(SortGridTest, CheckBoxAndEllipsisCells)
{
    fill(3);
    grid.setCells(2, 2, QStringLiteral("true"));
    grid.resize(400, 200);
    showActive(grid);
    grid.OnGetCellFormat = [](TSortGrid *, int col, int row, TGridDrawState, TFormatOptions &, bool &check,
                               bool &, bool &dots) {
        check = col == 2 && row > 0;
        dots = col == 1 && row > 0;
    };
    QStringList events;
    grid.OnSetChecked = [&](TSortGrid *, int col, int row, bool state) {
        events << QStringLiteral("checked %1,%2 %3").arg(col).arg(row).arg(state);
    };
    grid.OnSetEllipsis = [&](TSortGrid *, int col, int row) {
        events << QStringLiteral("ellipsis %1,%2").arg(col).arg(row);
    };
    grid.MoveCurrent(2, 2);
    QTest::keyClick(&grid, Qt::Key_Space);
    EXPECT_EQ(grid.Cells(2, 2), QString());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid, 2, 1));
    EXPECT_EQ(grid.Cells(2, 1), QStringLiteral("1"));
    const QRect name = grid.cellRect(1, 3);
    QTest::mouseClick(
        grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(name.left() + 5, name.center().y()));
    QTest::mouseClick(
        grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(name.right() - 5, name.center().y()));
    EXPECT_EQ(events, (QStringList { "checked 2,2 0", "checked 2,1 1", "ellipsis 1,3" }));
}

TEST_F(SortGridTest, DropDownListWritesTheChosenItem)
{
    fill(3);
    grid.resize(400, 200);
    showActive(grid);
    grid.OnGetCellFormat = [](TSortGrid *, int col, int, TGridDrawState, TFormatOptions &, bool &,
                               bool &combo, bool &) { combo = col == 1; };
    grid.OnGetComboBox = [](TSortGrid *, int, int, QStringList &strs, int &, int &, bool &) {
        strs << QStringLiteral("zeta") << QStringLiteral("alpha") << QStringLiteral("n2");
    };
    QString chosen;
    grid.OnSetComboBox = [&](TSortGrid *, int, int, const QString &text) { chosen = text; };
    grid.MoveCurrent(1, 2);
    QTest::keyClick(&grid, Qt::Key_Space);
    QListWidget *list = grid.CellList();
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("alpha")); // sorted
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("n2"));
    EXPECT_EQ(list->height(), 3 * list->sizeHintForRow(0) + 5);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("zeta"));
    EXPECT_EQ(chosen, QStringLiteral("zeta"));
    EXPECT_TRUE(grid.hasFocus());
}

TEST_F(SortGridTest, ColumnSizingAndMoving)
{
    fill(3);
    grid.resize(400, 200);
    grid.setOptions(grid.Options() | goColSizing | goColMoving);
    showActive(grid);
    int widthEvents = 0;
    grid.OnColumnWidthsChanged = [&](TSortGrid *) { ++widthEvents; };
    const QRect first = grid.cellRect(0, 0);
    const QPoint line(first.right() + 1, first.center().y());
    QTest::mousePress(grid.viewport(), Qt::LeftButton, Qt::NoModifier, line);
    QTest::mouseMove(grid.viewport(), line + QPoint(15, 0));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, Qt::NoModifier, line + QPoint(15, 0));
    EXPECT_EQ(grid.ColWidths(0), 75);
    EXPECT_GE(widthEvents, 1);

    grid.SortOptions().SortCol = 1;
    grid.SetModified(false);
    QTest::mousePress(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid, 0, 0));
    QTest::mouseMove(grid.viewport(), cellCentre(grid, 2, 0));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid, 2, 0));
    EXPECT_EQ(grid.Cells(2, 0), QStringLiteral("Nr."));
    EXPECT_EQ(grid.Cells(0, 0), QStringLiteral("Name"));
    EXPECT_EQ(grid.SortOptions().SortCol, 0); // the sort column moved one to the left
    EXPECT_TRUE(grid.Modified());
}

TEST_F(SortGridTest, MultiSelectWithCtrlClicks)
{
    fill(5);
    grid.resize(400, 200);
    grid.setMultiSelect(true);
    showActive(grid);
    int rowSelected = 0;
    grid.OnRowSelected = [&](SortGridCore *) { ++rowSelected; };
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid, 0, 2));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(grid, 0, 4));
    EXPECT_EQ(grid.SelectedRowList, (QStringList { "2", "4" }));
    EXPECT_EQ(grid.Row(), 4);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(grid, 0, 4));
    EXPECT_EQ(grid.SelectedRowList, QStringList { "2" });
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_GE(rowSelected, 3);
}

TEST_F(SortGridTest, ShiftRangeSelectionWorkGrowsWithTheRows)
{
    // Shift+End from row 1 selects every row when Shift is released; the bookkeeping
    // may look at each row a few times, not at every selected row for each row.
    constexpr int kRows = 3000;
    fill(kRows);
    grid.resize(400, 200);
    grid.setMultiSelect(true);
    showActive(grid);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid, 0, 1));
    const qint64 before = grid.rowListWork();
    QTest::keyPress(&grid, Qt::Key_Shift, Qt::ShiftModifier);
    QTest::keyClick(&grid, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyRelease(&grid, Qt::Key_Shift, Qt::NoModifier);
    ASSERT_EQ(grid.SelectedRowList.size(), kRows);
    EXPECT_EQ(grid.SelectedRowList.first(), QStringLiteral("1"));
    EXPECT_EQ(grid.SelectedRowList.last(), QString::number(kRows));
    EXPECT_EQ(grid.AnchorRowList.size(), kRows);
    EXPECT_LE(grid.rowListWork() - before, 4 * kRows);
}

TEST_F(SortGridTest, RowHeightsChangedAfterTheScrollBarsFollow)
{
    fill(100);
    grid.setScrollBars(ssVertical);
    grid.resize(300, 235);
    showActive(grid);
    int events = 0;
    int lastTop = 0;
    grid.OnRowHeightsChanged = [&](TSortGrid *) {
        ++events;
        lastTop = grid.verticalScrollBar()->maximum();
    };
    grid.setDefaultRowHeight(20);
    EXPECT_EQ(events, 0);
    grid.setDefaultRowHeight(37); // 5 rows shown instead of 10
    EXPECT_EQ(events, 1);
    EXPECT_EQ(lastTop, 96);
}

TEST_F(SortGridTest, HeaderCellDrawsShortenedText)
{
    // A one-character header is never shortened, a wide one ends in two full stops:
    // checked on the picture, where the last two marks are dots clear of the edge.
    grid.setFont(TSortGrid::gridFont(QStringLiteral("Courier"), 11));
    grid.setColCount(2);
    grid.setDefaultColWidth(30);
    grid.setRowCount(2);
    grid.setCells(0, 0, QStringLiteral("Verein"));
    grid.setCells(1, 0, QStringLiteral("W"));
    grid.SortOptions().CanSort = false;
    grid.resize(200, 100);
    showActive(grid);
    const QImage image = grid.viewport()->grab().toImage();
    // The runs of adjacent columns with ink, up to the cell's edge: first and last
    // column and the number of dark pixels.
    struct Run
    {
        int first;
        int last;
        int dark;
    };
    auto inkRuns = [&](const QRect &rect) {
        QList<Run> runs;
        for (int x = rect.left() + 1; x <= rect.right(); ++x) {
            int dark = 0;
            for (int y = rect.top() + 1; y < rect.bottom(); ++y)
                dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
            if (dark == 0)
                continue;
            if (!runs.isEmpty() && runs.last().last == x - 1) {
                runs.last().last = x;
                runs.last().dark += dark;
            } else {
                runs.append(Run { x, x, dark });
            }
        }
        return runs;
    };
    const QRect cell = grid.cellRect(0, 0);
    const QList<Run> shortened = inkRuns(cell);
    ASSERT_GE(shortened.size(), 3);
    for (const Run &dot : { shortened[shortened.size() - 2], shortened.last() })
        EXPECT_LE(dot.dark, 4) << dot.first; // a full stop, not a letter
    EXPECT_LT(shortened.last().last, cell.right() - 1); // nothing cut at the edge
    EXPECT_EQ(inkRuns(grid.cellRect(1, 0)).size(), 1); // "W"
}

TEST(SortGridFocus, ExitFiresWhenFocusLeavesTheGridNotForItsEditor)
{
    QWidget window;
    auto *grid = new TSortGrid(&window);
    auto *other = new QLineEdit(&window);
    grid->setGeometry(0, 0, 300, 150);
    other->setGeometry(0, 160, 300, 20);
    grid->setColCount(2);
    grid->setRowCount(3);
    grid->setOptions(GridOptions(goVertLine) | goHorzLine | goEditing);
    showActive(window);
    grid->setFocus();
    int exits = 0;
    QStringList validated;
    grid->OnExit = [&](TSortGrid *) { ++exits; };
    grid->OnCellValidate
        = [&](TSortGrid *, int, int, const QString &, QString &newValue, bool &) { validated << newValue; };
    QTest::keyClick(grid, Qt::Key_4);
    ASSERT_TRUE(grid->cellEditor()->hasFocus());
    EXPECT_EQ(exits, 0);

    QWidget elsewhere; // another window taking the focus is no exit
    showActive(elsewhere);
    EXPECT_EQ(exits, 0);
    showActive(window);
    other->setFocus();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(validated, QStringList { "4" });
}

TEST(SortGridFocus, AGridBeingDestroyedIgnoresFocusChanges)
{
    // The focus moves on to a sibling while the focused grid is destroyed: the grid
    // must no longer react, as it is no grid any more.
    QWidget window;
    auto *grid = new TSortGrid(&window);
    auto *other = new QLineEdit(&window);
    grid->setGeometry(0, 0, 300, 150);
    other->setGeometry(0, 160, 300, 20);
    showActive(window);
    grid->setFocus();
    ASSERT_TRUE(grid->hasFocus());
    QObject::connect(qApp, &QApplication::focusChanged, other, [other](QWidget *, QWidget *now) {
        if (!now)
            other->setFocus();
    });
    delete grid;
    EXPECT_TRUE(other->hasFocus());
}

TEST_F(SortGridTest, SortRunsInsideTheScreenBracket)
{
    fill(3, { QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c") });
    grid.resize(400, 200);
    showActive(grid);
    bool busy = false;
    bool painting = true;
    grid.OnSortStarting = [&](SortGridCore *, int &) {
        busy = QGuiApplication::overrideCursor()
            && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        painting = grid.updatesEnabled();
    };
    grid.SortRowsByColumn(1);
    EXPECT_TRUE(busy);
    EXPECT_FALSE(painting);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(grid.updatesEnabled());
    EXPECT_TRUE(grid.hasFocus());
    EXPECT_EQ(column(1), (QStringList { "a", "b", "c" }));
}

TEST_F(SortGridTest, DragStartsFromASelectedRow)
{
    fill(5);
    grid.resize(400, 200);
    grid.setMultiSelect(true);
    showActive(grid);
    int drags = 0;
    grid.OnStartDrag = [&](TSortGrid *, QMimeData *&) { ++drags; };
    const QPoint start = cellCentre(grid, 1, 2);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, start);
    QTest::mousePress(grid.viewport(), Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(grid.viewport(), start + QPoint(8, 0));
    EXPECT_EQ(drags, 0);
    QTest::mouseMove(grid.viewport(), start + QPoint(11, 0));
    EXPECT_EQ(drags, 1);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, Qt::NoModifier, start + QPoint(11, 0));
    EXPECT_EQ(grid.SelectedRowList, QStringList { "2" });
}

TEST_F(SortGridTest, ProportionalScrollBarThumb)
{
    fill(100);
    grid.setScrollBars(ssVertical);
    grid.resize(300, 235); // 10 rows shown, top row 1 .. 91
    showActive(grid);
    EXPECT_EQ(grid.verticalScrollBar()->pageStep(), 1);
    grid.setProportionalScrollBars(true);
    EXPECT_EQ(grid.verticalScrollBar()->pageStep(), 10); // round(11 / 101 * 90) = round(9.8)
}

} // namespace
