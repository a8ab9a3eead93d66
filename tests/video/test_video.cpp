// The live picture offscreen: made-up cameras through the program's device list and preview,
// fakesink in place of the renderers (a real one would be handed an offscreen window's id).
#include "videotestfixture.h"

#include "video/sysdevenum.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThreadPool>

namespace {

VideoRenderers fakeSinks()
{
    VideoRenderers renderers;
    renderers.mixing = "fakesink";
    renderers.plain = "fakesink";
    return renderers;
}

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

QString threadNames()
{
    QStringList names;
    for (const QString &task :
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly))
            names << QString::fromUtf8(comm.readAll()).trimmed();
    }
    return names.join(u',');
}

using VideoTest = VideoFixture;

// The caps on the source pad of the pipeline's first element made by factory.
QString negotiatedCaps(GstElement *anyElement, const char *factory)
{
    GstElement *pipeline = anyElement;
    while (GST_OBJECT_PARENT(pipeline))
        pipeline = GST_ELEMENT(GST_OBJECT_PARENT(pipeline));
    QString text;
    GstIterator *it = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (text.isEmpty() && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElement *element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory *made = gst_element_get_factory(element);
        if (made && qstrcmp(GST_OBJECT_NAME(made), factory) == 0) {
            GstPad *pad = gst_element_get_static_pad(element, "src");
            if (GstCaps *caps = pad ? gst_pad_get_current_caps(pad) : nullptr) {
                gchar *string = gst_caps_to_string(caps);
                text = QString::fromUtf8(string);
                g_free(string);
                gst_caps_unref(caps);
            }
            if (pad)
                gst_object_unref(pad);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return text;
}

TEST(DeviceList, SortedByKeyInNaturalOrderEachKeyOnceNamesCut)
{
    QList<VideoDevice> nodes;
    for (const char *path : { "/dev/video10", "/dev/video2", "/dev/video1", "/dev/media0", "/dev/video02" }) {
        nodes.append(TestPatternDevices::camera(QString::fromLatin1(path), "videotestsrc"));
        nodes.last().path = QString::fromLatin1(path);
    }
    const TSysDevEnum natural(nodes);
    QStringList order;
    for (int i = 0; i < natural.count(); ++i)
        order << natural.device(i).path;
    EXPECT_EQ(
        order, QStringList({ "/dev/media0", "/dev/video1", "/dev/video02", "/dev/video2", "/dev/video10" }));

    VideoDevice b = TestPatternDevices::camera(QString(300, u'x'), "videotestsrc");
    b.path = QStringLiteral("/dev/video2");
    VideoDevice a = TestPatternDevices::camera(QStringLiteral("Cam A"), "videotestsrc");
    a.path = QStringLiteral("/dev/video0");
    VideoDevice sameAsB
        = TestPatternDevices::camera(QStringLiteral("Cam B by another provider"), "videotestsrc");
    sameAsB.path = b.path;
    const TSysDevEnum list({ b, a, sameAsB });
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.device(0).path, QStringLiteral("/dev/video0"));
    EXPECT_EQ(list.device(1).name, QString(255, u'x'));
}

TEST_F(VideoTest, OneDeviceStartsAfterTheFirstPaintCtrlVHidesAndShowsItAndTheEndLeavesNoThread)
{
    // Qt's own idle pool threads are not ours to count.
    QThreadPool::globalInstance()->setExpiryTimeout(0);
    const int threadsBefore = threadCount();
    start({ camera("Cam") }, fakeSinks());
    EXPECT_EQ(boxes(), 0);
    EXPECT_TRUE(form->bVideo->isEnabled());
    EXPECT_TRUE(form->bVideo->isChecked());
    EXPECT_TRUE(video()->entry(QStringLiteral("test:Cam"))->isChecked());
    EXPECT_TRUE(form->Videomain->isChecked());
    EXPECT_TRUE(form->PopupMenuTablo->actions().contains(form->Videomain));
    EXPECT_EQ(form->Videomain->text(), QStringLiteral("Enable"));
    EXPECT_TRUE(videoShown());
    EXPECT_EQ(sinkWidth(), 320);

    ctrlV();
    EXPECT_TRUE(logoShown());
    EXPECT_FALSE(form->Videomain->isChecked());
    // Hiding does not stop the preview.
    EXPECT_TRUE(video()->graph().active());
    ctrlV();
    EXPECT_TRUE(videoShown());
    EXPECT_TRUE(form->Videomain->isChecked());

    form.reset();
    EXPECT_TRUE(waitFor([&] { return threadCount() <= threadsBefore; }, 2000))
        << threadCount() << " threads, " << threadsBefore << " before: " << threadNames().toStdString();
}

TEST_F(VideoTest, TwoDevicesStartNothingUntilChosenAndChoosingSwitches)
{
    start({ camera("B", 160, 120), camera("A", 320, 240) }, fakeSinks());
    EXPECT_EQ(entryTexts(), QStringList({ QStringLiteral("A"), QStringLiteral("B") }));
    EXPECT_FALSE(video()->graph().active());
    EXPECT_FALSE(form->bVideo->isChecked());
    EXPECT_FALSE(form->PopupMenuTablo->actions().contains(form->Videomain));
    // None chosen: Ctrl+V shows the empty black control.
    ctrlV();
    EXPECT_TRUE(videoShown());
    EXPECT_FALSE(video()->graph().active());
    ctrlV();
    EXPECT_TRUE(logoShown());

    chooseAndSettle(QStringLiteral("test:B"));
    EXPECT_EQ(sinkWidth(), 160);
    EXPECT_TRUE(video()->entry(QStringLiteral("test:B"))->isChecked());
    EXPECT_TRUE(videoShown());
    chooseAndSettle(QStringLiteral("test:A"));
    EXPECT_EQ(sinkWidth(), 320);
    EXPECT_TRUE(video()->entry(QStringLiteral("test:A"))->isChecked());
    EXPECT_FALSE(video()->entry(QStringLiteral("test:B"))->isChecked());
    EXPECT_EQ(boxes(), 0);
}

TEST_F(VideoTest, ADeviceThatCannotBeBuiltShowsTheErrorBoxAndCtrlVTriesAgain)
{
    start({ TestPatternDevices::camera(QStringLiteral("Broken"), "nosuchsource_xyz") }, fakeSinks());
    EXPECT_EQ(boxes(), 1);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("no element \"nosuchsource_xyz\" ($80A10002)."));
    EXPECT_EQ(MessageBox::lastIcon(), QMessageBox::Critical);
    // Start-up went on; nothing claims a picture.
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->Videomain->isEnabled());
    EXPECT_FALSE(form->Videomain->isChecked());
    EXPECT_FALSE(video()->entry(QStringLiteral("test:Broken"))->isChecked());
    EXPECT_TRUE(logoShown());

    ctrlV();
    EXPECT_EQ(boxes(), 2);
    EXPECT_FALSE(form->Videomain->isChecked());
    EXPECT_TRUE(logoShown());
}

