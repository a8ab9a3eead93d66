#include "app/mainwindow.h"

#include "app/closequery.h"
#include "app/recovery.h"
#include "app/toolbarglyphs.h"
#include "dialogs/cfgdialog.h"
#include "dialogs/dlgyesno.h"
#include "dialogs/finfo.h"
#include "dialogs/helpviewer.h"
#include "display/picturebox.h"
#include "display/tvwindow.h"
#include "exchange/filecommands.h"
#include "grid/sortgrid.h"
#include "live/liveresults.h"
#include "platform/chmfile.h"
#include "platform/guarded.h"
#include "platform/monitors.h"
#include "platform/programinfo.h"
#include "platform/sidethread.h"
#include "scoring/resulttableformat.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <utility>

namespace {

constexpr int kClientWidth = 900;
constexpr int kClientHeight = 525;
constexpr int kStatusBarHeight = 19;
constexpr int kScrollArrowWidth = 17;
constexpr int kPanelWidths[5] = { 60, 240, 130, 290, 90 };

// The background's box: the window above the status bar.
QSize pictureArea()
{
    return { kClientWidth, kClientHeight - kStatusBarHeight };
}

const QColor kStatusBarColor(38, 44, 54);

// The audience's window is up over the operator's one: one monitor, or both on the same.
bool coversWindow(const TFormTV *tv, const QWidget &window)
{
    return tv && tv->isVisible() && tv->geometry().intersects(window.frameGeometry());
}

} // namespace

TForm1::TForm1()
    : TForm1(Environment {})
{ }

