// Saving a 1,000-row protocol with seven judges as .xls and as .xlsx, against the floor
// of libxlsxwriter writing the same cells without any format, fitting or safe store.
// With soffice installed, LibreOffice converting the same data is printed for the record.
#include "ratioreporter.h"

#include "exchange/textresultfile.h"
#include "exchange/workbookwriter.h"
#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <xlsxwriter.h>

namespace {

constexpr int kRows = 1000;

struct Protocol
{
    QTemporaryDir dir;
    SortGridCore grid;
    ResultTable table { grid };

    Protocol()
    {
        static const char *const kNames[]
            = { "Anna Müller", "Bernd Schmidt", "Clara Weber", "Dieter Wagner" };
        static const char *const kClubs[]
            = { "TSC Grün-Gold", "TC Blau-Weiß", "TSG Rot-Silber", "Club Casino" };
        table.setUpGrid();
        table.writeHeader();
        table.SetJudgeCount(7);
        grid.setRowCount(kRows + 1);
        for (int row = 1; row <= kRows; ++row) {
            grid.setCells(0, row, QString::number(row));
            grid.setCells(1, row, QString::fromUtf8(kNames[row % 4]) + u' ' + QString::number(row));
            grid.setCells(2, row, QString::fromUtf8(kClubs[row % 4]));
            for (int judge = 0; judge < 7; ++judge)
                grid.setCells(3 + judge, row, QString::number(4 + (row * 7 + judge * 3) % 6));
        }
        table.AssignPlaces();
    }
};

Protocol &protocol()
{
    static Protocol instance;
    return instance;
}

void BM_SaveXls(benchmark::State &state)
{
    const QString path = protocol().dir.filePath(QStringLiteral("p.xls"));
    for (auto _ : state)
        SaveWorkbook(protocol().grid, path, WorkbookFormat::Xls);
}

void BM_SaveXlsx(benchmark::State &state)
{
    const QString path = protocol().dir.filePath(QStringLiteral("p.xlsx"));
    for (auto _ : state)
        SaveWorkbook(protocol().grid, path, WorkbookFormat::Xlsx);
}

// The part both formats share: packing the block and measuring its texts.
void BM_Layout(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(WorkbookWriter::layoutOf(protocol().grid, QStringLiteral("Scorelane")));
}

void BM_LibxlsxwriterFloor(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(protocol().dir.filePath(QStringLiteral("floor.xlsx")));
    const SortGridCore &grid = protocol().grid;
    for (auto _ : state) {
        lxw_workbook *book = workbook_new(path.constData());
        lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
        for (int row = 0; row < grid.RowCount(); ++row) {
            for (int col = 0; col < 12; ++col)
                worksheet_write_string(sheet, lxw_row_t(row), lxw_col_t(col),
                    grid.Cells(col, row).toUtf8().constData(), nullptr);
        }
        if (workbook_close(book) != LXW_NO_ERROR)
            state.SkipWithError("libxlsxwriter failed");
    }
}

void printLibreOffice()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        std::printf("LibreOffice headless, 1,000 rows to .xls and .xlsx: skipped (no soffice)\n");
        return;
    }
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("p.txt"));
    SaveTextFile(protocol().grid, text);
    for (const char *target : { "xls", "xlsx" }) {
        QElapsedTimer timer;
        timer.start();
        QProcess office;
        office.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        office.start(soffice,
            { QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                QStringLiteral("--headless"), QStringLiteral("--convert-to"), QString::fromUtf8(target),
                QStringLiteral("--outdir"), dir.path(), text });
        office.waitForFinished(300'000);
        std::printf("LibreOffice headless, 1,000 rows to .%s: %lld ms (exit %d)\n", target,
            static_cast<long long>(timer.elapsed()), office.exitCode());
    }
}

} // namespace

BENCHMARK(BM_SaveXls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Layout)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibxlsxwriterFloor)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int result = runWithRatios(argc, argv,
        { { "BM_SaveXls", "BM_LibxlsxwriterFloor", 1.5 }, { "BM_SaveXlsx", "BM_LibxlsxwriterFloor", 1.5 } },
        {}, { 5, true });
    printLibreOffice();
    return result;
}