TEST_F(VideoTest, FirstRendererFailingFallsBackSilentlyAndALaterErrorShowsTheLogoWithoutABox)
{
    VideoRenderers renderers;
    // Fails only once data flows, after the state change has returned.
    renderers.mixing = "capsfilter caps=video/x-bayer ! fakesink";
    renderers.plain = "fakesink";
    start({ camera("Cam") }, renderers);
    EXPECT_EQ(boxes(), 0);
    EXPECT_EQ(video()->graph().rendererMode(), RendererMode::Plain);
    EXPECT_TRUE(tv()->plainRenderer());
    EXPECT_EQ(sinkWidth(), 320);
    EXPECT_TRUE(videoShown());

    GstElement *sink = video()->graph().sink();
    GError *error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Device went away");
    gst_element_post_message(sink, gst_message_new_error(GST_OBJECT(sink), error, nullptr));
    g_error_free(error);
    EXPECT_TRUE(waitFor([this] { return !video()->graph().active(); }));
    EXPECT_TRUE(logoShown());
    EXPECT_FALSE(form->Videomain->isChecked());
    EXPECT_EQ(boxes(), 0);

    // One device and nothing running: Ctrl+V starts it again.
    ctrlV();
    settle();
    EXPECT_TRUE(video()->graph().active());
    EXPECT_TRUE(videoShown());
}

// A camera of raw pictures sends them in a format the renderer takes, with nothing converted
// on the way; one that sends MJPEG is decoded.
TEST_F(VideoTest, RawPicturesComeInTheRenderersFormatAndMjpegIsDecoded)
{
    VideoRenderers renderers;
    renderers.mixing = "capsfilter caps=video/x-raw,format=RGBA ! fakesink";
    renderers.plain = "fakesink";
    const struct
    {
        const char *encoder, *sourceFactory, *sourceCaps;
    } cases[] = {
        { nullptr, "videotestsrc", "video/x-raw, format=(string)RGBA" },
        { "jpegenc", "jpegenc", "image/jpeg" },
    };
    for (const auto &c : cases) {
        form.reset();
        devices = nullptr;
        start({ camera("Cam", 320, 240, "smpte", c.encoder) }, renderers);
        ASSERT_TRUE(video()->graph().active()) << c.sourceFactory;
        EXPECT_EQ(video()->graph().rendererMode(), RendererMode::Mixing);
        EXPECT_TRUE(waitFor([this] { return sinkWidth() == 320; }));
        EXPECT_TRUE(
            negotiatedCaps(video()->graph().sink(), c.sourceFactory).startsWith(QLatin1String(c.sourceCaps)))
            << qPrintable(negotiatedCaps(video()->graph().sink(), c.sourceFactory));
    }
}

