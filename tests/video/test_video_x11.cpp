// The live picture on a real X server (tests/support/two-monitors.sh): where the renderers
// draw, seen on the screen itself; QWidget::grab() would not see the video.
#include "videotestfixture.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>

namespace {

constexpr QRgb kGreen = qRgb(0, 192, 0);

class VideoX11 : public VideoFixture
{
protected:
    // A 4:3 green picture, so that letter-box and stretch differ; raw or as the camera's MJPEG.
    void startGreen(const VideoRenderers &renderers, const char *encoder = nullptr)
    {
        start({ camera("Green", 640, 480, "solid-color foreground-color=0xff00c000", encoder) }, renderers,
            std::make_unique<ScreenMonitorList>());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
        ASSERT_TRUE(waitFor([this] { return tv()->isVisible() && tv()->size() == QSize(1920, 1080); }));
    }

    QImage tvScreen(const char *name) const
    {
        QScreen *screen = tv()->screen();
        QImage image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        if (const QString shots = qEnvironmentVariable("SCORELANE_SCREENSHOTS"); !shots.isEmpty())
            image.save(QDir(shots).filePath(QLatin1String(name) + QLatin1String(".png")));
        return image;
    }

    static bool green(QRgb pixel) { return qGreen(pixel) > 150 && qRed(pixel) < 60 && qBlue(pixel) < 60; }

    // Green pixels inside and outside a rectangle, on a grid of every fourth pixel.
    static std::pair<int, int> greenInsideOutside(const QImage &image, const QRect &rect)
    {
        int inside = 0;
        int outside = 0;
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                if (green(image.pixel(x, y)))
                    ++(rect.contains(x, y) ? inside : outside);
            }
        }
        return { inside, outside };
    }

    static int samples(const QRect &rect) { return ((rect.width() + 3) / 4) * ((rect.height() + 3) / 4); }

    // Waits for the picture to settle to the expected green area.
    QImage waitForGreen(const QRect &area, const char *name)
    {
        QImage shot;
        waitFor([&] {
            shot = tvScreen(name);
            const auto [inside, outside] = greenInsideOutside(shot, area);
            return outside == 0 && inside >= samples(area.adjusted(4, 4, -4, -4));
        });
        return shot;
    }
};

TEST_F(VideoX11, GlImageSinkLetterBoxesInsideTheVideoAreaAndStretchesOnAspectRatio)
{
    startGreen(VideoRenderers {});
    ASSERT_EQ(boxes(), 0);
    ASSERT_EQ(video()->graph().rendererMode(), RendererMode::Mixing);
    const QRect videoArea(320, 180, 1280, 720);
    ASSERT_EQ(tv()->VideoWindow->geometry(), videoArea);

    // 4:3 at the area's height: 960 wide, centred; black bars left and right.
    const QRect letterBox(480, 180, 960, 720);
    QImage shot = waitForGreen(letterBox, "glimagesink-letterbox");
    auto [inside, outside] = greenInsideOutside(shot, letterBox);
    EXPECT_EQ(outside, 0);
    EXPECT_GE(inside, samples(letterBox.adjusted(4, 4, -4, -4)));
    EXPECT_TRUE(green(shot.pixel(960, 540)));
    EXPECT_EQ(shot.pixel(400, 540), qRgb(0, 0, 0));

    clickInPopup(form->Aspectratio1);
    EXPECT_FALSE(form->Aspectratio1->isChecked());
    EXPECT_FALSE(form->KeepAR());
    gboolean keep = TRUE;
    g_object_get(video()->graph().sink(), "force-aspect-ratio", &keep, nullptr);
    EXPECT_FALSE(keep);
    shot = waitForGreen(videoArea, "glimagesink-stretched");
    std::tie(inside, outside) = greenInsideOutside(shot, videoArea);
    EXPECT_EQ(outside, 0);
    EXPECT_GE(inside, samples(videoArea.adjusted(4, 4, -4, -4)));
    EXPECT_TRUE(green(shot.pixel(400, 540)));
}

TEST_F(VideoX11, XImageSinkFallbackDrawsInsideTheVideoAreaWithoutABox)
{
    VideoRenderers renderers;
    renderers.mixing = "nosuchsink_xyz";
    startGreen(renderers);
    EXPECT_EQ(boxes(), 0);
    ASSERT_EQ(video()->graph().rendererMode(), RendererMode::Plain);
    // The plain renderer cannot keep the ratio: a 4:3 frame at the area's left edge.
    const QRect frame(320, 180, 960, 720);
    ASSERT_EQ(tv()->VideoWindow->geometry(), frame);
    const QImage shot = waitForGreen(frame, "ximagesink");
    const auto [inside, outside] = greenInsideOutside(shot, frame);
    EXPECT_EQ(outside, 0);
    EXPECT_GE(inside, samples(frame.adjusted(4, 4, -4, -4)));
}

TEST_F(VideoX11, AnMjpegCameraIsDecodedAndShown)
{
    startGreen(VideoRenderers {}, "jpegenc");
    ASSERT_EQ(boxes(), 0) << MessageBox::lastText().toStdString();
    ASSERT_EQ(video()->graph().rendererMode(), RendererMode::Mixing);
    const QRect letterBox(480, 180, 960, 720);
    const QImage shot = waitForGreen(letterBox, "glimagesink-mjpeg");
    const auto [inside, outside] = greenInsideOutside(shot, letterBox);
    EXPECT_EQ(outside, 0);
    EXPECT_GE(inside, samples(letterBox.adjusted(4, 4, -4, -4)));
}

} // namespace
