#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Collects the timings of a run and, at its end, prints each measured benchmark
// against its baseline of the same argument: "<name>/<arg>" against "<baseline>/<arg>".
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    struct Pair
    {
        std::string measured;
        std::string baseline;
        double goal;
    };

    explicit RatioReporter(std::vector<Pair> pairs)
        : m_pairs(std::move(pairs))
    { }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration)
                m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const
    {
        std::printf(
            "\n%-44s %14s %14s %8s %6s\n", "measured / baseline", "measured", "baseline", "ratio", "goal");
        for (const Pair &pair : m_pairs) {
            for (const auto &[name, time] : m_times) {
                if (name.rfind(pair.measured + "/", 0) != 0 && name != pair.measured)
                    continue;
                const std::string suffix = name.substr(pair.measured.size());
                const auto base = m_times.find(pair.baseline + suffix);
                if (base == m_times.end() || base->second <= 0)
                    continue;
                const double ratio = time / base->second;
                std::printf("%-44s %14.3f %14.3f %8.2f %6.2f %s\n", name.c_str(), time, base->second, ratio,
                    pair.goal, ratio <= pair.goal ? "ok" : "ABOVE GOAL");
            }
        }
        std::printf("(times in the unit the benchmarks report)\n");
        std::fflush(stdout);
    }

private:
    std::vector<Pair> m_pairs;
    std::map<std::string, double> m_times;
};

inline int runWithRatios(int argc, char **argv, std::vector<RatioReporter::Pair> pairs)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
