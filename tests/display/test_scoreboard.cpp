#include "display/label3d.h"
#include "display/scoreboard.h"
#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"
#include "support/resulttablefixture.h"
#include "tvreference.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

const QRect kMainLabBounds[8] = { {}, { 157, 430, 65, 48 }, { 243, 430, 65, 48 }, { 331, 430, 65, 48 },
    { 417, 430, 65, 48 }, { 504, 430, 65, 48 }, { 591, 430, 65, 48 }, { 677, 430, 65, 48 } };
const QRect kTVLabBounds[8] = { {}, { 342, 930, 133, 90 }, { 527, 930, 133, 90 }, { 711, 930, 133, 90 },
    { 897, 930, 133, 90 }, { 1080, 930, 133, 90 }, { 1265, 930, 133, 90 }, { 1450, 930, 133, 90 } };

class ScoreboardTest : public ::testing::Test, protected ResultTableFixture<>
{
protected:
    QWidget mainWindow;
    QWidget tvWindow; // never shown: the copy must be current all the same
    Scoreboard board { &mainWindow, ScoreboardWindow::Main };
    Scoreboard tv { &tvWindow, ScoreboardWindow::TV };

    void SetUp() override
    {
        grid.setRowCount(2);
        mainWindow.resize(900, 506);
        tvWindow.resize(1920, 1080);
        board.placeAtMainWindowPositions();
        for (const TVReferenceItem &item : kTVReference)
            tv.item(item.item)->setGeometry(item.bounds);
        board.connectTable(&table);
        board.attachMirror(&tv);
        table.SetJudgeCount(5);
    }

    void load(const QList<QStringList> &rows) { setRows(rows); }

    void showRow(int row)
    {
        ASSERT_TRUE(grid.MoveCurrent(0, row));
        table.showCurrentRow();
    }
};

TEST_F(ScoreboardTest, StrikeMarksOverTheirLabelsOnBothWindows)
{
    struct Case
    {
        int judges;
        QStringList marks;
        int lowest, highest;
        QString total;
    };
    const Case cases[] = {
        { 5, { "5", "7", "5", "9", "9" }, 1, 4, "21" },
        { 5, { "6", "6", "6", "6", "6", "6", "6" }, 1, 2, "18" }, // judges 6 and 7 do not count
        { 6, { "6", "6", "6", "6", "6", "6" }, 1, 2, "24" },
        { 3, { "5", "0", "0" }, 2, 1, "" },
    };
    for (const Case &c : cases) {
        table.SetJudgeCount(c.judges);
        load({ QStringList { "21", "Eva Roth", "TC Nord" } + c.marks });
        showRow(1);
        const std::string label = c.marks.join(u',').toStdString();

        EXPECT_TRUE(Scoreboard::shown(board.xLab1())) << label;
        EXPECT_TRUE(Scoreboard::shown(board.xLab2())) << label;
        EXPECT_EQ(board.xLab1()->geometry(), kMainLabBounds[c.lowest]) << label;
        EXPECT_EQ(board.xLab2()->geometry(), kMainLabBounds[c.highest]) << label;
        EXPECT_EQ(board.LabGesamt()->Caption(), c.total) << label;

        EXPECT_TRUE(Scoreboard::shown(tv.xLab1())) << label;
        EXPECT_TRUE(Scoreboard::shown(tv.xLab2())) << label;
        EXPECT_EQ(tv.xLab1()->geometry(), kTVLabBounds[c.lowest]) << label;
        EXPECT_EQ(tv.xLab2()->geometry(), kTVLabBounds[c.highest]) << label;
        EXPECT_EQ(tv.LabGesamt()->Caption(), c.total) << label;
        for (int judge = 1; judge <= c.judges; ++judge) {
            EXPECT_EQ(board.Lab(judge)->Caption(), c.marks[judge - 1]) << label << " judge " << judge;
            EXPECT_EQ(tv.Lab(judge)->Caption(), c.marks[judge - 1]) << label << " judge " << judge;
        }
        // The table's own total agrees with the shown one.
        EXPECT_EQ(grid.Cells(ResultTable::ColTotal, 1), c.total) << label;
    }
    EXPECT_FALSE(tvWindow.isVisible());
}

