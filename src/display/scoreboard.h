#pragma once

#include "display/scoreboardrules.h"

#include <QList>
#include <QMetaObject>
#include <QStringList>

#include <array>

class QWidget;
class ResultTable;
class TLabel3D;

// The 13 items that show one competitor on one window. The main window's scoreboard
// follows the result table's signals (a couple shown, the scoreboard cleared, the judge
// count changed) and is the source; a second scoreboard (the TV window's) is attached to
// it and gets every change copied, whether its window is visible or not.
//
// Main window:  Scoreboard board(this, ScoreboardWindow::Main);
//               board.placeAtMainWindowPositions();
//               board.connectTable(&table);        // follows the table's signals
// TV window:    Scoreboard tvBoard(tvWindow, ScoreboardWindow::TV);
//               // its layout sets bounds and character heights through item()
//               board.attachMirror(&tvBoard);
//
// The labels are children of the parent widget; a scoreboard must not outlive it.
class Scoreboard
{
public:
    // Creates the items with their looks, cleared: captions empty, strike marks hidden.
    // The strike marks are created last so that they stand over the mark labels.
    Scoreboard(QWidget *parent, ScoreboardWindow window);
    ~Scoreboard();
    Scoreboard(const Scoreboard &) = delete;
    Scoreboard &operator=(const Scoreboard &) = delete;

    TLabel3D *item(ScoreboardItem item) const { return m_items[size_t(item)]; }
    TLabel3D *Lab(int judge) const { return item(markItem(judge)); }
    TLabel3D *LabNum() const { return item(ScoreboardItem::LabNum); }
    TLabel3D *LabName() const { return item(ScoreboardItem::LabName); }
    TLabel3D *LabGesamt() const { return item(ScoreboardItem::LabGesamt); }
    TLabel3D *LabPlatz() const { return item(ScoreboardItem::LabPlatz); }
    TLabel3D *xLab1() const { return item(ScoreboardItem::xLab1); }
    TLabel3D *xLab2() const { return item(ScoreboardItem::xLab2); }

    void placeAtMainWindowPositions();

    // The table whose signals the scoreboard follows; nullptr disconnects.
    void connectTable(ResultTable *table);
    ResultTable *table() const { return m_table; }
    // The second scoreboard that every change is copied to; nullptr detaches.
    void attachMirror(Scoreboard *second);
    Scoreboard *mirror() const { return m_mirror; }

    // The captions of a shown couple (the table's 13 texts of its row: number, name and
    // club, the marks shown, total, place), its strike marks and the total of the marks
    // not struck; here and on the mirror.
    void showCouple(const QStringList &rowTexts);
    // Empties every caption and hides the strike marks, here and then on the mirror.
    void clear();
    // After the labels were laid out anew: each strike mark back over the mark label of the
    // judge it strikes; one that strikes nothing stays hidden where it is.
    void placeStrikeMarks();
    // The judge whose mark xLab1 (lowest) and xLab2 (highest) strike; 0 while none is.
    int struckLowest() const { return m_struck[0]; }
    int struckHighest() const { return m_struck[1]; }
    // Lab3 .. Lab7 for the judge count, here and on the mirror.
    void showMarkLabels(int judgeCount);

    // Visible on its window, whether or not that window itself is shown.
    static bool shown(const TLabel3D *label);

private:
    void clearItems();
    void showStrikeMarks(int judges);
    void strike(int lowest, int highest);

    std::array<TLabel3D *, kScoreboardItemCount> m_items {};
    ResultTable *m_table = nullptr;
    QList<QMetaObject::Connection> m_connections;
    Scoreboard *m_mirror = nullptr;
    Scoreboard *m_source = nullptr;
    std::array<int, 2> m_struck {};
};
