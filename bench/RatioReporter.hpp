#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mosaiko {

// Prints, after the usual table, each run's time beside its baseline's and their ratio. A run's time
// is its fastest repetition in microseconds per iteration: the one least disturbed by whatever else
// the machine runs.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Maps a run's name to the name of its baseline; no value for runs printed without a ratio.
    using BaselineOf = std::function<std::optional<std::string>(const std::string&)>;

    RatioReporter(std::string title, std::string baselineWord, BaselineOf baselineOf)
        : title_(std::move(title)),
          baselineWord_(std::move(baselineWord)),
          baselineOf_(std::move(baselineOf)) {}

    // Baselines named "<prefix of the baseline><label>" for runs named "<prefix><label>".
    static BaselineOf byPrefix(std::string prefix, std::string baselinePrefix) {
        return [prefix = std::move(prefix), baselinePrefix = std::move(baselinePrefix)](
                   const std::string& name) -> std::optional<std::string> {
            if (name.rfind(prefix, 0) != 0) return std::nullopt;
            return baselinePrefix + name.substr(prefix.size());
        };
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const double time = run.real_accumulated_time * 1e6 / static_cast<double>(run.iterations);
            const auto [it, added] = times_.try_emplace(run.run_name.function_name, time);
            if (!added) it->second = std::min(it->second, time);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%s:\n", title_.c_str());
        for (const auto& [name, time] : times_) {
            const auto baseline = baselineOf_(name);
            if (!baseline || *baseline == name) continue;
            const auto base = times_.find(*baseline);
            if (base == times_.end() || base->second <= 0) continue;
            std::printf("  %-24s %9.1f us   %s %9.1f us   ratio %5.2f\n", name.c_str(), time,
                        baselineWord_.c_str(), base->second, time / base->second);
        }
    }

  private:
    std::string title_;
    std::string baselineWord_;
    BaselineOf baselineOf_;
    std::map<std::string, double> times_;
};

}  // namespace mosaiko
