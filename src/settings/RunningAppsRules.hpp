#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "content/ExcludedApp.hpp"
#include "platform/Workspace.hpp"

namespace mosaiko {

// The rules behind the running-applications picker: reading the workspace, one row per
// identifier, the search filter, and the applications handed over for exclusion.
struct RunningAppsRules {
    // One running application as the workspace reports it.
    struct RunningAppSnapshot {
        std::string name;  // its name, or its identifier when it has none
        std::string bundleIdentifier;
        bool operator==(const RunningAppSnapshot&) const = default;
    };

    // One row of the list, identified by its identifier.
    struct RunningAppOption {
        std::string name;
        std::string bundleIdentifier;
        bool operator==(const RunningAppOption&) const = default;
    };

    // The applications that have an identifier, in the workspace's order (ours included).
    static std::vector<RunningAppSnapshot> appSnapshots(const std::vector<RunningApp>& running);
    // Without the excluded identifier, one option per identifier (the last snapshot names it),
    // sorted by name (letter case ignored), then by identifier.
    static std::vector<RunningAppOption> normalizedApps(
        const std::vector<RunningAppSnapshot>& snapshots,
        const std::optional<std::string>& excludingBundleIdentifier);
    // The options whose name or identifier contains the trimmed query, letter case ignored; all of
    // them for a blank query.
    static std::vector<RunningAppOption> filter(const std::vector<RunningAppOption>& options,
                                                std::string_view query);
    // The selected options, in the options' order, as applications to exclude.
    static std::vector<ExcludedApp> selectedExcludedApps(const std::vector<RunningAppOption>& options,
                                                         const std::set<std::string>& selection);
};

}  // namespace mosaiko
