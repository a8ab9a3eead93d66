#include "display/tvwindow.h"

#include "display/label3d.h"
#include "display/picturebox.h"
#include "display/scoreboard.h"
#include "platform/guarded.h"
#include "platform/monitors.h"
#include "platform/programinfo.h"
#include "video/videowindow.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>

namespace {

constexpr int kDefaultPpi = 96;

// The scoreboard label that the layout row of each TVItem before GreenRect places.
constexpr ScoreboardItem kLabelOfItem[kTVLabelCount]
    = { ScoreboardItem::Lab1, ScoreboardItem::Lab2, ScoreboardItem::Lab3, ScoreboardItem::Lab4,
          ScoreboardItem::Lab5, ScoreboardItem::Lab6, ScoreboardItem::Lab7, ScoreboardItem::LabGesamt,
          ScoreboardItem::LabPlatz, ScoreboardItem::LabNum, ScoreboardItem::LabName };

void setCharHeight(QWidget *label, int pixels)
{
    QFont font = label->font();
    pixels = std::max(1, pixels); // a window squeezed to nothing still needs a valid font
    if (font.pixelSize() == pixels)
        return;
    font.setPixelSize(pixels);
    label->setFont(font);
}

// The screen whose rectangle is exactly the monitor's; none for a monitor the window system
// does not know (a fake list, or a screen that went away).
QScreen *screenWithBounds(const QRect &bounds)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen->geometry() == bounds)
            return screen;
    }
    return nullptr;
}

} // namespace

TFormTV::TFormTV(Setup setup, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_setup(std::move(setup))
{
    if (!m_setup.monitors) {
        m_ownMonitors = std::make_unique<ScreenMonitorList>();
        m_setup.monitors = m_ownMonitors.get();
    }
    if (m_setup.folder.isEmpty())
        m_setup.folder = ProgramInfo::folder();

    setObjectName(QStringLiteral("FormTV"));
    // Black wherever no item has been laid out yet.
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);

    // Children stack in the order they are made; raise() fixes what the scoreboard's own
    // order does not give.
    Image1 = new PictureBox(PictureFit::Stretch, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    m_board = std::make_unique<Scoreboard>(this, ScoreboardWindow::TV);

    GreenRect = new QWidget(this);
    GreenRect->setObjectName(QStringLiteral("GreenRect"));
    GreenRect->setPalette(black);
    GreenRect->setAutoFillBackground(true);
    m_board->xLab1()->raise();
    m_board->xLab2()->raise();

    ImageNoVideo = new PictureBox(PictureFit::KeepAspectCentred, this);
    ImageNoVideo->setObjectName(QStringLiteral("ImageNoVideo"));
    // The logo always covers GreenRect exactly and shows or hides with it, so it paints the
    // black around the picture itself; then neither GreenRect nor the background beneath
    // needs painting.
    ImageNoVideo->setMatte(Qt::black);

    VideoWindow = new TVideoWindow(this);
    VideoWindow->setObjectName(QStringLiteral("VideoWindow"));
    // Only the video needs a window of its own. Qt would give one to every sibling as well, and
    // each layout then moves a dozen X windows: one was left now and then at its place from the
    // layout before, covering the new picture with its own.
    const bool siblingsWere = QCoreApplication::testAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings, true);
    VideoWindow->setAttribute(Qt::WA_NativeWindow);
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings, siblingsWere);
    VideoWindow->hide();

    // The audience's window never lands on the operator's monitor by itself: Qt would move it
    // there, full screen, when its own monitor goes away.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &TFormTV::screenRemoved);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &TFormTV::screensChanged, Qt::QueuedConnection);

    FormCreate();
}

TFormTV::~TFormTV()
{
    // The renderer draws into VideoWindow: the pipeline ends before the window goes.
    m_video.reset();
}

void TFormTV::FormCreate()
{
    m_board->clear();
    LogoClick(0);
    if (m_setup.setJudgeCount)
        m_setup.setJudgeCount(*m_board);
}

void TFormTV::probeVideoDevices()
{
    if (!m_video && m_setup.video.Videomain && !m_videoLoadTried) {
        m_videoLoadTried = true;
        VideoPreview::Items items;
        items.VideoWindow = VideoWindow;
        items.GreenRect = GreenRect;
        items.ImageNoVideo = ImageNoVideo;
        items.setStreaming = [this](bool streaming) { VideoWindow->setStreaming(streaming); };
        items.setPlainRenderer = [this](bool plain) { setPlainRenderer(plain); };
        m_video = VideoPreview::create(std::move(m_setup.video), std::move(items));
        if (m_video)
            connect(VideoWindow, &TVideoWindow::resized, m_video.get(), &VideoPreview::setRenderSize);
    }
    if (m_video)
        m_video->probe();
}

