#pragma once

#include "video/videodevice.h"

#include <QObject>
#include <QSize>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QWidget;

// The live camera picture in the TV window, as the windows see it: the device list with its
// entries in the main window's video popup, the device choice, the toggle and the
// aspect-ratio switch. The code behind it, and with it GStreamer, lives in the video module,
// which is loaded when the picture is first needed (create()), so that the program starts
// without it.
class VideoPreview : public QObject
{
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
        // Test seams: where the devices come from (the system's device monitor when not
        // given) and the renderers.
        std::function<std::unique_ptr<VideoDeviceProvider>()> devices;
        VideoRenderers renderers;
    };

    // The TV window's items that the video shows and hides.
    struct Items
    {
        // The native window the renderer draws into.
        QWidget *VideoWindow = nullptr;
        QWidget *GreenRect = nullptr;
        QWidget *ImageNoVideo = nullptr;
        // Qt leaves the video window unpainted while a renderer draws into it.
        std::function<void(bool streaming)> setStreaming;
        // The plain renderer wants a 4:3 frame at the next layout.
        std::function<void(bool plain)> setPlainRenderer;
    };

    // Loads the video module, once, and makes the preview; nullptr when the module cannot be
    // loaded (the reason goes to the log), and the program runs on without live picture.
    static std::unique_ptr<VideoPreview> create(Setup setup, Items items);

    // Device set-up: lists the devices and makes their entries; with exactly one device the
    // preview starts. Once.
    virtual void probe() = 0;
    virtual bool probed() const = 0;
    // A device chosen and waiting for its verdict.
    virtual bool starting() const = 0;
    // Ctrl+V or "Enable"; checked is the action's check state after Qt toggled it.
    virtual void mVideoOnClick(bool checked) = 0;
    // Applies the aspect mode to the running renderer.
    virtual void setKeepAspectRatio(bool keep) = 0;
    // The size of the video window, which the renderer fills.
    virtual void setRenderSize(const QSize &size) = 0;
    // The popup entry of the device with that key; nullptr when there is none.
    virtual QAction *entry(const QString &path) const = 0;

protected:
    using QObject::QObject;
};

// The video module's one entry point, looked up by name once the module is loaded.
using MakeVideoPreview = VideoPreview *(*)(VideoPreview::Setup *setup, VideoPreview::Items *items);
inline constexpr char kMakeVideoPreview[] = "scorelaneMakeVideoPreview";
