#include "video/testpatterndevices.h"

TestPatternDevices::TestPatternDevices(QList<VideoDevice> devices)
    : m_devices(std::move(devices))
{ }

VideoDevice TestPatternDevices::camera(const QString &name, const QByteArray &sourceDescription)
{
    VideoDevice device;
    device.path = QStringLiteral("test:") + name;
    device.name = name;
    device.sourceDescription = sourceDescription;
    return device;
}

QList<VideoDevice> TestPatternDevices::probe()
{
    ++m_probes;
    return m_devices;
}

void TestPatternDevices::plugIn(const VideoDevice &device)
{
    m_devices.append(device);
    emit deviceAdded(device);
}

void TestPatternDevices::unplug(const QString &path)
{
    m_devices.removeIf([&](const VideoDevice &device) { return device.path == path; });
    emit deviceRemoved(path);
}
