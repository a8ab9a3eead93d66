// Opening and saving a 100,000-line protocol (about 6 MB), each against the floor that
// any reader or writer pays. Opening: reading the bytes and splitting them into lines
// with no allocation at all, and, fairer for a table whose cells own their texts, the
// same plus one QString per non-empty field. Saving: writing one prepared buffer, once
// the safe way a save writes and once simply over the file. The files are in a folder
// on the disk, named in the output.
#include "ratioreporter.h"

#include "exchange/textresultfile.h"
#include "grid/sharedtexts.h"
#include "grid/sortgridcore.h"
#include "platform/fileio.h"
#include "scoring/resulttable.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string_view>
#include <vector>

namespace {

constexpr int kLines = 100'000;

struct Protocol
{
    QTemporaryDir dir;
    QString path;
    QByteArray bytes;
    SortGridCore grid;
    ResultTable table { grid };

    Protocol()
        : path(dir.filePath(QStringLiteral("protocol.txt")))
    {
        static const char *const kFirst[]
            = { "Anna", "Bernd", "Clara", "Dieter", "Eva", "Felix", "Greta", "Hans" };
        static const char *const kLast[] = { "Müller", "Schmidt", "Weber", "Wagner", "Becker", "Hoffmann" };
        static const char *const kClubs[]
            = { "TSC Grün-Gold", "TC Blau-Weiß", "TSG Rot-Silber", "TK Sonne", "Club Casino", "TSV Einheit" };
        table.setUpGrid();
        table.writeHeader();
        table.SetJudgeCount(5);
        grid.setRowCount(kLines + 1);
        std::mt19937 random(42);
        for (int row = 1; row <= kLines; ++row) {
            grid.setCells(0, row, QString::number(row));
            grid.setCells(1, row,
                QString::fromUtf8(kFirst[random() % std::size(kFirst)]) + u' '
                    + QString::fromUtf8(kLast[random() % std::size(kLast)]));
            grid.setCells(2, row, QString::fromUtf8(kClubs[random() % std::size(kClubs)]));
            for (int judge = 0; judge < 5; ++judge)
                grid.setCells(3 + judge, row, QString::number(5 + random() % 6));
        }
        table.AssignPlaces();
        bytes = textResultFileBytes(grid);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the protocol");
    }
};

Protocol &protocol()
{
    static Protocol instance;
    return instance;
}

void BM_LoadTextFile(benchmark::State &state)
{
    const QString path = protocol().path;
    SortGridCore grid;
    ResultTable table(grid);
    table.setUpGrid();
    table.writeHeader();
    for (auto _ : state) {
        LoadTextFile(grid, path);
        benchmark::DoNotOptimize(grid.RowCount());
    }
    if (grid.RowCount() != kLines + 1)
        state.SkipWithError("wrong row count");
    state.SetBytesProcessed(state.iterations() * protocol().bytes.size());
}

std::vector<char> readWholeFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    struct stat info
    {
    };
    ::fstat(fd, &info);
    std::vector<char> bytes(size_t(info.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

std::vector<std::string_view> splitLines(const std::vector<char> &bytes)
{
    std::vector<std::string_view> lines;
    const std::string_view all(bytes.data(), bytes.size());
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        if (end == std::string_view::npos)
            end = all.size();
        lines.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void BM_ReadAndSplitLines(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(protocol().path);
    for (auto _ : state) {
        const std::vector<char> bytes = readWholeFile(path);
        const std::vector<std::string_view> lines = splitLines(bytes);
        benchmark::DoNotOptimize(lines.data());
        if (lines.size() != size_t(kLines) + 1)
            state.SkipWithError("wrong line count");
    }
    state.SetBytesProcessed(state.iterations() * protocol().bytes.size());
}

// What any loader into cells that own their texts pays: the bytes read, split into
// lines and TAB fields, and each non-empty field decoded into a QString of its own in
// one flat list, short ones shared as the loader shares them. The protocol is
// Windows-1252 with no byte from 0x80 to 0x9F, where Latin-1 decodes the same.
void BM_OwnedTextFloor(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(protocol().path);
    qsizetype cellCount = 0;
    // Kept from one open to the next, as the table keeps its cells.
    QList<QString> cells;
    for (auto _ : state) {
        const std::vector<char> bytes = readWholeFile(path);
        const std::vector<std::string_view> lines = splitLines(bytes);
        cells.clear();
        cells.reserve(qsizetype(bytes.size() / 5));
        for (std::string_view line : lines) {
            if (line.ends_with('\r'))
                line.remove_suffix(1);
            size_t at = 0;
            while (at < line.size()) {
                size_t end = line.find('\t', at);
                if (end == std::string_view::npos)
                    end = line.size();
                if (end > at) {
                    const char *data = line.data() + at;
                    const auto size = qsizetype(end - at);
                    if (const QString *shared = SharedTexts::find(data, size))
                        cells.append(*shared);
                    else
                        cells.append(QString::fromLatin1(data, size));
                }
                at = end + 1;
            }
        }
        benchmark::DoNotOptimize(cells.data());
        cellCount = cells.size();
    }
    if (cellCount < qsizetype(kLines) * 12)
        state.SkipWithError("too few cells");
    state.SetBytesProcessed(state.iterations() * protocol().bytes.size());
}

// Saves the table as the open above leaves it.
void BM_SaveTextFile(benchmark::State &state)
{
    Protocol &p = protocol();
    SortGridCore grid;
    ResultTable table(grid);
    table.setUpGrid();
    table.writeHeader();
    LoadTextFile(grid, p.path);
    const QString path = p.dir.filePath(QStringLiteral("saved.txt"));
    for (auto _ : state)
        SaveTextFile(grid, path);
    if (textResultFileBytes(grid) != p.bytes)
        state.SkipWithError("the saved protocol differs from the opened one");
    state.SetBytesProcessed(state.iterations() * p.bytes.size());
}

// The prepared bytes written as a save writes them: next to the file, flushed, renamed over it.
void BM_WriteBufferSafely(benchmark::State &state)
{
    Protocol &p = protocol();
    const QString path = p.dir.filePath(QStringLiteral("saved.txt"));
    for (auto _ : state)
        FileIo::writeFileAtomically(path, p.bytes);
    state.SetBytesProcessed(state.iterations() * p.bytes.size());
}

// The prepared bytes written over the file in place and flushed: what a save that may lose
// the earlier file would pay.
void BM_WriteBuffer(benchmark::State &state)
{
    Protocol &p = protocol();
    const QByteArray path = QFile::encodeName(p.dir.filePath(QStringLiteral("saved.txt")));
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (::write(fd, p.bytes.constData(), size_t(p.bytes.size())) != p.bytes.size())
            state.SkipWithError("short write");
        ::fsync(fd);
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * p.bytes.size());
}

BENCHMARK(BM_LoadTextFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndSplitLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OwnedTextFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTextFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBufferSafely)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBuffer)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("protocol: %d lines, %lld bytes, in %s\n", kLines,
        static_cast<long long>(protocol().bytes.size()), qPrintable(protocol().dir.path()));
    // The zero-allocation split has no goal: no table whose cells own their texts comes near it.
    return runWithRatios(argc, argv,
        { { "BM_LoadTextFile", "BM_ReadAndSplitLines", 0 }, { "BM_LoadTextFile", "BM_OwnedTextFloor", 2.0 },
            { "BM_SaveTextFile", "BM_WriteBufferSafely", 3.0 },
            // Shown for comparison: a save that may lose the earlier file is not one we make.
            { "BM_SaveTextFile", "BM_WriteBuffer", 0 } },
        {}, { 5, true });
}
