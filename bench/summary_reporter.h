// A console reporter that also keeps each benchmark's processor time per iteration (steadier than
// wall time on a shared machine), so a program can print the ratios between a measurement and
// its anchor from the same run. With repetitions it keeps the median.
#pragma once

#include <benchmark/benchmark.h>

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

} // namespace quill::bench
