#include "video/sysdevenum.h"

#include <algorithm>

namespace {

// Natural order: a run of digits compares by its number, so /dev/video2 comes before
// /dev/video10; "video02" and "video2" fall back to plain order.
int naturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            // Leading zeros do not make a number larger.
            qsizetype startA = i;
            qsizetype startB = j;
            while (startA + 1 < endA && a[startA] == u'0')
                ++startA;
            while (startB + 1 < endB && b[startB] == u'0')
                ++startB;
            const qsizetype lengthA = endA - startA;
            const qsizetype lengthB = endB - startB;
            if (lengthA != lengthB)
                return lengthA < lengthB ? -1 : 1;
            if (const int c
                = QStringView(a).mid(startA, lengthA).compare(QStringView(b).mid(startB, lengthB)))
                return c;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b);
}

bool before(const VideoDevice &a, const VideoDevice &b)
{
    if (const int c = naturalCompare(a.path, b.path))
        return c < 0;
    return a.name < b.name;
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
