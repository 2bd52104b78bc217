#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Wiring.hpp"
#include "platform/linux/InstanceRegistry.hpp"

namespace mosaiko {

// Only one copy of the program runs per user and display, and the newest one wins: a new copy
// tells the user, asks the older ones to quit, waits briefly and forces any survivor.
class SingleInstance {
  public:
    struct Dependencies {
        // The identifier the copies share; nothing means a bare build that skips the check.
        std::function<std::optional<std::string>()> bundleIdentifier;
        std::function<long()> currentProcessIdentifier;
        // The copies with that identifier as listed now (this process may be among them).
        std::function<std::vector<RunningInstance>()> runningInstances;
        std::function<void(const RunningInstance&)> requestTermination;
        std::function<void(const RunningInstance&)> forceTermination;
        // Shows the "already running" alert and returns when the user dismissed it.
        std::function<void(const std::string& message, const std::string& informativeText)> showAlert;
        std::function<double()> uptime;
        // Blocks the calling thread.
        std::function<void(double seconds)> sleep;

        Wiring wiring() const {
            return Wiring()
                .require("bundleIdentifier", bundleIdentifier)
                .require("currentProcessIdentifier", currentProcessIdentifier)
                .require("runningInstances", runningInstances)
                .require("requestTermination", requestTermination)
                .require("forceTermination", forceTermination)
                .require("showAlert", showAlert)
                .require("uptime", uptime)
                .require("sleep", sleep);
        }
    };

    static constexpr double kPollInterval = 0.05;
    static constexpr double kWaitLimit = 1.5;

    explicit SingleInstance(Dependencies dependencies) : dependencies_(std::move(dependencies)) {
        dependencies_.wiring().check("SingleInstance");
    }

    // The whole procedure; returns once the other copies are gone or have been forced to quit.
    void resolveOtherRunningInstancesIfNeeded();
    // Asks each to quit, polls until none is left or the wait limit passed, then forces survivors.
    void terminateOtherRunningInstances(const std::vector<RunningInstance>& others, long currentPid);

    static std::string duplicateInstanceInformativeText(std::size_t count);

  private:
    bool anyOther(long currentPid) const;

    Dependencies dependencies_;
};

}  // namespace mosaiko