void TFormTV::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Only when the program shows the window, not when the window system re-shows it.
    if (!event->spontaneous())
        runGuarded([this] { FormShow(); }, this);
}

void TFormTV::FormShow()
{
    m_waitingForMonitor = false;
    PlaceTVWindow();
    if (m_setup.showCurrentRow)
        m_setup.showCurrentRow();
}

void TFormTV::PlaceTVWindow()
{
    const int monitor = m_setup.monitor ? m_setup.monitor() : 0;
    const QRect bounds = m_setup.monitors->rect(monitor);
    QScreen *screen = screenWithBounds(bounds);
    m_placedOn = screen;
    if (!screen) {
        setGeometry(bounds);
        FormResize();
        return;
    }
    if (!windowHandle())
        create();
    // A window manager keeps a full-screen window where it is: leave full screen to move,
    // then ask for it again on the new monitor. Full screen, not just a frameless window of
    // the monitor's size, is what puts the window above the desktop's panels.
    if (isFullScreen() && (geometry() != bounds || windowHandle()->screen() != screen))
        setWindowState(windowState() & ~Qt::WindowFullScreen);
    // Without a window manager nothing else places the window; on Wayland only the size
    // counts, and the screen picks the output.
    setGeometry(bounds);
    windowHandle()->setScreen(screen);
    setWindowState(windowState() | Qt::WindowFullScreen);
    // A hidden window gets no resize event until it is shown.
    FormResize();
}

void TFormTV::screenRemoved(QScreen *screen)
{
    if (!isVisible() || !m_placedOn || screen != m_placedOn)
        return;
    // As Ctrl+T would: the main window puts sbTV up.
    hide();
    m_waitingForMonitor = true;
}

void TFormTV::screensChanged()
{
    if (!m_waitingForMonitor || isVisible())
        return;
    const int monitor = m_setup.monitor ? m_setup.monitor() : 0;
    if (monitor >= m_setup.monitors->count())
        return;
    // Shown, it is placed on that monitor and laid out for it.
    show();
}

void TFormTV::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

int TFormTV::screenPpi() const
{
    const QScreen *shownOn = screen();
    return shownOn ? qRound(shownOn->logicalDotsPerInchY()) : kDefaultPpi;
}

void TFormTV::ensureBackground()
{
    const QSize area = size();
    if (!m_setup.background || area.isEmpty()
        || (area.width() <= m_backgroundArea.width() && area.height() <= m_backgroundArea.height()))
        return;
    m_backgroundArea = area.expandedTo(m_backgroundArea);
    Image1->setPicture(m_setup.background(m_backgroundArea));
}

void TFormTV::FormResize()
{
    if (isVisible())
        ensureBackground();
    const int ppi = screenPpi();
    if (size() == m_layoutSize && ppi == m_layoutPpi)
        return;
    m_layoutSize = size();
    m_layoutPpi = ppi;
    m_layout = TVLayoutRects(m_layoutSize, ppi, m_plainRenderer);

    Image1->place(rect());
    for (int i = 0; i < kTVLabelCount; ++i) {
        TLabel3D *label = m_board->item(kLabelOfItem[i]);
        label->setGeometry(m_layout.rects[std::size_t(i)]);
        setCharHeight(label, m_layout.fontHeights[std::size_t(i)]);
    }
    GreenRect->setGeometry(m_layout.rect(TVItem::GreenRect));
    m_board->xLab1()->setGeometry(m_layout.xLab1);
    m_board->xLab2()->setGeometry(m_layout.xLab2);
    setCharHeight(m_board->xLab1(), m_layout.strikeFontHeight);
    setCharHeight(m_board->xLab2(), m_layout.strikeFontHeight);
    // The layout puts them over Lab1 and Lab2; the audience must keep seeing the marks struck.
    m_board->placeStrikeMarks();
    VideoWindow->setGeometry(m_layout.videoWindow);
    ImageNoVideo->place(m_layout.imageNoVideo);
}

bool TFormTV::LogoClick(int n)
{
    QImage logo = ImageNoVideo->picture();
    if (!Pictures::loadLogo(ProgramInfo::dataFolders(m_setup.folder), n, logo,
            Pictures::largestMonitorSize(*m_setup.monitors)))
        return false;
    ImageNoVideo->setPicture(logo);
    return true;
}
