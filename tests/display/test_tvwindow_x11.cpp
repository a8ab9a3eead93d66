// Runs on an X server of its own with two monitors: the primary 1920 x 1080 one on the
// right, and 1280 x 1024 left of it (tests/support/two-monitors.sh).
#include "tvwindowfixture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <functional>

namespace {

using TVWindowX11 = TVWindowFixture;

bool waitFor(const std::function<bool()> &done)
{
    for (int i = 0; i < 100 && !done(); ++i)
        QTest::qWait(20);
    return done();
}

// What the X server shows on its monitors, in desktop coordinates (each screen grabs
// relative to its own top-left corner).
QImage desktop()
{
    QImage image(3200, 1080, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QPainter painter(&image);
    for (QScreen *screen : QGuiApplication::screens())
        painter.drawPixmap(screen->geometry().topLeft(), screen->grabWindow(0));
    painter.end();
    return image;
}

int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    }
    return count;
}

TEST_F(TVWindowX11, LandsExactlyOnTheChosenMonitorAndIsLaidOutForIt)
{
    writeJpeg("TV-Logo.jpg", wideLogo());
    create(std::make_unique<ScreenMonitorList>(), Pictures::defaultBackground());
    ASSERT_EQ(monitors->count(), 2);
    ASSERT_EQ(monitors->rect(0), QRect(1280, 0, 1920, 1080));
    ASSERT_EQ(monitors->rect(1), QRect(0, 0, 1280, 1024));
    loadCompetitor();
    const QString shots = qEnvironmentVariable("SCORELANE_SCREENSHOTS");
    const QImage empty = desktop();

    struct Case
    {
        int monitor;
        QRect bounds, lab1, videoWindow;
    };
    const Case cases[] = {
        { 1, { 0, 0, 1280, 1024 }, { 228, 881, 88, 86 }, { 33, 170, 1214, 683 } },
        { 0, { 1280, 0, 1920, 1080 }, { 342, 930, 133, 90 }, { 320, 180, 1280, 720 } },
    };
    const auto landsOn = [this, &empty](const QRect &bounds) {
        EXPECT_EQ(tv->geometry(), bounds);
        EXPECT_EQ(tv->frameGeometry(), bounds);
        EXPECT_EQ(tv->windowHandle()->geometry(), bounds);
        // The server shows exactly the window's picture in that rectangle and nothing of it
        // anywhere else.
        const QImage window = tv->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QImage shown;
        EXPECT_TRUE(waitFor([&] {
            shown = desktop();
            return differingPixels(shown.copy(bounds), window) == 0;
        })) << differingPixels(shown.copy(bounds), window)
            << " pixels differ";
        int changedOutside = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x)
                changedOutside += !bounds.contains(x, y) && shown.pixel(x, y) != empty.pixel(x, y);
        }
        EXPECT_EQ(changedOutside, 0);
        return shown;
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(c.monitor);
        tv->hide();
        Monitor = c.monitor;
        tv->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(tv.get()));
        const QImage shown = landsOn(c.bounds);
        EXPECT_EQ(tv->scoreboard().Lab(1)->geometry(), c.lab1);
        EXPECT_EQ(tv->VideoWindow->geometry(), c.videoWindow);
        // Shown on the window's own layout: 7 struck.
        EXPECT_EQ(tv->scoreboard().xLab1()->geometry(), tv->scoreboard().Lab(3)->geometry());
        if (!shots.isEmpty())
            shown.copy(c.bounds).save(QStringLiteral("%1/tv-x11-%2x%3.png")
                                          .arg(shots)
                                          .arg(c.bounds.width())
                                          .arg(c.bounds.height()));
    }

    // The settings dialog's move while shown: to the left monitor, laid out at once.
    Monitor = 1;
    tv->PlaceTVWindow();
    EXPECT_EQ(tv->scoreboard().Lab(1)->geometry(), cases[0].lab1);
    ASSERT_TRUE(waitFor([this] { return tv->windowHandle()->geometry() == QRect(0, 0, 1280, 1024); }));
    landsOn(cases[0].bounds);

    // ... and while hidden: bounds and layout at once, shown there next time.
    tv->hide();
    Monitor = 0;
    tv->PlaceTVWindow();
    EXPECT_EQ(tv->geometry(), cases[1].bounds);
    EXPECT_EQ(tv->scoreboard().Lab(1)->geometry(), cases[1].lab1);
    tv->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tv.get()));
    landsOn(cases[1].bounds);
}

} // namespace
