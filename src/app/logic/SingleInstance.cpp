#include "app/logic/SingleInstance.hpp"

#include <algorithm>

namespace mosaiko {

std::string SingleInstance::duplicateInstanceInformativeText(std::size_t count) {
    if (count == 1) return "Closing the already running instance now.";
    return "Closing the " + std::to_string(count) + " already running instances now.";
}

SingleInstance::Outcome SingleInstance::resolveOtherRunningInstancesIfNeeded() {
    const auto identifier = dependencies_.bundleIdentifier();
    if (!identifier) return Outcome::goOn;
    if (usesLock() && dependencies_.takeLock()) return Outcome::goOn;
    const long currentPid = dependencies_.currentProcessIdentifier();

    std::vector<RunningInstance> others;
    for (const auto& instance : dependencies_.runningInstances()) {
        if (instance.processIdentifier != currentPid) others.push_back(instance);
    }
    // The lock is held, yet no older copy is listed. Its holder may be an older copy on its way out
    // (one leaves the list just before it lets go, and may have left between the two looks, as the
    // copy that starts this one from the guide does): it lets go within moments. Otherwise a copy
    // on another machine that shares the folder holds it, or one that started after this one got
    // there first, and the newest wins.
    if (others.empty()) {
        if (!usesLock()) return Outcome::goOn;
        const Outcome outcome = awaitLock();
        if (outcome == Outcome::newerCopyRuns && anyOnOtherMachines()) return Outcome::runsOnAnotherMachine;
        return outcome;
    }

    // The alert takes the keyboard focus: a long text an older copy is typing would go on into it,
    // and hold the user's answer up behind it.
    if (dependencies_.askToStopTyping) {
        for (const auto& instance : others) dependencies_.askToStopTyping(instance);
    }
    dependencies_.showAlert("Mosaiko is already running.", duplicateInstanceInformativeText(others.size()));
    if (endRequested()) return Outcome::endRequested;
    return terminateOtherRunningInstances(others, currentPid);
}

bool SingleInstance::anyOther(long currentPid) const {
    const auto running = dependencies_.runningInstances();
    return std::any_of(running.begin(), running.end(),
                       [&](const RunningInstance& i) { return i.processIdentifier != currentPid; });
}

SingleInstance::Outcome SingleInstance::terminateOtherRunningInstances(
    const std::vector<RunningInstance>& others, long currentPid) {
    for (const auto& instance : others) dependencies_.requestTermination(instance);

    const double deadline = dependencies_.uptime() + kWaitLimit;
    while (dependencies_.uptime() < deadline) {
        if (endRequested()) return Outcome::endRequested;
        if (!anyOther(currentPid) && lockTaken()) return Outcome::goOn;
        dependencies_.sleep(kPollInterval);
    }

    for (const auto& instance : dependencies_.runningInstances()) {
        if (instance.processIdentifier != currentPid) dependencies_.forceTermination(instance);
    }
    // A forced copy lets go of the lock as it dies, which takes a moment; a newer copy never does.
    return awaitLock();
}

SingleInstance::Outcome SingleInstance::awaitLock() {
    const double deadline = dependencies_.uptime() + kWaitLimit;
    while (!lockTaken()) {
        if (endRequested()) return Outcome::endRequested;
        if (dependencies_.uptime() >= deadline) return Outcome::newerCopyRuns;
        dependencies_.sleep(kPollInterval);
    }
    return Outcome::goOn;
}

}  // namespace mosaiko
