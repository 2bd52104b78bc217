#include "app/logic/UpdateManager.hpp"

namespace mosaiko {

UpdateManager::UpdateManager(MainLoop& mainLoop) : mainLoop_(mainLoop) {}

UpdateManager::~UpdateManager() {
    *alive_ = false;
}

void UpdateManager::setUpAtLaunch(const UpdaterFactory& factory, bool allowsAutomaticUpdates) {
    updater_ = factory ? factory(*this) : nullptr;
    if (!updater_) {
        supportsAutomaticDownloads_ = false;
        state_.statusText = kUnavailable;
        return;
    }
    supportsAutomaticDownloads_ = allowsAutomaticUpdates;
    // Observations may arrive on any thread: they only queue work for the main loop, and that work
    // reads the updater afresh instead of trusting the delivered value.
    std::weak_ptr<bool> alive = alive_;
    sessionObservation_ = updater_->observeSessionInProgress([this, alive](bool) {
        mainLoop_.post([this, alive] {
            if (alive.expired() || !updater_) return;
            applyUpdaterSessionProgress(updater_->sessionInProgress());
        });
    });
    canCheckObservation_ = updater_->observeCanCheckForUpdates([this, alive](bool) {
        mainLoop_.post([this, alive] {
            if (alive.expired()) return;
            postStatusDidChange();
        });
    });
    state_.statusText = kReady;
}

bool UpdateManager::canCheckForUpdates() const {
    return updater_ && updater_->canCheckForUpdates();
}

UpdateManager::UpdaterStatusSnapshot UpdateManager::currentUpdaterStatus(
    const std::string& currentVersion) const {
    UpdaterStatusSnapshot snapshot;
    snapshot.currentVersion = currentVersion;
    if (!updater_) {
        snapshot.statusText = kUnavailable;
        return snapshot;
    }
    snapshot.isConfigured = true;
    snapshot.canCheckForUpdates = updater_->canCheckForUpdates();
    snapshot.isSessionInProgress = updater_->sessionInProgress();
    snapshot.statusText = state_.statusText;
    snapshot.availableDisplayVersion = state_.availableDisplayVersion;
    snapshot.availableBuildVersion = state_.availableBuildVersion;
    snapshot.lastCheckDate = updater_->lastUpdateCheckDate();
    snapshot.feedURL = updater_->feedURL();
    snapshot.automaticallyChecksForUpdates = updater_->automaticallyChecksForUpdates();
    snapshot.automaticallyDownloadsUpdates = updater_->automaticallyDownloadsUpdates();
    snapshot.supportsAutomaticDownloads = supportsAutomaticDownloads_;
    snapshot.errorText = state_.errorText;
    return snapshot;
}

void UpdateManager::setState(UpdaterState state) {
    state_ = std::move(state);
    postStatusDidChange();
}

void UpdateManager::checkForUpdates() {
    setState(UpdaterState{kChecking, std::nullopt, std::nullopt, std::nullopt});
    if (updater_) updater_->checkForUpdates();
}

void UpdateManager::setAutomaticallyChecksForUpdates(bool enabled) {
    if (!updater_) return;
    updater_->setAutomaticallyChecksForUpdates(enabled);
    bool downloads = updater_->automaticallyDownloadsUpdates();
    if (enabled) {
        if (state_.statusText == kAutomaticChecksDisabled) state_.statusText = kReady;
    } else {
        state_.statusText = kAutomaticChecksDisabled;
        downloads = false;
    }
    updater_->setAutomaticallyDownloadsUpdates(downloads);
    state_.errorText.reset();
    postStatusDidChange();
}

void UpdateManager::setAutomaticallyDownloadsUpdates(bool enabled) {
    if (!updater_ || !supportsAutomaticDownloads_) return;
    updater_->setAutomaticallyDownloadsUpdates(enabled);
    postStatusDidChange();
}

void UpdateManager::updaterDidFindValidUpdate(const std::string& displayVersion,
                                              const std::string& buildVersion) {
    setState(UpdaterState{kUpdateAvailable, std::nullopt, displayVersion, buildVersion});
}

void UpdateManager::updaterDidNotFindUpdate() {
    setState(UpdaterState{kUpToDate, std::nullopt, std::nullopt, std::nullopt});
}

void UpdateManager::updaterDidAbortWithError(const UpdaterError& error) {
    const auto result = interpretSparkleError(error);
    UpdaterState next = state_;
    next.statusText = result.status;
    next.errorText = result.detail;
    setState(std::move(next));
}

void UpdateManager::updaterDidFinishUpdateCycle(const std::optional<UpdaterError>& error) {
    finishUpdaterCycle(error);
}

void UpdateManager::applyUpdaterSessionProgress(bool isInProgress) {
    setState(updaterStateAfterSessionProgress(state_, isInProgress));
}

void UpdateManager::finishUpdaterCycle(const std::optional<UpdaterError>& error) {
    std::optional<ErrorResult> result;
    if (error) result = interpretSparkleError(*error);
    setState(updaterStateAfterFinishedCycle(state_, result));
}

UpdateManager::UpdaterState UpdateManager::updaterStateAfterSessionProgress(UpdaterState state,
                                                                            bool isInProgress) {
    if (isInProgress) {
        if (state.statusText == kReady || state.statusText == kUpToDate) state.statusText = kChecking;
        return state;
    }
    if (state.statusText == kChecking) {
        state.statusText = state.availableDisplayVersion ? kUpdateAvailable : kUpToDate;
        state.errorText.reset();
    }
    return state;
}

UpdateManager::UpdaterState UpdateManager::updaterStateAfterFinishedCycle(
    UpdaterState state, const std::optional<ErrorResult>& errorResult) {
    if (errorResult) {
        state.statusText = errorResult->status;
        state.errorText = errorResult->detail;
        if (errorResult->status == kUpToDate) {
            state.availableDisplayVersion.reset();
            state.availableBuildVersion.reset();
        }
        return state;
    }
    if (!state.availableDisplayVersion) {
        state.statusText = kUpToDate;
        state.errorText.reset();
    }
    return state;
}

UpdateManager::ErrorResult UpdateManager::interpretSparkleError(const UpdaterError& error) {
    switch (error.code) {
        case 1001:
            return {kUpToDate, std::nullopt};
        case 4007:
            return {kUpdateCanceled, std::nullopt};
        default:
            return {kUpdateCheckFailed, error.localizedDescription};
    }
}

}  // namespace mosaiko