TEST_F(ScoreboardTest, IncompleteMarksShowNumberAndNameOnly)
{
    load({ { "3", "Paul Lang", "TSC Gelb", "9", "9", "9", "9", "8" },
        { "12", "Anna Berg", "TSC Rot-Weiss", "8", "8", "", "8", "8", "", "", "32", "4", "40" } });
    showRow(1);
    ASSERT_TRUE(Scoreboard::shown(board.xLab1()));

    showRow(rowOfNumber("12"));
    for (const Scoreboard *b : { &board, &tv }) {
        const char *window = b == &board ? "main" : "tv";
        for (int judge = 1; judge <= 5; ++judge)
            EXPECT_EQ(b->Lab(judge)->Caption(), QString()) << window << " judge " << judge;
        EXPECT_EQ(b->LabNum()->Caption(), QStringLiteral("12")) << window;
        EXPECT_EQ(b->LabName()->Caption(), QStringLiteral("Anna Berg\r\nTSC Rot-Weiss")) << window;
        EXPECT_EQ(b->LabGesamt()->Caption(), QString()) << window;
        EXPECT_EQ(b->LabPlatz()->Caption(), QString()) << window;
        EXPECT_FALSE(Scoreboard::shown(b->xLab1())) << window;
        EXPECT_FALSE(Scoreboard::shown(b->xLab2())) << window;
    }
    const int row = rowOfNumber("12");
    EXPECT_EQ(grid.Cells(ResultTable::ColTotal, row), QString());
    EXPECT_EQ(grid.Cells(ResultTable::ColPlace, row), QString());
    EXPECT_EQ(grid.Cells(ResultTable::ColRawTotal, row), QString());
    EXPECT_EQ(grid.Row(), row);
}

TEST_F(ScoreboardTest, SameStartNumberSelectsTheFirstRow)
{
    load({ { "7", "Erstes Paar", "A", "6", "6", "6", "6", "6" },
        { "7", "Zweites Paar", "B", "5", "5", "5", "5", "5" } });
    showRow(2);
    EXPECT_EQ(board.LabName()->Caption(), QStringLiteral("Zweites Paar\r\nB"));
    EXPECT_EQ(board.LabGesamt()->Caption(), QStringLiteral("15"));
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Selection(), (GridRect { 0, 1, 12, 1 }));
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("Erstes Paar"));
}

TEST_F(ScoreboardTest, PlaceIsTheOneFromBeforeThePlacing)
{
    load({ { "1", "Ina Kurz", "TC A", "5", "5", "5", "5", "5" },
        { "2", "Jan Weit", "TC B", "9", "9", "9", "9", "9" } });
    showRow(1);
    EXPECT_EQ(board.LabPlatz()->Caption(), QString());
    EXPECT_EQ(tv.LabPlatz()->Caption(), QString());
    // The placing put the better competitor first and selected the shown one again.
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Cells(0, 2), QStringLiteral("1"));
    EXPECT_EQ(grid.Cells(ResultTable::ColPlace, 2), QStringLiteral("2"));

    table.showCurrentRow();
    EXPECT_EQ(board.LabPlatz()->Caption(), QStringLiteral("2"));
    EXPECT_EQ(tv.LabPlatz()->Caption(), QStringLiteral("2"));
    EXPECT_EQ(board.LabNum()->Caption(), QStringLiteral("1"));
}

TEST_F(ScoreboardTest, JudgeCountHidesMarkLabelsOnBothWindows)
{
    const struct
    {
        int judges;
        const char *shown;
    } steps[] = { { 7, "1111111" }, { 5, "1111100" }, { 3, "1110000" }, { 6, "1111110" } };
    for (const auto &step : steps) {
        table.SetJudgeCount(step.judges);
        for (int judge = 1; judge <= 7; ++judge) {
            const bool expected = step.shown[judge - 1] == '1';
            EXPECT_EQ(Scoreboard::shown(board.Lab(judge)), expected)
                << step.judges << " judges, Lab" << judge;
            EXPECT_EQ(Scoreboard::shown(tv.Lab(judge)), expected)
                << step.judges << " judges, TV Lab" << judge;
        }
    }
}

TEST_F(ScoreboardTest, ClearingEmptiesBothWindowsAndLeavesTheTable)
{
    load({ { "4", "Tom Hoch", "TC C", "7", "8", "9", "8", "7" } });
    showRow(1);
    const QStringList rowBefore = grid.Rows(1);
    ASSERT_EQ(tv.LabGesamt()->Caption(), QStringLiteral("23"));

    board.clear();
    for (const Scoreboard *b : { &board, &tv }) {
        for (ScoreboardItem item :
            { ScoreboardItem::LabNum, ScoreboardItem::LabName, ScoreboardItem::Lab1, ScoreboardItem::Lab3,
                ScoreboardItem::Lab5, ScoreboardItem::LabGesamt, ScoreboardItem::LabPlatz })
            EXPECT_EQ(b->item(item)->Caption(), QString()) << int(item);
        EXPECT_FALSE(Scoreboard::shown(b->xLab1()));
        EXPECT_FALSE(Scoreboard::shown(b->xLab2()));
        EXPECT_EQ(b->xLab1()->Caption(), QStringLiteral("X"));
    }
    EXPECT_EQ(grid.Rows(1), rowBefore);
}

// Counts pixels of one colour inside a rectangle.
int countPixels(const QImage &image, const QRect &area, const QColor &color)
{
    int count = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            count += image.pixelColor(x, y) == color;
    }
    return count;
}

