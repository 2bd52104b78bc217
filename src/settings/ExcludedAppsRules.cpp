#include "settings/ExcludedAppsRules.hpp"

#include <algorithm>
#include <set>

#include "content/PreferencesStore.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

std::vector<ExcludedApp> ExcludedAppsRules::excludedApps(
    const std::vector<ExcludedAppSelection>& selections) {
    std::vector<ExcludedApp> apps;
    for (const auto& selection : selections) {
        std::optional<std::string> name;
        for (const auto* candidate : {&selection.displayName, &selection.bundleName}) {
            if (*candidate && !text::isBlank(**candidate)) {
                name = text::trimmed(**candidate);
                break;
            }
        }
        if (!name)
            name = text::isBlank(selection.fallbackName) ? selection.fallbackName
                                                         : text::trimmed(selection.fallbackName);
        std::optional<std::string> identifier;
        if (selection.bundleIdentifier && !text::isBlank(*selection.bundleIdentifier)) {
            identifier = text::trimmed(*selection.bundleIdentifier);
        }
        if (text::isBlank(*name) && !identifier) continue;
        apps.push_back({std::move(*name), std::move(identifier)});
    }
    return apps;
}

std::vector<ExcludedApp> ExcludedAppsRules::mergedExcludedApps(const std::vector<ExcludedApp>& existing,
                                                               const std::vector<ExcludedApp>& added) {
    if (added.empty()) return existing;
    std::set<std::string> keys;
    for (const auto& app : existing) keys.insert(app.identity());
    std::vector<ExcludedApp> merged = existing;
    for (const auto& app : added) {
        if (keys.insert(app.identity()).second) merged.push_back(app);
    }
    std::stable_sort(merged.begin(), merged.end(), [](const ExcludedApp& a, const ExcludedApp& b) {
        return text::localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
    return merged;
}

std::vector<ExcludedApp> ExcludedAppsRules::removing(const std::vector<ExcludedApp>& apps,
                                                     const std::string& key) {
    std::vector<ExcludedApp> kept;
    for (const auto& app : apps) {
        if (app.identity() != key) kept.push_back(app);
    }
    return kept;
}

void ExcludedAppsRules::addExcludedApps(PreferencesStore& prefs, const std::vector<ExcludedApp>& added) {
    prefs.setExcludedApps(mergedExcludedApps(prefs.excludedApps(), added));
}

void ExcludedAppsRules::removeExcludedApp(PreferencesStore& prefs, const std::string& key) {
    prefs.setExcludedApps(removing(prefs.excludedApps(), key));
}

void ExcludedAppsRules::resetExcludedApps(PreferencesStore& prefs) {
    prefs.setExcludedApps(PreferencesStore::defaultExcludedApps());
}

}  // namespace mosaiko
