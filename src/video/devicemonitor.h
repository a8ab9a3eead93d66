#pragma once

#include "video/videodevice.h"

typedef struct _GstDeviceMonitor GstDeviceMonitor;

// The system's video sources ("Video/Source") through GstDeviceMonitor, which also reports
// hot-plugging. Its messages come on the framework's threads and reach this object queued.
class DeviceMonitorProvider : public VideoDeviceProvider
{
    Q_OBJECT
public:
    DeviceMonitorProvider();
    ~DeviceMonitorProvider() override;

    QList<VideoDevice> probe() override;

    // The device's key and name as the list keeps them.
    static VideoDevice describe(GstDevice *device);

private:
    GstDeviceMonitor *m_monitor = nullptr;
    bool m_started = false;
};
