#pragma once

#include "video/videodevice.h"

// The source of the preview: holds the chosen device.
class TFilter
{
public:
    void setDevice(const VideoDevice &device) { m_device = device; }
    const VideoDevice &device() const { return m_device; }
    bool hasDevice() const { return !m_device.path.isEmpty(); }

private:
    VideoDevice m_device;
};