TForm1::TForm1(Environment environment)
    : QWidget(nullptr)
    , m_settingsPath(environment.settingsPath)
    , m_videoDevices(std::move(environment.videoDevices))
    , m_videoRenderers(environment.videoRenderers)
{
    if (environment.monitors) {
        m_monitors = environment.monitors;
    } else {
        m_ownMonitors = std::make_unique<ScreenMonitorList>();
        m_monitors = m_ownMonitors.get();
    }
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Scorelane 1.6"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);

    // The background decodes on a thread of its own while the window is built, and is scaled
    // there to the size it is shown at, so that the picture box takes it as it is; the
    // recovery folder's lock is taken on another thread. Both are in hand before the window
    // shows.
    SideTask<QImage> background(
        [folders = ProgramInfo::dataFolders(), largest = Pictures::largestMonitorSize(*m_monitors),
            area = pictureArea()] {
            return Pictures::fitted(
                PictureFit::KeepAspectTopLeft, Pictures::loadBackground(folders, largest, area), area);
        });
    SideTask<RecoveryWriter::Lock> recoveryLock(
        [folder = environment.recoveryFolder.isEmpty()
                ? RecoveryWriter::defaultFolder()
                : environment.recoveryFolder] { return RecoveryWriter::takeLock(folder); });
    buildForm();
    FormCreate();
    Image1->setPicture(background.get());

    m_recovery = std::make_unique<SessionRecovery>(*this, recoveryLock.get());

    m_live = std::make_unique<LiveResults>(*SortGrid1, LivePanel, this);
    connectLiveResults();
    m_live->restore({ m_settings.LiveOn, m_settings.LivePort, m_settings.LiveNetwork == 1 });

    // Nothing typed yet: the empty table needs no saving.
    SortGrid1->SetModified(false);

    // The program ends only through the closing question, never because the last
    // shown window went away.
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void TForm1::createOtherWindows()
{
    FormTV();
    FDlgYesNo();
    FormInfo();
    CfgDialog();
}

TFDlgYesNo *TForm1::FDlgYesNo()
{
    if (!m_dlgYesNo)
        m_dlgYesNo = new TFDlgYesNo(this);
    return m_dlgYesNo;
}

TCfgDialog *TForm1::CfgDialog()
{
    if (!m_cfgDialog)
        m_cfgDialog = new TCfgDialog(*m_monitors, this);
    return m_cfgDialog;
}

TFormInfo *TForm1::FormInfo()
{
    if (!m_formInfo) {
        m_formInfo = new TFormInfo(this);
        m_formInfo->openManual = [this] { runGuarded([this] { bHelpClick(); }, this); };
    }
    return m_formInfo;
}

TFormTV *TForm1::FormTV()
{
    if (!m_formTV)
        createTVWindow();
    return m_formTV.get();
}

void TForm1::createTVWindow()
{
    TFormTV::Setup setup;
    setup.monitors = m_monitors;
    setup.monitor = [this] { return m_settings.Monitor; };
    setup.background = [this](QSize area) {
        return Pictures::loadBackground(
            ProgramInfo::dataFolders(), Pictures::largestMonitorSize(*m_monitors), area);
    };
    setup.setJudgeCount = [this](Scoreboard &tvBoard) {
        m_scoreboard->attachMirror(&tvBoard);
        m_table->SetJudgeCount(m_table->judgeCount());
    };
    setup.showCurrentRow = [this] { runGuarded([this] { SortGrid1DblClick(); }, this); };
    setup.video.bVideo = m_videoAction;
    setup.video.Videomain = Videomain;
    setup.video.PopupMenuTablo = PopupMenuTablo;
    setup.video.Devices = Devices;
    setup.video.keepAR = [this] { return m_settings.KeepAR; };
    setup.video.guarded = [this](const std::function<void()> &command) { runGuarded(command, this); };
    setup.video.devices = m_videoDevices;
    setup.video.renderers = m_videoRenderers;
    // No parent: hiding the main window must leave the audience's window alone.
    m_formTV = std::make_unique<TFormTV>(std::move(setup));
    m_formTV->installEventFilter(this);
    shareShortcuts(m_formTV.get());
}

TForm1::~TForm1()
{
    m_recovery.reset();
    FormDestroy();
    m_live.reset();
    if (m_formTV)
        m_formTV->removeEventFilter(this);
    // The TV scoreboard is this scoreboard's mirror: the source goes first.
    m_scoreboard.reset();
    m_formTV.reset();
}

void TForm1::buildForm()
{
    Image1 = new PictureBox(PictureFit::KeepAspectTopLeft, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(QRect(QPoint(0, 0), pictureArea()));

    m_scoreboard = std::make_unique<Scoreboard>(this, ScoreboardWindow::Main);
    m_scoreboard->placeAtMainWindowPositions();

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(150, 84, 600, 338);
    auto *panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);

    Panel2 = new QWidget(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(40);
    Panel2->setAutoFillBackground(true);
    QPalette toolBarPalette = Panel2->palette();
    toolBarPalette.setColor(QPalette::Window, toolbarColor());
    Panel2->setPalette(toolBarPalette);
    panelLayout->addWidget(Panel2);
    buildToolBar();

    PageControl1 = new QTabWidget(Panel1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setTabPosition(QTabWidget::South);
    PageControl1->setFocusPolicy(Qt::NoFocus);
    PageControl1->setDocumentMode(true);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto *sheetLayout = new QVBoxLayout(TabSheet1);
    sheetLayout->setContentsMargins(5, 2, 5, 2);
    PageControl1->addTab(TabSheet1, QString()); // named after the first file opened
    panelLayout->addWidget(PageControl1);

    SortGrid1 = new TSortGrid(TabSheet1);
    SortGrid1->setObjectName(QStringLiteral("SortGrid1"));
    sheetLayout->addWidget(SortGrid1);
    // The grid gets its size from the layouts after the window's own resize; the
    // column layout follows each of its resizes, after the grid's own stretch.
    SortGrid1->OnResize = [this](TSortGrid *) { FormResize(); };
    m_table = std::make_unique<ResultTable>(*SortGrid1);
    m_table->setUpGrid();
    SortGrid1->setRowCount(2);
    for (int c = 0; c < ResultTable::kColumnCount; ++c)
        SortGrid1->setColWidths(c, c == ResultTable::ColRawTotal ? 332 : ResultTable::kColWidth);
    SortGrid1->setOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goDrawFocusSelected
        | goColSizing | goRowSelect);
    SortGrid1->setScrollBars(ssVertical);
    SortGrid1->setFont(TSortGrid::gridFont(QStringLiteral("Courier"), 11));
    SortGrid1->setAlignmentHorz(taCenter);
    SortGrid1->setAlignmentVert(taMiddle);
    m_scoreboard->connectTable(m_table.get());
    connectGrid();

    buildStatusBar();
    connectTable();
    buildShortcuts();
    buildVideoMenu();
    showCommandsOnButtons();
}

void TForm1::buildToolBar()
{
    auto *layout = new QHBoxLayout(Panel2);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    auto setUp = [layout](QToolButton *button, const char *name) {
        button->setObjectName(QString::fromLatin1(name));
        button->setIconSize(QSize(kToolbarGlyphSize, kToolbarGlyphSize));
        button->setFixedSize(36, 36);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
        return button;
    };
    // Glyph and hint come with the command's action.
    auto makeCommandButton = [this, setUp](const char *name) {
        auto *button = new CommandButton(Panel2);
        setUp(button, name);
        return button;
    };
    bHelp = makeCommandButton("bHelp");
    bCFG = makeCommandButton("bCFG");
    bInfo = makeCommandButton("bInfo");
    layout->addStretch(1);
    sbLoad = makeCommandButton("sbLoad");
    sbSave = makeCommandButton("sbSave");
    sbTV = makeCommandButton("sbTV");
    bVideo = makeCommandButton("bVideo");
    sbCLS = makeCommandButton("sbCLS");
    bLive = makeCommandButton("bLive");
    sbPrint = makeCommandButton("sbPrint");
    sbPrint->hide();
}

void TForm1::showCommandsOnButtons()
{
    const auto show = [](CommandButton *button, QAction *action, ToolbarGlyph glyph, const QString &hint) {
        action->setIcon(toolbarIcon(glyph));
        if (!hint.isEmpty())
            action->setToolTip(hint);
        button->setCommand(action);
    };
    show(bHelp, mHilfe, ToolbarGlyph::bHelp, QStringLiteral("[F1] Hilfe"));
    show(bCFG, mCFG, ToolbarGlyph::bCFG, QStringLiteral("[F2] Einstellungen"));
    show(bInfo, mInfo, ToolbarGlyph::bInfo, QStringLiteral("[F3] Information"));
    show(sbLoad, Load1, ToolbarGlyph::sbLoad, QString()); // its hint is set at start-up
    show(sbSave, Save1, ToolbarGlyph::sbSave, QStringLiteral("[Ctrl+S] Speichern unter..."));
    show(sbTV, Modus1, ToolbarGlyph::sbTV, QStringLiteral("[Ctrl+T] TV-Modus EIN/AUS"));
    show(bVideo, m_videoAction, ToolbarGlyph::bVideo, QStringLiteral("Video (Strg+V)"));
    show(sbCLS, Cls1, ToolbarGlyph::sbCLS, QString()); // its hint is set at start-up
    show(sbPrint, Platzeverteilen1, ToolbarGlyph::sbPrint, QStringLiteral("[Ctrl+P] Drucken"));
    show(bLive, mLive, ToolbarGlyph::bLive, QStringLiteral("[Ctrl+L] Live-Ergebnisse"));
    // Until a file is loaded; the shortcuts work all the same.
    sbSave->setButtonEnabled(false);
    sbPrint->setButtonEnabled(false);
}

void TForm1::buildStatusBar()
{
    StatusBar1 = new QWidget(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);
    StatusBar1->setAutoFillBackground(true);
    QPalette palette = StatusBar1->palette();
    palette.setColor(QPalette::Window, kStatusBarColor);
    palette.setColor(QPalette::WindowText, Qt::white);
    StatusBar1->setPalette(palette);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    const Qt::Alignment alignments[5] = { Qt::AlignCenter, Qt::AlignCenter, Qt::AlignCenter,
        Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignRight | Qt::AlignVCenter };
    const QString texts[5] = { QString(), QStringLiteral("Ziffern und Enter: Wertung eintragen"),
        QStringLiteral("Tab: nächste Spalte"), QStringLiteral(" Esc: Eingabe beenden   F9: Anzeige erneuern"),
        QString() };
    int left = 0;
    for (int i = 0; i < 5; ++i) {
        auto *panel = new QLabel(texts[i], StatusBar1);
        panel->setGeometry(left, 0, kPanelWidths[i], kStatusBarHeight);
        panel->setAlignment(alignments[i]);
        panel->setFont(font);
        panel->setFrameShape(QFrame::NoFrame);
        left += kPanelWidths[i] + 2;
        StatusPanels[size_t(i)] = panel;
    }
    LivePanel = new QLabel(StatusBar1);
    LivePanel->setObjectName(QStringLiteral("LivePanel"));
    LivePanel->setGeometry(left, 0, kClientWidth - left, kStatusBarHeight);
    LivePanel->setAlignment(Qt::AlignCenter);
    LivePanel->setFont(font);
}

QAction *TForm1::addShortcut(
    const QString &objectName, const QString &caption, const QKeySequence &key, std::function<void()> command)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(objectName);
    action->setShortcut(key);
    // The main window's and the TV window's: not in the help window or a dialog.
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, command] { runGuarded(command, this); });
    addAction(action);
    m_shortcuts.append(action);
    return action;
}

