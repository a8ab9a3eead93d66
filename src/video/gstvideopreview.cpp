#include "video/gstvideopreview.h"

#include "video/videoerror.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QMenu>

#include <gst/gst.h>

GstVideoPreview::GstVideoPreview(Setup setup, Items items)
    : VideoPreview(nullptr)
    , m_setup(std::move(setup))
    , m_items(std::move(items))
{
    m_graph.setRenderers(m_setup.renderers);
    m_entries = new QActionGroup(this);
    m_entries->setExclusive(true);
    connect(&m_graph, &TFilterGraph::failedLater, this, [this] { endPreview(); });
    connect(&m_graph, &TFilterGraph::previewStarted, this, &GstVideoPreview::previewStarted);
    connect(&m_graph, &TFilterGraph::previewFailed, this, &GstVideoPreview::previewFailed);
}

GstVideoPreview::~GstVideoPreview()
{
    m_graph.clear();
    m_graph.release();
    m_provider.reset();
    qDeleteAll(m_entries->actions());
    // The streaming threads go back to GLib's shared pool, which keeps idle ones for a while;
    // at program end none may be left. A pipeline made later starts its threads anew.
    g_thread_pool_set_max_unused_threads(0);
    g_thread_pool_stop_unused_threads();
}

bool GstVideoPreview::overlaySupported()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void GstVideoPreview::probe()
{
    if (m_probed)
        return;
    m_probed = true;
    // Without a window to embed into, the logo stays for the whole run.
    if (!overlaySupported())
        return;
    m_provider = m_setup.devices ? m_setup.devices() : makeVideoDeviceProvider();
    connect(m_provider.get(), &VideoDeviceProvider::deviceAdded, this, &GstVideoPreview::deviceAdded);
    connect(m_provider.get(), &VideoDeviceProvider::deviceRemoved, this, &GstVideoPreview::deviceRemoved);
    m_devEnum = TSysDevEnum(m_provider->probe());
    if (m_devEnum.count() == 0)
        return;
    devicesAvailable(true);
    for (int i = 0; i < m_devEnum.count(); ++i)
        addEntry(i);
    if (m_devEnum.count() == 1) {
        m_setup.bVideo->setChecked(true);
        m_setup.guarded([this] { SelectVideoDevice(entry(m_devEnum.device(0).path)); });
    }
}

void GstVideoPreview::devicesAvailable(bool available)
{
    m_setup.bVideo->setEnabled(available);
    if (!available)
        m_setup.bVideo->setChecked(false);
    m_setup.Videomain->setEnabled(available);
}

void GstVideoPreview::addEntry(int index)
{
    const VideoDevice &device = m_devEnum.device(index);
    auto *action = new QAction(QString(device.name).replace(u'&', QLatin1String("&&")), m_setup.Devices);
    action->setData(device.path);
    action->setCheckable(true);
    m_entries->addAction(action);
    const QList<QAction *> before = m_setup.Devices->actions();
    m_setup.Devices->insertAction(index < before.size() ? before[index] : nullptr, action);
    connect(action, &QAction::triggered, this,
        [this, action] { m_setup.guarded([this, action] { SelectVideoDevice(action); }); });
}

QAction *GstVideoPreview::entry(const QString &path) const
{
    for (QAction *action : m_entries->actions()) {
        if (action->data().toString() == path)
            return action;
    }
    return nullptr;
}

void GstVideoPreview::SelectVideoDevice(QAction *entry)
{
    // The group has checked the entry already; it keeps its check only once the device runs.
    if (m_chosen)
        m_chosen->setChecked(true);
    else if (entry)
        entry->setChecked(false);
    const int index = entry ? m_devEnum.indexOf(entry->data().toString()) : -1;
    if (index < 0)
        return;

    // A choice still waiting for its verdict is given up for this one.
    m_graph.clear();
    m_graph.release();
    m_starting = entry;
    m_lastChoice = entry;
    m_filter.setDevice(m_devEnum.device(index));
    startPreview(RendererMode::Mixing);
}

void GstVideoPreview::startPreview(RendererMode mode)
{
    m_items.setPlainRenderer(mode == RendererMode::Plain);
    try {
        m_graph.create();
        m_graph.addSourceAndRenderer(m_filter, mode, m_items.VideoWindow->winId());
        m_graph.startPreview();
    } catch (const EDirectShowException &) {
        // Nothing half-built stays: a later Ctrl+V builds it anew.
        m_graph.release();
        if (mode == RendererMode::Mixing) {
            startPreview(RendererMode::Plain);
            return;
        }
        m_starting = nullptr;
        throw;
    }
}

