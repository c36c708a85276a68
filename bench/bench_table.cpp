// Keeps the results of every benchmark repetition and prints the figure table.
#include "bench/bench_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hux_bench {

const char* const NS_PER_ITEM = "ns_per_item";

void figure_reporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type == Run::RT_Iteration && run.error_occurred)
            m_skipped[run.run_name.function_name] = run.error_message;
        if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
        std::map<std::string, double> values;
        for (const auto& counter : run.counters) values[counter.first] = counter.second.value;
        auto items = run.counters.find("items_per_second");
        if (items != run.counters.end() && items->second.value > 0) values[NS_PER_ITEM] = 1e9 / items->second.value;
        m_results[run.run_name.function_name].push_back(values);
    }
    ConsoleReporter::ReportRuns(runs);
}

namespace {

double median_of(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

double figure_reporter::median(const std::string& bench, const std::string& metric) const {
    auto found = m_results.find(bench);
    if (found == m_results.end()) return -1;
    std::vector<double> values;
    for (const auto& repetition : found->second) {
        auto value = repetition.find(metric);
        if (value != repetition.end()) values.push_back(value->second);
    }
    return values.empty() ? -1 : median_of(values);
}

double figure_reporter::maximum(const std::string& bench, const std::string& metric) const {
    auto found = m_results.find(bench);
    double largest = -1;
    if (found == m_results.end()) return largest;
    for (const auto& repetition : found->second) {
        auto value = repetition.find(metric);
        if (value != repetition.end()) largest = std::max(largest, value->second);
    }
    return largest;
}

std::string figure_reporter::skip_reason(const std::string& bench) const {
    auto found = m_skipped.find(bench);
    return found == m_skipped.end() ? std::string() : found->second;
}

bool figure_reporter::paired_medians(const std::string& bench, const std::string& a, const std::string& b,
                                     double* ratio, double* difference) const {
    auto found = m_results.find(bench);
    if (found == m_results.end()) return false;
    std::vector<double> ratios;
    std::vector<double> differences;
    for (const auto& repetition : found->second) {
        auto value_a = repetition.find(a);
        auto value_b = repetition.find(b);
        if (value_a == repetition.end() || value_b == repetition.end() || value_b->second <= 0) continue;
        ratios.push_back(value_a->second / value_b->second);
        differences.push_back(value_a->second - value_b->second);
    }
    if (ratios.empty()) return false;
    *ratio = median_of(ratios);
    *difference = median_of(differences);
    return true;
}

namespace {

// "12.3 ns" below a microsecond, "4.56 us" above.
std::string format_ns(double ns) {
    char text[32];
    if (std::fabs(ns) < 1000)
        snprintf(text, sizeof(text), "%.1f ns", ns);
    else
        snprintf(text, sizeof(text), "%.2f us", ns / 1000);
    return text;
}

// A value in the row's unit: "12.3 ns" / "4.56 us", "812.4 MB/s", or "3".
std::string format_value(const figure_row& row, double value) {
    char text[32];
    switch (row.unit) {
    case UNIT_BYTES_PER_S:
        snprintf(text, sizeof(text), "%.1f MB/s", value / 1e6);
        return text;
    case UNIT_COUNT:
        snprintf(text, sizeof(text), "%.0f", value);
        return text;
    case UNIT_NS:
        break;
    }
    return format_ns(value);
}

std::string format_target(const figure_row& row) {
    char text[32];
    switch (row.target) {
    case TARGET_RATIO_MAX:
        snprintf(text, sizeof(text), "<= %.2fx", row.target_value);
        return text;
    case TARGET_NS_MAX:
        snprintf(text, sizeof(text), "<= %.0f ns", row.target_value);
        return text;
    case TARGET_NS_ADDED_MAX:
        snprintf(text, sizeof(text), "+<= %.0f ns", row.target_value);
        return text;
    case TARGET_RATIO_MIN:
        snprintf(text, sizeof(text), ">= %.2fx", row.target_value);
        return text;
    case TARGET_NONE:
        break;
    }
    return "-";
}

}  // namespace

void print_figure_table(FILE* out, const figure_reporter& results, const std::vector<figure_row>& rows) {
    fprintf(out, "%-44s %11s  %-34s %8s %12s %10s  %s\n", "figure", "measured", "baseline (same run)", "ratio",
            "added", "target", "verdict");
    for (const figure_row& row : rows) {
        const double value = results.median(row.bench, row.metric);
        const double base = row.baseline_bench ? results.median(row.baseline_bench, row.baseline_metric) : 0;
        if (value < 0 || (row.baseline_bench && base <= 0)) {
            std::string verdict = "not measured";
            std::string reason = results.skip_reason(row.bench);
            if (reason.empty() && row.baseline_bench) reason = results.skip_reason(row.baseline_bench);
            if (!reason.empty()) verdict += ": " + reason;
            fprintf(out, "%-44s %11s  %-34s %8s %12s %10s  %s\n", row.label, "-", row.baseline_label, "-", "-",
                    format_target(row).c_str(), verdict.c_str());
            continue;
        }
        const bool faulty = row.fault_metric && results.maximum(row.bench, row.fault_metric) > 0;
        if (!row.baseline_bench) {
            // A count alone: the median, and the largest when one repetition had more.
            std::string measured = format_value(row, value);
            const double largest = results.maximum(row.bench, row.metric);
            if (row.unit == UNIT_COUNT && largest > value) measured += " (max " + format_value(row, largest) + ")";
            fprintf(out, "%-44s %11s  %-34s %8s %12s %10s  %s\n", row.label, measured.c_str(),
                    row.baseline_label, "-", "-", format_target(row).c_str(), faulty ? row.fault_text : "reported");
            continue;
        }
        double ratio = value / base;
        double difference = value - base;
        if (strcmp(row.bench, row.baseline_bench) == 0)
            results.paired_medians(row.bench, row.metric, row.baseline_metric, &ratio, &difference);
        const std::string baseline = format_value(row, base) + "  " + row.baseline_label;
        char ratio_text[16];
        snprintf(ratio_text, sizeof(ratio_text), "%.3fx", ratio);
        const std::string added = (difference >= 0 ? "+" : "") + format_value(row, difference);
        const char* verdict = "reported";
        if (row.target == TARGET_RATIO_MAX) verdict = ratio <= row.target_value ? "met" : "MISSED";
        if (row.target == TARGET_NS_MAX) verdict = value <= row.target_value ? "met" : "MISSED";
        if (row.target == TARGET_NS_ADDED_MAX) verdict = difference <= row.target_value ? "met" : "MISSED";
        if (row.target == TARGET_RATIO_MIN) verdict = ratio >= row.target_value ? "met" : "MISSED";
        if (faulty) verdict = row.fault_text;
        fprintf(out, "%-44s %11s  %-34s %8s %12s %10s  %s\n", row.label, format_value(row, value).c_str(),
                baseline.c_str(), ratio_text, added.c_str(), format_target(row).c_str(), verdict);
    }
}

}  // namespace hux_bench
