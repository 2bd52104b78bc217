#include "app/logic/LibraryInsertion.hpp"

#include <algorithm>

#include "platform/Text.hpp"

namespace mosaiko {

namespace {

bool isUsable(const LibraryInsertion::ExternalApplicationIdentity& app, long currentPid,
              const std::optional<std::string>& currentBundleIdentifier) {
    // Compared as optional values: an application without an identifier counts as this program
    // when this program has none either.
    return !app.isTerminated && app.processIdentifier != currentPid &&
           app.bundleIdentifier != currentBundleIdentifier;
}

bool sameApplication(const RunningApp& a, const RunningApp& b) {
    return a.processIdentifier == b.processIdentifier && a.bundleIdentifier == b.bundleIdentifier;
}

}  // namespace

Wiring LibraryInsertion::Effects::wiring() const {
    return Wiring()
        .require("textWriter", textWriter)
        .require("emojiInsertHandler", emojiInsertHandler)
        .require("usageRecorder", usageRecorder)
        .require("delayExecutor", delayExecutor)
        .require("targetActivator", targetActivator);
}

Wiring LibraryInsertion::LibraryWindow::wiring() const {
    return Wiring()
        .require("ensure", ensure)
        .require("setInsertionTargetName", setInsertionTargetName)
        .require("orderFrontRegardless", orderFrontRegardless)
        .require("orderOut", orderOut);
}

Wiring LibraryInsertion::Dependencies::wiring() const {
    return Wiring()
        .require("workspace", workspace)
        .require("isTerminated", isTerminated)
        .include("effects", effects.wiring())
        .include("window", window.wiring());
}

LibraryInsertion::LibraryInsertion(Dependencies dependencies) : dependencies_(std::move(dependencies)) {
    dependencies_.wiring().check("LibraryInsertion");
}

LibraryInsertion::~LibraryInsertion() {
    *alive_ = false;
}

std::optional<LibraryInsertion::ExternalApplicationIdentity> LibraryInsertion::identity(
    const std::optional<RunningApp>& app) const {
    if (!app) return std::nullopt;
    return ExternalApplicationIdentity{app->bundleIdentifier, app->localizedName, app->processIdentifier,
                                       dependencies_.isTerminated(*app)};
}

bool LibraryInsertion::isUsableExternalApplication(const RunningApp& app) const {
    return isUsable(*identity(app), dependencies_.currentProcessIdentifier,
                    dependencies_.currentBundleIdentifier);
}

std::optional<std::size_t> LibraryInsertion::preferredExternalApplicationIndex(
    const std::vector<std::optional<ExternalApplicationIdentity>>& candidates, long currentProcessIdentifier,
    const std::optional<std::string>& currentBundleIdentifier) {
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i] && isUsable(*candidates[i], currentProcessIdentifier, currentBundleIdentifier))
            return i;
    }
    return std::nullopt;
}

std::optional<RunningApp> LibraryInsertion::currentExternalFrontmostApplication() {
    auto frontmost = dependencies_.workspace->frontmostApplication();
    if (!frontmost || !isUsableExternalApplication(*frontmost)) return std::nullopt;
    lastExternalActiveApplication_ = frontmost;
    return frontmost;
}

void LibraryInsertion::installWorkspaceActivationObserver() {
    if (auto frontmost = dependencies_.workspace->frontmostApplication()) {
        if (isUsableExternalApplication(*frontmost)) lastExternalActiveApplication_ = frontmost;
    }
    std::weak_ptr<bool> alive = alive_;
    activationObservation_ =
        dependencies_.workspace->observeActivations([this, alive](const RunningApp& app) {
            if (alive.expired()) return;
            if (isUsableExternalApplication(app)) lastExternalActiveApplication_ = app;
        });
}

