#pragma once

#include <optional>
#include <string>
#include <vector>

#include "content/ExcludedApp.hpp"

namespace mosaiko {

class PreferencesStore;

// The rules behind the Excluded Apps tab: naming a chosen application, merging new applications
// into the list, removing one, and restoring the defaults. Every operation writes the whole list.
struct ExcludedAppsRules {
    // What was read from one chosen application (a desktop entry).
    struct ExcludedAppSelection {
        std::string fallbackName;  // the file name without its extension
        std::optional<std::string> bundleIdentifier;
        std::optional<std::string> displayName;
        std::optional<std::string> bundleName;
    };

    // One application per selection, in order: the first non-blank of display name, bundle name and
    // file name (trimmed), and the trimmed identifier (none when blank). A selection that yields
    // neither a name nor an identifier is left out: it would match nothing, or every unnamed window.
    static std::vector<ExcludedApp> excludedApps(const std::vector<ExcludedAppSelection>& selections);
    // The existing list with each new application whose key (identifier, else name) is not taken
    // yet, sorted by name (letter case ignored, stable). An empty new list changes nothing.
    static std::vector<ExcludedApp> mergedExcludedApps(const std::vector<ExcludedApp>& existing,
                                                       const std::vector<ExcludedApp>& added);
    // Every entry whose key differs from `key`, in order.
    static std::vector<ExcludedApp> removing(const std::vector<ExcludedApp>& apps, const std::string& key);

    // Merges the applications into the store's list and writes it, also when nothing was added.
    static void addExcludedApps(PreferencesStore& prefs, const std::vector<ExcludedApp>& added);
    static void removeExcludedApp(PreferencesStore& prefs, const std::string& key);
    // Replaces the list with the store's default list, in its order.
    static void resetExcludedApps(PreferencesStore& prefs);
};

}  // namespace mosaiko
