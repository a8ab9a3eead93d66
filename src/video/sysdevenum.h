#pragma once

#include "video/videodevice.h"

#include <QList>

// The device list: sorted by key so that the same cameras get the same numbers on every
// start, each key once, names cut to 255 characters.
class TSysDevEnum
{
public:
    static constexpr int kMaxNameLength = 255;

    TSysDevEnum() = default;
    explicit TSysDevEnum(const QList<VideoDevice> &devices);

    int count() const { return int(m_devices.size()); }
    const VideoDevice &device(int i) const { return m_devices.at(i); }
    // -1 when no device has that key.
    int indexOf(const QString &path) const;

    // Both return the device's position, or -1 when nothing changed (key listed already or
    // not listed at all).
    int add(VideoDevice device);
    int remove(const QString &path);

private:
    QList<VideoDevice> m_devices;
};
