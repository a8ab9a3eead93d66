// Key press to pixels in a table of 10,000 competitors: the Enter that completes a
// competitor's marks, up to the end of the main window's own repaint of what changed (the
// pixels the screen gets), against a repaint of the whole unchanged window, and against one
// display frame (16.7 ms). The recovery file and the live results take the change on a
// timer after the repaint, outside this interval (bench_recovery and bench_live measure
// them). Opening a protocol of 1,000 and of 100,000 competitors: from the Enter that
// accepts the file dialog, opened by a click on the tool button, to the painted table (the
// button's repaint after its command paints what the command changed; what is left is
// painted), against the text load into the same table plus one plain repaint of the
// window. The protocols are in a folder on the disk, named in the output.
#include "competition.h"
#include "guienvironment.h"
#include "ratioreporter.h"

#include "app/mainwindow.h"
#include "app/recovery.h"
#include "exchange/filedialog.h"
#include "exchange/textresultfile.h"
#include "grid/sortgrid.h"
#include "platform/monitors.h"
#include "scoring/resulttable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace {

// A large open competition over a day.
constexpr int kCompetitors = 10000;

// A main window of its own for the typing and for the files, each with its own recovery
// folder, so that the benchmarks may run in any order.
struct Fixture
{
    QTemporaryDir dir;
    FixedMonitorList monitors { { QRect(0, 0, 1920, 1080) } };
    TForm1 form { TForm1::Environment {
        dir.filePath(QStringLiteral("bench.ini")), &monitors, dir.filePath(QStringLiteral("recovery")) } };

    explicit Fixture(bool competition)
    {
        if (competition) {
            fillCompetition(*form.SortGrid1, kCompetitors, 3);
            form.table().AssignPlaces();
        }
        form.recovery().setInterval(0);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("the main window was not shown");
        QApplication::processEvents();
    }

    // Waits until the work that follows a change on a timer and a thread of its own (the
    // recovery file, the live results) is done, so that it does not fall into the next
    // timed interval.
    void settle()
    {
        QApplication::processEvents();
        form.recovery().waitForWrites();
    }

    // The whole window painted at once into an image: the plain repaint.
    void paint()
    {
        QApplication::sendPostedEvents();
        form.render(&frame);
    }

    QImage frame { QSize(900, 525), QImage::Format_ARGB32_Premultiplied };

    // What a change left to paint, painted into the window as the screen gets it: the
    // window's update that Qt posts after a change, and that the event loop's next pass
    // would deliver, sent at once. After a tool button's command it finds little or
    // nothing: the button's own repaint has painted what the command changed.
    void paintWhatChanged()
    {
        QApplication::sendPostedEvents();
        QEvent request(QEvent::UpdateRequest);
        QApplication::sendEvent(&form, &request);
    }

    // A row whose last mark is being typed, with the editor open on it.
    void prepareEntry(int row)
    {
        QApplication::setActiveWindow(&form);
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

// A placed protocol of that many competitors, saved once and kept for the run.
QString protocolFile(int competitors)
{
    static QTemporaryDir dir;
    static std::map<int, QString> files;
    auto &path = files[competitors];
    if (path.isEmpty()) {
        SortGridCore grid;
        ResultTable table(grid);
        table.setUpGrid();
        table.writeHeader();
        table.SetJudgeCount(5);
        fillCompetition(grid, competitors, 7);
        table.AssignPlaces();
        path = dir.filePath(QStringLiteral("protocol-%1.txt").arg(competitors));
        SaveTextFile(grid, path);
        std::printf("protocol of %d competitors: %s\n", competitors, qPrintable(path));
    }
    return path;
}

// Made on first use and gone before the application object is.
std::unique_ptr<Fixture> g_competition;
std::unique_ptr<Fixture> g_files;

Fixture &competition()
{
    if (!g_competition)
        g_competition = std::make_unique<Fixture>(true);
    return *g_competition;
}

Fixture &files()
{
    if (!g_files)
        g_files = std::make_unique<Fixture>(false);
    return *g_files;
}

void BM_EnterToPixels(benchmark::State &state)
{
    Fixture &f = competition();
    int row = 1;
    for (auto _ : state) {
        state.PauseTiming();
        row = row % kCompetitors + 1;
        f.prepareEntry(row);
        state.ResumeTiming();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        f.paintWhatChanged();
    }
}

void BM_PlainRepaint(benchmark::State &state)
{
    Fixture &f = competition();
    for (auto _ : state)
        f.paint();
}

void BM_OpenProtocol(benchmark::State &state)
{
    Fixture &f = files();
    const QString path = protocolFile(int(state.range(0)));
    QElapsedTimer clock;
    FileDialog::setDriverForTests([&](QFileDialog &dialog) {
        auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!edit)
            qFatal("the file dialog has no name field");
        edit->setText(path);
        clock.start();
        QTest::keyClick(edit, Qt::Key_Return);
    });
    // Once untimed, so that every timed open replaces the same placed protocol; the same
    // for the load below.
    QTest::mouseClick(f.form.sbLoad, Qt::LeftButton);
    for (auto _ : state) {
        f.settle();
        QTest::mouseClick(f.form.sbLoad, Qt::LeftButton);
        f.paintWhatChanged();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    FileDialog::setDriverForTests(nullptr);
    if (f.form.SortGrid1->RowCount() != state.range(0) + 1)
        state.SkipWithError("the protocol was not opened");
}

void BM_LoadAndRepaint(benchmark::State &state)
{
    Fixture &f = files();
    const QString path = protocolFile(int(state.range(0)));
    LoadTextFile(*f.form.SortGrid1, path);
    f.settle();
    for (auto _ : state) {
        LoadTextFile(*f.form.SortGrid1, path);
        f.paint();
    }
}

BENCHMARK(BM_EnterToPixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenProtocol)->Arg(1000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndRepaint)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    GuiBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    const int result = runWithRatios(argc, argv,
        { { "BM_EnterToPixels", "BM_PlainRepaint", 3.0 }, { "BM_EnterToPixels", "", 16.7 },
            { "BM_OpenProtocol", "BM_LoadAndRepaint", 1.5 } },
        {}, { 3, true });
    g_competition.reset();
    g_files.reset();
    return result;
}
