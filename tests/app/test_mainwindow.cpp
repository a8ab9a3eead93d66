#include "app/mainwindow.h"
#include "dialogs/cfgdialog.h"
#include "dialogs/dlgyesno.h"
#include "dialogs/finfo.h"
#include "dialogs/helpviewer.h"
#include "dialogs/spinedit.h"
#include "display/label3d.h"
#include "display/tvwindow.h"
#include "exchange/filecommands.h"
#include "exchange/filedialog.h"
#include "exchange/textresultfile.h"
#include "grid/sortgrid.h"
#include "platform/messagebox.h"
#include "platform/monitors.h"
#include "platform/programinfo.h"
#include "support/filedialogdriver.h"
#include "support/pdfprinters.h"
#include "support/qtprinters.h"
#include "support/resulttablefixture.h"
#include "support/yesnodriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    FixedMonitorList monitors { { QRect(0, 0, 1920, 1080) } };
    std::unique_ptr<TForm1> form;

    QString settingsPath() const { return dir.filePath(QStringLiteral("Scorelane.ini")); }

    void SetUp() override { start(); }

    void start()
    {
        form = std::make_unique<TForm1>(TForm1::Environment { settingsPath(), &monitors });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        grid()->setFocus();
    }

    // Ends the window without the closing question, as the program end does.
    void stop() { form.reset(); }

    TSortGrid *grid() const { return form->SortGrid1; }

    // Ctrl+T on one monitor, then F5 in the TV window: the table in front again for typing.
    void showTVWindowAndTypeInTheTable()
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
        ASSERT_TRUE(QTest::qWaitForWindowActive(form->FormTV()));
        QTest::keyClick(form->FormTV(), Qt::Key_F5);
        ASSERT_TRUE(form->isVisible());
        QApplication::setActiveWindow(form.get());
        grid()->setFocus();
    }

    void load(const QList<QStringList> &rows)
    {
        fillResultRows(*grid(), rows);
        form->table().AssignPlaces();
        form->UpdateSaveButtons();
    }

    // A start list in the test's folder, for Ctrl+O.
    QString writeStartList(const QString &name, const QByteArray &bytes) const
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            << name.toStdString();
        return file.fileName();
    }

    void type(const QString &text)
    {
        for (QChar c : text)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }

    void enter() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }

    QString caption(TLabel3D *label) const { return label->Caption(); }
};

TEST_F(MainWindowTest, FormLayoutAndHeader)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Scorelane 1.6"));
    EXPECT_EQ(form->size(), QSize(900, 525));
    EXPECT_EQ(grid()->width(), 590);
    EXPECT_EQ(grid()->ColWidths(1), 192);
    EXPECT_EQ(grid()->ColWidths(2), 96);
    EXPECT_EQ(grid()->ColWidths(12), -1); // the grid's own stretch must not show it
    EXPECT_EQ(form->StatusPanels[4]->text(), QStringLiteral("900x506      "));
    EXPECT_EQ(grid()->Cells(0, 0), QStringLiteral("Nr."));
    EXPECT_EQ(grid()->RowCount(), 2);
    EXPECT_TRUE(form->PageControl1->tabText(0).isEmpty());
    EXPECT_TRUE(form->StatusPanels[0]->text().isEmpty());
    EXPECT_FALSE(form->sbSave->isEnabled());
    EXPECT_FALSE(form->sbPrint->isEnabled());
    const std::pair<QToolButton *, const char *> hints[] = { { form->bHelp, "[F1] Hilfe" },
        { form->bCFG, "[F2] Einstellungen" }, { form->bInfo, "[F3] Information" },
        { form->sbLoad, "[Ctrl+O] Starterliste oder gespeichertes Protokoll öffnen" },
        { form->sbSave, "[Ctrl+S] Speichern unter..." }, { form->sbTV, "[Ctrl+T] TV-Modus EIN/AUS" },
        { form->bVideo, "Video (Strg+V)" }, { form->sbCLS, "[Ctrl+A] Ergebnisse löschen" },
        { form->sbPrint, "[Ctrl+P] Drucken" } };
    for (const auto &[button, hint] : hints)
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(hint)) << button->objectName().toStdString();
    EXPECT_FALSE(form->bVideo->isEnabled());
    EXPECT_FALSE(form->sbPrint->isVisibleTo(form.get()));
}

