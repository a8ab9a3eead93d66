// The rules of mark entry, driven through real keys into the grid of a result table
// with no main window around it.
#include "grid/sortgrid.h"
#include "scoring/resulttable.h"
#include "support/resulttablefixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

class ResultTableKeysTest : public ::testing::Test, protected ResultTableFixture<TSortGrid>
{
protected:
    QStringList asked;
    bool answer = false;
    QString position;

    void SetUp() override
    {
        grid.OnKeyPress = [this](TSortGrid *, QChar &key) { table.keyPress(key); };
        grid.OnKeyDown
            = [this](TSortGrid *, int &key, Qt::KeyboardModifiers shift) { table.keyDown(key, shift); };
        table.setAskYesNo([this](const QString &question) {
            asked.append(question);
            return answer;
        });
        QObject::connect(
            &table, &ResultTable::positionTextChanged, [this](const QString &text) { position = text; });
        grid.resize(700, 300);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
        QApplication::setActiveWindow(&grid);
        grid.setFocus();
    }

    void load(const QList<QStringList> &rows)
    {
        setRows(rows);
        table.placeOpenedTable();
    }

    static void key(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    static void type(const QString &text)
    {
        for (QChar c : text)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
    // A click on the cell of the competitor with the start number.
    void click(const QString &number, int col)
    {
        QTest::mouseClick(
            grid.viewport(), Qt::LeftButton, {}, grid.cellRect(col, rowOfNumber(number)).center());
    }
};

// Enter walks the shown columns of an incomplete row only; from the last judge it goes
// back to the first mark missing, never into a hidden judge's column.
TEST_F(ResultTableKeysTest, EnterMovesThroughShownColumnsOnly)
{
    struct Case
    {
        int judges;
        QStringList row;
        int from;
        QString typed; // into the editor before Enter
        int to;
    };
    const Case cases[] = {
        { 5, { "1", "A", "B" }, 1, "", 2 },
        { 5, { "1", "A", "B" }, 2, "", 3 },
        { 5, { "1", "A", "B", "7" }, 4, "8", 5 },
        { 5, { "1", "A", "B", "7", "", "6", "6" }, 7, "", 4 },
        { 5, { "1", "A", "B", "", "8", "6", "6" }, 7, "5", 3 },
        { 3, { "1", "A", "B", "7", "" }, 5, "", 4 },
        { 3, { "1", "A", "B", "7" }, 5, "4", 4 },
        { 7, { "1", "A", "B", "7", "7", "7", "7", "7", "", "7" }, 9, "", 8 },
    };
    for (const Case &c : cases) {
        table.SetJudgeCount(c.judges);
        load({ c.row, { "2", "X", "Y" } });
        click(QStringLiteral("1"), c.from);
        ASSERT_TRUE(table.entryMode());
        type(c.typed);
        key(Qt::Key_Return);
        const std::string name = QStringLiteral("%1 judges, from %2").arg(c.judges).arg(c.from).toStdString();
        EXPECT_EQ(grid.Col(), c.to) << name;
        EXPECT_EQ(grid.Cells(0, grid.Row()), QStringLiteral("1")) << name;
        EXPECT_TRUE(table.entryMode()) << name;
        for (int judge = c.judges + 1; judge <= ResultTable::kMaxJudges; ++judge)
            EXPECT_TRUE(grid.Cells(ResultTable::markColumn(judge), grid.Row()).isEmpty()) << name;
    }
}

// One Enter that completes a row: announced once, placed with one sort, shown once, and
// the row left selected outside entry mode.
TEST_F(ResultTableKeysTest, EnterThatFinishesARowPlacesAndShowsItOnce)
{
    load({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert", "TSC", "9", "9", "9", "9" },
        { "3", "Cora" } });
    int sorts = 0;
    grid.OnSortFinished = [&](SortGridCore *, int) { ++sorts; };
    QSignalSpy finished(&table, &ResultTable::rowFinished);
    QSignalSpy placed(&table, &ResultTable::placesChanged);
    QSignalSpy shown(&table, &ResultTable::coupleShown);
    click(QStringLiteral("2"), 7);
    type(QStringLiteral("9"));
    key(Qt::Key_Return);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0][0].toInt(), 2); // before the placing
    EXPECT_EQ(sorts, 1);
    EXPECT_EQ(placed.size(), 2); // the placing and the showing's selection
    ASSERT_EQ(shown.size(), 1);
    const QStringList texts = shown[0][0].toStringList();
    EXPECT_EQ(texts.mid(0, 8), (QStringList { "2", "Bert", "TSC", "9", "9", "9", "9", "9" }));
    EXPECT_EQ(texts[ResultTable::ColTotal], QStringLiteral("27"));
    EXPECT_EQ(texts[ResultTable::ColPlace], QStringLiteral("1"));
    EXPECT_FALSE(table.entryMode());
    EXPECT_EQ(grid.Col(), ResultTable::ColRawTotal);
    EXPECT_EQ(table.shownNumber(), QStringLiteral("2"));
}

