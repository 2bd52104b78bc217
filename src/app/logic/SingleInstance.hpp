#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Wiring.hpp"
#include "platform/linux/InstanceRegistry.hpp"

namespace mosaiko {

// Only one copy of the program runs per configuration folder (a user's, on any display), and the
// newest one wins: a new copy
// tells the user, asks the older ones to quit, waits briefly and forces any survivor. Where a lock
// marks the running copy, a copy goes on only once it holds that lock, so of copies started
// together exactly one survives.
class SingleInstance {
  public:
    struct Dependencies {
        // The identifier the copies share; nothing means a bare build that skips the check.
        std::function<std::optional<std::string>()> bundleIdentifier;
        std::function<long()> currentProcessIdentifier;
        // The older copies with that identifier as listed now (this process may be among them).
        std::function<std::vector<RunningInstance>()> runningInstances;
        std::function<void(const RunningInstance&)> requestTermination;
        std::function<void(const RunningInstance&)> forceTermination;
        // Asks an older copy to stop what it is typing, at once; it goes on running. Unset: not asked.
        std::function<void(const RunningInstance&)> askToStopTyping;
        // Shows the "already running" alert and returns when the user dismissed it (or when this
        // copy was asked to end meanwhile).
        std::function<void(const std::string& message, const std::string& informativeText)> showAlert;
        std::function<double()> uptime;
        // Blocks the calling thread.
        std::function<void(double seconds)> sleep;
        // Takes the running copy's lock without waiting: true once this copy holds it, and true
        // when no lock can be had here at all. Unset: the copies go by the list alone.
        std::function<bool()> takeLock;
        // Whether this copy was asked to end (a signal, a logout) while it waited; unset: never.
        std::function<bool()> endRequested;
        // The host names of copies listed on other machines (which share the configuration
        // folder), which this copy can neither ask nor force to quit; unset: none.
        std::function<std::vector<std::string>()> copiesOnOtherMachines;

        // The lock, the end request and the typing's stop are optional: without them the copies go
        // by the list alone.
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

    enum class Outcome {
        goOn,                  // this copy is the running one
        newerCopyRuns,         // a copy that started after this one holds the lock: this one ends
        endRequested,          // this copy was asked to end before it took over: it touched nobody
        runsOnAnotherMachine,  // the lock stays held and only copies on other machines are listed
    };

    static constexpr double kPollInterval = 0.05;
    static constexpr double kWaitLimit = 1.5;

    explicit SingleInstance(Dependencies dependencies) : dependencies_(std::move(dependencies)) {
        dependencies_.wiring().check("SingleInstance");
    }

    // The whole procedure; returns once the other copies are gone or have been forced to quit, or
    // once it is clear that this copy must not go on.
    Outcome resolveOtherRunningInstancesIfNeeded();
    // Asks each to quit, polls until none is left or the wait limit passed, then forces survivors;
    // where a lock is used, then waits for it. Whether this copy may go on.
    Outcome terminateOtherRunningInstances(const std::vector<RunningInstance>& others, long currentPid);

    static std::string duplicateInstanceInformativeText(std::size_t count);

  private:
    // Polls for the lock until the wait limit: goOn once taken, newerCopyRuns when it never came.
    Outcome awaitLock();
    bool anyOther(long currentPid) const;
    bool anyOnOtherMachines() const {
        return dependencies_.copiesOnOtherMachines && !dependencies_.copiesOnOtherMachines().empty();
    }
    bool usesLock() const { return static_cast<bool>(dependencies_.takeLock); }
    bool lockTaken() const { return !usesLock() || dependencies_.takeLock(); }
    bool endRequested() const { return dependencies_.endRequested && dependencies_.endRequested(); }

    Dependencies dependencies_;
};

}  // namespace mosaiko
