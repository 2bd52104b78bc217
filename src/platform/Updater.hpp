#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/Published.hpp"

namespace mosaiko {

// An error reported by an update framework: its numeric code and a description for people.
struct UpdaterError {
    long code = 0;
    std::string localizedDescription;
};

// Receives the outcome of update checks from an `Updater`, on the main loop.
class UpdaterDelegate {
  public:
    virtual ~UpdaterDelegate() = default;
    virtual void updaterDidFindValidUpdate(const std::string& displayVersion,
                                           const std::string& buildVersion) = 0;
    virtual void updaterDidNotFindUpdate() = 0;
    virtual void updaterDidAbortWithError(const UpdaterError& error) = 0;
    virtual void updaterDidFinishUpdateCycle(const std::optional<UpdaterError>& error) = 0;
};

// An update framework's updater: its settings, its state and a user-initiated check. Linux builds
// have none; the update state logic is exercised against a fake.
class Updater {
  public:
    virtual ~Updater() = default;

    virtual bool canCheckForUpdates() const = 0;
    virtual bool sessionInProgress() const = 0;
    // Seconds since 1970.
    virtual std::optional<double> lastUpdateCheckDate() const = 0;
    virtual std::optional<std::string> feedURL() const = 0;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool value) = 0;
    virtual bool automaticallyDownloadsUpdates() const = 0;
    virtual void setAutomaticallyDownloadsUpdates(bool value) = 0;

    // Starts a check the user asked for; the outcome arrives through the delegate.
    virtual void checkForUpdates() = 0;

    // Observations; they may be delivered on any thread. The first also delivers the current
    // value at once, the second only changes.
    [[nodiscard]] virtual Cancellable observeSessionInProgress(std::function<void(bool)> handler) = 0;
    [[nodiscard]] virtual Cancellable observeCanCheckForUpdates(std::function<void(bool)> handler) = 0;
};

}  // namespace mosaiko