// Outside entry mode, digits find a start number; Tab then starts entry at J.1.
TEST_F(ResultTableKeysTest, DigitsOutsideEntryFindTheStartNumber)
{
    QList<QStringList> rows;
    for (int n : { 3, 12, 1, 21, 120 })
        rows.append({ QString::number(n), QStringLiteral("Paar %1").arg(n) });
    load(rows);
    ASSERT_FALSE(table.entryMode());
    struct Step
    {
        QString typed;
        QString number; // the competitor current afterwards
        QString panel;
    };
    const Step steps[] = {
        { "1", "1", "Nr. 1" },
        { "2", "12", "Nr. 12" },
        { "0", "120", "Nr. 120" },
        { "\b", "12", "Nr. 12" },
        { "7", "12", "127 fehlt" }, // nothing moves
        { "\b\b3", "13", "" },
    };
    QSignalSpy shown(&table, &ResultTable::coupleShown);
    for (const Step &step : steps) {
        for (QChar c : step.typed)
            key(c == u'\b' ? Qt::Key_Backspace : Qt::Key(c.unicode()));
        if (step.panel.isEmpty()) {
            EXPECT_EQ(position, QStringLiteral("13 fehlt"));
            continue;
        }
        EXPECT_EQ(grid.Cells(0, grid.Row()), step.number) << step.typed.toStdString();
        EXPECT_EQ(position, step.panel) << step.typed.toStdString();
        EXPECT_EQ(grid.Col(), ResultTable::ColRawTotal);
        EXPECT_EQ(grid.Selection(), (GridRect { 0, grid.Row(), ResultTable::ColRawTotal, grid.Row() }));
        EXPECT_FALSE(table.entryMode());
    }
    // A pause begins a new number.
    QTest::qWait(ResultTable::kNumberSearchPause + 100);
    key(Qt::Key_3);
    EXPECT_EQ(grid.Cells(0, grid.Row()), QStringLiteral("3"));
    EXPECT_EQ(shown.size(), 0); // nothing for the audience
    EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [this](const QStringList &row) {
        return grid.Cells(0, rowOfNumber(row[0])) == row[0];
    })); // no cell was typed into
}

// The first change of a mark of a complete row asks; "Nein" leaves the row as it was.
TEST_F(ResultTableKeysTest, ChangingAScoredCoupleAsksFirst)
{
    struct Case
    {
        const char *name;
        int key;
        bool editorOpen;
        bool yes;
        QString mark; // J.2 afterwards
    };
    const Case cases[] = {
        { "digit, Nein", Qt::Key_5, false, false, "8" },
        { "digit, Ja", Qt::Key_5, false, true, "5" },
        { "digit in the open editor, Ja", Qt::Key_5, true, true, "85" },
        { "Backspace, Nein", Qt::Key_Backspace, false, false, "8" },
        { "Delete in the open editor, Nein", Qt::Key_Delete, true, false, "8" },
        { "Backspace in the open editor, Ja", Qt::Key_Backspace, true, true, "" },
    };
    for (const Case &c : cases) {
        load({ { "4", "Anna", "TSC", "9", "8", "9", "9", "9" }, { "5", "Bert" } });
        asked.clear();
        answer = c.yes;
        click(QStringLiteral("4"), 3); // moving through a complete row asks nothing
        key(Qt::Key_Right);
        if (c.editorOpen) {
            key(Qt::Key_F2);
            ASSERT_TRUE(grid.editorMode()) << c.name;
            if (c.key == Qt::Key_Delete)
                grid.cellEditor()->home(false);
            else
                grid.cellEditor()->end(false);
        }
        EXPECT_TRUE(asked.isEmpty()) << c.name;
        key(c.key);
        EXPECT_EQ(asked, QStringList { QStringLiteral("Wertung von Nr. 4 ändern?") }) << c.name;
        EXPECT_EQ(grid.Cells(4, rowOfNumber(QStringLiteral("4"))), c.mark) << c.name;
        // Once allowed, the row's next change asks no more.
        if (c.yes) {
            key(Qt::Key_6);
            EXPECT_EQ(asked.size(), 1) << c.name;
        }
        key(Qt::Key_Escape);
    }
    // Rows not complete ask nothing.
    asked.clear();
    click(QStringLiteral("5"), 3);
    type(QStringLiteral("7"));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(grid.Cells(3, rowOfNumber(QStringLiteral("5"))), QStringLiteral("7"));
}

} // namespace
