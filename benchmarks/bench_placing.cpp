// Placing a whole table against the floor that any correct placing pays: reading
// the marks once, totalling them and a stable sort of row indices.
#include "ratioreporter.h"

#include "grid/sortgridcore.h"
#include "scoring/resulttable.h"

#include <QCoreApplication>

#include <algorithm>
#include <random>

namespace {

constexpr int kJudges = 5;

void fillTable(SortGridCore &grid, ResultTable &table, int competitors)
{
    table.setUpGrid();
    table.writeHeader();
    table.SetJudgeCount(kJudges);
    grid.setRowCount(competitors + 1);
    std::mt19937 random(1234);
    for (int row = 1; row <= competitors; ++row) {
        grid.setCells(0, row, QString::number(row));
        grid.setCells(1, row, QStringLiteral("Paar %1").arg(row));
        const bool incomplete = random() % 20 == 0;
        for (int judge = 0; judge < kJudges; ++judge) {
            const bool missing = incomplete && judge == kJudges - 1;
            grid.setCells(3 + judge, row, missing ? QString() : QString::number(random() % 11));
        }
    }
}

void BM_AssignPlaces(benchmark::State &state)
{
    SortGridCore grid;
    ResultTable table(grid);
    fillTable(grid, table, int(state.range(0)));
    std::vector<QStringList> original;
    for (int row = 0; row < grid.RowCount(); ++row)
        original.push_back(grid.Rows(row));
    for (auto _ : state) {
        state.PauseTiming();
        for (int row = 0; row < grid.RowCount(); ++row)
            grid.setRows(row, original[size_t(row)]);
        grid.MoveCurrent(0, 1);
        state.ResumeTiming();
        table.AssignPlaces();
        benchmark::DoNotOptimize(grid.Cells(11, 1));
    }
    state.SetComplexityN(state.range(0));
}

void BM_Floor(benchmark::State &state)
{
    SortGridCore grid;
    ResultTable table(grid);
    fillTable(grid, table, int(state.range(0)));
    const int rows = grid.RowCount() - 1;
    const auto count = static_cast<size_t>(rows);
    std::vector<qint64> net(count), raw(count);
    std::vector<int> order(count);
    for (auto _ : state) {
        for (int r = 0; r < rows; ++r) {
            qint64 sum = 0;
            int lo = INT_MAX, hi = -INT_MAX, count = 0;
            for (int judge = 0; judge < kJudges; ++judge) {
                bool ok = false;
                const int v = grid.Cells(3 + judge, r + 1).toInt(&ok);
                if (!ok)
                    continue;
                sum += v;
                lo = std::min(lo, v);
                hi = std::max(hi, v);
                ++count;
            }
            raw[size_t(r)] = count == kJudges ? sum : -1;
            net[size_t(r)] = count == kJudges ? sum - lo - hi : -1;
            order[size_t(r)] = r;
        }
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            if (net[size_t(a)] != net[size_t(b)])
                return net[size_t(a)] > net[size_t(b)];
            return raw[size_t(a)] > raw[size_t(b)];
        });
        benchmark::DoNotOptimize(order.data());
    }
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_AssignPlaces)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_Floor)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return runWithRatios(argc, argv, { { "BM_AssignPlaces", "BM_Floor", 2.0 } },
        [](const RatioReporter &reporter) {
            reporter.printPerItem("BM_AssignPlaces", "row");
            reporter.printPerItem("BM_Floor", "row");
        },
        { 3, true });
}