TEST_F(ScoreboardTest, RendersAtTheMainWindowPositions)
{
    mainWindow.setAutoFillBackground(true);
    QPalette palette = mainWindow.palette();
    palette.setColor(QPalette::Window, QColor(16, 32, 72));
    mainWindow.setPalette(palette);
    QWidget panel(&mainWindow); // where the result table stands
    panel.setGeometry(150, 84, 600, 338);
    panel.setAutoFillBackground(true);
    palette.setColor(QPalette::Window, QColor(90, 90, 90));
    panel.setPalette(palette);

    load({ { "17", "Laura Schmidt / Max Weber", "TSC Blau-Gold Rostock", "8", "9", "7", "9", "8" } });
    showRow(1);
    mainWindow.show();
    QImage image(mainWindow.size(), QImage::Format_RGB32);
    mainWindow.render(&image);
    ASSERT_TRUE(image.save(QStringLiteral("scoreboard-main.png")));

    // 9, 7: the strike marks over Lab3 and Lab2; total 8 + 8 + 9.
    EXPECT_EQ(board.LabGesamt()->Caption(), QStringLiteral("25"));
    EXPECT_GT(countPixels(image, kMainLabBounds[3], Qt::red), 100);
    EXPECT_GT(countPixels(image, kMainLabBounds[2], Qt::red), 100);
    EXPECT_EQ(countPixels(image, kMainLabBounds[1], Qt::red), 0);
    EXPECT_GT(countPixels(image, kMainLabBounds[1], Qt::white), 100);
    EXPECT_GT(countPixels(image, kMainLabBounds[1], Qt::black), 50);
    EXPECT_GT(countPixels(image, QRect(44, 17, 80, 58), Qt::yellow), 100);
    EXPECT_GT(countPixels(image, QRect(158, 18, 702, 56), Qt::yellow), 300);
    EXPECT_EQ(countPixels(image, kMainLabBounds[6], Qt::white), 0); // judges 6 and 7 hidden
    EXPECT_GT(countPixels(image, QRect(766, 434, 105, 46), Qt::white), 100);
}

TEST_F(ScoreboardTest, RendersAtTheTVReferenceSizes)
{
    tvWindow.setAutoFillBackground(true);
    QPalette palette = tvWindow.palette();
    palette.setColor(QPalette::Window, QColor(16, 32, 72));
    tvWindow.setPalette(palette);
    for (const TVReferenceItem &item : kTVReference) {
        QFont font = tv.item(item.item)->font();
        font.setPixelSize(item.charHeight);
        tv.item(item.item)->setFont(font);
    }
    table.SetJudgeCount(7);
    load({ { "117", "Laura Schmidt / Max Weber", "TSC Blau-Gold Rostock", "8", "9", "7", "10", "8", "6",
        "9" } });
    showRow(1);
    tvWindow.show();
    QImage image(tvWindow.size(), QImage::Format_RGB32);
    tvWindow.render(&image);
    ASSERT_TRUE(image.save(QStringLiteral("scoreboard-tv.png")));

    EXPECT_EQ(tv.LabGesamt()->Caption(), QStringLiteral("41"));
    EXPECT_EQ(tv.xLab1()->geometry(), kTVLabBounds[6]);
    EXPECT_EQ(tv.xLab2()->geometry(), kTVLabBounds[4]);
    EXPECT_GT(countPixels(image, kTVLabBounds[6], Qt::red), 300);
    EXPECT_GT(countPixels(image, kTVLabBounds[4], Qt::red), 300);
    EXPECT_GT(countPixels(image, QRect(336, 40, 1511, 119), Qt::yellow), 1000);
}

QImage rendered(TLabel3D &label)
{
    QImage image(label.size(), QImage::Format_RGB32);
    image.fill(QColor(16, 32, 72));
    label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// "&" is a character of the name: drawn exactly as a label that reads "&&" as one
// ampersand draws it, on both windows, alone, doubled and at the end.
TEST_F(ScoreboardTest, AmpersandsAreShownAsWritten)
{
    load({ { "17", "Anna & Max Müller", "TSC Rot&&Weiß &", "8", "9", "7", "9", "8" } });
    showRow(1);
    QWidget referenceWindow;
    for (auto [window, shown] :
        { std::pair { ScoreboardWindow::Main, &board }, std::pair { ScoreboardWindow::TV, &tv } }) {
        Scoreboard reference(&referenceWindow, window);
        TLabel3D *name = reference.LabName();
        name->setShowAccelChar(true);
        name->setGeometry(shown->LabName()->geometry());
        name->setFont(shown->LabName()->font());
        name->setCaption(QStringLiteral("Anna && Max Müller\r\nTSC Rot&&&&Weiß &&"));
        const QImage expected = rendered(*name);
        const QImage actual = rendered(*shown->LabName());
        EXPECT_EQ(shown->LabName()->Caption(), QStringLiteral("Anna & Max Müller\r\nTSC Rot&&Weiß &"));
        EXPECT_TRUE(actual == expected) << (window == ScoreboardWindow::TV ? "TV" : "main");
        if (actual != expected) {
            actual.save(QStringLiteral("scoreboard-ampersand-shown.png"));
            expected.save(QStringLiteral("scoreboard-ampersand-expected.png"));
        }
    }
}

} // namespace
