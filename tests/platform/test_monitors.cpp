#include "platform/monitors.h"

#include <gtest/gtest.h>

TEST(Monitors, NumbersOutsideTheListGiveMonitorZero)
{
    const FixedMonitorList monitors({ QRect(0, 0, 1920, 1080), QRect(-1280, 0, 1280, 1024) });
    EXPECT_EQ(monitors.count(), 2);
    EXPECT_EQ(monitors.rect(1), QRect(-1280, 0, 1280, 1024));
    EXPECT_EQ(monitors.rect(-1), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(monitors.rect(2), QRect(0, 0, 1920, 1080));
}

TEST(Monitors, MonitorShowingAnArea)
{
    const FixedMonitorList monitors({ QRect(0, 0, 1920, 1080), QRect(-1280, 0, 1280, 1024) });
    EXPECT_EQ(monitors.monitorShowing(QRect(-900, 100, 900, 500)), 1);
    EXPECT_EQ(monitors.monitorShowing(QRect(-100, 100, 900, 500)), 0);
    EXPECT_EQ(monitors.monitorShowing(QRect(5000, 100, 900, 500)), -1);
    EXPECT_EQ(FixedMonitorList({}).count(), 1);
}
