// A console reporter that also keeps each benchmark's processor time per iteration (steadier than
// wall time on a shared machine), so a program can print the ratios between a measurement and
// its anchor from the same run. With repetitions it keeps the median.
//
// Each program ends with the rows of the speed table that scripts/bench.sh gathers from every
// program in this folder, one line per measure:
//     measure: <what is measured> | <its anchor> | <ratio> | <goal>
// The ratio is the measure's CPU time over the anchor's from the same run, unless the measure
// names another figure; the goal is "<= x", ">= x", or "-" where only the figure is reported.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quill::bench {

class TSummaryReporter : public benchmark::ConsoleReporter {
  public:
    // Tabular counters, without colours: the output is read by scripts as well as by people.
    TSummaryReporter() : benchmark::ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // A single run, or the median of repeated runs.
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (single || (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median"))
                Seconds[run.run_name.str()] =
                    run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // CPU seconds per iteration by run name (benchmark name with its arguments).
    std::map<std::string, double> Seconds;
    double Ns(const std::string& name) const {
        auto it = Seconds.find(name);
        return it == Seconds.end() ? 0 : it->second * 1e9;
    }
};

// The goal of a measure: its ratio at most or at least `Bound`, or none.
struct TGoal {
    char Sense = 0; // '<', '>' or 0 for none
    double Bound = 0;
};
inline TGoal AtMost(double bound) {
    return {'<', bound};
}
inline TGoal AtLeast(double bound) {
    return {'>', bound};
}

// One row of the speed table (see the top of this file). A ratio that could not be measured
// (a benchmark filtered out or skipped) prints no row.
inline void PrintMeasure(const std::string& what, const std::string& anchor, double ratio,
                         TGoal goal = {}) {
    if (!(ratio > 0)) return;
    char bound[32] = "-";
    if (goal.Sense)
        std::snprintf(bound, sizeof bound, "%s %.2f", goal.Sense == '<' ? "<=" : ">=", goal.Bound);
    std::printf("measure: %s | %s | %.3f | %s\n", what.c_str(), anchor.c_str(), ratio, bound);
}

// CPU time of run `name` over that of run `anchor`; 0 when either is missing.
inline double CpuRatio(const TSummaryReporter& reporter, const std::string& name,
                       const std::string& anchor) {
    const auto a = reporter.Seconds.find(name), b = reporter.Seconds.find(anchor);
    if (a == reporter.Seconds.end() || b == reporter.Seconds.end() || !(b->second > 0)) return 0;
    return a->second / b->second;
}

// Prints, for each of `names` at 1,000 and 10,000 items, its time against the anchor of the same
// size, and its growth from 1,000 to 10,000 beside the anchor's; and the rows of the speed table
// for both, with the goal in `ratioGoals` for a name that has one and `growthGoal` for every
// growth.
inline void PrintGrowthSummary(const TSummaryReporter& reporter,
                               std::initializer_list<const char*> names, const std::string& anchor,
                               const char* items,
                               const std::map<std::string, TGoal>& ratioGoals = {},
                               TGoal growthGoal = AtMost(12)) {
    auto time = [&](const std::string& name, int n) {
        const auto it = reporter.Seconds.find(name + "/" + std::to_string(n));
        return it == reporter.Seconds.end() ? 0.0 : it->second;
    };
    for (const char* name : names) {
        for (int n : {1000, 10000}) {
            const double base = time(anchor, n);
            if (base > 0 && time(name, n) > 0)
                std::printf("summary: %s/%d %.2f ms = %.2f x %s (%.2f ms)\n", name, n,
                            time(name, n) * 1e3, time(name, n) / base, anchor.c_str(), base * 1e3);
        }
        if (time(name, 1000) > 0 && time(name, 10000) > 0)
            std::printf("summary: %s growth 1,000 -> 10,000 %s: %.2f (anchor: %.2f)\n", name, items,
                        time(name, 10000) / time(name, 1000),
                        time(anchor, 10000) / time(anchor, 1000));
    }
    for (const char* name : names) {
        const auto goal = ratioGoals.find(name);
        for (int n : {1000, 10000}) {
            const std::string size = "/" + std::to_string(n);
            PrintMeasure(name + size, anchor + size,
                         time(anchor, n) > 0 ? time(name, n) / time(anchor, n) : 0,
                         goal == ratioGoals.end() ? TGoal{} : goal->second);
        }
        char anchorGrowth[96];
        std::snprintf(anchorGrowth, sizeof anchorGrowth, "1,000 %s (%s grew %.1f)", items,
                      anchor.c_str(),
                      time(anchor, 1000) > 0 ? time(anchor, 10000) / time(anchor, 1000) : 0.0);
        PrintMeasure(std::string(name) + " growth to 10,000 " + items, anchorGrowth,
                     time(name, 1000) > 0 ? time(name, 10000) / time(name, 1000) : 0, growthGoal);
    }
}

} // namespace quill::bench
