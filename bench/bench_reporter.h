#pragma once

// A console reporter that also keeps each benchmark's aggregates (median,
// and any statistic added), so that a benchmark program can print how two of
// its benchmarks compare.

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
            if (run.run_type == Run::RT_Aggregate) aggregates[{run.run_name.str(), run.aggregate_name}] = run;
    }

    // The aggregate's real time in the benchmark's time unit; 0 when there
    // is none.
    double time(const std::string& name, const std::string& aggregate = "median") const {
        auto it = aggregates.find({name, aggregate});
        return it == aggregates.end() ? 0 : it->second.GetAdjustedRealTime();
    }

    std::map<std::pair<std::string, std::string>, Run> aggregates;
};

}  // namespace trevan::bench