void TForm1::buildShortcuts()
{
    // F1 and Alt+I are one command; two actions with it would make neither key ambiguous
    // but would run it from two places.
    mHilfe = addShortcut(QStringLiteral("mHilfe"), QStringLiteral("Hilfe"), QKeySequence(Qt::Key_F1),
        [this] { bHelpClick(); });
    mHilfe->setShortcuts({ QKeySequence(Qt::Key_F1), QKeySequence(Qt::ALT | Qt::Key_I) });
    mInfo = addShortcut(
        QStringLiteral("mInfo"), QStringLiteral("Info"), QKeySequence(Qt::Key_F3), [this] { bInfoClick(); });
    mCFG = addShortcut(QStringLiteral("mCFG"), QStringLiteral("Einstellungen"), QKeySequence(Qt::Key_F2),
        [this] { bCFGClick(); });
    next1 = addShortcut(QStringLiteral("next1"), QStringLiteral("..next"), QKeySequence(Qt::Key_Tab),
        [this] { next1Click(); });
    Platzeverteilen1 = addShortcut(QStringLiteral("Platzeverteilen1"), QStringLiteral("Print"),
        QKeySequence(Qt::CTRL | Qt::Key_P), [this] { sbPrintClick(); });
    Cls1 = addShortcut(QStringLiteral("Cls1"), QStringLiteral("Cls"), QKeySequence(Qt::CTRL | Qt::Key_A),
        [this] { sbCLSClick(); });
    Calc1 = addShortcut(
        QStringLiteral("Calc1"), QStringLiteral("Calc"), QKeySequence(Qt::Key_F9), [this] { Calc1Click(); });
    Visible1 = addShortcut(QStringLiteral("Visible1"), QStringLiteral("Visible"), QKeySequence(Qt::Key_F5),
        [this] { Visible1Click(); });
    Load1 = addShortcut(QStringLiteral("Load1"), QStringLiteral("Load"), QKeySequence(Qt::CTRL | Qt::Key_O),
        [this] { sbLoadClick(); });
    Save1 = addShortcut(QStringLiteral("Save1"), QStringLiteral("Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
        [this] { sbSaveClick(); });
    Modus1 = addShortcut(QStringLiteral("Modus1"), QStringLiteral("TV Modus"),
        QKeySequence(Qt::CTRL | Qt::Key_T), [this] { sbTVClick(); });
    NextCouple1 = addShortcut(QStringLiteral("NextCouple1"), QStringLiteral("Nächstes Paar"),
        QKeySequence(Qt::CTRL | Qt::Key_N), [this] { NextCouple1Click(); });
    mLive = addShortcut(QStringLiteral("mLive"), QStringLiteral("Live-Ergebnisse"),
        QKeySequence(Qt::CTRL | Qt::Key_L), [this] { bLiveClick(); });
    for (int n = 0; n < int(LogoActions.size()); ++n) {
        LogoActions[size_t(n)] = addShortcut(QStringLiteral("N%11").arg(n), QString::number(n),
            QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + n)), [this, n] { LogoClick(n); });
    }

    // Checkable, so that a device that fails to start can keep the check mark it had.
    Videomain = addShortcut(QStringLiteral("Videomain"), QStringLiteral("Enable"),
        QKeySequence(Qt::CTRL | Qt::Key_V), [this] { mVideoOnClick(); });
    Videomain->setCheckable(true);
    Videomain->setEnabled(false); // until a capture device is found

    m_videoAction = new QAction(QStringLiteral("Video"), this);
    m_videoAction->setObjectName(QStringLiteral("bVideoAction"));
    m_videoAction->setEnabled(false);
    connect(
        m_videoAction, &QAction::triggered, this, [this] { runGuarded([this] { bVideoClick(); }, this); });
    // The TV and video buttons: at most one of the two is down, and both may be up.
    Modus1->setCheckable(true);
    m_videoAction->setCheckable(true);
    m_tvVideoGroup = new QActionGroup(this);
    m_tvVideoGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    m_tvVideoGroup->addAction(Modus1);
    m_tvVideoGroup->addAction(m_videoAction);
}

