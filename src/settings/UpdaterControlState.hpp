#pragma once

#include <optional>
#include <string>

#include "platform/UpdaterStatus.hpp"

namespace mosaiko {

// What the updates card shows and enables, derived from one snapshot of the update state, and the
// texts it builds from that snapshot and from the program's version.
struct UpdaterControlState {
    using Snapshot = UpdaterStatusSnapshot;

    std::string checkModeLabel;
    std::string downloadModeLabel;
    bool isCheckToggleDisabled = true;
    bool showsDownloadToggle = false;
    bool isDownloadToggleDisabled = true;
    bool isCheckButtonDisabled = true;
    bool showsProgress = false;
    std::optional<std::string> errorText;

    static UpdaterControlState from(const Snapshot& snapshot);

    // The snapshot when nothing answers for the update state: no updater.
    static Snapshot fallbackSnapshot(const std::string& currentVersion);

    // "1.4 (57)", "1.4", "57" or "dev", from the trimmed version texts.
    static std::string appVersionDisplay(const std::optional<std::string>& shortVersion,
                                         const std::optional<std::string>& buildVersion);
    // The "Available" value: the version found, "Checking...", "None" or "N/A".
    static std::string availableUpdateVersionText(const Snapshot& snapshot);

    bool operator==(const UpdaterControlState&) const = default;
};

}  // namespace mosaiko
