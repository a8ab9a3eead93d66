// Repainting the whole TV window at 3840 x 2160 with a competitor and a logo shown, against
// drawing only its stretched background picture at that size. The background's scaled copy
// is made once per size, so a repaint should cost little more than putting that picture out.
// The figures reach 240 pixels there, which Qt draws from outlines, so the labels keep what
// they drew. The window paints every item through render(), the same paint events a repaint
// sends: the offscreen platform does not repaint a window synchronously.
#include "guienvironment.h"
#include "ratioreporter.h"

#include "display/label3d.h"
#include "display/picturebox.h"
#include "display/pictures.h"
#include "display/scoreboard.h"
#include "display/tvwindow.h"
#include "platform/monitors.h"

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QWindow>

#include <memory>

namespace {

const QSize kSize(3840, 2160);

struct Window
{
    FixedMonitorList monitors { { QRect(QPoint(0, 0), kSize) } };
    std::unique_ptr<TFormTV> tv;

    Window()
    {
        TFormTV::Setup setup;
        setup.monitors = &monitors;
        setup.background = [](QSize area) { return Pictures::defaultBackground(area); };
        tv = std::make_unique<TFormTV>(std::move(setup));
        QImage logo(800, 200, QImage::Format_RGB32);
        logo.fill(QColor(170, 20, 40));
        tv->ImageNoVideo->setPicture(logo);
        tv->show();
        for (int i = 0; i < 100 && !tv->windowHandle()->isExposed(); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

        Scoreboard &s = tv->scoreboard();
        const char *const marks[] = { "8", "9", "7", "10", "8" };
        for (int judge = 1; judge <= 5; ++judge)
            s.Lab(judge)->setCaption(QString::fromLatin1(marks[judge - 1]));
        for (int judge = 6; judge <= 7; ++judge)
            s.Lab(judge)->hide();
        s.LabNum()->setCaption(QStringLiteral("117"));
        s.LabName()->setCaption(QStringLiteral("Laura Schmidt / Max Weber\r\nTSC Blau-Gold Rostock"));
        s.LabGesamt()->setCaption(QStringLiteral("25"));
        s.LabPlatz()->setCaption(QStringLiteral("1"));
        s.xLab1()->setGeometry(s.Lab(3)->geometry());
        s.xLab2()->setGeometry(s.Lab(4)->geometry());
        s.xLab1()->show();
        s.xLab2()->show();
    }
};

// Made on first use and gone before the application object.
std::unique_ptr<Window> g_window;

Window &window()
{
    if (!g_window)
        g_window = std::make_unique<Window>();
    return *g_window;
}

// The format the window paints into, so the baseline writes the same pixels.
QImage::Format windowFormat()
{
    const auto *image = dynamic_cast<const QImage *>(window().tv->backingStore()->paintDevice());
    return image && !image->isNull() ? image->format() : QImage::Format_ARGB32_Premultiplied;
}

void BM_TVWindowRepaint(benchmark::State &state)
{
    TFormTV &tv = *window().tv;
    if (tv.size() != kSize) {
        state.SkipWithError("the window did not get the monitor's size");
        return;
    }
    QImage image(kSize, windowFormat());
    for (auto _ : state) {
        tv.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_StretchedBackground(benchmark::State &state)
{
    FittedPicture background(PictureFit::Stretch);
    background.setPicture(Pictures::defaultBackground());
    background.setAreaSize(kSize);
    QImage image(kSize, windowFormat());
    for (auto _ : state) {
        QPainter painter(&image);
        background.paint(painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

BENCHMARK(BM_TVWindowRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchedBackground)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    GuiBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    const int result = runWithRatios(argc, argv, { { "BM_TVWindowRepaint", "BM_StretchedBackground", 1.5 } });
    g_window.reset();
    return result;
}
