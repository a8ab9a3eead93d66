#pragma once

#include "video/videodevice.h"

// Made-up cameras whose sources are pipeline descriptions (videotestsrc), for the tests, which
// hand them in through TForm1::Environment::videoDevices. They go through the same device
// list and preview as real ones; plugIn and unplug report as a device monitor does.
class TestPatternDevices : public VideoDeviceProvider
{
    Q_OBJECT
public:
    explicit TestPatternDevices(QList<VideoDevice> devices = {});
    // A camera keyed "test:" + name.
    static VideoDevice camera(const QString &name, const QByteArray &sourceDescription);

    QList<VideoDevice> probe() override;
    int probes() const { return m_probes; }

    void plugIn(const VideoDevice &device);
    void unplug(const QString &path);

private:
    QList<VideoDevice> m_devices;
    int m_probes = 0;
};