void TForm1::buildVideoMenu()
{
    PopupMenuTablo = new QMenu(this);
    PopupMenuTablo->setObjectName(QStringLiteral("PopupMenuTablo"));
    Devices = PopupMenuTablo->addMenu(QStringLiteral("Devices..."));
    Devices->setObjectName(QStringLiteral("Devices"));
    Aspectratio1 = PopupMenuTablo->addAction(QStringLiteral("Aspect ratio"));
    Aspectratio1->setObjectName(QStringLiteral("Aspectratio1"));
    Aspectratio1->setCheckable(true);
    connect(Aspectratio1, &QAction::triggered, this,
        [this] { runGuarded([this] { Aspectratio1Click(); }, this); });
}

void TForm1::offerRecovery()
{
    runGuarded([this] { m_recovery->offerRestore(); }, this);
}

void TForm1::shareShortcuts(QWidget *window)
{
    window->addActions(m_shortcuts);
}

void TForm1::connectGrid()
{
    // The grid's events go to the table's rules.
    SortGrid1->OnKeyPress
        = [this](TSortGrid *, QChar &key) { runGuarded([&] { m_table->keyPress(key); }, this); };
    SortGrid1->OnKeyDown = [this](TSortGrid *, int &key, Qt::KeyboardModifiers shift) {
        runGuarded([&] { m_table->keyDown(key, shift); }, this);
    };
    SortGrid1->OnDblClick = [this](TSortGrid *) { runGuarded([this] { SortGrid1DblClick(); }, this); };
    SortGrid1->OnGetCellFormat = resultTableCellFormat;
}

