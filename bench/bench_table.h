// The figure table of hux-bench. Every benchmark reports to Google Benchmark
// as usual; figure_reporter also keeps each repetition's results, and
// print_figure_table then prints one line per figure: the figure, the
// baseline it was measured against in the same run, their ratio, the
// nanoseconds the library adds and the target. Values are the median over the
// repetitions of each benchmark. When a figure and its baseline come from the
// same benchmark (measured alternately), the ratio and the added time are the
// medians of their per-repetition ratios and differences, so that a load that
// changes between repetitions cancels out.
#ifndef HUX_BENCH_TABLE_H
#define HUX_BENCH_TABLE_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace hux_bench {

// The metric of a benchmark that a figure reads: the time per processed item
// (from SetItemsProcessed), or a user counter holding nanoseconds.
extern const char* const NS_PER_ITEM;

enum target_kind {
    TARGET_NONE,         // reported only
    TARGET_RATIO_MAX,    // measured / baseline must not exceed the target
    TARGET_NS_MAX,       // measured must not exceed the target, in ns
    TARGET_NS_ADDED_MAX, // measured - baseline must not exceed the target, in ns
    TARGET_RATIO_MIN     // measured / baseline must be at least the target (rates)
};

// How a figure's values read.
enum figure_unit {
    UNIT_NS,          // nanoseconds
    UNIT_BYTES_PER_S, // a rate, shown in MB/s
    UNIT_COUNT        // a count, alone: the row has no baseline (baseline_bench null)
};

struct figure_row {
    const char* label;          // what is measured
    const char* bench;          // benchmark function of the figure
    const char* metric;         // NS_PER_ITEM or a counter name
    const char* baseline_label; // what it is measured against
    const char* baseline_bench;
    const char* baseline_metric;
    target_kind target;
    double target_value;
    figure_unit unit = UNIT_NS;
    // A metric that is 0 in every sound repetition (null: none); when any
    // repetition has another value the verdict is fault_text.
    const char* fault_metric = nullptr;
    const char* fault_text = nullptr;
};

class figure_reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;
    // Median over the repetitions of `bench`; a negative value when it did
    // not run (or failed).
    double median(const std::string& bench, const std::string& metric) const;
    // Largest value over the repetitions of `bench`; negative when none.
    double maximum(const std::string& bench, const std::string& metric) const;
    // Why `bench` did not run (its SkipWithError text); empty when it did
    // or gave no reason.
    std::string skip_reason(const std::string& bench) const;
    // Medians over the repetitions of `bench` of a / b and a - b, each taken
    // within one repetition; false when no repetition has both.
    bool paired_medians(const std::string& bench, const std::string& a, const std::string& b, double* ratio,
                        double* difference) const;

private:
    // Per benchmark function, one map of metric -> value per repetition.
    std::map<std::string, std::vector<std::map<std::string, double>>> m_results;
    std::map<std::string, std::string> m_skipped;
};

// Prints the table of `rows` to `out`.
void print_figure_table(FILE* out, const figure_reporter& results, const std::vector<figure_row>& rows);

}  // namespace hux_bench

#endif
