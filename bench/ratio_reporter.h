// A console reporter that also remembers each benchmark's CPU time per iteration, so a program can
// print the ratios between a measurement and its anchor from the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace quill::bench {

class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                CpuNs[run.benchmark_name()] = run.GetAdjustedCPUTime() *
                                              benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                              benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    // CPU nanoseconds per iteration of `name`, or 0 when it did not run.
    double Ns(const std::string& name) const {
        auto it = CpuNs.find(name);
        return it == CpuNs.end() ? 0 : it->second;
    }
    std::map<std::string, double> CpuNs;
};

// Runs every registered benchmark with the reporter and returns it for the summary.
inline TRatioReporter& RunWithRatios(int argc, char** argv) {
    static TRatioReporter reporter;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return reporter;
}

} // namespace quill::bench