TEST_F(VideoTest, NoDeviceLeavesVideoDisabledAndHotPluggingFollowsTheCameras)
{
    start({}, fakeSinks());
    EXPECT_FALSE(form->bVideo->isEnabled());
    EXPECT_FALSE(form->Videomain->isEnabled());
    ctrlV();
    EXPECT_TRUE(logoShown());

    devices->plugIn(camera("A"));
    devices->plugIn(camera("A")); // the same camera from a second provider
    EXPECT_EQ(entryTexts(), QStringList({ QStringLiteral("A") }));
    EXPECT_TRUE(form->bVideo->isEnabled());
    EXPECT_TRUE(form->Videomain->isEnabled());
    EXPECT_FALSE(video()->graph().active()); // waits to be chosen
    chooseAndSettle(QStringLiteral("test:A"));
    EXPECT_TRUE(videoShown());
    devices->plugIn(camera("B", 160, 120));
    EXPECT_EQ(entryTexts(), QStringList({ QStringLiteral("A"), QStringLiteral("B") }));
    EXPECT_EQ(sinkWidth(), 320);

    devices->unplug(QStringLiteral("test:A"));
    EXPECT_FALSE(video()->graph().active());
    EXPECT_TRUE(logoShown());
    EXPECT_EQ(entryTexts(), QStringList({ QStringLiteral("B") }));
    EXPECT_TRUE(form->Videomain->isEnabled());

    devices->unplug(QStringLiteral("test:B"));
    EXPECT_TRUE(entryTexts().isEmpty());
    EXPECT_FALSE(form->bVideo->isEnabled());
    EXPECT_FALSE(form->Videomain->isEnabled());
    EXPECT_FALSE(form->Videomain->isChecked());
    EXPECT_EQ(boxes(), 0);
}

TEST_F(VideoTest, AnMjpegCameraIsDecoded)
{
    start({ camera("Cam", 320, 240, "smpte", "jpegenc") }, fakeSinks());
    EXPECT_EQ(boxes(), 0) << MessageBox::lastText().toStdString();
    EXPECT_TRUE(videoShown());
    EXPECT_EQ(video()->graph().rendererMode(), RendererMode::Mixing);
    EXPECT_EQ(sinkWidth(), 320);
}

// The choice returns at once; the verdict follows. A second choice made before it gives the
// first one up, which then never shows a box.
TEST_F(VideoTest, ChoosingWaitsForTheVerdictWithoutBlockingAndASecondChoiceCancelsTheFirst)
{
    start({ silentCamera("Silent"), camera("A") }, fakeSinks());
    QElapsedTimer clock;
    clock.start();
    choose(QStringLiteral("test:Silent"));
    EXPECT_TRUE(video()->starting());
    EXPECT_LT(clock.elapsed(), TFilterGraph::kVerdictMilliseconds);

    chooseAndSettle(QStringLiteral("test:A"));
    EXPECT_TRUE(video()->entry(QStringLiteral("test:A"))->isChecked());
    EXPECT_FALSE(video()->entry(QStringLiteral("test:Silent"))->isChecked());
    QTest::qWait(2 * TFilterGraph::kVerdictMilliseconds + 200);
    EXPECT_EQ(boxes(), 0) << MessageBox::lastText().toStdString();
    EXPECT_EQ(sinkWidth(), 320);
    EXPECT_TRUE(videoShown());
}

TEST_F(VideoTest, ACameraThatSendsNoPictureIsAnErrorAndCtrlVTriesAgain)
{
    start({ silentCamera("Silent") }, fakeSinks());
    EXPECT_EQ(boxes(), 1);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("Could not start the preview ($80A10005)."));
    EXPECT_FALSE(video()->graph().active());
    EXPECT_FALSE(form->Videomain->isChecked());
    EXPECT_FALSE(video()->entry(QStringLiteral("test:Silent"))->isChecked());
    EXPECT_TRUE(logoShown());

    ctrlV();
    EXPECT_TRUE(video()->starting());
    settle();
    EXPECT_EQ(boxes(), 2);
    EXPECT_TRUE(logoShown());
}

} // namespace