std::optional<RunningApp> LibraryInsertion::resolvedLibraryInsertionTarget(
    const std::optional<RunningApp>& preferredTargetApp) {
    const auto frontmost = currentExternalFrontmostApplication();
    std::optional<RunningApp> lastActive = lastExternalActiveApplication_;
    if (lastActive && !isUsableExternalApplication(*lastActive)) lastActive.reset();

    const std::vector<std::optional<RunningApp>> apps{frontmost, preferredTargetApp, lastActive,
                                                      libraryInsertionTargetApp_};
    std::vector<std::optional<ExternalApplicationIdentity>> candidates;
    candidates.reserve(apps.size());
    for (const auto& app : apps) candidates.push_back(identity(app));

    const auto index = preferredExternalApplicationIndex(candidates, dependencies_.currentProcessIdentifier,
                                                         dependencies_.currentBundleIdentifier);
    if (!index) return std::nullopt;
    return apps[*index];
}

std::optional<std::string> LibraryInsertion::displayName(const std::optional<RunningApp>& app) {
    if (!app || !app->localizedName || text::isBlank(*app->localizedName)) return std::nullopt;
    return app->localizedName;
}

void LibraryInsertion::openLibraryWindow(const std::optional<RunningApp>& preferredTargetApp,
                                         int deletingTypedCharactersBeforeInsertion,
                                         const std::function<void()>& navigate) {
    auto& window = dependencies_.window;
    window.ensure();
    libraryInsertionTargetApp_ = resolvedLibraryInsertionTarget(preferredTargetApp);
    pendingDeletionCount_ = std::max(0, deletingTypedCharactersBeforeInsertion);
    pendingDeletionTarget_ = pendingDeletionCount_ >= 1 ? libraryInsertionTargetApp_ : std::nullopt;
    window.setInsertionTargetName(displayName(libraryInsertionTargetApp_));
    if (navigate) navigate();
    window.orderFrontRegardless();
}

void LibraryInsertion::insertFromLibrary(const std::string& text, bool keepWindowOpen) {
    const auto target = resolvedLibraryInsertionTarget(libraryInsertionTargetApp_);
    if (!target) {
        pendingDeletionCount_ = 0;
        pendingDeletionTarget_.reset();
        dependencies_.effects.textWriter(text);
        return;
    }
    libraryInsertionTargetApp_ = target;
    dependencies_.window.setInsertionTargetName(displayName(target));

    int deleteCount = 0;
    if (pendingDeletionCount_ >= 1 && pendingDeletionTarget_ &&
        !dependencies_.isTerminated(*pendingDeletionTarget_) && !dependencies_.isTerminated(*target) &&
        pendingDeletionTarget_->processIdentifier == target->processIdentifier) {
        deleteCount = pendingDeletionCount_;
    }
    // A pending count is used at most once.
    pendingDeletionCount_ = 0;
    pendingDeletionTarget_.reset();

    performLibraryInsertionEffects(*target, text, deleteCount, keepWindowOpen);
}

bool LibraryInsertion::isStillActive(const RunningApp& target) const {
    if (dependencies_.isTerminated(target)) return false;
    const auto frontmost = dependencies_.workspace->frontmostApplication();
    return frontmost && sameApplication(*frontmost, target);
}

void LibraryInsertion::performLibraryInsertionEffects(const RunningApp& target, const std::string& text,
                                                      int deleteCount, bool keepWindowOpen) {
    auto& effects = dependencies_.effects;
    dependencies_.window.orderOut();
    effects.targetActivator(target);
    std::weak_ptr<bool> alive = alive_;
    effects.delayExecutor(kInsertionDelay, [this, alive, target, text, deleteCount, keepWindowOpen] {
        if (alive.expired()) return;
        auto& effects = dependencies_.effects;
        // The target may have quit or lost the focus during the wait: keys posted now would land
        // in whichever application has it, so the text goes to the clipboard instead.
        if (isStillActive(target) && effects.emojiInsertHandler(text, deleteCount)) {
            effects.usageRecorder(text);
        } else {
            effects.textWriter(text);
        }
        if (keepWindowOpen) dependencies_.window.orderFrontRegardless();
    });
}

}  // namespace mosaiko