void TForm1::connectTable()
{
    connect(m_table.get(), &ResultTable::judgeCountChanged, this, [this] { FormResize(); });
    connect(m_table.get(), &ResultTable::positionTextChanged, StatusPanels[0], &QLabel::setText);
    connect(m_table.get(), &ResultTable::tableReplaced, this, [this] { UpdateSaveButtons(); });
    // A change of a scored couple's mark is asked in the program's own box, "Nein" first.
    m_table->setAskYesNo([this](const QString &question) {
        FDlgYesNo()->SetQuestion(question, TFDlgYesNo::FocusOnNo);
        return m_dlgYesNo->exec() == TFDlgYesNo::kYes;
    });
}

void TForm1::FormCreate()
{
    const QString title = ProgramInfo::title();
    // The working folder first, as ever; then the per-user and the installed data folder.
    m_helpFile = ProgramInfo::findDataFile(
        title + QStringLiteral(".chm"), ProgramInfo::dataFolders(QDir::currentPath()));
    if (m_settingsPath.isEmpty())
        m_settingsPath = SettingsStore::defaultPath(title);
    // Only the button: F1 and Alt+I reach the command either way.
    bHelp->setButtonEnabled(!m_helpFile.isEmpty());
    if (m_helpFile.isEmpty())
        m_helpFile = title + QStringLiteral(".chm");

    m_fileCommands = std::make_unique<FileCommands>(
        *SortGrid1, *m_table, ProgramInfo::firstOpenFolder(ProgramInfo::folder()), this);
    m_fileCommands->UpdateSaveButtons = [this] { UpdateSaveButtons(); };
    m_fileCommands->setTabCaption = [this](const QString &caption) {
        PageControl1->setTabText(PageControl1->indexOf(TabSheet1), caption);
    };
    // Without a printer the print command offers a PDF file, named after the table's tab.
    auto pdfDialog = std::make_shared<FileDialog>(FileDialog::Kind::Save);
    pdfDialog->Filter = QStringLiteral("PDF (*.pdf)|*.pdf");
    pdfDialog->DefaultExt = QStringLiteral("pdf");
    pdfDialog->InitialDir = ProgramInfo::firstOpenFolder(ProgramInfo::folder());
    SortGrid1->askPdfFileName = [this, pdfDialog] {
        pdfDialog->FileName = PageControl1->tabText(PageControl1->indexOf(TabSheet1));
        return pdfDialog->Execute(this, QString());
    };

    m_table->writeHeader();
    sbCLSClick();
    Cls1->setToolTip(QStringLiteral("[Ctrl+A] Ergebnisse löschen"));
    Load1->setToolTip(QStringLiteral("[Ctrl+O] Starterliste oder gespeichertes Protokoll öffnen"));

    m_settings = SettingsStore(m_settingsPath).read(*m_monitors);
    move(mainWindowPosition(QPoint(m_settings.Left, m_settings.Top), frameGeometry().size(), *m_monitors));
    m_table->SetJudgeCount(m_settings.ColSUD);
    Aspectratio1->setChecked(m_settings.KeepAR);
}

