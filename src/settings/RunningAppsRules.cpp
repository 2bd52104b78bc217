#include "settings/RunningAppsRules.hpp"

#include <algorithm>
#include <map>

#include "platform/Text.hpp"

namespace mosaiko {

std::vector<RunningAppsRules::RunningAppSnapshot> RunningAppsRules::appSnapshots(
    const std::vector<RunningApp>& running) {
    std::vector<RunningAppSnapshot> snapshots;
    for (const auto& app : running) {
        if (!app.bundleIdentifier) continue;
        snapshots.push_back({app.localizedName.value_or(*app.bundleIdentifier), *app.bundleIdentifier});
    }
    return snapshots;
}

std::vector<RunningAppsRules::RunningAppOption> RunningAppsRules::normalizedApps(
    const std::vector<RunningAppSnapshot>& snapshots,
    const std::optional<std::string>& excludingBundleIdentifier) {
    std::map<std::string, RunningAppOption> byIdentifier;
    for (const auto& snapshot : snapshots) {
        if (excludingBundleIdentifier && snapshot.bundleIdentifier == *excludingBundleIdentifier) continue;
        byIdentifier[snapshot.bundleIdentifier] = {snapshot.name, snapshot.bundleIdentifier};
    }
    std::vector<RunningAppOption> options;
    options.reserve(byIdentifier.size());
    for (auto& [identifier, option] : byIdentifier) options.push_back(std::move(option));
    std::sort(options.begin(), options.end(), [](const RunningAppOption& a, const RunningAppOption& b) {
        const int byName = text::localizedCaseInsensitiveCompare(a.name, b.name);
        return byName != 0 ? byName < 0 : a.bundleIdentifier < b.bundleIdentifier;
    });
    return options;
}

std::vector<RunningAppsRules::RunningAppOption> RunningAppsRules::filter(
    const std::vector<RunningAppOption>& options, std::string_view query) {
    const std::string needle = text::lowercased(text::trimmed(query));
    if (needle.empty()) return options;
    std::vector<RunningAppOption> kept;
    for (const auto& option : options) {
        if (text::lowercased(option.name).find(needle) != std::string::npos ||
            text::lowercased(option.bundleIdentifier).find(needle) != std::string::npos) {
            kept.push_back(option);
        }
    }
    return kept;
}

std::vector<ExcludedApp> RunningAppsRules::selectedExcludedApps(const std::vector<RunningAppOption>& options,
                                                                const std::set<std::string>& selection) {
    std::vector<ExcludedApp> apps;
    for (const auto& option : options) {
        if (selection.count(option.bundleIdentifier)) apps.push_back({option.name, option.bundleIdentifier});
    }
    return apps;
}

}  // namespace mosaiko
