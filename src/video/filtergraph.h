#pragma once

#include "video/filter.h"

#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <optional>

typedef struct _GstBus GstBus;
typedef struct _GstElement GstElement;

// The preview pipeline: the chosen device's source, a decoder that GStreamer picks for what
// the device sends (raw pictures pass through, MJPEG is decoded), and a renderer that draws
// into the video window. Every step throws EDirectShowException with the framework's text.
//
// Many failures show only after the state change returned (a GL context that cannot be made,
// caps that do not negotiate, a busy device, a camera that sends nothing), so startPreview()
// returns at once and the verdict follows: previewStarted() with the first picture at the
// sink, previewFailed() with the framework's error or when no picture came within
// kVerdictMilliseconds. An error after that is reported by failedLater(). Everything reaches
// this object queued on its thread; release() forgets whatever is still under way.
class TFilterGraph : public QObject
{
    Q_OBJECT
public:
    static constexpr int kVerdictMilliseconds = 2000;

    explicit TFilterGraph(QObject *parent = nullptr);
    ~TFilterGraph() override;

    void setRenderers(const VideoRenderers &renderers) { m_renderers = renderers; }

    // An empty pipeline.
    void create();
    bool active() const { return m_pipeline != nullptr; }
    // Adds the filter's source unless it is in the graph already, and the renderer of the
    // mode in place of another one; the renderer draws into the native window (0: none).
    void addSourceAndRenderer(const TFilter &filter, RendererMode mode, quintptr window);
    // Links source and renderer and starts streaming; the verdict comes as a signal.
    void startPreview();
    bool verdictPending() const { return m_verdictTimer.isActive(); }
    // Letter-box or stretch; only the mixing renderer offers it.
    void setKeepAspectRatio(bool keep);
    // The size of the renderer's window, which the renderer fills.
    void setRenderSize(const QSize &size);
    void run();
    void stop();
    // Stopped and unlinked; source and renderer stay.
    void clear();
    void release();

    RendererMode rendererMode() const { return m_mode; }
    GstElement *sink() const { return m_sink; }
    // When the first buffer of the current preview reached the sink.
    std::optional<std::chrono::steady_clock::time_point> firstBufferTime() const;

signals:
    void previewStarted();
    void previewFailed(const QString &text);
    void failedLater(const QString &text);

private:
    friend struct FilterGraphBus;
    void addRenderer(RendererMode mode);
    void streamError(int generation, const QString &text);
    void firstPicture(int generation);
    void noPicture();

    VideoRenderers m_renderers;
    GstElement *m_pipeline = nullptr;
    GstBus *m_bus = nullptr;
    GstElement *m_source = nullptr;
    GstElement *m_decoder = nullptr;
    GstElement *m_renderer = nullptr;
    GstElement *m_sink = nullptr;
    RendererMode m_mode = RendererMode::Mixing;
    QSize m_renderSize;
    std::atomic<quintptr> m_window { 0 };
    std::atomic<int> m_generation { 0 };
    std::atomic<qint64> m_firstBufferNs { 0 };
    QTimer m_verdictTimer;
};
