#pragma once

#include "app/mainwindow.h"
#include "display/picturebox.h"
#include "display/tvwindow.h"
#include "platform/messagebox.h"
#include "platform/monitors.h"
#include "video/gstvideopreview.h"
#include "video/testpatterndevices.h"
#include "video/videowindow.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

// The real main window with made-up cameras (videotestsrc) through the program's own device
// list and preview; the renderers are given by each test.
class VideoFixture : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    std::unique_ptr<MonitorList> monitors;
    TestPatternDevices *devices = nullptr; // made at the probe, owned by the TV window
    std::unique_ptr<TForm1> form;
    int boxesBefore = 0;

    // A camera giving pictures of the given size, raw or as MJPEG; its key is "test:" + name.
    static VideoDevice camera(const char *name, int width = 320, int height = 240,
        const char *pattern = "smpte", const char *encoder = nullptr)
    {
        QString source = QStringLiteral(
            "videotestsrc is-live=true pattern=%1 ! capsfilter caps=video/x-raw,width=%2,height=%3")
                             .arg(QLatin1String(pattern))
                             .arg(width)
                             .arg(height);
        if (encoder)
            source += QStringLiteral(" ! ") + QLatin1String(encoder);
        return TestPatternDevices::camera(QString::fromLatin1(name), source.toUtf8());
    }

    // A camera that opens but never delivers a picture.
    static VideoDevice silentCamera(const char *name)
    {
        return TestPatternDevices::camera(
            QString::fromLatin1(name), "videotestsrc is-live=true ! identity drop-probability=1.0");
    }

    void TearDown() override
    {
        form.reset();
        MessageBox::setAutoAnswer(std::nullopt);
    }

    void start(QList<VideoDevice> list, const VideoRenderers &renderers,
        std::unique_ptr<MonitorList> monitorList = nullptr)
    {
        MessageBox::setAutoAnswer(QMessageBox::Ok);
        boxesBefore = MessageBox::shownCount();
        monitors = monitorList ? std::move(monitorList)
                               : std::make_unique<FixedMonitorList>(QList<QRect> { QRect(0, 0, 1920, 1080) });
        TForm1::Environment environment { dir.filePath(QStringLiteral("Scorelane.ini")), monitors.get() };
        environment.videoDevices = [this, list] {
            auto provider = std::make_unique<TestPatternDevices>(list);
            devices = provider.get();
            return provider;
        };
        environment.videoRenderers = renderers;
        form = std::make_unique<TForm1>(std::move(environment));
        // Start-up does not wait for the cameras: they are asked once the window has painted.
        EXPECT_EQ(devices, nullptr);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(waitFor([this] { return video() && video()->probed(); }));
        ASSERT_NE(devices, nullptr);
        settle();
    }

    // A device on its way up has its verdict: the first picture, or an error within the
    // verdict time (twice that with the fallback renderer).
    void settle()
    {
        ASSERT_TRUE(waitFor([this] { return !video()->starting(); }, 6000));
    }

    static bool waitFor(const std::function<bool()> &done, int milliseconds = 3000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > milliseconds)
                return false;
            QTest::qWait(10);
        }
        return true;
    }

    // The program loaded the video module this binary is linked with: the same preview class.
    GstVideoPreview *video() const { return static_cast<GstVideoPreview *>(form->FormTV()->video()); }
    TFormTV *tv() const { return form->FormTV(); }
    int boxes() const { return MessageBox::shownCount() - boxesBefore; }

    void ctrlV() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier); }

    // The video button, then an entry of its popup.
    void clickInPopup(QAction *action)
    {
        QTest::mouseClick(form->bVideo, Qt::LeftButton);
        QMenu *popup = form->PopupMenuTablo;
        ASSERT_TRUE(waitFor([popup] { return popup->isVisible(); }));
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(action).center());
    }

    void choose(const QString &path)
    {
        QMenu *devicesMenu = form->Devices;
        QAction *entry = video()->entry(path);
        ASSERT_NE(entry, nullptr) << path.toStdString();
        clickInPopup(devicesMenu->menuAction());
        ASSERT_TRUE(waitFor([devicesMenu] { return devicesMenu->isVisible(); }));
        QTest::mouseClick(devicesMenu, Qt::LeftButton, {}, devicesMenu->actionGeometry(entry).center());
        waitFor([this] { return !form->PopupMenuTablo->isVisible(); });
    }

    // The device chosen and its verdict in.
    void chooseAndSettle(const QString &path)
    {
        choose(path);
        settle();
    }

    QStringList entryTexts() const
    {
        QStringList texts;
        for (const QAction *action : form->Devices->actions())
            texts << action->text();
        return texts;
    }

    bool videoShown() const
    {
        return tv()->VideoWindow->isVisibleTo(tv()) && !tv()->ImageNoVideo->isVisibleTo(tv())
            && !tv()->GreenRect->isVisibleTo(tv());
    }
    bool logoShown() const
    {
        return !tv()->VideoWindow->isVisibleTo(tv()) && tv()->ImageNoVideo->isVisibleTo(tv())
            && tv()->GreenRect->isVisibleTo(tv());
    }

    // The picture width negotiated at the running sink: which camera is shown.
    int sinkWidth() const
    {
        GstElement *sink = video()->graph().sink();
        if (!sink)
            return 0;
        GstPad *pad = gst_element_get_static_pad(sink, "sink");
        GstCaps *caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
        int width = 0;
        if (caps)
            gst_structure_get_int(gst_caps_get_structure(caps, 0), "width", &width);
        if (caps)
            gst_caps_unref(caps);
        if (pad)
            gst_object_unref(pad);
        return width;
    }
};
