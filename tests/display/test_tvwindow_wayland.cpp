// Runs under Weston with two outputs side by side (tests/support/weston-two-outputs.sh).
// A Wayland client cannot place its window: it can only ask for full screen on an output,
// and the compositor says where the window went (the screen Qt reports for it).
#include "tvwindowfixture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <functional>

namespace {

using TVWindowWayland = TVWindowFixture;

bool waitFor(const std::function<bool()> &done)
{
    for (int i = 0; i < 150 && !done(); ++i)
        QTest::qWait(20);
    return done();
}

TEST_F(TVWindowWayland, FullScreenOnTheChosenOutput)
{
    create(std::make_unique<ScreenMonitorList>(), Pictures::defaultBackground());
    const QList<QScreen *> screens = QGuiApplication::screens();
    ASSERT_EQ(monitors->count(), 2);
    ASSERT_NE(monitors->rect(0), monitors->rect(1));
    const auto landsOn = [this, &screens](int monitor) {
        SCOPED_TRACE(monitor);
        EXPECT_TRUE(tv->isFullScreen());
        EXPECT_TRUE(waitFor([&] {
            return tv->windowHandle()->screen() == screens[monitor]
                && tv->size() == monitors->rect(monitor).size();
        })) << "on "
            << qPrintable(tv->windowHandle()->screen()->name()) << ", wanted "
            << qPrintable(screens[monitor]->name());
        EXPECT_EQ(tv->size(), monitors->rect(monitor).size());
        EXPECT_EQ(tv->Image1->geometry(), QRect(QPoint(0, 0), monitors->rect(monitor).size()));
    };

    for (int m : { 1, 0 }) {
        tv->hide();
        QTest::qWait(100);
        Monitor = m;
        tv->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(tv.get()));
        landsOn(m);
    }
    // The settings dialog's move while shown, then Ctrl+T twice.
    Monitor = 1;
    tv->PlaceTVWindow();
    landsOn(1);
    tv->hide();
    QTest::qWait(100);
    tv->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tv.get()));
    landsOn(1);
}

} // namespace
