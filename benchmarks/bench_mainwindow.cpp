// Key press to pixels: the Enter that completes a competitor's marks, up to the end
// of the main window's repaint, against a repaint of the unchanged window. Every
// Enter also writes the recovery file, the worst case of typing after a pause.
#include "guienvironment.h"
#include "ratioreporter.h"

#include "app/mainwindow.h"
#include "app/recovery.h"
#include "grid/sortgrid.h"
#include "platform/monitors.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <random>

namespace {

constexpr int kCompetitors = 1000;

struct Fixture
{
    QTemporaryDir dir;
    FixedMonitorList monitors { { QRect(0, 0, 1920, 1080) } };
    TForm1 form { TForm1::Environment { dir.filePath(QStringLiteral("bench.ini")), &monitors } };

    Fixture()
    {
        TSortGrid *grid = form.SortGrid1;
        grid->setRowCount(kCompetitors + 1);
        std::mt19937 random(3);
        for (int row = 1; row <= kCompetitors; ++row) {
            grid->setCells(0, row, QString::number(row));
            grid->setCells(1, row, QStringLiteral("Paar %1").arg(row));
            grid->setCells(2, row, QStringLiteral("Club %1").arg(row % 37));
            for (int judge = 0; judge < 5; ++judge)
                grid->setCells(3 + judge, row, QString::number(random() % 11));
        }
        form.table().AssignPlaces();
        form.recovery().setInterval(0);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("the main window was not shown");
        QApplication::processEvents();
    }

    // The whole window painted at once, as the screen gets it.
    void paint()
    {
        QApplication::sendPostedEvents();
        form.render(&frame);
    }

    QImage frame { QSize(900, 525), QImage::Format_ARGB32_Premultiplied };

    // A row whose last mark is being typed, with the editor open on it.
    void prepareEntry(int row)
    {
        TSortGrid *grid = form.SortGrid1;
        grid->setCells(7, row, QString());
        grid->MoveCurrent(7, row);
        grid->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_8);
        // The digit's write, then the end of its interval: the Enter is a change after a pause.
        QApplication::processEvents();
        QApplication::processEvents();
    }
};

// Made on first use and gone before the application object is.
std::unique_ptr<Fixture> g_fixture;

Fixture &fixture()
{
    if (!g_fixture)
        g_fixture = std::make_unique<Fixture>();
    return *g_fixture;
}

void BM_EnterToPixels(benchmark::State &state)
{
    Fixture &f = fixture();
    int row = 1;
    for (auto _ : state) {
        state.PauseTiming();
        row = row % kCompetitors + 1;
        f.prepareEntry(row);
        state.ResumeTiming();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        f.paint();
    }
}

void BM_PlainRepaint(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        f.paint();
}

BENCHMARK(BM_EnterToPixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRepaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    GuiBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    const int result = runWithRatios(argc, argv, { { "BM_EnterToPixels", "BM_PlainRepaint", 3.0 } });
    g_fixture.reset();
    return result;
}
