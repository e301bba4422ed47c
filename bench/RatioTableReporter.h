#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

// Prints Google Benchmark's usual report and, at the end, one table: each benchmark's median real
// time (the single run's time without repetitions), its ratio to the baseline, and the target it
// has to keep. The figures are shown, never judged by a test: machines differ too much.
class RatioTableReporter : public benchmark::ConsoleReporter {
public:
    struct Target {
        enum class Kind { RatioToBaseline, Milliseconds };
        std::string name; // a benchmark's full name, arguments included
        Kind kind;
        double limit;
    };

    RatioTableReporter(std::string baselineName, std::vector<Target> targets);

    void ReportRuns(const std::vector<Run> &runs) override;
    void Finalize() override;

private:
    struct Row {
        std::string name;
        double seconds = 0;
        std::string error;
    };

    const Target *targetFor(const std::string &name) const;

    std::string m_baselineName;
    std::vector<Target> m_targets;
    std::vector<Row> m_rows;
};
