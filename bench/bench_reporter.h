#pragma once

// A console reporter that also keeps each benchmark's median, so that a
// benchmark program can print how two of its benchmarks compare.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <map>
#include <string>

namespace trevan::bench {

class median_reporter : public benchmark::ConsoleReporter {
public:
    median_reporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") medians[run.run_name.str()] = run;
    }

    // Median real time in the benchmark's time unit; 0 when it did not run.
    double time(const std::string& name) const {
        auto it = medians.find(name);
        return it == medians.end() ? 0 : it->second.GetAdjustedRealTime();
    }

    std::map<std::string, Run> medians;
};

}  // namespace trevan::bench
