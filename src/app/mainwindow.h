#pragma once

#include "app/commandbutton.h"
#include "display/scoreboard.h"
#include "scoring/resulttable.h"
#include "scoring/storedsettings.h"
#include "video/videopreview.h"

#include <QAction>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class MonitorList;
class QActionGroup;
class QLabel;
class QMenu;
class QTabWidget;
class QToolButton;
class SessionRecovery;
class TCfgDialog;
class FileCommands;
class LiveResults;
class PictureBox;
class TFDlgYesNo;
class TFormInfo;
class TFormTV;
class THelpViewer;
class TSortGrid;

// The operator's window: the result table inside its scoreboard, the tool bar, the
// status bar and the commands behind the shortcuts.
class TForm1 : public QWidget
{
    Q_OBJECT
public:
    struct Environment
    {
        QString settingsPath; // empty: the operator's own settings file
        const MonitorList *monitors = nullptr; // nullptr: the system's monitors
        QString recoveryFolder = QString(); // empty: the operator's own
        // Capture devices and renderers; the system's when not given.
        std::function<std::unique_ptr<VideoDeviceProvider>()> videoDevices {};
        VideoRenderers videoRenderers {};
    };

    TForm1();
    explicit TForm1(Environment environment);
    ~TForm1() override;

    // The window's items, each under its fixed name. A button with a command shows that
    // command's action.
    PictureBox *Image1 = nullptr;
    QWidget *Panel1 = nullptr;
    QWidget *Panel2 = nullptr;
    CommandButton *bHelp = nullptr;
    CommandButton *bCFG = nullptr;
    CommandButton *bInfo = nullptr;
    CommandButton *sbLoad = nullptr;
    CommandButton *sbSave = nullptr;
    CommandButton *sbTV = nullptr;
    CommandButton *bVideo = nullptr;
    CommandButton *sbCLS = nullptr;
    CommandButton *sbPrint = nullptr;
    CommandButton *bLive = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr;
    TSortGrid *SortGrid1 = nullptr;
    QWidget *StatusBar1 = nullptr;
    std::array<QLabel *, 5> StatusPanels {};
    QLabel *LivePanel = nullptr; // right of the five: the live results' state and viewers

    // The hidden menu's entries, carrying the shortcuts: the only place each command runs.
    QAction *next1 = nullptr;
    QAction *Calc1 = nullptr;
    QAction *Cls1 = nullptr;
    QAction *Platzeverteilen1 = nullptr;
    QAction *Visible1 = nullptr;
    QAction *mHilfe = nullptr; // F1 and Alt+I
    QAction *mCFG = nullptr;
    QAction *mInfo = nullptr;
    QAction *Modus1 = nullptr;
    QAction *Load1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *NextCouple1 = nullptr; // Ctrl+N: the next couple of the start list without marks
    QAction *mLive = nullptr; // Ctrl+L: "Live-Ergebnisse"
    std::array<QAction *, 6> LogoActions {}; // N01 .. N51: Alt+0 .. Alt+5
    // Ctrl+V: the live picture on or off; the video popup shows it as "Enable".
    QAction *Videomain = nullptr;

    // The video popup of bVideo: "Devices..." (one radio entry per device), "Enable" once a
    // device has been started, "Aspect ratio".
    QMenu *PopupMenuTablo = nullptr;
    QMenu *Devices = nullptr;
    QAction *Aspectratio1 = nullptr;

    ResultTable &table() { return *m_table; }
    Scoreboard &scoreboard() { return *m_scoreboard; }
    int JudgeCount() const { return m_table->judgeCount(); }
    void SetJudgeCount(int count) { m_table->SetJudgeCount(count); }
    int Monitor() const { return m_settings.Monitor; }
    bool KeepAR() const { return m_settings.KeepAR; }
    QString HelpFile() const { return m_helpFile; }
    // The other windows are made after the first paint, so that start-up does not wait for
    // them, or at their first use before that.
    TFDlgYesNo *FDlgYesNo();
    TCfgDialog *CfgDialog();
    TFormInfo *FormInfo();
    TFormTV *FormTV();
    THelpViewer *HelpViewer() const { return m_helpViewer; } // nullptr until help was shown
    FileCommands &fileCommands() { return *m_fileCommands; }
    SessionRecovery &recovery() { return *m_recovery; }
    LiveResults &liveResults() { return *m_live; }
    const MonitorList &monitors() const { return *m_monitors; }

    // The result table's double click: shows the current row.
    void SortGrid1DblClick();

    // Commands.
    void UpdateSaveButtons();
    void next1Click();
    void Calc1Click();
    void sbCLSClick();
    void sbPrintClick();
    void Visible1Click();
    void bHelpClick();
    void bCFGClick();
    void bInfoClick();
    void sbTVClick();
    void sbLoadClick();
    void sbSaveClick();
    void LogoClick(int n);
    void bVideoClick();
    void mVideoOnClick();
    void Aspectratio1Click();
    void NextCouple1Click();
    void bLiveClick();

    // At start, once the window is shown: offers the table of a session that did not end normally.
    void offerRecovery();

    // Adds the shortcut actions to another window of the program, so that they work
    // while that window has the focus.
    void shareShortcuts(QWidget *window);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildForm();
    void buildToolBar();
    void buildStatusBar();
    void buildShortcuts();
    void buildVideoMenu();
    void showCommandsOnButtons();
    void connectGrid();
    void connectTable();
    void windowBlocked(QWidget *window);
    void windowUnblocked();
    void FormCreate();
    void createTVWindow();
    void createOtherWindows();
    void FormResize();
    void FormDestroy();
    QAction *addShortcut(const QString &objectName, const QString &caption, const QKeySequence &key,
        std::function<void()> command);
    void tvWindowHidden();
    void connectLiveResults();

    std::unique_ptr<MonitorList> m_ownMonitors;
    const MonitorList *m_monitors = nullptr;
    QString m_settingsPath;
    QString m_helpFile;
    StoredSettings m_settings;
    std::unique_ptr<ResultTable> m_table;
    std::unique_ptr<Scoreboard> m_scoreboard;
    std::unique_ptr<FileCommands> m_fileCommands;
    std::unique_ptr<TFormTV> m_formTV;
    std::unique_ptr<SessionRecovery> m_recovery;
    std::unique_ptr<LiveResults> m_live; // reads the table: goes before it
    TFDlgYesNo *m_dlgYesNo = nullptr;
    TCfgDialog *m_cfgDialog = nullptr;
    TFormInfo *m_formInfo = nullptr;
    THelpViewer *m_helpViewer = nullptr;
    QList<QAction *> m_shortcuts;
    QAction *m_videoAction = nullptr; // bVideo's; its command comes with the video
    QActionGroup *m_tvVideoGroup = nullptr;
    std::function<std::unique_ptr<VideoDeviceProvider>()> m_videoDevices;
    VideoRenderers m_videoRenderers;
    bool m_firstPaintDone = false;
    bool m_settingsWritten = false;
    QPointer<QWidget> m_focusBeforeDialog; // in this window or the TV window
    bool m_focusReturnQueued = false;
};