TEST_F(MainWindowTest, FiveMarksTypedWithEnterCompleteTheRow)
{
    load({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert", "TSC" }, { "3", "Cora", "TSC" } });
    // Competitor 3 gets 9, 8, 8, 7, 8 typed in and moves above competitor 2.
    grid()->MoveCurrent(3, 3);
    EXPECT_TRUE(grid()->hasOption(goEditing));
    EXPECT_FALSE(grid()->hasOption(goRowSelect));
    for (const char *mark : { "9", "8", "8", "7" }) {
        type(QString::fromLatin1(mark));
        enter();
    }
    EXPECT_EQ(grid()->Col(), 7);
    EXPECT_EQ(grid()->Cells(0, grid()->Row()), QStringLiteral("3"));
    type(QStringLiteral("8"));
    int sorts = 0;
    int updateEnds = 0;
    grid()->OnSortFinished = [&](SortGridCore *, int) { ++sorts; };
    grid()->OnEndUpdate = [&](SortGridCore *) { ++updateEnds; };
    enter();
    // One placing sorts; showing the placed row only ends the update bracket once more.
    EXPECT_EQ(sorts, 1);
    EXPECT_EQ(updateEnds, 2);
    EXPECT_TRUE(grid()->hasFocus());

    const int row = grid()->Row();
    EXPECT_EQ(row, 2);
    EXPECT_EQ(grid()->Cells(0, 2), QStringLiteral("3"));
    EXPECT_EQ(grid()->Cells(10, 2), QStringLiteral("24"));
    EXPECT_EQ(grid()->Cells(12, 2), QStringLiteral("40"));
    EXPECT_EQ(grid()->Cells(11, 2), QStringLiteral("2"));
    EXPECT_FALSE(grid()->hasOption(goEditing));
    EXPECT_FALSE(grid()->editorMode());
    EXPECT_EQ(grid()->Selection(), (GridRect { 0, 2, 12, 2 }));
    EXPECT_EQ(caption(form->scoreboard().LabNum()), QStringLiteral("3"));
    EXPECT_EQ(caption(form->scoreboard().LabGesamt()), QStringLiteral("24"));
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("2:3"));
}

TEST_F(MainWindowTest, DigitFilterByColumn)
{
    load({ { "1", "Anna" }, { "2", "Bert" } });
    grid()->MoveCurrent(3, 1);
    type(QStringLiteral("x7"));
    EXPECT_EQ(grid()->cellEditor()->text(), QStringLiteral("7"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    grid()->MoveCurrent(0, 2);
    type(QStringLiteral("a"));
    EXPECT_EQ(grid()->Cells(0, 2), QStringLiteral("2"));
    EXPECT_FALSE(grid()->cellEditor()->text().contains(u'a'));
    grid()->MoveCurrent(1, 2);
    type(QStringLiteral("Bx"));
    EXPECT_TRUE(grid()->cellEditor()->text().endsWith(QStringLiteral("Bx")));
}

// A protocol read back from a text file holds " " where marks are still to come: such
// a cell is no mark, so Enter after judge 5 moves on to the blank judge 3.
TEST_F(MainWindowTest, BlankMarkIsNoMark)
{
    load({ { "1", "Anna", "", "9", "9", " ", "9", " " }, { "2", "Bert" } });
    grid()->MoveCurrent(7, 1);
    type(QStringLiteral("9"));
    enter();
    EXPECT_TRUE(grid()->hasOption(goEditing));
    EXPECT_EQ(grid()->Col(), 5);
    type(QStringLiteral("8"));
    enter();
    const int row = grid()->Row();
    EXPECT_FALSE(grid()->hasOption(goEditing));
    EXPECT_EQ(grid()->Cells(0, row), QStringLiteral("1"));
    EXPECT_EQ(grid()->Cells(5, row), QStringLiteral("8"));
    EXPECT_EQ(grid()->Cells(10, row), QStringLiteral("27"));
    EXPECT_EQ(caption(form->scoreboard().LabGesamt()), QStringLiteral("27"));
}

TEST_F(MainWindowTest, EscClosesTheEditorAndSelectsTheRow)
{
    load({ { "1", "Anna" }, { "2", "Bert" }, { "3", "Cora" } });
    grid()->MoveCurrent(4, 2);
    type(QStringLiteral("5"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(grid()->hasOption(goEditing));
    EXPECT_FALSE(grid()->editorMode());
    EXPECT_EQ(grid()->Selection(), (GridRect { 0, 2, 12, 2 }));
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("2:3"));
}

// Tab moves through the shown columns and wraps from the last shown judge (or from the
// totals, where Down leaves it) to judge 1, with the cell editor open or not.
TEST_F(MainWindowTest, TabMovesToTheNextShownColumnAndWraps)
{
    struct Case
    {
        int judges;
        int from;
        bool editor;
        int to;
    };
    const Case cases[] = { { 5, 0, false, 1 }, { 5, 2, true, 3 }, { 5, 6, false, 7 }, { 5, 7, true, 3 },
        { 3, 5, false, 3 }, { 7, 9, true, 3 }, { 5, 12, false, 3 } };
    load({ { "1", "Anna" }, { "2", "Bert" } });
    for (const Case &c : cases) {
        form->SetJudgeCount(c.judges);
        if (c.from == ResultTable::ColRawTotal) {
            grid()->MoveCurrent(1, 1);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        } else {
            ASSERT_TRUE(grid()->MoveCurrent(c.from, 1));
        }
        if (c.editor)
            type(QStringLiteral("4"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(grid()->Col(), c.to) << c.judges << " judges, from " << c.from;
        EXPECT_TRUE(grid()->hasFocus() || grid()->isAncestorOf(QApplication::focusWidget()));
    }
}

// Ctrl+N: the next couple of the start list without marks, whatever the placing did to
// the order; the audience sees nothing of it.
TEST_F(MainWindowTest, CtrlNGoesToTheNextCoupleWithoutMarksInStartListOrder)
{
    const QString startList = writeStartList(QStringLiteral("Standard.txt"),
        "Nr.\tName\tVerein\r\n5\tA\tX\t9\t9\t9\t9\t9\r\n2\tB\tX\r\n8\tC\tX\t7\r\n"
        "1\tD\tX\t8\t8\t8\t8\t8\r\n4\tE\tX\r\n");
    FileDialog::setDriverForTests(typePath(startList));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
    FileDialog::setDriverForTests(nullptr);
    QApplication::setActiveWindow(form.get());
    grid()->setFocus();
    ASSERT_EQ(grid()->RowCount(), 6);
    ASSERT_EQ(grid()->Cells(0, 1), QStringLiteral("5")); // placed

    // From the first couple of the list: 2, then 4, then round to 2 again; from an open
    // editor as well.
    grid()->MoveCurrent(1, 1);
    const char *expected[] = { "2", "4", "2" };
    for (const char *number : expected) {
        type(QStringLiteral("x"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
        EXPECT_EQ(grid()->Cells(0, grid()->Row()), QString::fromLatin1(number));
        EXPECT_EQ(grid()->Col(), ResultTable::ColRawTotal);
        EXPECT_FALSE(grid()->hasOption(goEditing));
        grid()->MoveCurrent(1, grid()->Row());
    }
    EXPECT_TRUE(caption(form->scoreboard().LabNum()).isEmpty());
    // Tab starts entry at J.1 of the couple found.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(grid()->Col(), ResultTable::markColumn(1));
    EXPECT_TRUE(grid()->hasOption(goEditing));
}

// Outside entry mode the operator types a start number; the status bar shows it.
TEST_F(MainWindowTest, StartNumberTypedOutsideEntryShowsInThePositionPanel)
{
    load({ { "7", "Anna" }, { "12", "Bert" }, { "3", "Cora" } });
    grid()->MoveCurrent(1, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    type(QStringLiteral("12"));
    EXPECT_EQ(grid()->Cells(0, grid()->Row()), QStringLiteral("12"));
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("Nr. 12"));
    type(QStringLiteral("9"));
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("129 fehlt"));
    EXPECT_EQ(grid()->Cells(0, grid()->Row()), QStringLiteral("12"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("%1:3").arg(grid()->Row()));
}

// A scored couple's mark is changed only after "Ja" in the program's box, where Enter
// answers "Nein"; the keys go on to the table afterwards.
TEST_F(MainWindowTest, ChangingAScoredCoupleAsksWithTheFocusOnNein)
{
    load({ { "4", "Anna", "TSC", "9", "8", "9", "9", "9" }, { "5", "Bert" } });
    const int row = 1;
    grid()->MoveCurrent(4, row);
    struct Step
    {
        std::function<void(TFDlgYesNo &)> answer;
        QString mark;
    };
    const auto press = [](Qt::Key key) {
        return [key](TFDlgYesNo &dialog) { QTest::keyClick(dialog.focusWidget(), key); };
    };
    const Step steps[]
        = { { press(Qt::Key_Return), "8" }, { press(Qt::Key_Escape), "8" }, { YesNoDriver::clickJa, "6" } };
    for (const Step &step : steps) {
        QString asked;
        QWidget *focus = nullptr;
        YesNoDriver::answerWhenShown(*form->FDlgYesNo(), [&](TFDlgYesNo &dialog) {
            asked = dialog.Label1->text();
            focus = dialog.focusWidget();
            step.answer(dialog);
        });
        type(QStringLiteral("6"));
        EXPECT_EQ(asked, QStringLiteral("Wertung von Nr. 4 ändern?"));
        EXPECT_EQ(focus, form->FDlgYesNo()->CancelBtn);
        EXPECT_EQ(grid()->Cells(4, row), step.mark);
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activeWindow(), form.get());
        EXPECT_TRUE(grid()->hasFocus() || grid()->isAncestorOf(QApplication::focusWidget()));
    }
    enter();
    EXPECT_EQ(caption(form->scoreboard().Lab(2)), QStringLiteral("6"));
}
TEST_F(MainWindowTest, PositionTextAfterLoadingTwelve)
{
    QList<QStringList> rows;
    for (int i = 1; i <= 12; ++i)
        rows.push_back({ QString::number(i), QStringLiteral("Paar %1").arg(i) });
    load(rows);
    grid()->MoveCurrent(1, 3);
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("3:12"));
    EXPECT_TRUE(form->sbSave->isEnabled());
    EXPECT_TRUE(form->sbPrint->isEnabled());
}

TEST_F(MainWindowTest, CtrlAClearsTheScoreboardAndLeavesTheTable)
{
    load({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert" } });
    grid()->MoveCurrent(1, 1);
    form->SortGrid1DblClick();
    ASSERT_EQ(caption(form->scoreboard().LabNum()), QStringLiteral("1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(caption(form->scoreboard().LabNum()).isEmpty());
    EXPECT_TRUE(caption(form->scoreboard().LabGesamt()).isEmpty());
    EXPECT_EQ(grid()->Cells(10, 1), QStringLiteral("27"));
}

// One monitor: the TV window covers the main window's monitor.
TEST_F(MainWindowTest, OneMonitorCtrlTPutsTheTVWindowInFrontAndF5BringsTheMainWindowAndPutsItAway)
{
    // With nothing else shown, hiding would leave no window to take a key.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    EXPECT_TRUE(form->isVisible());

    TFormTV *tv = form->FormTV();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_TRUE(tv->isVisible());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->sbTV->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([tv] { return QApplication::activeWindow() == tv; }, 1000));
    for (int twice = 0; twice < 2; ++twice) {
        QTest::keyClick(tv, Qt::Key_F5);
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == form.get(); }, 1000));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(tv->isVisible());
        EXPECT_TRUE(QTest::qWaitFor([tv] { return QApplication::activeWindow() == tv; }, 1000));
    }

    // Ctrl+T from the TV window with the main window hidden brings the main window back.
    QTest::keyClick(tv, Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(tv->isVisible());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->sbTV->isChecked());
}

// The TV window holds the program's own keys: they work there while the main window is hidden.
TEST_F(MainWindowTest, TheProgramsKeysWorkInTheTVWindowWhileTheMainWindowIsHidden)
{
    load({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert" }, { "3", "Cora" } });
    grid()->MoveCurrent(1, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
    TFormTV *tv = form->FormTV();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    ASSERT_FALSE(form->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([tv] { return QApplication::activeWindow() == tv; }, 1000));
    ASSERT_EQ(caption(tv->scoreboard().LabNum()), QStringLiteral("1"));
    QTest::keyClick(tv, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(caption(tv->scoreboard().LabNum()).isEmpty());
    QTest::keyClick(tv, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(grid()->Cells(0, grid()->Row()), QStringLiteral("2"));
    QTest::keyClick(tv, Qt::Key_F9);
    EXPECT_EQ(caption(tv->scoreboard().LabNum()), QStringLiteral("2"));
    QTest::keyClick(tv, Qt::Key_F5);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(MainWindowTest, ClosingTheTVWindowNeverEndsTheProgram)
{
    TFormTV *tv = form->FormTV();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_FALSE(form->isVisible()); // one monitor: put away behind the TV window
    // The window manager closes the audience's window while the event loop runs.
    QTimer::singleShot(0, tv, [tv] { tv->close(); });
    QTimer::singleShot(100, qApp, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QCoreApplication::exec(), 7);
    EXPECT_FALSE(tv->isVisible());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->sbTV->isChecked());
}

TEST_F(MainWindowTest, ShortcutsWinOverAnOpenCellEditor)
{
    load({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert" } });
    form->SortGrid1DblClick();
    ASSERT_FALSE(caption(form->scoreboard().LabNum()).isEmpty());
    // Each time back from a dialog, as the window manager does, with a fresh editor.
    const auto openEditor = [this](int col, const QString &typed) {
        QApplication::setActiveWindow(form.get());
        grid()->setFocus();
        grid()->MoveCurrent(col, 2);
        type(typed);
        QLineEdit *editor = grid()->cellEditor();
        EXPECT_TRUE(editor && editor->hasFocus());
        return editor;
    };
    QLineEdit *editor = openEditor(1, QStringLiteral("x"));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(caption(form->scoreboard().LabNum()).isEmpty());
    EXPECT_FALSE(editor->hasSelectedText());

    QTest::keyClick(editor, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(form->FormTV()->isVisible());
    // One monitor: the TV window has taken the keys; Ctrl+T there brings the table back.
    ASSERT_TRUE(QTest::qWaitForWindowActive(form->FormTV()));
    QTest::keyClick(form->FormTV(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_TRUE(form->isVisible());

    int dialogs = 0;
    MessageBox::setAutoAnswer(QMessageBox::Ok);
    FileDialog::setDriverForTests([&dialogs](QFileDialog &dialog) {
        ++dialogs;
        dialog.reject();
    });
    QTest::keyClick(openEditor(1, QStringLiteral("x")), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(openEditor(1, QStringLiteral("x")), Qt::Key_S, Qt::ControlModifier);
    FileDialog::setDriverForTests(nullptr);
    MessageBox::setAutoAnswer(std::nullopt);
    EXPECT_EQ(dialogs, 2);

    // A mark column takes digits only, so nothing may arrive by pasting either.
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    editor = openEditor(4, QStringLiteral("7"));
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(editor->text(), QStringLiteral("7"));
}

TEST_F(MainWindowTest, CtrlPPrintsEveryCompetitor)
{
    QList<QStringList> rows;
    for (int i = 1; i <= 24; ++i)
        rows.push_back({ QString::number(i), QStringLiteral("Paar%1").arg(i), QStringLiteral("TSC") });
    load(rows);
    const QString file = printedFile(QStringLiteral("mainwindow_print.pdf"));
    QFile::remove(file);
    grid()->setPrinterProvider(std::make_shared<PdfPrinters>(QStringList { QStringLiteral("PDF") }, file));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
    const QString text = pdfText(file);
    for (const char *name : { "Paar1", "Paar12", "Paar24" })
        EXPECT_TRUE(text.contains(QString::fromLatin1(name))) << name;
    EXPECT_EQ(text.count(QStringLiteral("Verein")), 1); // the header heads the page, not a row
}

// Counts the times a dialog is shown and sends each one away.
class DialogCounter : public QObject
{
public:
    int shown = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            ++shown;
            QTimer::singleShot(0, watched, [watched] { static_cast<QDialog *>(watched)->reject(); });
        }
        return false;
    }
};

// PDF printers that count the print jobs.
class CountingPrinters : public PdfPrinters
{
public:
    using PdfPrinters::PdfPrinters;
    std::unique_ptr<QPrinter> createPrinter() const override
    {
        ++jobs;
        return PdfPrinters::createPrinter();
    }
    mutable int jobs = 0;
};

// Counts the paints of the widget it watches.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// The click's command changes the tab's caption and with it the layout: the tab is painted
// once, in its new form, when the button is released, and not again after it.
TEST_F(MainWindowTest, OpeningThroughTheButtonPaintsTheNewTabOnce)
{
    load({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" } });
    const QString path = dir.filePath(QStringLiteral("Endrunde Latein.txt"));
    SaveTextFile(*grid(), path);
    FileDialog::setDriverForTests(typePath(path));
    PaintCounter counter;
    form->PageControl1->tabBar()->installEventFilter(&counter);
    QTest::mouseClick(form->sbLoad, Qt::LeftButton);
    const int paintsInTheClick = counter.paints;
    QTest::qWait(50);
    FileDialog::setDriverForTests(nullptr);
    ASSERT_EQ(form->PageControl1->tabText(0), QStringLiteral("Endrunde Latein"));
    EXPECT_EQ(paintsInTheClick, 1);
    EXPECT_EQ(counter.paints, 1);
}

TEST_F(MainWindowTest, EachToolButtonRunsItsCommandOnce)
{
    const auto click = [](QToolButton *button) { QTest::mouseClick(button, Qt::LeftButton); };
    int fileDialogs = 0;
    MessageBox::setAutoAnswer(QMessageBox::Ok);
    FileDialog::setDriverForTests([&fileDialogs](QFileDialog &dialog) {
        ++fileDialogs;
        dialog.reject();
    });
    click(form->sbLoad);
    EXPECT_EQ(fileDialogs, 1);
    // Greyed out until a file is loaded, while Ctrl+S reaches the command all the same.
    click(form->sbSave);
    EXPECT_EQ(fileDialogs, 1);
    QApplication::setActiveWindow(form.get()); // back from the dialog, as the window manager does
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(fileDialogs, 2);
    load({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert" } });
    click(form->sbSave);
    EXPECT_EQ(fileDialogs, 3);
    FileDialog::setDriverForTests(nullptr);
    MessageBox::setAutoAnswer(std::nullopt);

    DialogCounter settings;
    form->CfgDialog()->installEventFilter(&settings);
    click(form->bCFG);
    EXPECT_EQ(settings.shown, 1);

    click(form->sbTV);
    QApplication::processEvents();
    EXPECT_TRUE(form->FormTV()->isVisible());
    EXPECT_TRUE(form->sbTV->isChecked());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
    ASSERT_EQ(caption(form->scoreboard().LabNum()), QStringLiteral("1"));
    click(form->sbCLS);
    EXPECT_TRUE(caption(form->scoreboard().LabNum()).isEmpty());
    EXPECT_TRUE(form->FormTV()->scoreboard().LabNum()->Caption().isEmpty());

    auto printers = std::make_shared<CountingPrinters>(
        QStringList { QStringLiteral("PDF") }, printedFile(QStringLiteral("mainwindow_button.pdf")));
    grid()->setPrinterProvider(printers);
    form->sbPrint->show(); // hidden on the form
    click(form->sbPrint);
    EXPECT_EQ(printers->jobs, 1);
}

TEST_F(MainWindowTest, OpenWithCtrlOPlacesTheTableAndSaveWithCtrlS)
{
    const QString startList = writeStartList(QStringLiteral("Latein.txt"),
        "Nr.\tName\tVerein\r\n3\tEva Stein\tTC Hansa\t5\t5\t5\t5\t5\r\n"
        "7\tLena Hofer\tBlau-Weiss\t9\t9\t8\t9\t9\r\n");
    // A couple of the last table on both scoreboards.
    load({ { "1", "Anna", "TSC", "9", "9", "9", "9", "9" }, { "2", "Bert" } });
    ASSERT_NO_FATAL_FAILURE(showTVWindowAndTypeInTheTable());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
    ASSERT_EQ(caption(form->FormTV()->scoreboard().LabNum()), QStringLiteral("1"));

    MessageBox::setAutoAnswer(QMessageBox::Ok);
    FileDialog::setDriverForTests(typePath(startList));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
    FileDialog::setDriverForTests(nullptr);
    ASSERT_EQ(grid()->RowCount(), 3) << MessageBox::lastText().toStdString();
    for (const Scoreboard *board : { &form->scoreboard(), &form->FormTV()->scoreboard() }) {
        EXPECT_TRUE(caption(board->LabNum()).isEmpty());
        EXPECT_TRUE(caption(board->Lab(1)).isEmpty());
        EXPECT_TRUE(caption(board->LabGesamt()).isEmpty());
        EXPECT_FALSE(Scoreboard::shown(board->xLab1()));
    }
    EXPECT_EQ(grid()->Cells(0, 1), QStringLiteral("7")); // placed after the open
    EXPECT_EQ(grid()->Cells(11, 1), QStringLiteral("1"));
    EXPECT_EQ(form->PageControl1->tabText(0), QStringLiteral("Latein"));
    EXPECT_TRUE(form->sbSave->isEnabled());

    const QString protocol = dir.filePath(QStringLiteral("Protokoll.txt"));
    FileDialog::setDriverForTests(typePath(protocol));
    QApplication::setActiveWindow(form.get()); // back from the dialog, as the window manager does
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    FileDialog::setDriverForTests(nullptr);
    MessageBox::setAutoAnswer(std::nullopt);
    QFile saved(protocol);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << MessageBox::lastText().toStdString();
    const QByteArray bytes = saved.readAll();
    EXPECT_TRUE(bytes.startsWith("Nr.\tName\tVerein\t")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("7\tLena Hofer\tBlau-Weiss\t9\t9\t8\t9\t9\t \t \t27\t1\t\r\n"));
}

// The file dialogs are kept from one command to the next: each save still writes the format
// typed, and what the last use left in the dialog (entry, name, its completion list) does
// not reach the next command or the main window's keys.
TEST_F(MainWindowTest, KeptFileDialogsSaveEachTypedFormat)
{
    const QString startList = writeStartList(QStringLiteral("Standard.txt"),
        "Nr.\tName\tVerein\r\n3\tEva Stein\tTC Hansa\t5\t5\t5\t5\t5\r\n"
        "7\tLena Hofer\tBlau-Weiss\t9\t9\t8\t9\t9\r\n");
    MessageBox::setAutoAnswer(QMessageBox::Ok);
    QList<QPointer<QFileDialog>> shown;
    const auto command = [&](Qt::Key key, const QString &path) {
        const FileDialog::Driver typing = typePath(path);
        FileDialog::setDriverForTests([&, typing](QFileDialog &dialog) {
            shown.append(&dialog);
            EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
            typing(dialog);
        });
        QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
        FileDialog::setDriverForTests(nullptr);
        QApplication::setActiveWindow(form.get()); // back from the dialog, as the window manager does
        EXPECT_EQ(QApplication::focusWidget(), grid()) << path.toStdString();
    };
    const auto bytes = [this](const char *name) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };
    command(Qt::Key_O, startList);
    ASSERT_EQ(grid()->RowCount(), 3) << MessageBox::lastText().toStdString();
    command(Qt::Key_S, dir.filePath(QStringLiteral("Runde.xlsx")));
    command(Qt::Key_S, dir.filePath(QStringLiteral("Runde.xls")));
    command(Qt::Key_O, dir.filePath(QStringLiteral("Runde.xls")));
    command(Qt::Key_S, dir.filePath(QStringLiteral("Runde.txt")));
    MessageBox::setAutoAnswer(std::nullopt);
    EXPECT_TRUE(bytes("Runde.xlsx").startsWith("PK\x03\x04"));
    EXPECT_TRUE(bytes("Runde.xls").startsWith("\xD0\xCF\x11\xE0"));
    EXPECT_TRUE(bytes("Runde.txt").startsWith("Nr.\tName\tVerein\t")) << bytes("Runde.txt").toStdString();
    // One open dialog and one save dialog, each shown again rather than made anew.
    ASSERT_EQ(shown.size(), 5);
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_EQ(shown[0], shown[3]);
    EXPECT_EQ(shown[1], shown[2]);
    EXPECT_EQ(shown[2], shown[4]);
}

// A laptop without a printer: the box keeps its message and offers a PDF file instead.
TEST_F(MainWindowTest, CtrlPWithoutPrinterSavesThePrintoutAsPdf)
{
    QList<QStringList> rows;
    for (int i = 1; i <= 24; ++i)
        rows.push_back({ QString::number(i), QStringLiteral("Paar%1").arg(i), QStringLiteral("TSC"),
            QString::number(i % 10), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
            QStringLiteral("8") });
    load(rows);
    form->PageControl1->setTabText(0, QStringLiteral("Latein"));
    grid()->setPrinterProvider(std::make_shared<PdfPrinters>(QStringList(), QString()));
    QString proposed;
    int fileDialogs = 0;
    const auto pdfName = [&](const QString &path) {
        return [&, path](QFileDialog &dialog) {
            ++fileDialogs;
            proposed = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
            typePath(path)(dialog);
        };
    };

    // OK: nothing is printed and no dialog comes.
    FileDialog::setDriverForTests(pdfName(dir.filePath(QStringLiteral("nie"))));
    MessageBox::setNextAnswer(QMessageBox::Ok);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("No Printer is installed"));
    EXPECT_EQ(fileDialogs, 0);

    // "Als PDF speichern...": the name typed without extension gets ".pdf".
    const QString pdf = printedFile(QStringLiteral("mainwindow_noprinter.pdf"));
    QFile::remove(pdf);
    FileDialog::setDriverForTests(pdfName(pdf.chopped(4)));
    MessageBox::setNextAnswer(QMessageBox::Save);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
    FileDialog::setDriverForTests(nullptr);
    EXPECT_EQ(fileDialogs, 1);
    EXPECT_EQ(proposed, QStringLiteral("Latein"));
    const QString text = pdfText(pdf);
    for (const char *name : { "Paar1", "Paar12", "Paar24", "Verein" })
        EXPECT_TRUE(text.contains(QString::fromLatin1(name))) << name;

    // A name that cannot be written (the dialog would not offer it): the standard error box.
    grid()->askPdfFileName = [] { return std::optional<QString>(QStringLiteral("/proc/no/such.pdf")); };
    MessageBox::setAutoAnswer(QMessageBox::Save);
    QApplication::setActiveWindow(form.get()); // back from the dialog, as the window manager does
    QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
    MessageBox::setAutoAnswer(std::nullopt);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("Invalid filename."));
}

// An installed program started from the menu: the help file is not in the working folder.
TEST_F(MainWindowTest, HelpFileFromThePerUserDataFolder)
{
    EXPECT_FALSE(form->bHelp->isEnabled());
    const QString title = QStringLiteral("test_mainwindow");
    const QString userFolder = ProgramInfo::dataFolders().at(1);
    ASSERT_TRUE(userFolder.endsWith(QStringLiteral("/Quellmark/") + title + u'/'));
    ASSERT_TRUE(QDir().mkpath(userFolder));
    QFile help(userFolder + title + QStringLiteral(".chm"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    stop();
    start();
    EXPECT_TRUE(form->bHelp->isEnabled());
    EXPECT_EQ(form->HelpFile(), help.fileName());
    help.remove();
}

TEST_F(MainWindowTest, CtrlTShowsAndHidesTheTVWindow)
{
    TFormTV *tv = form->FormTV();
    ASSERT_NE(tv, nullptr);
    EXPECT_FALSE(tv->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(tv->isVisible());
    EXPECT_TRUE(form->sbTV->isChecked());
    EXPECT_EQ(tv->geometry(), QRect(0, 0, 1920, 1080));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(tv->isVisible());
    EXPECT_FALSE(form->sbTV->isChecked());
}

TEST_F(MainWindowTest, TVWindowMirrorsTheScoreboardAndTakesTheKeys)
{
    load({ { "5", "Anna", "TSC", "5", "7", "5", "9", "9" }, { "6", "Bert" } });
    grid()->MoveCurrent(1, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form->FormTV()));
    QTest::keyClick(form->FormTV(), Qt::Key_F9);
    EXPECT_EQ(form->FormTV()->scoreboard().LabGesamt()->Caption(), QStringLiteral("21"));
    EXPECT_TRUE(form->FormTV()->isVisible());
    QTest::keyClick(form->FormTV(), Qt::Key_F5);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(MainWindowTest, SettingsDialogAppliesJudgesAndMonitorAtOnce)
{
    FixedMonitorList two({ QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024) });
    stop();
    monitors = two;
    start();
    TCfgDialog *dialog = form->CfgDialog();
    int judgesWhenPendingWorkRan = 0;
    QTimer::singleShot(0, dialog, [&, dialog] {
        dialog->setJudgeCount(3);
        dialog->cbMonitor->setCurrentIndex(1);
        dialog->accept();
        QTimer::singleShot(0, form.get(), [&] { judgesWhenPendingWorkRan = form->JudgeCount(); });
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    EXPECT_EQ(judgesWhenPendingWorkRan, 5); // pending work ran before the new values
    EXPECT_EQ(form->JudgeCount(), 3);
    EXPECT_EQ(form->Monitor(), 1);
    EXPECT_EQ(grid()->ColWidths(6), -1);
    EXPECT_FALSE(form->FormTV()->scoreboard().Lab(4)->isVisibleTo(form->FormTV()));
    EXPECT_EQ(form->FormTV()->geometry(), QRect(1920, 0, 1280, 1024)); // moved although hidden

    QTimer::singleShot(0, dialog, [dialog] { dialog->reject(); });
    QTest::mouseClick(form->bCFG, Qt::LeftButton);
    EXPECT_EQ(form->JudgeCount(), 3);
    EXPECT_EQ(form->Monitor(), 1);
}

// F2 and two keys down: the couple on both scoreboards is shown again with three judges,
// its strike marks chosen anew; the settings dialog starts on the judge count each time.
TEST_F(MainWindowTest, AJudgeCountChangedWithF2ShowsTheCoupleAgain)
{
    load({ { "5", "Anna", "TSC", "5", "7", "5", "9", "9" }, { "6", "Bert" } });
    ASSERT_NO_FATAL_FAILURE(showTVWindowAndTypeInTheTable());
    grid()->MoveCurrent(1, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
    ASSERT_EQ(caption(form->scoreboard().LabGesamt()), QStringLiteral("21"));
    TCfgDialog *dialog = form->CfgDialog();
    // F2, then the keys typed into the dialog once it shows.
    QWidget *focus = nullptr;
    const auto f2 = [&](QList<Qt::Key> keys) {
        auto *poll = new QTimer(dialog);
        QObject::connect(poll, &QTimer::timeout, poll, [&, poll, keys] {
            if (!dialog->isVisible())
                return;
            poll->deleteLater();
            poll->stop();
            focus = dialog->focusWidget();
            for (Qt::Key key : keys)
                QTest::keyClick(dialog->focusWidget(), key);
            if (dialog->isVisible())
                dialog->reject();
        });
        poll->start(5);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
        EXPECT_EQ(focus, dialog->seSUD);
        QApplication::processEvents();
        EXPECT_TRUE(grid()->hasFocus());
    };
    f2({ Qt::Key_Down, Qt::Key_Down, Qt::Key_Return });
    ASSERT_EQ(form->JudgeCount(), 3);
    f2({ Qt::Key_Up, Qt::Key_Return });
    ASSERT_EQ(form->JudgeCount(), 4);
    // With four judges 5 7 5 9: 5 and 9 struck, 12 counts.
    for (const Scoreboard *board : { &form->scoreboard(), &form->FormTV()->scoreboard() }) {
        EXPECT_EQ(caption(board->LabGesamt()), QStringLiteral("12"));
        EXPECT_EQ(caption(board->Lab(4)), QStringLiteral("9"));
        EXPECT_TRUE(caption(board->Lab(5)).isEmpty());
        EXPECT_FALSE(board->Lab(5)->isVisibleTo(board->Lab(5)->parentWidget()));
        EXPECT_EQ(board->xLab1()->geometry(), board->Lab(1)->geometry());
        EXPECT_EQ(board->xLab2()->geometry(), board->Lab(4)->geometry());
    }
    EXPECT_EQ(grid()->Cells(ResultTable::ColTotal, 1), QStringLiteral("12"));

    // A cleared scoreboard stays cleared.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    f2({ Qt::Key_Up, Qt::Key_Return });
    ASSERT_EQ(form->JudgeCount(), 5);
    EXPECT_TRUE(caption(form->scoreboard().LabNum()).isEmpty());
    EXPECT_FALSE(Scoreboard::shown(form->FormTV()->scoreboard().xLab1()));
}

TEST_F(MainWindowTest, ClosingAsksAndOnlyJaCloses)
{
    YesNoDriver::answerWhenShown(*form->FDlgYesNo(), YesNoDriver::clickNein);
    form->close();
    EXPECT_TRUE(form->isVisible());
    YesNoDriver::answerWhenShown(*form->FDlgYesNo(), YesNoDriver::key(Qt::Key_Escape));
    form->close();
    EXPECT_TRUE(form->isVisible());
    QApplication::processEvents(); // the focus comes back to the window that had it
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    YesNoDriver::answerWhenShown(*form->FDlgYesNo(), YesNoDriver::clickJa);
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->FormTV()->isVisible());
}

TEST_F(MainWindowTest, SettingsAreWrittenAtTheEndAndReadAtTheStart)
{
    form->SetJudgeCount(3);
    stop();
    QSettings stored(settingsPath(), QSettings::IniFormat);
    for (const char *key : { "Left", "Top", "Width", "Height", "KeepAR", "Monitor", "ColSUD" })
        EXPECT_TRUE(stored.contains(QString::fromLatin1(key))) << key;
    EXPECT_EQ(stored.value(QStringLiteral("ColSUD")).toInt(), 3);
    start();
    EXPECT_EQ(form->JudgeCount(), 3);
    EXPECT_EQ(grid()->ColWidths(6), -1);
    EXPECT_FALSE(form->scoreboard().Lab(4)->isVisibleTo(form.get()));
}

TEST_F(MainWindowTest, FirstStartDefaults)
{
    EXPECT_EQ(form->JudgeCount(), 5);
    EXPECT_EQ(form->Monitor(), 0);
    EXPECT_TRUE(form->KeepAR());
    EXPECT_EQ(grid()->ColWidths(7), 30);
    EXPECT_EQ(grid()->ColWidths(8), -1);
}

TEST_F(MainWindowTest, DoubleClickShowsTheRowOnTheScoreboardAndTheTableKeepsItsColours)
{
    load({ { "12", "Anna Berger / Tom Kranz", "TSC Rot-Gold", "9", "8", "8", "7", "8" },
        { "7", "Lena Hofer / Max Brandt", "Blau-Weiss", "9", "9", "8", "9", "9" },
        { "3", "Eva Stein / Jan Roth", "TC Hansa", "8", "8", "7" } });
    TLabel3D *number = form->scoreboard().LabNum();
    const QRect numberArea(number->mapTo(form.get(), QPoint()), number->size());
    const auto yellowInk = [&] {
        const QImage image = form->grab().toImage();
        int count = 0;
        for (int y = numberArea.top(); y <= numberArea.bottom(); ++y) {
            for (int x = numberArea.left(); x <= numberArea.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.red() > 200 && c.green() > 200 && c.blue() < 80;
            }
        }
        return count;
    };
    EXPECT_EQ(yellowInk(), 0);

    // Placed: 7 (27) above 12 (24) above the incomplete 3.
    grid()->MoveCurrent(1, 2);
    form->SortGrid1DblClick();
    QApplication::processEvents();
    EXPECT_GT(yellowInk(), 200);

    const QImage image = form->grab().toImage();
    const auto cellColour = [&](int col, int row) {
        const QPoint corner = grid()->cellRect(col, row).topLeft() + QPoint(3, 3);
        return image.pixelColor(grid()->viewport()->mapTo(form.get(), corner));
    };
    EXPECT_EQ(cellColour(0, 1), QColor(192, 192, 192));
    EXPECT_EQ(cellColour(5, 1), QColor(255, 255, 192));
    EXPECT_EQ(cellColour(10, 3), QColor(224, 255, 224));
    EXPECT_EQ(cellColour(11, 1), QColor(224, 216, 255));
    EXPECT_NE(cellColour(0, 2), QColor(192, 192, 192)); // the current row is drawn selected
}

} // namespace

namespace {

// The help file is looked up in the working folder: each test gets a folder of its own.
class MainWindowHelpTest : public MainWindowTest
{
protected:
    QString previousFolder = QDir::currentPath();
    int boxesBefore = 0; // boxes of earlier tests in this process

    void SetUp() override
    {
        QDir::setCurrent(dir.path());
        start();
        boxesBefore = MessageBox::shownCount();
    }
    void TearDown() override
    {
        stop();
        QDir::setCurrent(previousFolder);
        MessageBox::setAutoAnswer(std::nullopt);
    }

    void placeHelpFile(const QByteArray &bytes = QByteArray())
    {
        QFile::remove(form->HelpFile());
        if (bytes.isEmpty()) {
            ASSERT_TRUE(QFile::copy(QStringLiteral(SCORELANE_TEST_CHM), form->HelpFile()));
            return;
        }
        QFile file(form->HelpFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void press(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QApplication::setActiveWindow(form.get());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }

    bool helpShown() const { return form->HelpViewer() && form->HelpViewer()->isVisible(); }
};

} // namespace

TEST_F(MainWindowHelpTest, WithoutTheHelpFileTheButtonIsOffAndF1DoesNothing)
{
    EXPECT_EQ(form->HelpFile(), ProgramInfo::title() + QStringLiteral(".chm"));
    EXPECT_FALSE(form->bHelp->isEnabled());
    MessageBox::setAutoAnswer(QMessageBox::Ok);
    press(Qt::Key_F1);
    press(Qt::Key_I, Qt::AltModifier);
    EXPECT_EQ(form->HelpViewer(), nullptr);
    EXPECT_EQ(MessageBox::shownCount() - boxesBefore, 0);
}

TEST_F(MainWindowHelpTest, F1AltIAndTheButtonShowTheContentsWhileTheFileIsThere)
{
    placeHelpFile();
    stop();
    start(); // the button follows the file at start-up
    ASSERT_TRUE(form->bHelp->isEnabled());

    press(Qt::Key_F1);
    ASSERT_TRUE(helpShown());
    EXPECT_EQ(form->HelpViewer()->Contents->topLevelItem(0)->text(0), QStringLiteral("Startseite"));
    EXPECT_EQ(form->HelpViewer()->Browser->source().path(), QStringLiteral("/start.htm"));
    form->HelpViewer()->hide();
    press(Qt::Key_I, Qt::AltModifier);
    EXPECT_TRUE(helpShown());
    form->HelpViewer()->hide();
    QTest::mouseClick(form->bHelp, Qt::LeftButton);
    EXPECT_TRUE(helpShown());
    form->HelpViewer()->hide();

    // Gone while the program runs: nothing happens, nothing is said.
    MessageBox::setAutoAnswer(QMessageBox::Ok);
    ASSERT_TRUE(QFile::remove(form->HelpFile()));
    press(Qt::Key_F1);
    EXPECT_FALSE(helpShown());
    EXPECT_EQ(MessageBox::shownCount() - boxesBefore, 0);

    // The help window goes with the program.
    const QPointer<THelpViewer> viewer = form->HelpViewer();
    stop();
    EXPECT_TRUE(viewer.isNull());
}

// The program's keys belong to its two windows: in the help window Ctrl+A and Tab
// leave the audience's scoreboard and the table alone; back in the main window they work.
TEST_F(MainWindowHelpTest, TheHelpWindowLeavesTheProgramsKeysAlone)
{
    placeHelpFile();
    stop();
    start();
    load({ { "5", "Anna", "TSC", "5", "7", "5", "9", "9" }, { "6", "Bert" } });
    grid()->MoveCurrent(1, 1);
    press(Qt::Key_F9);
    ASSERT_EQ(caption(form->scoreboard().LabNum()), QStringLiteral("5"));
    press(Qt::Key_F1);
    ASSERT_TRUE(helpShown());
    const QPoint cell(grid()->Col(), grid()->Row());

    QApplication::setActiveWindow(form->HelpViewer());
    ASSERT_EQ(QApplication::activeWindow(), form->HelpViewer());
    QTest::keyClick(form->HelpViewer()->Browser, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form->HelpViewer()->Browser, Qt::Key_Tab);
    EXPECT_EQ(caption(form->scoreboard().LabNum()), QStringLiteral("5"));
    EXPECT_EQ(QPoint(grid()->Col(), grid()->Row()), cell);

    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(caption(form->scoreboard().LabNum()).isEmpty());
}

TEST_F(MainWindowHelpTest, ADamagedHelpFileGivesAnErrorBoxAndNoWindow)
{
    QFile fixture(QStringLiteral(SCORELANE_TEST_CHM));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    QByteArray bytes = fixture.readAll();
    bytes.truncate(bytes.size() / 2);
    placeHelpFile(bytes);
    MessageBox::setAutoAnswer(QMessageBox::Ok);
    press(Qt::Key_F1);
    EXPECT_FALSE(helpShown());
    EXPECT_EQ(MessageBox::shownCount() - boxesBefore, 1);
    EXPECT_TRUE(
        MessageBox::lastText().startsWith(QStringLiteral("Cannot show the help file ") + form->HelpFile()))
        << MessageBox::lastText().toStdString();
}

// Sizes that fit the test's small screen: the window is made smaller only where it would not.
TEST_F(MainWindowHelpTest, TheHelpWindowKeepsItsSize)
{
    stop();
    {
        QSettings stored(settingsPath(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("HelpWidth"), 600);
        stored.setValue(QStringLiteral("HelpHeight"), 400);
    }
    start();
    placeHelpFile();
    press(Qt::Key_F1);
    ASSERT_TRUE(helpShown());
    EXPECT_EQ(form->HelpViewer()->size(), QSize(600, 400));
    form->HelpViewer()->resize(650, 450);
    stop();
    const QSettings stored(settingsPath(), QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("HelpWidth")).toInt(), 650);
    EXPECT_EQ(stored.value(QStringLiteral("HelpHeight")).toInt(), 450);
    start();
    press(Qt::Key_F1);
    ASSERT_TRUE(helpShown());
    EXPECT_EQ(form->HelpViewer()->size(), QSize(650, 450));
}

TEST_F(MainWindowHelpTest, F3AndTheInfoButtonShowTheInformationWindowUntilEsc)
{
    int shown = 0;
    const auto closeWithEsc = [&] {
        QTimer::singleShot(0, form.get(), [&] {
            shown += form->FormInfo()->isVisible() && form->FormInfo()->isModal();
            QTest::keyClick(form->FormInfo(), Qt::Key_Escape);
        });
    };
    closeWithEsc();
    press(Qt::Key_F3);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(form->FormInfo()->isVisible());
    closeWithEsc();
    QTest::mouseClick(form->bInfo, Qt::LeftButton);
    EXPECT_EQ(shown, 2);
    EXPECT_FALSE(form->FormInfo()->isVisible());
}
