#include "RatioTableReporter.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace {

benchmark::ConsoleReporter::OutputOptions outputOptions()
{
    return isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults : benchmark::ConsoleReporter::OO_Tabular;
}

// The name without what Google Benchmark appends about how it was measured.
std::string plainName(const benchmark::BenchmarkReporter::Run &run)
{
    const benchmark::BenchmarkName &name = run.run_name;
    return name.args.empty() ? name.function_name : name.function_name + '/' + name.args;
}

std::string microseconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
    return text;
}

} // namespace

RatioTableReporter::RatioTableReporter(std::string baselineName, std::vector<Target> targets)
    : ConsoleReporter(outputOptions()), m_baselineName(std::move(baselineName)), m_targets(std::move(targets))
{}

void RatioTableReporter::ReportRuns(const std::vector<Run> &runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
        const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (run.error_occurred) {
            m_rows.push_back({plainName(run), 0, run.error_message});
            continue;
        }
        if (single || median)
            m_rows.push_back(
                {plainName(run), run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit), {}});
    }
}

const RatioTableReporter::Target *RatioTableReporter::targetFor(const std::string &name) const
{
    const auto it =
        std::find_if(m_targets.begin(), m_targets.end(), [&name](const Target &t) { return t.name == name; });
    return it == m_targets.end() ? nullptr : &*it;
}

void RatioTableReporter::Finalize()
{
    ConsoleReporter::Finalize();
    const auto baseline = std::find_if(m_rows.begin(), m_rows.end(), [this](const Row &row) {
        return row.name == m_baselineName && row.error.empty();
    });
    const double baselineSeconds = baseline == m_rows.end() ? 0 : baseline->seconds;

    size_t width = 4;
    for (const Row &row : m_rows)
        width = std::max(width, row.name.size());
    const int nameWidth = static_cast<int>(width);

    std::FILE *out = stdout;
    std::fflush(out);
    std::fprintf(out, "\nMedian real time per operation; ratio to %s\n", m_baselineName.c_str());
    std::fprintf(out, "%-*s %14s %9s  %s\n", nameWidth, "name", "median", "ratio", "target");
    for (const Row &row : m_rows) {
        if (!row.error.empty()) {
            std::fprintf(out, "%-*s %14s %9s  ERROR: %s\n", nameWidth, row.name.c_str(), "-", "-", row.error.c_str());
            continue;
        }
        char ratio[32] = "-";
        const double multiple = baselineSeconds > 0 ? row.seconds / baselineSeconds : 0;
        if (baselineSeconds > 0)
            std::snprintf(ratio, sizeof ratio, "%.2fx", multiple);
        char target[32] = "";
        const char *verdict = "";
        if (const Target *wanted = targetFor(row.name)) {
            if (wanted->kind == Target::Kind::RatioToBaseline) {
                std::snprintf(target, sizeof target, "<= %.1fx baseline", wanted->limit);
                verdict = baselineSeconds <= 0 ? "no baseline" : multiple <= wanted->limit ? "met" : "MISSED";
            } else {
                std::snprintf(target, sizeof target, "< %g ms", wanted->limit);
                verdict = row.seconds * 1e3 < wanted->limit ? "met" : "MISSED";
            }
        }
        std::string line = target;
        if (*verdict) {
            line.resize(std::max<size_t>(line.size() + 2, 20), ' ');
            line += verdict;
        }
        std::fprintf(out, "%-*s %14s %9s  %s\n", nameWidth, row.name.c_str(), microseconds(row.seconds).c_str(), ratio,
                     line.c_str());
    }
    std::fflush(out);
}