void TForm1::FormDestroy()
{
    if (m_settingsWritten)
        return;
    m_settingsWritten = true;
    StoredSettings settings = m_settings;
    const QRect frame = frameGeometry();
    settings.Left = frame.left();
    settings.Top = frame.top();
    settings.Width = frame.width();
    settings.Height = frame.height();
    settings.ColSUD = m_table->judgeCount();
    if (m_live) {
        const LiveResults::Choice live = m_live->choice();
        settings.LiveOn = live.on;
        settings.LivePort = live.port;
        settings.LiveNetwork = live.network ? 1 : 0;
    }
    if (m_helpViewer) {
        settings.HelpWidth = m_helpViewer->width();
        settings.HelpHeight = m_helpViewer->height();
    }
    SettingsStore(m_settingsPath).write(settings);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    bool close = false;
    const bool unsaved = m_table->hasUnsavedChanges();
    runGuarded([&] { close = confirmClose(*FDlgYesNo(), unsaved); }, this);
    if (!close) {
        event->ignore();
        return;
    }
    // Marks not saved stay in the recovery file, which the next start offers.
    if (unsaved)
        m_recovery->keep();
    else
        m_recovery->remove();
    // The program ends with its main window, also while the audience's window is up.
    if (m_formTV)
        m_formTV->hide();
    event->accept();
    QCoreApplication::quit();
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_formTV.get() && event->type() == QEvent::Hide && !m_formTV->isVisible())
        tvWindowHidden();
    // Also when it comes back by itself with its monitor.
    if (watched == m_formTV.get() && event->type() == QEvent::Show)
        Modus1->setChecked(true);
    if (watched == m_formTV.get() && event->type() == QEvent::WindowBlocked)
        windowBlocked(m_formTV.get());
    if (watched == m_formTV.get() && event->type() == QEvent::WindowUnblocked)
        windowUnblocked();
    return QWidget::eventFilter(watched, event);
}

