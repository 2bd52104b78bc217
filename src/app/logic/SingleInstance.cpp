#include "app/logic/SingleInstance.hpp"

#include <algorithm>

namespace mosaiko {

std::string SingleInstance::duplicateInstanceInformativeText(std::size_t count) {
    if (count == 1) return "Closing the already running instance now.";
    return "Closing the " + std::to_string(count) + " already running instances now.";
}

void SingleInstance::resolveOtherRunningInstancesIfNeeded() {
    const auto identifier = dependencies_.bundleIdentifier();
    if (!identifier) return;
    const long currentPid = dependencies_.currentProcessIdentifier();

    std::vector<RunningInstance> others;
    for (const auto& instance : dependencies_.runningInstances()) {
        if (instance.processIdentifier != currentPid) others.push_back(instance);
    }
    if (others.empty()) return;

    dependencies_.showAlert("Mosaiko is already running.", duplicateInstanceInformativeText(others.size()));
    terminateOtherRunningInstances(others, currentPid);
}

bool SingleInstance::anyOther(long currentPid) const {
    const auto running = dependencies_.runningInstances();
    return std::any_of(running.begin(), running.end(),
                       [&](const RunningInstance& i) { return i.processIdentifier != currentPid; });
}

void SingleInstance::terminateOtherRunningInstances(const std::vector<RunningInstance>& others,
                                                    long currentPid) {
    for (const auto& instance : others) dependencies_.requestTermination(instance);

    const double deadline = dependencies_.uptime() + kWaitLimit;
    while (dependencies_.uptime() < deadline) {
        if (!anyOther(currentPid)) break;
        dependencies_.sleep(kPollInterval);
    }

    for (const auto& instance : dependencies_.runningInstances()) {
        if (instance.processIdentifier != currentPid) dependencies_.forceTermination(instance);
    }
}

}  // namespace mosaiko
