// The pixel kernel benchmarks followed by a table of each kernel's time ratio to its baseline
// (medians when run with --benchmark_repetitions).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "PixelKernelsBench.h"

namespace {

// Prints as usual and keeps the time per iteration of every benchmark: the median aggregate
// when there is one, the single run otherwise.
class TRecordingReporter : public benchmark::ConsoleReporter {
public:
    TRecordingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                FMedians[name] = run.GetAdjustedRealTime();
            } else if (run.run_type == Run::RT_Iteration) {
                FSingles[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    bool Time(const std::string& name, double& time) const {
        for (const auto* times : {&FMedians, &FSingles}) {
            const auto found = times->find(name);
            if (found != times->end()) {
                time = found->second;
                return true;
            }
        }
        return false;
    }

private:
    std::map<std::string, double> FMedians;
    std::map<std::string, double> FSingles;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    TRecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-56s %-36s %6s %6s\n", "Kernel", "Baseline", "Ratio", "Limit");
    for (const TKernelComparison& c : PixelKernelsComparisons()) {
        double subject = 0, baseline = 0;
        if (!reporter.Time(c.Subject, subject) || !reporter.Time(c.Baseline, baseline)) {
            continue;  // filtered out
        }
        const double ratio = subject / baseline;
        if (c.Limit > 0) {
            std::printf("%-56s %-36s %6.2f %6.2f%s\n", c.Subject.c_str(), c.Baseline.c_str(), ratio,
                        c.Limit, ratio <= c.Limit ? "" : "  over");
        } else {
            std::printf("%-56s %-36s %6.2f %6s\n", c.Subject.c_str(), c.Baseline.c_str(), ratio,
                        "-");
        }
    }
    return 0;
}
