#pragma once

#include <optional>
#include <string>

#include "platform/Updater.hpp"

namespace mosaiko {

// An updater whose settings are plain fields and whose observations the test triggers.
class FakeUpdater final : public Updater {
  public:
    bool canCheckForUpdates() const override { return canCheck_.value(); }
    bool sessionInProgress() const override { return sessionInProgress_.value(); }
    std::optional<double> lastUpdateCheckDate() const override { return lastCheckDate; }
    std::optional<std::string> feedURL() const override { return feed; }
    bool automaticallyChecksForUpdates() const override { return automaticChecks; }
    void setAutomaticallyChecksForUpdates(bool value) override { automaticChecks = value; }
    bool automaticallyDownloadsUpdates() const override { return automaticDownloads; }
    void setAutomaticallyDownloadsUpdates(bool value) override {
        automaticDownloads = value;
        ++downloadSettingWrites;
    }
    void checkForUpdates() override { ++checkRequests; }

    Cancellable observeSessionInProgress(std::function<void(bool)> handler) override {
        return sessionInProgress_.subscribe(std::move(handler));
    }
    Cancellable observeCanCheckForUpdates(std::function<void(bool)> handler) override {
        return canCheck_.observe(std::move(handler));
    }

    // Changes the state as the framework would, notifying observers.
    void setSessionInProgress(bool value) { sessionInProgress_.set(value); }
    void setCanCheckForUpdates(bool value) { canCheck_.set(value); }

    std::optional<double> lastCheckDate;
    std::optional<std::string> feed;
    bool automaticChecks = true;
    bool automaticDownloads = false;
    int downloadSettingWrites = 0;
    int checkRequests = 0;

  private:
    Published<bool> sessionInProgress_{false};
    Published<bool> canCheck_{true};
};

}  // namespace mosaiko
