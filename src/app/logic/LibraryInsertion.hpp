#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Published.hpp"
#include "platform/Wiring.hpp"
#include "platform/Workspace.hpp"

namespace mosaiko {

// Typing entries chosen in the library into the application the user was working in. The library
// is a floating panel: while it is open another application normally stays active, and this
// object remembers which one, picks the target when the library opens and when an entry is
// inserted, and carries the insertion out: hide the library, activate the target, wait briefly,
// erase what was typed to ask for the library (once, and only in that same application), type the
// text and record the use. Without a usable target the text goes to the clipboard.
class LibraryInsertion {
  public:
    // A snapshot of a running application at the moment of use.
    struct ExternalApplicationIdentity {
        std::optional<std::string> bundleIdentifier;
        std::optional<std::string> localizedName;
        long processIdentifier = 0;
        bool isTerminated = false;
    };

    // Every effect of an insertion.
    struct Effects {
        // Puts the text on the clipboard.
        std::function<void(const std::string& text)> textWriter;
        // Posts deleteCount Delete presses, then the text; false when nothing could be posted.
        std::function<bool(const std::string& text, int deleteCount)> emojiInsertHandler;
        std::function<void(const std::string& text)> usageRecorder;
        // Runs the block on the main loop after the delay.
        std::function<void(double seconds, std::function<void()> block)> delayExecutor;
        std::function<void(const RunningApp& app)> targetActivator;

        Wiring wiring() const;
    };

    // What the library window does for this object.
    struct LibraryWindow {
        // Creates the window (and what it shows) on first use.
        std::function<void()> ensure;
        // The name of the application that will receive insertions, nothing when there is none.
        std::function<void(const std::optional<std::string>& name)> setInsertionTargetName;
        // Shows the window in front without activating it.
        std::function<void()> orderFrontRegardless;
        std::function<void()> orderOut;

        Wiring wiring() const;
    };

    struct Dependencies {
        Workspace* workspace = nullptr;
        long currentProcessIdentifier = 0;
        std::optional<std::string> currentBundleIdentifier;
        // Whether the application has quit since it was seen.
        std::function<bool(const RunningApp& app)> isTerminated;
        Effects effects;
        LibraryWindow window;

        Wiring wiring() const;
    };

    static constexpr double kInsertionDelay = 0.12;

    explicit LibraryInsertion(Dependencies dependencies);
    ~LibraryInsertion();
    LibraryInsertion(const LibraryInsertion&) = delete;
    LibraryInsertion& operator=(const LibraryInsertion&) = delete;

    bool isUsableExternalApplication(const RunningApp& app) const;
    static std::optional<std::size_t> preferredExternalApplicationIndex(
        const std::vector<std::optional<ExternalApplicationIdentity>>& candidates,
        long currentProcessIdentifier, const std::optional<std::string>& currentBundleIdentifier);

    // The frontmost application when it is usable (then also remembered as the last active one).
    std::optional<RunningApp> currentExternalFrontmostApplication();
    // Remembers the frontmost usable application now and every usable one that becomes active.
    void installWorkspaceActivationObserver();
    std::optional<RunningApp> resolvedLibraryInsertionTarget(
        const std::optional<RunningApp>& preferredTargetApp);

    // Opens the library: resolves the target, remembers how many typed characters the next
    // insertion erases (a negative count counts as 0), lets `navigate` move the library to where it
    // was asked to open, and shows it in front without activating it.
    void openLibraryWindow(const std::optional<RunningApp>& preferredTargetApp,
                           int deletingTypedCharactersBeforeInsertion, const std::function<void()>& navigate);
    void insertFromLibrary(const std::string& text, bool keepWindowOpen);
    void copyFromLibrary(const std::string& text) { dependencies_.effects.textWriter(text); }

    static std::optional<std::string> displayName(const std::optional<RunningApp>& app);

    const std::optional<RunningApp>& lastExternalActiveApplication() const {
        return lastExternalActiveApplication_;
    }
    const std::optional<RunningApp>& libraryInsertionTargetApp() const { return libraryInsertionTargetApp_; }
    int pendingLibraryInsertionDeletionCount() const { return pendingDeletionCount_; }
    const std::optional<RunningApp>& pendingLibraryInsertionDeletionTargetApp() const {
        return pendingDeletionTarget_;
    }

  private:
    std::optional<ExternalApplicationIdentity> identity(const std::optional<RunningApp>& app) const;
    bool isStillActive(const RunningApp& target) const;
    void performLibraryInsertionEffects(const RunningApp& target, const std::string& text, int deleteCount,
                                        bool keepWindowOpen);

    Dependencies dependencies_;
    std::optional<RunningApp> lastExternalActiveApplication_;
    std::optional<RunningApp> libraryInsertionTargetApp_;
    int pendingDeletionCount_ = 0;
    std::optional<RunningApp> pendingDeletionTarget_;
    Cancellable activationObservation_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mosaiko
