// A console reporter that also keeps each benchmark's processor time per iteration (steadier than
// wall time on a shared machine), so a program can print the ratios between a measurement and
// its anchor from the same run. With repetitions it keeps the median.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace quill::bench {

class TSummaryReporter : public benchmark::ConsoleReporter {
  public:
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

// Prints, for each of `names` at 1,000 and 10,000 items, its time against the anchor of the same
// size, and its growth from 1,000 to 10,000 beside the anchor's.
inline void PrintGrowthSummary(const TSummaryReporter& reporter,
                               std::initializer_list<const char*> names, const std::string& anchor,
                               const char* items) {
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
}

} // namespace quill::bench
