// The live picture: CPU time per second of a 1280 x 720, 30 fps videotestsrc preview in the TV
// window of the real program, against gst-launch-1.0 running the same source into the same
// sink (its own window of the same size) in the same run; and the time from Ctrl+V to the
// first buffer at the sink. Needs an X server of at least 1920 x 1080:
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/benchmarks/bench_video
#include "guienvironment.h"
#include "ratioreporter.h"

#include "app/mainwindow.h"
#include "display/tvwindow.h"
#include "platform/ondemandmodule.h"
#include "video/gstvideopreview.h"
#include "video/testpatterndevices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <memory>

namespace {

constexpr const char *kSource
    = "videotestsrc is-live=true ! capsfilter caps=video/x-raw,width=1280,height=720,framerate=30/1";
constexpr const char *kSink = "glimagesink";

double ownCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// utime + stime of another process, from /proc/<pid>/stat.
double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

bool waitFor(const std::function<bool()> &done, int milliseconds = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds)
        QTest::qWait(10);
    return done();
}

struct Program
{
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;

    Program()
    {
        TForm1::Environment environment { dir.filePath(QStringLiteral("Scorelane.ini")), nullptr };
        environment.videoDevices = [] {
            return std::make_unique<TestPatternDevices>(
                QList<VideoDevice> { TestPatternDevices::camera(QStringLiteral("Bench"), kSource) });
        };
        environment.videoRenderers.mixing = kSink;
        form = std::make_unique<TForm1>(std::move(environment));
        form->show();
        (void)QTest::qWaitForWindowExposed(form.get());
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        waitFor(
            [this] { return form->FormTV()->video() && video().graph().active() && !video().starting(); });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
        waitFor([this] { return form->FormTV()->isVisible(); });
        QTest::qWait(1000);
    }

    GstVideoPreview &video() const { return static_cast<GstVideoPreview &>(*form->FormTV()->video()); }
};

std::unique_ptr<Program> g_program;

Program &program()
{
    if (!g_program)
        g_program = std::make_unique<Program>();
    return *g_program;
}

void BM_PreviewInTVWindow(benchmark::State &state)
{
    Program &p = program();
    if (!p.video().graph().active() || p.video().graph().rendererMode() != RendererMode::Mixing) {
        state.SkipWithError("the preview did not start with glimagesink");
        return;
    }
    for (auto _ : state) {
        const double before = ownCpuSeconds();
        QTest::qWait(1000);
        state.SetIterationTime(ownCpuSeconds() - before);
    }
}

void BM_GstLaunchPreview(benchmark::State &state)
{
    // Our own window off the screen while the other one runs, so both draw the same.
    program().form->FormTV()->hide();
    QProcess launch;
    launch.setProgram(QStringLiteral("gst-launch-1.0"));
    launch.setArguments(QProcess::splitCommand(
        QString::fromLatin1(kSource) + QStringLiteral(" ! ") + QString::fromLatin1(kSink)));
    launch.start();
    if (!launch.waitForStarted()) {
        state.SkipWithError("gst-launch-1.0 did not start");
        return;
    }
    QTest::qWait(1000);
    for (auto _ : state) {
        const double before = processCpuSeconds(launch.processId());
        QTest::qWait(1000);
        state.SetIterationTime(processCpuSeconds(launch.processId()) - before);
    }
    launch.terminate();
    launch.waitForFinished(3000);
    program().form->FormTV()->show();
}

void BM_CtrlVToFirstBuffer(benchmark::State &state)
{
    Program &p = program();
    for (auto _ : state) {
        // One device and nothing running: Ctrl+V builds and starts the preview.
        p.video().graph().release();
        // The TV window over the main window on one monitor takes the keys.
        QWidget *window
            = p.form->FormTV()->isVisible() ? static_cast<QWidget *>(p.form->FormTV()) : p.form.get();
        window->activateWindow();
        (void)QTest::qWaitForWindowActive(window);
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        const auto pressed = std::chrono::steady_clock::now();
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        if (!p.video().graph().active()) {
            state.SkipWithError("Ctrl+V did not start the preview");
            return;
        }
        // The preview starts without blocking: its first picture comes while the loop runs.
        waitFor([&p] { return p.video().graph().firstBufferTime().has_value(); }, 3000);
        const auto first = p.video().graph().firstBufferTime();
        if (!first) {
            state.SkipWithError("no buffer reached the sink");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(*first - pressed).count());
        // The verdict follows the first picture; a Ctrl+V before it would wait for it.
        waitFor([&p] { return !p.video().starting(); });
    }
}

BENCHMARK(BM_PreviewInTVWindow)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GstLaunchPreview)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CtrlVToFirstBuffer)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_video needs an X server: run it under xvfb-run\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    GuiBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    videoModule().setPath(QStringLiteral(SCORELANE_VIDEO_MODULE));
    std::printf(
        "CPU time in milliseconds per second of preview; Ctrl+V to the first buffer in milliseconds\n");
    const int result = runWithRatios(argc, argv, { { "BM_PreviewInTVWindow", "BM_GstLaunchPreview", 1.2 } });
    g_program.reset();
    return result;
}
