#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Collects the timings of a run and, at its end, prints each measured benchmark
// against its baseline of the same argument: "<name>/<arg>" against "<baseline>/<arg>".
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    // An empty baseline makes the goal absolute, in the unit the benchmark reports.
    struct Pair
    {
        std::string measured;
        std::string baseline;
        double goal; // 0: shown for comparison, no goal
    };

    explicit RatioReporter(std::vector<Pair> pairs)
        : m_pairs(std::move(pairs))
    { }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            // Repeated benchmarks count by their median, a single run by its iterations.
            if (run.run_type == Run::RT_Aggregate ? run.aggregate_name != "median" : run.repetitions > 1)
                continue;
            // A benchmark that times itself is named with a suffix; it pairs without one.
            std::string name = run.benchmark_name();
            for (const std::string suffix : { "_median", "/manual_time" }) {
                if (name.size() > suffix.size()
                    && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                    name.resize(name.size() - suffix.size());
            }
            m_times[name] = run.GetAdjustedRealTime();
            m_units[name] = benchmark::GetTimeUnitString(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints each pair's figures; with SCORELANE_BENCH_TABLE set, also appends them to that
    // file, one tab-separated line each: benchmark, measured, baseline, ratio, goal, unit, verdict.
    void printRatios() const
    {
        std::printf(
            "\n%-44s %14s %14s %8s %6s\n", "measured / baseline", "measured", "baseline", "ratio", "goal");
        std::ofstream table;
        if (const char *path = std::getenv("SCORELANE_BENCH_TABLE"))
            table.open(path, std::ios::app);
        for (const Pair &pair : m_pairs) {
            for (const auto &[name, time] : m_times) {
                if (name.rfind(pair.measured + "/", 0) != 0 && name != pair.measured)
                    continue;
                const std::string unit = m_units.at(name);
                if (pair.baseline.empty()) {
                    const char *verdict = time <= pair.goal ? "ok" : "ABOVE GOAL";
                    std::printf("%-44s %11.3f %-2s %14s %8s %6.1f %s (absolute)\n", name.c_str(), time,
                        unit.c_str(), "-", "-", pair.goal, verdict);
                    table << name << '\t' << time << "\t\t\t" << pair.goal << '\t' << unit << '\t' << verdict
                          << '\n';
                    continue;
                }
                const std::string suffix = name.substr(pair.measured.size());
                const auto base = m_times.find(pair.baseline + suffix);
                if (base == m_times.end() || base->second <= 0)
                    continue;
                const double ratio = time / base->second;
                const char *verdict = pair.goal <= 0 ? "-" : ratio <= pair.goal ? "ok" : "ABOVE GOAL";
                if (pair.goal <= 0)
                    std::printf("%-44s %14.3f %14.3f %8.2f %6s (against %s, no goal)\n", name.c_str(), time,
                        base->second, ratio, "-", pair.baseline.c_str());
                else
                    std::printf("%-44s %14.3f %14.3f %8.2f %6.2f %s (against %s)\n", name.c_str(), time,
                        base->second, ratio, pair.goal, verdict, pair.baseline.c_str());
                table << name << '\t' << time << '\t' << base->second << '\t' << ratio << '\t';
                if (pair.goal > 0)
                    table << pair.goal;
                table << '\t' << unit << '\t' << verdict << '\n';
            }
        }
        std::printf("(times in the unit the benchmarks report)\n");
        std::fflush(stdout);
    }

    // The time of each "<name>/<n>" divided by n, and that divided by log2(n): a cost that
    // grows like n log n keeps the last column flat.
    void printPerItem(const std::string &name, const char *item) const
    {
        std::printf("\n%-44s %14s %14s\n", (name + " per " + item).c_str(), "ns", "ns / log2(n)");
        for (const auto &[measured, time] : m_times) {
            if (measured.rfind(name + "/", 0) != 0)
                continue;
            const double n = std::atof(measured.c_str() + name.size() + 1);
            if (n < 2)
                continue;
            // The benchmarks that use this report milliseconds.
            const double perItem = time * 1e6 / n;
            std::printf("%-44s %14.1f %14.2f\n", measured.c_str(), perItem, perItem / std::log2(n));
        }
        std::fflush(stdout);
    }

private:
    std::vector<Pair> m_pairs;
    std::map<std::string, double> m_times;
    std::map<std::string, std::string> m_units;
};

// A figure with an absolute goal that no single benchmark run gives (a percentile of many
// samples, say): printed with its verdict and appended to the table like the pairs.
inline void reportAbsolute(const std::string &name, double measured, double goal, const char *unit)
{
    const char *verdict = measured <= goal ? "ok" : "ABOVE GOAL";
    std::printf("%-44s %11.3f %-2s %14s %8s %6.1f %s (absolute)\n", name.c_str(), measured, unit, "-", "-",
        goal, verdict);
    if (const char *path = std::getenv("SCORELANE_BENCH_TABLE")) {
        std::ofstream table(path, std::ios::app);
        table << name << '\t' << measured << "\t\t\t" << goal << '\t' << unit << '\t' << verdict << '\n';
    }
    std::fflush(stdout);
}

// How each benchmark is repeated when the command line does not say: the median of the
// repetitions is its figure, so that one disturbed repetition (another process, a slow
// fsync) does not decide a ratio. Interleaved, the repetitions of all benchmarks run in
// random order, so that a measured benchmark and its baseline see the same machine;
// only for benchmarks that leave no state behind for the next.
struct Repetitions
{
    int count = 3;
    bool interleaved = false;
};

inline int runWithRatios(int argc, char **argv, std::vector<RatioReporter::Pair> pairs,
    const std::function<void(const RatioReporter &)> &more = {}, Repetitions repetitions = {})
{
    std::vector<char *> arguments(argv, argv + argc);
    const bool told = std::any_of(arguments.begin(), arguments.end(),
        [](const char *argument) { return std::strncmp(argument, "--benchmark_repetitions", 23) == 0; });
    std::string count = "--benchmark_repetitions=" + std::to_string(repetitions.count);
    std::string aggregatesOnly = "--benchmark_report_aggregates_only=true";
    std::string interleaved = "--benchmark_enable_random_interleaving=true";
    if (!told && repetitions.count > 1) {
        arguments.push_back(count.data());
        arguments.push_back(aggregatesOnly.data());
        if (repetitions.interleaved)
            arguments.push_back(interleaved.data());
    }
    argc = int(arguments.size());
    arguments.push_back(nullptr);
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    if (more)
        more(reporter);
    benchmark::Shutdown();
    return 0;
}
