// A console reporter that also keeps each benchmark's median throughput, so
// that a program can print its ratios against a baseline measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

// Keeps the median throughput of each benchmark for the closing ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the output usually ends up in a log.
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                const auto counter = run.counters.find("bytes_per_second");
                if (counter != run.counters.end()) {
                    medians[run.run_name.function_name] = counter->second.value;
                }
            }
        }
    }
    std::map<std::string, double> medians;
};

}  // namespace bench
