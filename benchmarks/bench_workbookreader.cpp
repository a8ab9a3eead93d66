// Opening a 1,000-row protocol with seven judges as a workbook, each format against
// its floor in the same run: for .xlsx unpacking the sheet with minizip and tokenising
// its XML with QXmlStreamReader; for .xls, which the program reads in a process of its
// own, starting a trivial program that reads every cell with FreeXL (xls_bare), from
// the spawn to its end. FreeXL's read inside this process is printed for the record.
// LibreOffice converting the same files is printed for the record when it is there.
#include "ratioreporter.h"

#include "exchange/workbookreader.h"
#include "exchange/xlsreaderprocess.h"
#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <freexl.h>
#include <unzip.h>

#include <cstdio>

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

const QString kXlsx = QStringLiteral(SCORELANE_TEST_DATA "/workbook/protocol1000.xlsx");
const QString kXls = QStringLiteral(SCORELANE_TEST_DATA "/workbook/protocol1000-lo.xls");

void loadWorkbook(benchmark::State &state, const QString &path)
{
    SortGridCore grid;
    ResultTable table { grid };
    table.setUpGrid();
    table.writeHeader();
    for (auto _ : state)
        LoadWorkbook(grid, path);
    if (grid.RowCount() != 1001 || grid.Cells(11, 1000) != QStringLiteral("1000"))
        state.SkipWithError("the protocol did not read back");
}

void BM_LoadXlsx(benchmark::State &state)
{
    loadWorkbook(state, kXlsx);
}

void BM_LoadXls(benchmark::State &state)
{
    loadWorkbook(state, kXls);
}

void BM_FloorXlsx(benchmark::State &state)
{
    const QByteArray path = kXlsx.toLocal8Bit();
    for (auto _ : state) {
        unzFile zip = unzOpen64(path.constData());
        unzLocateFile(zip, "xl/worksheets/sheet1.xml", 2);
        unzOpenCurrentFile(zip);
        QByteArray xml;
        char buffer[1 << 16];
        for (int got; (got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0;)
            xml.append(buffer, got);
        unzCloseCurrentFile(zip);
        unzClose(zip);
        QXmlStreamReader reader(xml);
        qint64 tokens = 0;
        while (!reader.atEnd()) {
            reader.readNext();
            ++tokens;
        }
        benchmark::DoNotOptimize(tokens);
    }
}

void BM_FloorXls(benchmark::State &state)
{
    const QByteArray path = kXls.toLocal8Bit();
    for (auto _ : state) {
        const void *handle = nullptr;
        freexl_open(path.constData(), &handle);
        freexl_select_active_worksheet(handle, 0);
        unsigned int rows = 0;
        unsigned short cols = 0;
        freexl_worksheet_dimensions(handle, &rows, &cols);
        for (unsigned int r = 0; r < rows; ++r) {
            for (unsigned short c = 0; c < cols && c < 13; ++c) {
                FreeXL_CellValue value;
                freexl_get_cell_value(handle, r, c, &value);
                benchmark::DoNotOptimize(value);
            }
        }
        freexl_close(handle);
    }
}

// Wall time from posix_spawn to the end of the trivial FreeXL program.
void BM_FloorXlsProcess(benchmark::State &state)
{
    const QByteArray program = QByteArrayLiteral(SCORELANE_XLS_BARE);
    const QByteArray path = kXls.toLocal8Bit();
    char *const arguments[]
        = { const_cast<char *>(program.constData()), const_cast<char *>(path.constData()), nullptr };
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        if (posix_spawn(&child, program.constData(), nullptr, nullptr, arguments, environ) != 0
            || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("xls_bare failed");
            break;
        }
    }
}

BENCHMARK(BM_LoadXlsx)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorXlsx)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadXls)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorXls)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorXlsProcess)->Unit(benchmark::kMicrosecond);

void printLibreOffice()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        std::printf("LibreOffice headless conversion: skipped (soffice not installed)\n");
        return;
    }
    QTemporaryDir dir;
    for (const QString &path : { kXlsx, kXls }) {
        QElapsedTimer timer;
        timer.start();
        QProcess::execute(soffice,
            { QStringLiteral("-env:UserInstallation=file://") + dir.filePath("profile"),
                QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("csv"),
                QStringLiteral("--outdir"), dir.path(), path });
        std::printf("LibreOffice headless conversion of %s to csv: %lld ms (start-up included)\n",
            qPrintable(path.section(u'/', -1)), timer.elapsed());
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Workbook::setXlsReaderProgram(QStringLiteral(SCORELANE_XLS_READER));
    // Reading leaves nothing behind: the loads and their floors interleave.
    const int result = runWithRatios(argc, argv,
        { { "BM_LoadXlsx", "BM_FloorXlsx", 1.5 }, { "BM_LoadXls", "BM_FloorXlsProcess", 1.5 } }, {},
        { 5, true });
    printLibreOffice();
    return result;
}
