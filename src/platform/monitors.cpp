#include "platform/monitors.h"

#include <QGuiApplication>
#include <QScreen>

int MonitorList::monitorShowing(const QRect &area) const
{
    int best = -1;
    qint64 bestArea = 0;
    for (int i = 0; i < count(); ++i) {
        const QRect shown = rect(i).intersected(area);
        const qint64 size = qint64(shown.width()) * shown.height();
        if (!shown.isEmpty() && size > bestArea) {
            best = i;
            bestArea = size;
        }
    }
    return best;
}

int ScreenMonitorList::count() const
{
    return std::max<int>(1, int(QGuiApplication::screens().size()));
}

QRect ScreenMonitorList::rect(int index) const
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return QRect(0, 0, 1024, 768);
    if (index < 0 || index >= screens.size())
        index = 0;
    return screens[index]->geometry();
}

FixedMonitorList::FixedMonitorList(QList<QRect> rects)
    : m_rects(std::move(rects))
{
    if (m_rects.isEmpty())
        m_rects.append(QRect(0, 0, 1920, 1080));
}

int FixedMonitorList::count() const
{
    return int(m_rects.size());
}

QRect FixedMonitorList::rect(int index) const
{
    if (index < 0 || index >= m_rects.size())
        index = 0;
    return m_rects[index];
}