bool TForm1::event(QEvent *event)
{
    // The other windows and the camera probe come once the window stands on the screen, so
    // that start-up waits for neither.
    if (event->type() == QEvent::Paint && !m_firstPaintDone) {
        m_firstPaintDone = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                createOtherWindows();
                runGuarded([this] { m_formTV->probeVideoDevices(); }, this);
            },
            Qt::QueuedConnection);
    }
    if (event->type() == QEvent::WindowBlocked)
        windowBlocked(this);
    else if (event->type() == QEvent::WindowUnblocked)
        windowUnblocked();
    return QWidget::event(event);
}

void TForm1::windowBlocked(QWidget *window)
{
    // Each window of the program hears of a dialog before it shows: the one with the focus
    // gets it back afterwards, also where no window manager would give it.
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus->window() == window)
        m_focusBeforeDialog = focus;
}

void TForm1::windowUnblocked()
{
    if (m_focusReturnQueued)
        return;
    m_focusReturnQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_focusReturnQueued = false;
            QWidget *focus = m_focusBeforeDialog;
            if (!focus || QApplication::activeModalWidget() || !focus->window()->isVisible())
                return;
            m_focusBeforeDialog = nullptr;
            focus->window()->activateWindow();
            focus->setFocus(Qt::OtherFocusReason);
        },
        Qt::QueuedConnection);
}

