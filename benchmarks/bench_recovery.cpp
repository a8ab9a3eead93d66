// One write of the recovery file (bytes, checksum, atomic write with fsync) against the text
// save of the same table, at 100, 1,000 and 10,000 rows; and the part of it that the
// operator's thread pays. The files go to a real disk: the folder is
// SCORELANE_BENCH_DIR or the working folder, never the temporary folder, which may be tmpfs.
#include "ratioreporter.h"

#include "exchange/recoveryfile.h"
#include "exchange/textresultfile.h"
#include "grid/sortgridcore.h"
#include "platform/fileio.h"
#include "scoring/resulttable.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <sys/vfs.h>

#include <map>
#include <memory>
#include <random>

namespace {

constexpr long kTmpfsMagic = 0x01021994;

struct Table
{
    SortGridCore grid;
    ResultTable table { grid };

    explicit Table(int rows)
    {
        static const char *const kFirst[]
            = { "Anna", "Bernd", "Clara", "Dieter", "Eva", "Felix", "Greta", "Hans" };
        static const char *const kLast[] = { "Müller", "Schmidt", "Weber", "Wagner", "Becker", "Hoffmann" };
        static const char *const kClubs[]
            = { "TSC Grün-Gold", "TC Blau-Weiß", "TSG Rot-Silber", "TK Sonne", "Club Casino", "TSV Einheit" };
        table.setUpGrid();
        table.writeHeader();
        table.SetJudgeCount(5);
        grid.setRowCount(rows + 1);
        std::mt19937 random(42);
        for (int row = 1; row <= rows; ++row) {
            grid.setCells(0, row, QString::number(row));
            grid.setCells(1, row,
                QString::fromUtf8(kFirst[random() % std::size(kFirst)]) + u' '
                    + QString::fromUtf8(kLast[random() % std::size(kLast)]));
            grid.setCells(2, row, QString::fromUtf8(kClubs[random() % std::size(kClubs)]));
            for (int judge = 0; judge < 5; ++judge)
                grid.setCells(3 + judge, row, QString::number(5 + random() % 6));
        }
        table.AssignPlaces();
    }
};

Table &table(int rows)
{
    static std::map<int, std::unique_ptr<Table>> tables;
    auto &slot = tables[rows];
    if (!slot)
        slot = std::make_unique<Table>(rows);
    return *slot;
}

QTemporaryDir &folder()
{
    static const QString base = qEnvironmentVariableIsSet("SCORELANE_BENCH_DIR")
        ? qEnvironmentVariable("SCORELANE_BENCH_DIR")
        : QDir::currentPath();
    static QTemporaryDir dir(base + QStringLiteral("/bench-recovery-XXXXXX"));
    return dir;
}

QByteArray unsealed(const Table &t)
{
    return RecoveryFile::encodeUnsealed(
        t.grid, 5, QStringLiteral("Endrunde"), QStringLiteral("/x/Endrunde.txt"));
}

// What the operator's thread and the writer's thread pay together for one write.
void BM_RecoveryWrite(benchmark::State &state)
{
    const Table &t = table(int(state.range(0)));
    const QString path = folder().filePath(QStringLiteral("recovery.dat"));
    for (auto _ : state) {
        QByteArray file = unsealed(t);
        RecoveryFile::seal(file);
        FileIo::writeFileAtomically(path, file);
    }
    const RecoveryFile::Decoded decoded = RecoveryFile::read(path);
    if (!decoded.snapshot || decoded.snapshot->cells.size() != t.grid.RowCount() * 13)
        state.SkipWithError("the file does not hold the table");
}

void BM_SaveTextFile(benchmark::State &state)
{
    const Table &t = table(int(state.range(0)));
    const QString path = folder().filePath(QStringLiteral("saved.txt"));
    for (auto _ : state)
        SaveTextFile(t.grid, path);
}

// The operator's thread: the table turned into bytes, handed to the writer.
void BM_RecoveryOwnerThread(benchmark::State &state)
{
    const Table &t = table(int(state.range(0)));
    for (auto _ : state) {
        const QByteArray bytes = unsealed(t);
        benchmark::DoNotOptimize(bytes.data());
    }
}

// What a copy of the texts would cost it instead: more, since every copy is an atomic
// increment that waits for its cache line.
void BM_RecoverySnapshot(benchmark::State &state)
{
    const Table &t = table(int(state.range(0)));
    for (auto _ : state) {
        RecoverySnapshot snapshot
            = takeRecoverySnapshot(t.grid, 5, QStringLiteral("Endrunde"), QStringLiteral("/x/Endrunde.txt"));
        benchmark::DoNotOptimize(snapshot.cells.data());
    }
}

BENCHMARK(BM_RecoveryWrite)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveTextFile)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecoverySnapshot)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecoveryOwnerThread)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!folder().isValid())
        qFatal("cannot make a folder for the files");
    struct statfs info = {};
    const bool tmpfs = ::statfs(QFile::encodeName(folder().path()).constData(), &info) == 0
        && long(info.f_type) == kTmpfsMagic;
    std::printf(
        "files in %s%s\n", qPrintable(folder().path()), tmpfs ? " (tmpfs: fsync costs nothing here)" : "");
    for (const int rows : { 100, 1000, 10000 }) {
        std::printf("%5d rows: recovery file %lld bytes, text file %lld bytes\n", rows,
            static_cast<long long>(unsealed(table(rows)).size()),
            static_cast<long long>(textResultFileBytes(table(rows).grid).size()));
    }
    return runWithRatios(argc, argv, { { "BM_RecoveryWrite", "BM_SaveTextFile", 1.2 } }, {}, { 5, true });
}
