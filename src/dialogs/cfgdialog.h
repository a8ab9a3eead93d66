#pragma once

#include <QDialog>

#include <optional>

class MonitorList;
class QComboBox;
class QLabel;
class QPushButton;
class SpinEdit;

// The settings dialog: the TV window's monitor and the number of judges. It only edits;
// the main window's bCFGClick applies the values:
//
//     if (const auto choice = CfgDialog->edit(JudgeCount, Monitor)) {
//         QCoreApplication::processEvents();
//         Monitor = choice->monitor;
//         SetJudgeCount(choice->judgeCount);
//         // place the TV window on monitor Monitor, shown or not
//     }
class TCfgDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kResultOK = 1;
    static constexpr int kResultCancel = 2;
    static constexpr int kMinJudges = 3;
    static constexpr int kMaxJudges = 7;

    struct Choice
    {
        int monitor = 0;
        int judgeCount = 5;
    };

    // The list is read on every show and must outlive the dialog.
    explicit TCfgDialog(const MonitorList &monitors, QWidget *parent = nullptr);

    // Fills the dialog, shows it modally and gives the values when it was closed with OK.
    std::optional<Choice> edit(int judgeCount, int monitor);

    // Filling before the dialog is shown: a judge count outside 3..7 shows as the nearest
    // bound; the monitor is preselected when the list is built on showing.
    void setJudgeCount(int judgeCount);
    void setMonitor(int monitor);

    // Reading back after OK: the list's selected index, and the judge count within 3..7.
    int monitor() const;
    int judgeCount() const;

    // Esc, Cancel and the close box all end with kResultCancel.
    void reject() override;

    QLabel *LabMonitor;
    QComboBox *cbMonitor;
    QLabel *Label1;
    SpinEdit *seSUD;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();

    const MonitorList &m_monitors;
    int m_monitor = 0;
};
