#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Prints, after the usual table, each benchmark's time as a ratio to a reference benchmark measured in
// the same run, so results compare across machines.
// The (benchmark, reference) pairs to report; each benchmark file adds its own with a RatioPair.
inline std::vector<std::pair<std::string, std::string>>& ratio_pairs() {
    static std::vector<std::pair<std::string, std::string>> pairs;
    return pairs;
}

struct RatioPair {
    RatioPair(std::string name, std::string reference) {
        ratio_pairs().emplace_back(std::move(name), std::move(reference));
    }
};

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Pairs of (benchmark name, reference benchmark name).
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs)
        : pairs_(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        // A run whose result was wrong (SkipWithError) gives no time, so no ratio is printed for it.
        for (const auto& run : runs)
            if (!run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [name, reference] : pairs_) {
            const auto a = times_.find(name);
            const auto b = times_.find(reference);
            if (a == times_.end() || b == times_.end() || b->second <= 0) continue;
            std::printf("ratio %s / %s = %.3f\n", name.c_str(), reference.c_str(), a->second / b->second);
        }
    }

  private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    std::map<std::string, double> times_;
};
