#pragma once

#include "video/filter.h"
#include "video/filtergraph.h"
#include "video/sysdevenum.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class TVideoWindow;

// The live camera picture in the TV window: the device list with its entries in the main
// window's video popup, the device choice, the toggle and the aspect-ratio switch. Lives
// with the TV window; its controls on the main window come through Setup.
class VideoPreview : public QObject
{
    Q_OBJECT
public:
    struct Setup
    {
        // The main window's controls. bVideo: the video tool button's action. Videomain:
        // the one action with Ctrl+V, which the popup shows as "Enable".
        QAction *bVideo = nullptr;
        QAction *Videomain = nullptr;
        QMenu *PopupMenuTablo = nullptr;
        QMenu *Devices = nullptr;
        std::function<bool()> keepAR;
        // Runs a command under the standard error box.
        std::function<void(const std::function<void()> &)> guarded;
        // Test seams: where the devices come from (makeVideoDeviceProvider when not given)
        // and the renderers.
        std::function<std::unique_ptr<VideoDeviceProvider>()> devices;
        VideoRenderers renderers;
    };

    // The TV window's items that the video shows and hides.
    struct Items
    {
        TVideoWindow *VideoWindow = nullptr;
        QWidget *GreenRect = nullptr;
        QWidget *ImageNoVideo = nullptr;
        // The plain renderer wants a 4:3 frame at the next layout.
        std::function<void(bool plain)> setPlainRenderer;
    };

    VideoPreview(Setup setup, Items items, QObject *parent = nullptr);
    // Ends the preview: pipeline stopped and released, device monitor stopped.
    ~VideoPreview() override;

    // Device set-up: lists the devices and makes their entries; with exactly one device the
    // preview starts. Once; the program runs it after the main window's first paint.
    void probe();
    bool probed() const { return m_probed; }

    // Builds the device's preview and starts it; the rest follows once the framework's
    // verdict is in, so the window stays live. A second choice gives up the first.
    void SelectVideoDevice(QAction *entry);
    // A device chosen and waiting for its verdict.
    bool starting() const { return !m_starting.isNull(); }
    // Ctrl+V or "Enable"; checked is the action's check state after Qt toggled it.
    void mVideoOnClick(bool checked);
    // Applies the aspect mode to the running renderer.
    void setKeepAspectRatio(bool keep);

    const TSysDevEnum &devices() const { return m_devEnum; }
    const TFilter &filter() const { return m_filter; }
    const TFilterGraph &graph() const { return m_graph; }
    TFilterGraph &graph() { return m_graph; }
    QAction *entry(const QString &path) const;

    // On Wayland the renderer cannot be embedded into a Qt child window.
    static bool overlaySupported();

private:
    void addEntry(int index);
    void deviceAdded(const VideoDevice &device);
    void deviceRemoved(const QString &path);
    void devicesAvailable(bool available);
    void showVideo(bool shown);
    void showEnableEntry();
    void endPreview();
    void startPreview(RendererMode mode);
    void previewStarted();
    void previewFailed(const QString &text);

    Setup m_setup;
    Items m_items;
    std::unique_ptr<VideoDeviceProvider> m_provider;
    TSysDevEnum m_devEnum;
    TFilter m_filter;
    TFilterGraph m_graph;
    QActionGroup *m_entries = nullptr;
    QPointer<QAction> m_chosen;
    QPointer<QAction> m_starting;
    QPointer<QAction> m_lastChoice;
    bool m_probed = false;
};
