#include "app/mainwindow.h"
#include "display/tvwindow.h"
#include "live/liveresults.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

bool mapped(const char *library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

// What was loaded when the window painted for the first time.
class FirstPaintWatch : public QObject
{
public:
    bool painted = false;
    bool gstreamerLoaded = false;
    bool moduleLoaded = false;
    bool liveModuleLoaded = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            gstreamerLoaded = mapped("libgstreamer-1.0");
            moduleLoaded = mapped("libscorelane-video");
            liveModuleLoaded = mapped("libscorelane-live");
        }
        return false;
    }
};

// A main window with settings of its own, shown and watched for its first paint.
class StartUp : public ::testing::Test
{
protected:
    TForm1 &showMainWindow()
    {
        form
            = std::make_unique<TForm1>(TForm1::Environment { dir.filePath(QStringLiteral("Scorelane.ini")) });
        form->installEventFilter(&watch);
        form->show();
        return *form;
    }

    QTemporaryDir dir;
    FirstPaintWatch watch;
    std::unique_ptr<TForm1> form;
};

} // namespace

// The main window paints before GStreamer is loaded; the video module comes right after, when
// the cameras are listed, and the video controls work from there on.
TEST_F(StartUp, VideoModuleIsLoadedAfterTheFirstPaint)
{
    ASSERT_FALSE(mapped("libgstreamer-1.0"));
    TForm1 &form = showMainWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return watch.painted; }));
    EXPECT_FALSE(watch.gstreamerLoaded);
    EXPECT_FALSE(watch.moduleLoaded);

    ASSERT_TRUE(QTest::qWaitFor([&form] { return form.FormTV()->video() != nullptr; }));
    EXPECT_TRUE(form.FormTV()->video()->probed());
    EXPECT_TRUE(mapped("libgstreamer-1.0"));
    EXPECT_TRUE(mapped("libscorelane-video"));
}

// The live module (and with it Qt Network) is not loaded for the first paint; the live
// results' first start brings it.
TEST_F(StartUp, LiveModuleIsLoadedWhenTheLiveResultsStart)
{
    TForm1 &form = showMainWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return watch.painted; }));
    EXPECT_FALSE(watch.liveModuleLoaded);

    LiveService &service = form.liveResults().service();
    ASSERT_EQ(service.start(0, LiveScope::ThisComputer), QString());
    EXPECT_TRUE(service.isRunning());
    EXPECT_TRUE(mapped("libscorelane-live"));
}
