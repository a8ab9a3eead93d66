#pragma once

#include "video/filter.h"
#include "video/filtergraph.h"
#include "video/sysdevenum.h"
#include "video/videopreview.h"

#include <QPointer>

class QActionGroup;

// The live picture through GStreamer: the video module's preview.
class GstVideoPreview final : public VideoPreview
{
public:
    GstVideoPreview(Setup setup, Items items);
    // Ends the preview: pipeline stopped and released, device monitor stopped.
    ~GstVideoPreview() override;

    void probe() override;
    bool probed() const override { return m_probed; }
    bool starting() const override { return !m_starting.isNull(); }
    void mVideoOnClick(bool checked) override;
    void setKeepAspectRatio(bool keep) override;
    void setRenderSize(const QSize &size) override;
    QAction *entry(const QString &path) const override;

    // Builds the device's preview and starts it; the rest follows once the framework's
    // verdict is in, so the window stays live. A second choice gives up the first.
    void SelectVideoDevice(QAction *entry);

    const TSysDevEnum &devices() const { return m_devEnum; }
    const TFilter &filter() const { return m_filter; }
    const TFilterGraph &graph() const { return m_graph; }
    TFilterGraph &graph() { return m_graph; }

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
