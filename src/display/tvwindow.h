#pragma once

#include "display/tvlayout.h"
#include "video/videopreview.h"
#include "video/videowindow.h"

#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <functional>
#include <memory>

class MonitorList;
class PictureBox;
class Scoreboard;

// The audience's window: a borderless window over one whole monitor with the scoreboard
// on the background picture and the video area in the middle. It is created hidden and
// lives as long as the main window; it knows the main window only through Setup.
//
//     TFormTV::Setup setup;
//     setup.monitors = &monitorList;                       // outlives the window
//     setup.monitor = [this] { return Monitor; };
//     setup.background = [](QSize area) { return picture for area; }; // when first shown
//     setup.setJudgeCount = [this](Scoreboard &tvBoard) {
//         board.attachMirror(&tvBoard);
//         table.SetJudgeCount(table.judgeCount());
//     };
//     setup.showCurrentRow = [this] { SortGrid1DblClick(); };
//     FormTV = std::make_unique<TFormTV>(std::move(setup));
//     FormTV->addActions(actions());                       // the shortcuts, ApplicationShortcut
class TFormTV : public QWidget
{
    Q_OBJECT
public:
    struct Setup
    {
        // The monitors the window is placed on; must outlive the window.
        const MonitorList *monitors = nullptr;
        // The stored "Monitor"; monitor 0 when not given.
        std::function<int()> monitor;
        // The background picture decoded for a window of the given size; asked for when the
        // window is shown and when it is placed on a larger monitor, so that start-up does
        // not pay for it and the audience never sees a picture scaled up from fewer pixels.
        std::function<QImage(QSize area)> background;
        // Where the logos are looked for first, ending in a separator; the program folder when
        // empty. The per-user and the installed data folder follow (ProgramInfo::dataFolders).
        QString folder;
        // Judge-count visibility on creation: gets the window's scoreboard so the main window
        // can attach it as its second scoreboard before it applies the judge count.
        std::function<void(Scoreboard &)> setJudgeCount;
        // Shows the current row on both scoreboards, each time the window is shown.
        std::function<void()> showCurrentRow;
        // The main window's video controls; without them the window has no video.
        VideoPreview::Setup video;
    };

    explicit TFormTV(Setup setup, QWidget *parent = nullptr);
    ~TFormTV() override;

    Scoreboard &scoreboard() const { return *m_board; }

    // The items besides the scoreboard's labels, bottom to top with those labels:
    // Image1, the labels, GreenRect, xLab1/xLab2, ImageNoVideo, VideoWindow.
    PictureBox *Image1 = nullptr;
    QWidget *GreenRect = nullptr;
    PictureBox *ImageNoVideo = nullptr;
    // A native child window for the live picture; hidden until the video shows.
    TVideoWindow *VideoWindow = nullptr;

    // The live picture; nullptr without video controls, before the devices were listed, and
    // when the video module could not be loaded.
    VideoPreview *video() const { return m_video.get(); }
    // Loads the video module and lists the devices, once; kept until the main window has
    // been painted once so that start-up waits neither for GStreamer nor for the cameras.
    void probeVideoDevices();

    // Puts the window on the full rectangle of monitor "Monitor", shown or not, and lays it
    // out for that size: full screen on that monitor's screen, so that it stands above the
    // desktop's panels. A monitor without a screen of exactly its rectangle gets a plain
    // frameless window of that rectangle.
    void PlaceTVWindow();

    // Hidden because the monitor under it went away; shown again on its monitor as soon as
    // the monitor list holds "Monitor" again.
    bool waitingForMonitor() const { return m_waitingForMonitor; }

    // Alt+0 .. Alt+5: loads logo n from the picture folder; a missing or unreadable file
    // changes nothing. Returns whether the logo changed.
    bool LogoClick(int n);

    // Lays the items out for the client size, at the screen's pixels per inch; only does
    // something when the size or the pixels per inch changed since the last layout.
    void FormResize();
    const TVLayout &layout() const { return m_layout; }

    // The renderer that cannot keep the picture's aspect ratio wants a 4:3 frame; takes
    // effect at the next layout.
    void setPlainRenderer(bool plain) { m_plainRenderer = plain; }
    bool plainRenderer() const { return m_plainRenderer; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void ensureBackground();
    int screenPpi() const;
    void screenRemoved(QScreen *screen);
    void screensChanged();

    Setup m_setup;
    std::unique_ptr<MonitorList> m_ownMonitors;
    std::unique_ptr<Scoreboard> m_board;
    std::unique_ptr<VideoPreview> m_video;
    bool m_videoLoadTried = false;
    TVLayout m_layout;
    QSize m_layoutSize;
    int m_layoutPpi = 0;
    bool m_plainRenderer = false;
    // The window size the background was last decoded for.
    QSize m_backgroundArea;
    // The screen the window was put full screen on; null for a plain frameless placement.
    QPointer<QScreen> m_placedOn;
    bool m_waitingForMonitor = false;
};
