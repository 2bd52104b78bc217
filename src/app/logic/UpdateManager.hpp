#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/MainLoop.hpp"
#include "platform/Published.hpp"
#include "platform/Updater.hpp"
#include "platform/UpdaterStatus.hpp"

namespace mosaiko {

// The update state the settings window shows, kept over an update framework's updater when there
// is one. Without one (every Linux build) the status reads "Updater unavailable in this build".
class UpdateManager final : public UpdaterDelegate {
  public:
    struct UpdaterState {
        std::string statusText = "Idle";
        std::optional<std::string> errorText;
        std::optional<std::string> availableDisplayVersion;
        std::optional<std::string> availableBuildVersion;
        bool operator==(const UpdaterState&) const = default;
    };

    using UpdaterStatusSnapshot = mosaiko::UpdaterStatusSnapshot;

    // (status, detail) of a framework error.
    struct ErrorResult {
        std::string status;
        std::optional<std::string> detail;
        bool operator==(const ErrorResult&) const = default;
    };

    // Makes the framework's updater with this object as its delegate; null when there is none.
    using UpdaterFactory = std::function<std::unique_ptr<Updater>(UpdaterDelegate&)>;

    static constexpr const char* kIdle = updater_status::kIdle;
    static constexpr const char* kReady = updater_status::kReady;
    static constexpr const char* kUnavailable = updater_status::kUnavailable;
    static constexpr const char* kChecking = updater_status::kChecking;
    static constexpr const char* kUpToDate = updater_status::kUpToDate;
    static constexpr const char* kUpdateAvailable = updater_status::kUpdateAvailable;
    static constexpr const char* kAutomaticChecksDisabled = updater_status::kAutomaticChecksDisabled;
    static constexpr const char* kUpdateCanceled = updater_status::kUpdateCanceled;
    static constexpr const char* kUpdateCheckFailed = updater_status::kUpdateCheckFailed;

    explicit UpdateManager(MainLoop& mainLoop);
    ~UpdateManager() override;
    UpdateManager(const UpdateManager&) = delete;
    UpdateManager& operator=(const UpdateManager&) = delete;

    // Launch: an updater from the factory (none on Linux) gives "Ready" and observes the updater;
    // otherwise "Updater unavailable in this build" and no automatic downloads.
    void setUpAtLaunch(const UpdaterFactory& factory, bool allowsAutomaticUpdates);

    const UpdaterState& updaterState() const { return state_; }
    bool supportsAutomaticDownloadsSetting() const { return supportsAutomaticDownloads_; }
    bool hasUpdater() const { return updater_ != nullptr; }

    bool canCheckForUpdates() const;
    UpdaterStatusSnapshot currentUpdaterStatus(const std::string& currentVersion) const;
    // A check the user asked for (the caller brings the program to the front first).
    void checkForUpdates();
    void setAutomaticallyChecksForUpdates(bool enabled);
    void setAutomaticallyDownloadsUpdates(bool enabled);

    // Announces the state once (at launch).
    void postStatusDidChange() { updaterStatusDidChange.send(this); }

    // Sent, with this object, after every change of the update state; the settings window then
    // re-reads the snapshot.
    Subject<const UpdateManager*> updaterStatusDidChange;

    // UpdaterDelegate
    void updaterDidFindValidUpdate(const std::string& displayVersion,
                                   const std::string& buildVersion) override;
    void updaterDidNotFindUpdate() override;
    void updaterDidAbortWithError(const UpdaterError& error) override;
    void updaterDidFinishUpdateCycle(const std::optional<UpdaterError>& error) override;

    void applyUpdaterSessionProgress(bool isInProgress);
    void finishUpdaterCycle(const std::optional<UpdaterError>& error);

    static UpdaterState updaterStateAfterSessionProgress(UpdaterState state, bool isInProgress);
    static UpdaterState updaterStateAfterFinishedCycle(UpdaterState state,
                                                       const std::optional<ErrorResult>& errorResult);
    static ErrorResult interpretSparkleError(const UpdaterError& error);

  private:
    void setState(UpdaterState state);

    MainLoop& mainLoop_;
    std::unique_ptr<Updater> updater_;
    UpdaterState state_;
    bool supportsAutomaticDownloads_ = false;
    Cancellable sessionObservation_;
    Cancellable canCheckObservation_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mosaiko
