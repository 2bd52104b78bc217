#include "app/logic/UpdateManager.hpp"

#include <gtest/gtest.h>

#include "platform/fake/FakeUpdater.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {
namespace {

using State = UpdateManager::UpdaterState;

class UpdateManagerTest : public testing::Test {
  protected:
    void launchWithUpdater(bool allowsAutomaticUpdates = true) {
        manager.setUpAtLaunch(
            [this](UpdaterDelegate&) {
                auto u = std::make_unique<FakeUpdater>();
                updater = u.get();
                return u;
            },
            allowsAutomaticUpdates);
        loop.runPending();
        posts = 0;
    }

    ManualMainLoop loop;
    UpdateManager manager{loop};
    FakeUpdater* updater = nullptr;
    int posts = 0;
    Cancellable observation =
        manager.updaterStatusDidChange.subscribe([this](const UpdateManager*) { ++posts; });
};

TEST_F(UpdateManagerTest, WithoutAnUpdaterEverythingReadsUnavailable) {
    EXPECT_EQ(manager.updaterState().statusText, "Idle");
    manager.setUpAtLaunch([](UpdaterDelegate&) { return nullptr; }, true);
    EXPECT_EQ(manager.updaterState().statusText, "Updater unavailable in this build");
    EXPECT_FALSE(manager.supportsAutomaticDownloadsSetting());
    EXPECT_FALSE(manager.canCheckForUpdates());

    // A check asked for from the menu changes the stored state, but the snapshot stays unavailable.
    manager.checkForUpdates();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(manager.updaterState().statusText, "Checking for updates...");
    const auto snapshot = manager.currentUpdaterStatus("0.1.0");
    UpdateManager::UpdaterStatusSnapshot expected;
    expected.currentVersion = "0.1.0";
    expected.statusText = "Updater unavailable in this build";
    EXPECT_EQ(snapshot, expected);

    manager.setAutomaticallyChecksForUpdates(false);
    manager.setAutomaticallyDownloadsUpdates(true);
    EXPECT_EQ(posts, 1);
}

TEST_F(UpdateManagerTest, LaunchWithAnUpdaterIsReadyAndTakesTheDownloadsSetting) {
    launchWithUpdater(false);
    EXPECT_EQ(manager.updaterState().statusText, "Ready");
    EXPECT_FALSE(manager.supportsAutomaticDownloadsSetting());
    EXPECT_TRUE(manager.canCheckForUpdates());

    UpdateManager other(loop);
    other.setUpAtLaunch([](UpdaterDelegate&) { return std::make_unique<FakeUpdater>(); }, true);
    EXPECT_TRUE(other.supportsAutomaticDownloadsSetting());
}

TEST_F(UpdateManagerTest, ACheckThatFindsAnUpdateKeepsItThroughSessionEndAndCycleEnd) {
    launchWithUpdater();
    manager.checkForUpdates();
    EXPECT_EQ(updater->checkRequests, 1);
    EXPECT_EQ(manager.updaterState().statusText, "Checking for updates...");

    updater->setSessionInProgress(true);
    loop.runPending();
    EXPECT_EQ(manager.updaterState().statusText, "Checking for updates...");

    manager.updaterDidFindValidUpdate("2.0", "200");
    EXPECT_EQ(manager.updaterState(), (State{"Update available", std::nullopt, "2.0", "200"}));

    updater->setSessionInProgress(false);
    loop.runPending();
    EXPECT_EQ(manager.updaterState().statusText, "Update available");

    manager.updaterDidFinishUpdateCycle(std::nullopt);
    EXPECT_EQ(manager.updaterState(), (State{"Update available", std::nullopt, "2.0", "200"}));
    EXPECT_EQ(posts, 5);
}

TEST_F(UpdateManagerTest, NoUpdateAndCode1001ClearTheVersions) {
    launchWithUpdater();
    manager.updaterDidFindValidUpdate("2.0", "200");
    manager.updaterDidNotFindUpdate();
    EXPECT_EQ(manager.updaterState(), (State{"Up to date", std::nullopt, std::nullopt, std::nullopt}));

    manager.updaterDidFindValidUpdate("2.0", "200");
    manager.updaterDidFinishUpdateCycle(UpdaterError{1001, "no update"});
    EXPECT_EQ(manager.updaterState(), (State{"Up to date", std::nullopt, std::nullopt, std::nullopt}));
}

TEST_F(UpdateManagerTest, ErrorsBecomeStatusAndDetail) {
    launchWithUpdater();
    manager.updaterDidFindValidUpdate("2.0", "200");
    manager.updaterDidAbortWithError(UpdaterError{4007, "canceled by the user"});
    EXPECT_EQ(manager.updaterState(), (State{"Update canceled", std::nullopt, "2.0", "200"}));

    manager.updaterDidFinishUpdateCycle(UpdaterError{2001, "The feed could not be read."});
    EXPECT_EQ(manager.updaterState(),
              (State{"Update check failed", "The feed could not be read.", "2.0", "200"}));
}

TEST_F(UpdateManagerTest, SessionProgressOnlyMovesReadyUpToDateAndChecking) {
    const State ready{"Ready", std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(UpdateManager::updaterStateAfterSessionProgress(ready, true).statusText,
              "Checking for updates...");
    const State failed{"Update check failed", "x", std::nullopt, std::nullopt};
    EXPECT_EQ(UpdateManager::updaterStateAfterSessionProgress(failed, true), failed);
    EXPECT_EQ(UpdateManager::updaterStateAfterSessionProgress(failed, false), failed);
    const State checking{"Checking for updates...", "old", std::nullopt, std::nullopt};
    EXPECT_EQ(UpdateManager::updaterStateAfterSessionProgress(checking, false),
              (State{"Up to date", std::nullopt, std::nullopt, std::nullopt}));
    const State disabled{"Automatic checks disabled", std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(UpdateManager::updaterStateAfterSessionProgress(disabled, true), disabled);
}

TEST_F(UpdateManagerTest, ObservationsAreAppliedOnTheMainLoopFromAFreshRead) {
    launchWithUpdater();
    updater->setSessionInProgress(true);
    EXPECT_EQ(manager.updaterState().statusText, "Ready");  // nothing before the loop runs
    loop.runPending();
    EXPECT_EQ(manager.updaterState().statusText, "Checking for updates...");
    EXPECT_EQ(posts, 1);

    updater->setCanCheckForUpdates(false);
    loop.runPending();
    EXPECT_EQ(posts, 2);
    EXPECT_FALSE(manager.canCheckForUpdates());
}

TEST_F(UpdateManagerTest, QueuedObservationsDoNothingOnceTheManagerIsGone) {
    auto owned = std::make_unique<UpdateManager>(loop);
    owned->setUpAtLaunch([](UpdaterDelegate&) { return std::make_unique<FakeUpdater>(); }, true);
    owned.reset();
    // The initial session delivery is still queued; running it must not touch the destroyed
    // manager (the sanitizer build reports it if it does).
    EXPECT_NO_FATAL_FAILURE(loop.runPending());
}

TEST_F(UpdateManagerTest, AutomaticChecksOffAndOnAgain) {
    launchWithUpdater();
    manager.updaterDidNotFindUpdate();
    updater->automaticDownloads = true;
    posts = 0;

    manager.setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(manager.updaterState().statusText, "Automatic checks disabled");
    EXPECT_FALSE(updater->automaticChecks);
    EXPECT_FALSE(updater->automaticDownloads);

    manager.setAutomaticallyChecksForUpdates(true);
    EXPECT_EQ(manager.updaterState().statusText, "Ready");
    EXPECT_TRUE(updater->automaticChecks);
    EXPECT_FALSE(updater->automaticDownloads);
    EXPECT_EQ(posts, 2);
}

TEST_F(UpdateManagerTest, AutomaticChecksOnKeepsTheStatusAndClearsTheError) {
    launchWithUpdater();
    manager.updaterDidFindValidUpdate("2.0", "200");
    updater->automaticDownloads = true;
    manager.setAutomaticallyChecksForUpdates(true);
    EXPECT_EQ(manager.updaterState(), (State{"Update available", std::nullopt, "2.0", "200"}));
    EXPECT_TRUE(updater->automaticDownloads);  // written back unchanged

    manager.updaterDidAbortWithError(UpdaterError{5, "boom"});
    ASSERT_EQ(manager.updaterState().errorText, "boom");
    manager.setAutomaticallyChecksForUpdates(true);
    EXPECT_EQ(manager.updaterState(), (State{"Update check failed", std::nullopt, "2.0", "200"}));
}

TEST_F(UpdateManagerTest, AutomaticDownloadsNeedTheSetting) {
    launchWithUpdater(false);
    manager.setAutomaticallyDownloadsUpdates(true);
    EXPECT_EQ(updater->downloadSettingWrites, 0);
    EXPECT_EQ(posts, 0);

    UpdateManager allowed(loop);
    FakeUpdater* second = nullptr;
    allowed.setUpAtLaunch(
        [&](UpdaterDelegate&) {
            auto u = std::make_unique<FakeUpdater>();
            second = u.get();
            return u;
        },
        true);
    allowed.setAutomaticallyDownloadsUpdates(true);
    EXPECT_TRUE(second->automaticDownloads);
}

TEST_F(UpdateManagerTest, SnapshotReadsTheUpdaterAtTheMomentOfTheCall) {
    launchWithUpdater();
    updater->lastCheckDate = 1'700'000'000.0;
    updater->feed = "https://example.invalid/feed.xml";
    manager.updaterDidFindValidUpdate("2.0", "200");
    const auto snapshot = manager.currentUpdaterStatus("1.0");
    EXPECT_TRUE(snapshot.isConfigured);
    EXPECT_TRUE(snapshot.canCheckForUpdates);
    EXPECT_EQ(snapshot.statusText, "Update available");
    EXPECT_EQ(snapshot.availableDisplayVersion, "2.0");
    EXPECT_EQ(snapshot.lastCheckDate, 1'700'000'000.0);
    EXPECT_EQ(snapshot.feedURL, "https://example.invalid/feed.xml");
    EXPECT_TRUE(snapshot.supportsAutomaticDownloads);
}

}  // namespace
}  // namespace mosaiko
