#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

typedef struct _GstDevice GstDevice;
typedef struct _GstElement GstElement;

enum class RendererMode
{
    Mixing, // keeps the aspect ratio on request
    Plain, // always stretches
};

// The two renderers as pipeline descriptions, the sink last. Tests that run without an X
// server put fakesink in their place: a real sink given an offscreen window's id ends the
// process with an X error.
struct VideoRenderers
{
    QByteArray mixing = "glimagesink";
    QByteArray plain = "videoconvert ! videoscale ! ximagesink force-aspect-ratio=false";
};

// One capture device as the device list keeps it.
struct VideoDevice
{
    // Stable key: the device node where the system names one, else the name. The same camera
    // seen by two providers has the same key.
    QString path;
    QString name;
    // The framework's device, or a pipeline description of the source for the made-up cameras
    // of tests and of the developer aid (see TestPatternDevices).
    std::shared_ptr<GstDevice> device;
    QByteArray sourceDescription;

    // A new source element for the device (floating reference); throws EDirectShowException.
    GstElement *createSource() const;
};

// Where the device list comes from: the system's device monitor in the program, made-up
// cameras in tests. After probe() it reports cameras plugged in and unplugged.
class VideoDeviceProvider : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // The devices present now; called once.
    virtual QList<VideoDevice> probe() = 0;

signals:
    void deviceAdded(const VideoDevice &device);
    void deviceRemoved(const QString &path);
};

// The system's video sources through GstDeviceMonitor. Tests give theirs through
// TForm1::Environment::videoDevices.
std::unique_ptr<VideoDeviceProvider> makeVideoDeviceProvider();

// gst_init, once; every entry into the framework goes through here first.
void initGStreamer();
