#include "settings/UpdaterControlState.hpp"

#include "platform/Text.hpp"

namespace mosaiko {

UpdaterControlState UpdaterControlState::from(const Snapshot& snapshot) {
    UpdaterControlState state;
    state.checkModeLabel = snapshot.automaticallyChecksForUpdates ? "Automatic" : "Manual";
    // Follows the updater's download mode alone, whether or not the switch is shown.
    state.downloadModeLabel = snapshot.automaticallyDownloadsUpdates ? "Automatic" : "Ask First";
    state.isCheckToggleDisabled = !snapshot.isConfigured;
    state.showsDownloadToggle = snapshot.supportsAutomaticDownloads;
    state.isDownloadToggleDisabled = !snapshot.isConfigured || !snapshot.automaticallyChecksForUpdates;
    state.isCheckButtonDisabled = !snapshot.isConfigured || !snapshot.canCheckForUpdates;
    state.showsProgress = snapshot.isSessionInProgress;
    state.errorText = snapshot.errorText;
    return state;
}

UpdaterControlState::Snapshot UpdaterControlState::fallbackSnapshot(const std::string& currentVersion) {
    Snapshot snapshot;
    snapshot.currentVersion = currentVersion;
    snapshot.statusText = updater_status::kUnavailable;
    return snapshot;
}

std::string UpdaterControlState::appVersionDisplay(const std::optional<std::string>& shortVersion,
                                                   const std::optional<std::string>& buildVersion) {
    const std::string shortText = shortVersion ? text::trimmed(*shortVersion) : std::string();
    const std::string buildText = buildVersion ? text::trimmed(*buildVersion) : std::string();
    if (!shortText.empty() && !buildText.empty()) return shortText + " (" + buildText + ")";
    if (!shortText.empty()) return shortText;
    if (!buildText.empty()) return buildText;
    return "dev";
}

std::string UpdaterControlState::availableUpdateVersionText(const Snapshot& snapshot) {
    if (snapshot.availableDisplayVersion) {
        const std::string& display = *snapshot.availableDisplayVersion;
        const auto& build = snapshot.availableBuildVersion;
        if (build && !build->empty() && *build != display) return display + " (" + *build + ")";
        return display;
    }
    if (snapshot.isSessionInProgress) return "Checking...";
    if (snapshot.statusText == updater_status::kUpToDate) return "None";
    return "N/A";
}

}  // namespace mosaiko
