#include "video/filtergraph.h"

#include "video/videoerror.h"

#include <QMetaObject>

#include <gst/gst.h>
#include <gst/video/videooverlay.h>

namespace {

QString errorTextOf(GstMessage *message)
{
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const QString text = error ? QString::fromUtf8(error->message) : QStringLiteral("Unknown error");
    if (error)
        g_error_free(error);
    return text;
}

// The sink of a renderer bin: the element that ends the stream.
GstElement *sinkOf(GstElement *renderer)
{
    if (!GST_IS_BIN(renderer))
        return renderer;
    GstElement *sink = nullptr;
    GstIterator *it = gst_bin_iterate_sinks(GST_BIN(renderer));
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(it, &item) == GST_ITERATOR_OK)
        sink = GST_ELEMENT(g_value_get_object(&item));
    g_value_unset(&item);
    gst_iterator_free(it);
    return sink; // owned by the bin
}

// decodebin's picture pad appears once it knows what the source sends.
void linkDecoded(GstElement *, GstPad *pad, gpointer converter)
{
    GstPad *sink = gst_element_get_static_pad(GST_ELEMENT(converter), "sink");
    if (!gst_pad_is_linked(sink))
        gst_pad_link(pad, sink);
    gst_object_unref(sink);
}

// "decodebin ! videoconvert" as one element with a sink and a source pad. Parsed from a
// description, the bin would take the converter's sink as its own and decode nothing.
GstElement *decoderBin()
{
    GstElement *bin = gst_bin_new("decoder");
    GstElement *decode = gst_element_factory_make("decodebin", nullptr);
    GstElement *convert = gst_element_factory_make("videoconvert", nullptr);
    if (!decode || !convert) {
        for (GstElement *element : { bin, decode, convert }) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        throw EDirectShowException(QStringLiteral("no element \"decodebin\""), VideoStep::AddSource);
    }
    gst_bin_add_many(GST_BIN(bin), decode, convert, nullptr);
    g_signal_connect(decode, "pad-added", G_CALLBACK(linkDecoded), convert);
    GstPad *sink = gst_element_get_static_pad(decode, "sink");
    GstPad *src = gst_element_get_static_pad(convert, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", sink));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", src));
    gst_object_unref(sink);
    gst_object_unref(src);
    return bin;
}

// A source that sends nothing but raw pictures agrees on their format with the renderer
// itself. Behind decodebin it would settle on one before the renderer is asked, and the
// pictures would be converted on the processor. Asked with the source ready, so that a camera
// answers with what it really sends; a source that cannot get ready goes the decoder's way
// and fails there with the framework's own words.
bool sendsOnlyRawPictures(GstElement *source)
{
    if (gst_element_set_state(source, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
        return false;
    GstPad *pad = gst_element_get_static_pad(source, "src");
    if (!pad)
        return false;
    GstCaps *caps = gst_pad_query_caps(pad, nullptr);
    gst_object_unref(pad);
    bool raw = caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps);
    for (guint i = 0; raw && i < gst_caps_get_size(caps); ++i)
        raw = gst_structure_has_name(gst_caps_get_structure(caps, i), "video/x-raw");
    if (caps)
        gst_caps_unref(caps);
    return raw;
}

bool hasProperty(GstElement *element, const char *name)
{
    return element && g_object_class_find_property(G_OBJECT_GET_CLASS(element), name);
}

} // namespace

// The framework's callbacks, on its streaming threads.
struct FilterGraphBus
{
    static GstBusSyncReply onMessage(GstBus *, GstMessage *message, gpointer data)
    {
        auto *graph = static_cast<TFilterGraph *>(data);
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR:
            QMetaObject::invokeMethod(
                graph,
                [graph, generation = graph->m_generation.load(), text = errorTextOf(message)] {
                    graph->streamError(generation, text);
                },
                Qt::QueuedConnection);
            return GST_BUS_DROP;
        case GST_MESSAGE_ELEMENT:
            if (gst_is_video_overlay_prepare_window_handle_message(message) && graph->m_window)
                gst_video_overlay_set_window_handle(
                    GST_VIDEO_OVERLAY(GST_MESSAGE_SRC(message)), graph->m_window);
            return GST_BUS_DROP;
        default:
            return GST_BUS_DROP;
        }
    }

    static GstPadProbeReturn onFirstBuffer(GstPad *, GstPadProbeInfo *, gpointer data)
    {
        auto *graph = static_cast<TFilterGraph *>(data);
        graph->m_firstBufferNs = std::chrono::steady_clock::now().time_since_epoch().count();
        QMetaObject::invokeMethod(
            graph, [graph, generation = graph->m_generation.load()] { graph->firstPicture(generation); },
            Qt::QueuedConnection);
        return GST_PAD_PROBE_REMOVE;
    }
};

TFilterGraph::TFilterGraph(QObject *parent)
    : QObject(parent)
{
    initGStreamer();
    m_verdictTimer.setSingleShot(true);
    m_verdictTimer.setInterval(kVerdictMilliseconds);
    connect(&m_verdictTimer, &QTimer::timeout, this, &TFilterGraph::noPicture);
}

TFilterGraph::~TFilterGraph()
{
    clear();
    release();
}

void TFilterGraph::create()
{
    if (m_pipeline)
        return;
    m_pipeline = gst_pipeline_new("preview");
    if (!m_pipeline)
        throw EDirectShowException(QStringLiteral("Could not create the pipeline"), VideoStep::CreateGraph);
    gst_object_ref_sink(m_pipeline);
    m_bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(m_bus, FilterGraphBus::onMessage, this, nullptr);
}

