// A competition interrupted and resumed, as the operator works it: open the start list,
// type half of the marks, save, end the program, start it again, open the saved file,
// type the rest and save as text. The protocol must be the one of all marks typed in
// one go, for every file format and judge count.
#include "app/mainwindow.h"
#include "exchange/filedialog.h"
#include "grid/sortgrid.h"
#include "platform/messagebox.h"
#include "platform/monitors.h"
#include "scoring/resulttable.h"
#include "support/filedialogdriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kCouples = 8;

// Every mark of couple i is one above couple i-1's: no two couples tie.
int markOf(int couple, int judge)
{
    return 1 + couple + judge % 2;
}

class Interruption : public ::testing::TestWithParam<std::tuple<const char *, int>>
{
protected:
    QTemporaryDir dir;
    FixedMonitorList monitors { { QRect(0, 0, 1920, 1080) } };
    std::unique_ptr<TForm1> form;

    void SetUp() override { MessageBox::setAutoAnswer(QMessageBox::Ok); }
    void TearDown() override
    {
        form.reset();
        FileDialog::setDriverForTests(nullptr);
        MessageBox::setAutoAnswer(std::nullopt);
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    // The program started with the judge count stored by the last run.
    void start(int judges)
    {
        const QString settings = path(QStringLiteral("Scorelane.ini"));
        {
            QSettings stored(settings, QSettings::IniFormat);
            for (const char *key : { "Left", "Top", "KeepAR", "Monitor" })
                stored.setValue(QString::fromLatin1(key), 0);
            stored.setValue(QStringLiteral("ColSUD"), judges);
        }
        form = std::make_unique<TForm1>(TForm1::Environment { settings, &monitors });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        activate();
    }
    void activate()
    {
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        form->SortGrid1->setFocus();
    }

    void fileCommand(Qt::Key key, const QString &file)
    {
        FileDialog::setDriverForTests(typePath(file));
        QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
        FileDialog::setDriverForTests(nullptr);
        activate();
    }

    // Clicks the first mark cell of the couple and types its marks, Enter after each.
    void typeMarks(int couple, int judges)
    {
        TSortGrid *grid = form->SortGrid1;
        int row = 1;
        while (row < grid->RowCount() && grid->Cells(0, row) != QString::number(101 + couple))
            ++row;
        ASSERT_LT(row, grid->RowCount()) << "couple " << couple;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
            grid->cellRect(ResultTable::markColumn(1), row).center());
        for (int judge = 1; judge <= judges; ++judge) {
            QTest::keyClicks(QApplication::focusWidget(), QString::number(markOf(couple, judge)));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        // The last mark ends the entry and places the couple.
        EXPECT_FALSE(grid->hasOption(goEditing)) << "couple " << couple;
        EXPECT_EQ(grid->Cells(ResultTable::ColNumber, grid->Row()), QString::number(101 + couple));
        EXPECT_FALSE(grid->Cells(ResultTable::ColPlace, grid->Row()).isEmpty()) << "couple " << couple;
    }

    QByteArray bytesOf(const QString &file) const
    {
        QFile read(file);
        return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray("<missing>");
    }
};

TEST_P(Interruption, ResumedProtocolIsTheOneOfAllMarksInOneGo)
{
    const auto [extension, judges] = GetParam();
    QByteArray startList = "Nr.;Name;Verein\r\n";
    for (int couple = 0; couple < kCouples; ++couple)
        startList += QByteArray::number(101 + couple) + ";Paar " + QByteArray::number(couple) + ";TC Nr. "
            + QByteArray::number(couple % 3) + "\r\n";
    const QString list = path(QStringLiteral("Starterliste.txt"));
    {
        QFile file(list);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(startList);
    }

    // In one go.
    start(judges);
    fileCommand(Qt::Key_O, list);
    ASSERT_EQ(form->SortGrid1->RowCount(), kCouples + 1) << MessageBox::lastText().toStdString();
    for (int couple = 0; couple < kCouples; ++couple)
        typeMarks(couple, judges);
    fileCommand(Qt::Key_S, path(QStringLiteral("einmal.txt")));
    form.reset();

    // Interrupted after half of the couples; the half is saved in the format under test.
    const QString half = path(QStringLiteral("halb.") + QLatin1StringView(extension));
    start(judges);
    fileCommand(Qt::Key_O, list);
    for (int couple = 0; couple < kCouples / 2; ++couple)
        typeMarks(couple, judges);
    fileCommand(Qt::Key_S, half);
    form.reset();

    const int boxes = MessageBox::shownCount();
    start(judges);
    fileCommand(Qt::Key_O, half);
    EXPECT_EQ(MessageBox::shownCount(), boxes) << MessageBox::lastText().toStdString();
    ASSERT_EQ(form->SortGrid1->RowCount(), kCouples + 1);
    for (int couple = kCouples / 2; couple < kCouples; ++couple)
        typeMarks(couple, judges);
    fileCommand(Qt::Key_S, path(QStringLiteral("fortgesetzt.txt")));
    form.reset();

    const QByteArray once = bytesOf(path(QStringLiteral("einmal.txt")));
    EXPECT_TRUE(once.contains(QByteArray("\t1\t\r\n"))) << once.toStdString();
    EXPECT_EQ(bytesOf(path(QStringLiteral("fortgesetzt.txt"))), once) << MessageBox::lastText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(FormatsAndJudges, Interruption,
    ::testing::Combine(::testing::Values("txt", "xls", "xlsx"), ::testing::Values(3, 5, 7)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param)) + "_" + std::to_string(std::get<1>(info.param))
            + "_judges";
    });

} // namespace
