#include "settings/UpdaterControlState.hpp"

#include <gtest/gtest.h>

namespace mosaiko {
namespace {

using Snapshot = UpdaterControlState::Snapshot;
using std::nullopt;

TEST(UpdaterControlState, VersionText) {
    const struct {
        std::optional<std::string> shortVersion, build;
        std::string shown;
    } rows[] = {
        {" 1.4 \n", "57", "1.4 (57)"}, {nullopt, "57", "57"}, {"1.4", "  ", "1.4"},
        {nullopt, nullopt, "dev"},     {" ", "\t", "dev"},    {"1.0", "1.0", "1.0 (1.0)"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(UpdaterControlState::appVersionDisplay(row.shortVersion, row.build), row.shown)
            << row.shown;
    }
}

TEST(UpdaterControlState, AvailableText) {
    const auto text = [](std::optional<std::string> display, std::optional<std::string> build, bool checking,
                         std::string status) {
        Snapshot s;
        s.availableDisplayVersion = std::move(display);
        s.availableBuildVersion = std::move(build);
        s.isSessionInProgress = checking;
        s.statusText = std::move(status);
        return UpdaterControlState::availableUpdateVersionText(s);
    };
    EXPECT_EQ(text("2.0", "2.0", false, "Ready"), "2.0");
    EXPECT_EQ(text("2.0", "", false, "Ready"), "2.0");
    EXPECT_EQ(text("2.0", "210", true, "Ready"), "2.0 (210)") << "a found version wins over a running check";
    EXPECT_EQ(text(nullopt, nullopt, true, "Up to date"), "Checking...");
    EXPECT_EQ(text(nullopt, nullopt, false, "Up to date"), "None");
    for (const char* status : {"Ready", "Update canceled", "Automatic checks disabled", "up to date"})
        EXPECT_EQ(text(nullopt, nullopt, false, status), "N/A") << status;
}

TEST(UpdaterControlState, ControlsFollowTheSnapshot) {
    const auto fallback = UpdaterControlState::fallbackSnapshot("0.1.0 (010)");
    EXPECT_EQ(fallback.statusText, "Updater unavailable in this build");
    EXPECT_EQ(fallback.currentVersion, "0.1.0 (010)");
    const auto none = UpdaterControlState::from(fallback);
    EXPECT_EQ(none.checkModeLabel, "Manual");
    EXPECT_EQ(none.downloadModeLabel, "Ask First");
    EXPECT_TRUE(none.isCheckToggleDisabled && none.isDownloadToggleDisabled && none.isCheckButtonDisabled);
    EXPECT_FALSE(none.showsDownloadToggle || none.showsProgress || none.errorText);

    Snapshot s = fallback;
    s.isConfigured = true;
    s.automaticallyDownloadsUpdates = true;  // while checks are off
    s.supportsAutomaticDownloads = true;
    s.isSessionInProgress = true;
    const auto manual = UpdaterControlState::from(s);
    EXPECT_EQ(manual.downloadModeLabel, "Automatic");
    EXPECT_TRUE(manual.isDownloadToggleDisabled);
    EXPECT_FALSE(manual.isCheckToggleDisabled);
    EXPECT_TRUE(manual.isCheckButtonDisabled) << "configured, but it cannot check now";
    EXPECT_TRUE(manual.showsProgress);

    s.automaticallyChecksForUpdates = true;
    s.canCheckForUpdates = true;
    const auto automatic = UpdaterControlState::from(s);
    EXPECT_EQ(automatic.checkModeLabel, "Automatic");
    EXPECT_FALSE(automatic.isDownloadToggleDisabled || automatic.isCheckButtonDisabled);
}

}  // namespace
}  // namespace mosaiko
