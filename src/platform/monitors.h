#pragma once

#include <QList>
#include <QRect>

// The system's monitors in the platform's order, numbered from 0, each with its full
// rectangle in desktop coordinates (not only the work area).
class MonitorList
{
public:
    virtual ~MonitorList() = default;
    // At least 1.
    virtual int count() const = 0;
    // A number outside 0 .. count-1 gives monitor 0's rectangle.
    virtual QRect rect(int index) const = 0;
    // The monitor that shows the most of the rectangle; -1 when none shows any of it.
    int monitorShowing(const QRect &area) const;
};

// The monitors of the running Qt application.
class ScreenMonitorList : public MonitorList
{
public:
    int count() const override;
    QRect rect(int index) const override;
};

// A fixed list, for tests and for a platform without screens.
class FixedMonitorList : public MonitorList
{
public:
    explicit FixedMonitorList(QList<QRect> rects);
    int count() const override;
    QRect rect(int index) const override;

private:
    QList<QRect> m_rects;
};