void TFilterGraph::addSourceAndRenderer(const TFilter &filter, RendererMode mode, quintptr window)
{
    create();
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    m_window = window;
    if (!m_source) {
        GstElement *source = filter.device().createSource();
        gst_bin_add(GST_BIN(m_pipeline), source);
        m_source = source;
        if (sendsOnlyRawPictures(source)) {
            m_decoder = source;
            return addRenderer(mode);
        }
        // Whatever else the device sends: decodebin picks the decoder (jpegdec for MJPEG) and
        // lets raw pictures through; the converter gives the renderer a format it takes.
        GstElement *decoder = decoderBin();
        gst_bin_add(GST_BIN(m_pipeline), decoder);
        m_decoder = decoder;
        if (!gst_element_link(m_source, m_decoder))
            throw EDirectShowException(
                QStringLiteral("Could not connect the device to its decoder"), VideoStep::AddSource);
    }
    addRenderer(mode);
}

void TFilterGraph::addRenderer(RendererMode mode)
{
    if (m_renderer) {
        gst_element_unlink(m_decoder, m_renderer);
        gst_bin_remove(GST_BIN(m_pipeline), m_renderer);
        m_renderer = nullptr;
        m_sink = nullptr;
    }
    m_mode = mode;
    const QByteArray &description = mode == RendererMode::Mixing ? m_renderers.mixing : m_renderers.plain;
    GError *error = nullptr;
    GstElement *renderer = gst_parse_bin_from_description(description.constData(), TRUE, &error);
    if (!renderer || error) {
        if (renderer)
            gst_object_unref(gst_object_ref_sink(renderer));
        throw EDirectShowException(error, VideoStep::AddRenderer);
    }
    gst_bin_add(GST_BIN(m_pipeline), renderer);
    m_renderer = renderer;
    m_sink = sinkOf(renderer);
    if (const quintptr window = m_window; window && m_sink && GST_IS_VIDEO_OVERLAY(m_sink))
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_sink), window);
}

void TFilterGraph::startPreview()
{
    if (!m_decoder || !m_renderer || !gst_element_link(m_decoder, m_renderer)) {
        throw EDirectShowException(
            QStringLiteral("Could not connect the device to the renderer"), VideoStep::RenderPreview);
    }
    m_firstBufferNs = 0;
    if (GstPad *pad = m_sink ? gst_element_get_static_pad(m_sink, "sink") : nullptr) {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, FilterGraphBus::onFirstBuffer, this, nullptr);
        gst_object_unref(pad);
    }
    m_verdictTimer.start();
    // A failing state change has put its error on the bus: it arrives queued.
    gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
}

void TFilterGraph::setKeepAspectRatio(bool keep)
{
    if (m_mode != RendererMode::Mixing || !hasProperty(m_sink, "force-aspect-ratio"))
        return;
    g_object_set(m_sink, "force-aspect-ratio", gboolean(keep), nullptr);
    // The sink places its picture anew only when its area changes.
    if (!m_renderSize.isEmpty()) {
        setRenderSize(m_renderSize - QSize(0, 1));
        setRenderSize(m_renderSize + QSize(0, 1));
    }
}

void TFilterGraph::setRenderSize(const QSize &size)
{
    m_renderSize = size;
    if (m_sink && GST_IS_VIDEO_OVERLAY(m_sink) && !size.isEmpty())
        gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(m_sink), 0, 0, size.width(), size.height());
}

void TFilterGraph::run()
{
    if (!m_pipeline)
        throw EDirectShowException(QStringLiteral("No pipeline to run"), VideoStep::Run);
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        GstMessage *message = gst_bus_pop_filtered(m_bus, GST_MESSAGE_ERROR);
        const QString text = message ? errorTextOf(message) : QStringLiteral("Could not run the preview");
        if (message)
            gst_message_unref(message);
        throw EDirectShowException(text, VideoStep::Run);
    }
}

void TFilterGraph::stop()
{
    if (m_pipeline)
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
}

void TFilterGraph::clear()
{
    stop();
    if (m_decoder && m_renderer)
        gst_element_unlink(m_decoder, m_renderer);
}

void TFilterGraph::release()
{
    if (!m_pipeline)
        return;
    // Stale messages of this pipeline still queued for us are ignored from here on.
    ++m_generation;
    m_verdictTimer.stop();
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_bus_set_sync_handler(m_bus, nullptr, nullptr, nullptr);
    gst_object_unref(m_bus);
    gst_object_unref(m_pipeline);
    m_bus = nullptr;
    m_pipeline = nullptr;
    m_source = nullptr;
    m_decoder = nullptr;
    m_renderer = nullptr;
    m_sink = nullptr;
    m_window = 0;
    m_firstBufferNs = 0;
}

std::optional<std::chrono::steady_clock::time_point> TFilterGraph::firstBufferTime() const
{
    const qint64 ns = m_firstBufferNs;
    if (!ns)
        return std::nullopt;
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ns));
}

void TFilterGraph::streamError(int generation, const QString &text)
{
    if (generation != m_generation || !m_pipeline)
        return;
    const bool judging = verdictPending();
    // Nothing may go on streaming into a window that the next attempt uses.
    clear();
    release();
    if (judging)
        emit previewFailed(text);
    else
        emit failedLater(text);
}

void TFilterGraph::firstPicture(int generation)
{
    if (generation != m_generation || !verdictPending())
        return;
    m_verdictTimer.stop();
    emit previewStarted();
}

void TFilterGraph::noPicture()
{
    clear();
    release();
    // The same words as a pipeline that does not start at all: to the operator it is the same.
    emit previewFailed(QStringLiteral("Could not start the preview"));
}
