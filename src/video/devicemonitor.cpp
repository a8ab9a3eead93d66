#include "video/devicemonitor.h"

#include "video/videoerror.h"

#include <QMetaObject>

#include <gst/gst.h>

namespace {

// The keys under which providers name the device node, most specific first: PipeWire and
// V4L2 both give api.v4l2.path for the same camera.
constexpr const char *kPathKeys[] = { "api.v4l2.path", "device.path", "object.path" };

GstBusSyncReply onMonitorMessage(GstBus *, GstMessage *message, gpointer data)
{
    auto *self = static_cast<DeviceMonitorProvider *>(data);
    GstDevice *device = nullptr;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_ADDED) {
        gst_message_parse_device_added(message, &device);
        const VideoDevice described = DeviceMonitorProvider::describe(device);
        gst_object_unref(device);
        QMetaObject::invokeMethod(
            self, [self, described] { emit self->deviceAdded(described); }, Qt::QueuedConnection);
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_REMOVED) {
        gst_message_parse_device_removed(message, &device);
        const QString path = DeviceMonitorProvider::describe(device).path;
        gst_object_unref(device);
        QMetaObject::invokeMethod(
            self, [self, path] { emit self->deviceRemoved(path); }, Qt::QueuedConnection);
    }
    return GST_BUS_DROP;
}

} // namespace

void initGStreamer()
{
    gst_init(nullptr, nullptr);
}

GstElement *VideoDevice::createSource() const
{
    initGStreamer();
    if (device) {
        GstElement *element = gst_device_create_element(device.get(), nullptr);
        if (!element)
            throw EDirectShowException(
                QStringLiteral("Could not create the device's source"), VideoStep::AddSource);
        return element;
    }
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description(sourceDescription.constData(), TRUE, &error);
    if (!bin || error) {
        if (bin)
            gst_object_unref(gst_object_ref_sink(bin));
        throw EDirectShowException(error, VideoStep::AddSource);
    }
    return bin;
}

std::unique_ptr<VideoDeviceProvider> makeVideoDeviceProvider()
{
    return std::make_unique<DeviceMonitorProvider>();
}

DeviceMonitorProvider::DeviceMonitorProvider()
{
    initGStreamer();
    m_monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(m_monitor, "Video/Source", nullptr);
    GstBus *bus = gst_device_monitor_get_bus(m_monitor);
    gst_bus_set_sync_handler(bus, onMonitorMessage, this, nullptr);
    gst_object_unref(bus);
}

DeviceMonitorProvider::~DeviceMonitorProvider()
{
    if (m_started)
        gst_device_monitor_stop(m_monitor);
    GstBus *bus = gst_device_monitor_get_bus(m_monitor);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(m_monitor);
}

QList<VideoDevice> DeviceMonitorProvider::probe()
{
    QList<VideoDevice> devices;
    m_started = gst_device_monitor_start(m_monitor);
    if (!m_started)
        return devices;
    GList *list = gst_device_monitor_get_devices(m_monitor);
    for (GList *item = list; item; item = item->next)
        devices.append(describe(GST_DEVICE(item->data)));
    g_list_free_full(list, gst_object_unref);
    return devices;
}

VideoDevice DeviceMonitorProvider::describe(GstDevice *device)
{
    VideoDevice described;
    gchar *name = gst_device_get_display_name(device);
    described.name = QString::fromUtf8(name);
    g_free(name);
    if (GstStructure *properties = gst_device_get_properties(device)) {
        for (const char *key : kPathKeys) {
            if (const gchar *path = gst_structure_get_string(properties, key)) {
                described.path = QString::fromUtf8(path);
                break;
            }
        }
        gst_structure_free(properties);
    }
    if (described.path.isEmpty())
        described.path = described.name;
    described.device.reset(GST_DEVICE(gst_object_ref(device)), [](GstDevice *d) { gst_object_unref(d); });
    return described;
}