void GstVideoPreview::previewFailed(const QString &text)
{
    if (!m_starting)
        return;
    // The operator sees nothing of the first renderer's failure.
    if (m_graph.rendererMode() == RendererMode::Mixing) {
        m_setup.guarded([this] { startPreview(RendererMode::Plain); });
        return;
    }
    m_starting = nullptr;
    m_setup.guarded([&text] { throw EDirectShowException(text, VideoStep::StartPreview); });
}

void GstVideoPreview::previewStarted()
{
    QAction *entry = m_starting;
    m_starting = nullptr;
    if (!entry)
        return;
    m_setup.guarded([this, entry] {
        // The whole video area; the next layout puts it into its 16:9 frame.
        const QRect r = m_items.GreenRect->geometry();
        m_graph.setKeepAspectRatio(m_setup.keepAR());
        m_items.VideoWindow->setGeometry(r);
        m_graph.setRenderSize(r.size());
        showVideo(true);
        entry->setChecked(true);
        m_chosen = entry;
        m_graph.run();
        m_setup.Videomain->setChecked(true);
        showEnableEntry();
    });
}

void GstVideoPreview::showEnableEntry()
{
    QMenu *menu = m_setup.PopupMenuTablo;
    if (menu->actions().contains(m_setup.Videomain))
        return;
    const QList<QAction *> actions = menu->actions();
    const qsizetype devices = actions.indexOf(m_setup.Devices->menuAction());
    menu->insertAction(devices + 1 < actions.size() ? actions[devices + 1] : nullptr, m_setup.Videomain);
}

void GstVideoPreview::mVideoOnClick(bool checked)
{
    // The check mark changes here, not by Qt's own toggle: a failed start keeps it.
    const bool wasChecked = !checked;
    m_setup.Videomain->setChecked(wasChecked);
    // A device on its way up decides by itself.
    if (m_devEnum.count() == 0 || starting())
        return;
    // Nothing running: the only device, or the one chosen last, is tried again.
    QAction *retry = m_devEnum.count() == 1 ? entry(m_devEnum.device(0).path) : m_lastChoice.data();
    if (retry && !m_graph.active()) {
        showVideo(wasChecked);
        SelectVideoDevice(retry);
        return;
    }
    m_setup.Videomain->setChecked(!wasChecked);
    showVideo(m_setup.Videomain->isChecked());
}

void GstVideoPreview::showVideo(bool shown)
{
    m_items.setStreaming(shown && m_graph.active());
    m_items.VideoWindow->setVisible(shown);
    m_items.GreenRect->setVisible(!shown);
    m_items.ImageNoVideo->setVisible(!shown);
}

void GstVideoPreview::setKeepAspectRatio(bool keep)
{
    m_graph.setKeepAspectRatio(keep);
}

void GstVideoPreview::setRenderSize(const QSize &size)
{
    m_graph.setRenderSize(size);
}

void GstVideoPreview::endPreview()
{
    m_starting = nullptr;
    m_graph.clear();
    m_graph.release();
    m_setup.Videomain->setChecked(false);
    showVideo(false);
}

void GstVideoPreview::deviceAdded(const VideoDevice &device)
{
    const int index = m_devEnum.add(device);
    if (index < 0)
        return;
    addEntry(index);
    if (m_devEnum.count() == 1)
        devicesAvailable(true);
}

void GstVideoPreview::deviceRemoved(const QString &path)
{
    QAction *action = entry(path);
    if (m_devEnum.remove(path) < 0)
        return;
    if (m_filter.device().path == path) {
        if (m_graph.active())
            endPreview();
        m_filter.setDevice(VideoDevice {});
    }
    delete action;
    if (m_devEnum.count() == 0) {
        m_setup.Videomain->setChecked(false);
        showVideo(false);
        devicesAvailable(false);
    }
}

extern "C" Q_DECL_EXPORT VideoPreview *scorelaneMakeVideoPreview(
    VideoPreview::Setup *setup, VideoPreview::Items *items)
{
    return new GstVideoPreview(std::move(*setup), std::move(*items));
}
