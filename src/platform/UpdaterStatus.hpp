#pragma once

#include <optional>
#include <string>

namespace mosaiko {

// The update state as the settings window shows it: one value the shell hands out on request.
struct UpdaterStatusSnapshot {
    std::string currentVersion;
    bool isConfigured = false;
    bool canCheckForUpdates = false;
    bool isSessionInProgress = false;
    std::string statusText;
    std::optional<std::string> availableDisplayVersion;
    std::optional<std::string> availableBuildVersion;
    std::optional<double> lastCheckDate;
    std::optional<std::string> feedURL;
    bool automaticallyChecksForUpdates = false;
    bool automaticallyDownloadsUpdates = false;
    bool supportsAutomaticDownloads = false;
    std::optional<std::string> errorText;
    bool operator==(const UpdaterStatusSnapshot&) const = default;
};

// The status texts of the update state; the settings window compares with some of them.
namespace updater_status {
inline constexpr const char* kIdle = "Idle";
inline constexpr const char* kReady = "Ready";
inline constexpr const char* kUnavailable = "Updater unavailable in this build";
inline constexpr const char* kChecking = "Checking for updates...";
inline constexpr const char* kUpToDate = "Up to date";
inline constexpr const char* kUpdateAvailable = "Update available";
inline constexpr const char* kAutomaticChecksDisabled = "Automatic checks disabled";
inline constexpr const char* kUpdateCanceled = "Update canceled";
inline constexpr const char* kUpdateCheckFailed = "Update check failed";
}  // namespace updater_status

}  // namespace mosaiko
