#include "video/sysdevenum.h"

#include <algorithm>

namespace {

bool before(const VideoDevice &a, const VideoDevice &b)
{
    return a.path != b.path ? a.path < b.path : a.name < b.name;
}

} // namespace

TSysDevEnum::TSysDevEnum(const QList<VideoDevice> &devices)
{
    for (const VideoDevice &device : devices)
        add(device);
}

int TSysDevEnum::indexOf(const QString &path) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_devices[i].path == path)
            return i;
    }
    return -1;
}

int TSysDevEnum::add(VideoDevice device)
{
    if (indexOf(device.path) >= 0)
        return -1;
    device.name.truncate(kMaxNameLength);
    const auto at = std::lower_bound(m_devices.begin(), m_devices.end(), device, before);
    const int index = int(at - m_devices.begin());
    m_devices.insert(index, std::move(device));
    return index;
}

int TSysDevEnum::remove(const QString &path)
{
    const int index = indexOf(path);
    if (index >= 0)
        m_devices.removeAt(index);
    return index;
}
