#pragma once

#include "video/videodevice.h"

// Made-up cameras whose sources are pipeline descriptions (videotestsrc), for the tests and
// for running the program without a camera. They go through the same device list and
// preview as real ones; plugIn and unplug report as a device monitor does.
class TestPatternDevices : public VideoDeviceProvider
{
    Q_OBJECT
public:
    // The developer aid: SCORELANE_VIDEO_TEST_DEVICES holds "name=description" entries
    // separated by ";", for example
    //   SCORELANE_VIDEO_TEST_DEVICES='Testbild=videotestsrc is-live=true pattern=smpte'
    static constexpr const char *kEnvironmentVariable = "SCORELANE_VIDEO_TEST_DEVICES";

    explicit TestPatternDevices(QList<VideoDevice> devices = {});
    // Parses the variable's value; an entry without "=" is skipped.
    static QList<VideoDevice> fromList(const QString &list);
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