void TForm1::tvWindowHidden()
{
    // However the audience's window went (Ctrl+T, the window manager), the operator
    // must keep a window that takes keys.
    Modus1->setChecked(false);
    if (!isVisible()) {
        show();
        raise();
        activateWindow();
    }
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize()
{
    m_table->LayoutTableColumns(SortGrid1->width(), kScrollArrowWidth);
    StatusPanels[4]->setText(QStringLiteral("%1x%2      ").arg(Image1->width()).arg(Image1->height()));
}

void TForm1::SortGrid1DblClick()
{
    m_table->showCurrentRow();
}

void TForm1::UpdateSaveButtons()
{
    const bool canSave = m_table->canSave();
    sbSave->setButtonEnabled(canSave);
    sbPrint->setButtonEnabled(canSave);
}

void TForm1::next1Click()
{
    m_table->nextColumn();
}

void TForm1::NextCouple1Click()
{
    m_table->nextCoupleWithoutMarks();
}

void TForm1::Calc1Click()
{
    SortGrid1DblClick();
}

void TForm1::sbCLSClick()
{
    m_table->clearScoreboard();
}

void TForm1::sbPrintClick()
{
    // Every competitor; the header row heads each page, the competition (the tab) the sheet.
    TPrintOptions &options = SortGrid1->PrintOptions();
    options.JobTitle = options.PageTitle = PageControl1->tabText(PageControl1->indexOf(TabSheet1));
    options.FromRow = 1;
    options.ToRow = SortGrid1->RowCount() - 1;
    SortGrid1->Print();
}

void TForm1::Visible1Click()
{
    // With the audience's window over this one (one monitor), F5 brings this window in front
    // for typing marks; in front, F5 puts it away again.
    if (!isVisible() || (coversWindow(m_formTV.get(), *this) && !isActiveWindow())) {
        show();
        raise();
        activateWindow();
        return;
    }
    // Hidden without the TV window up, no window would be left to take F5 again.
    if (!m_formTV || !m_formTV->isVisible())
        return;
    hide();
    m_formTV->raise();
    m_formTV->activateWindow();
}

void TForm1::bHelpClick()
{
    // The file found at start-up, still there? Without it nothing happens.
    if (!QFileInfo::exists(m_helpFile))
        return;
    QString error;
    std::unique_ptr<ChmFile> file = ChmFile::open(m_helpFile, &error);
    if (!file)
        throw CommandError(QStringLiteral("Cannot show the help file %1: %2").arg(m_helpFile, error));
    if (!m_helpViewer) {
        m_helpViewer = new THelpViewer(this);
        m_helpViewer->resize(m_settings.HelpWidth, m_settings.HelpHeight);
    }
    if (!m_helpViewer->isVisible())
        m_helpViewer->placeOn(*this);
    m_helpViewer->showContents(std::move(file));
    m_helpViewer->show();
    m_helpViewer->raise();
    m_helpViewer->activateWindow();
}

void TForm1::bInfoClick()
{
    FormInfo()->exec();
}

void TForm1::bCFGClick()
{
    const auto choice = CfgDialog()->edit(m_table->judgeCount(), m_settings.Monitor);
    if (!choice)
        return;
    // Let the dialog go and the window repaint first, without running typed-ahead keys here.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_settings.Monitor = choice->monitor;
    m_table->SetJudgeCount(choice->judgeCount);
    m_recovery->changed();
    if (m_formTV)
        m_formTV->PlaceTVWindow();
}

void TForm1::sbLoadClick()
{
    m_fileCommands->sbLoadClick();
    // The tab caption and the proposed name changed too.
    m_recovery->changed();
}

void TForm1::sbSaveClick()
{
    m_fileCommands->sbSaveClick();
}

void TForm1::sbTVClick()
{
    TFormTV *tv = FormTV();
    tv->setVisible(!tv->isVisible());
    Modus1->setChecked(tv->isVisible());
    // Over this window's monitor the audience's window stands alone and takes the keys; F5
    // brings this window for typing. Put away rather than lowered: window managers do not
    // let a program stack its windows as it likes, but a hidden window is hidden everywhere.
    if (coversWindow(tv, *this)) {
        hide();
        tv->raise();
        tv->activateWindow();
        return;
    }
    raise();
    activateWindow();
}

void TForm1::LogoClick(int n)
{
    FormTV()->LogoClick(n);
}

void TForm1::bVideoClick()
{
    // At the button's place in the tool bar, which is Panel1's top.
    const QPoint at = mapToGlobal(QPoint(0, 0)) + Panel1->pos() + bVideo->pos();
    PopupMenuTablo->popup(at);
}

void TForm1::mVideoOnClick()
{
    if (m_formTV && m_formTV->video())
        m_formTV->video()->mVideoOnClick(Videomain->isChecked());
}

void TForm1::Aspectratio1Click()
{
    m_settings.KeepAR = Aspectratio1->isChecked();
    if (m_formTV && m_formTV->video())
        m_formTV->video()->setKeepAspectRatio(m_settings.KeepAR);
}

void TForm1::bLiveClick()
{
    m_live->showDialog();
}

void TForm1::connectLiveResults()
{
    // The live results hear what the audience is shown, from the table's announcements.
    LiveFeed &feed = m_live->feed();
    feed.judgeCountChanged(m_table->judgeCount());
    feed.setCompetitionName(PageControl1->tabText(PageControl1->indexOf(TabSheet1)));
    feed.tableReplaced();
    connect(m_table.get(), &ResultTable::coupleShown, &feed, &LiveFeed::coupleShown);
    connect(m_table.get(), &ResultTable::scoreboardCleared, &feed, &LiveFeed::scoreboardCleared);
    connect(m_table.get(), &ResultTable::placesChanged, &feed, &LiveFeed::placesChanged);
    connect(m_table.get(), &ResultTable::tableReplaced, &feed, &LiveFeed::tableReplaced);
    connect(m_table.get(), &ResultTable::judgeCountChanged, &feed, &LiveFeed::judgeCountChanged);
    m_fileCommands->setTabCaption
        = [this, caption = std::move(m_fileCommands->setTabCaption)](const QString &text) {
              caption(text);
              if (m_live)
                  m_live->feed().setCompetitionName(text);
          };
}
