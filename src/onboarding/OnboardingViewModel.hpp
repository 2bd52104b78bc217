#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "content/OptionEnums.hpp"
#include "onboarding/OnboardingPage.hpp"
#include "platform/PermissionStatus.hpp"
#include "platform/ProcessLauncher.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// The state and rules of the guide: which page shows, the last known trust answer, the permission
// reset and the relaunch. The view reads the published state and calls only the operations.
class OnboardingViewModel {
  public:
    struct Dependencies {
        // Whether the program may observe and type keys; `prompt` lets the platform ask the user.
        std::function<bool(bool prompt)> trustChecker;
        // Why it may not, in a sentence; empty when the platform gives no reason.
        std::function<std::string()> untrustedReason;
        // Resets the permission away from the main loop and answers on it.
        std::function<void(std::function<void(PermissionResetSummary)>)> resetRequiredPermissions;
        // Records that the user finished the guide.
        std::function<void()> recordCompletion;
        // Closes the guide.
        std::function<void()> dismiss;
        // The program to start again, and what starts it; an empty path means it is unknown.
        std::string executablePath;
        ProcessLauncher* launcher = nullptr;
        // Asks the program to quit.
        std::function<void()> terminate;
    };

    static constexpr const char* kOpenPermissionsArgument = "--open-permissions-dialog";
    static constexpr const char* kRelaunchFailedMessage =
        "Could not relaunch automatically. Please restart the app.";

    // Fails loudly, naming the first dependency that is missing.
    OnboardingViewModel(OnboardingPage startPage, Dependencies dependencies);
    OnboardingViewModel(const OnboardingViewModel&) = delete;
    OnboardingViewModel& operator=(const OnboardingViewModel&) = delete;

    const OnboardingPage startPage;

    template <class T>
    using State = OwnedPublished<T, OnboardingViewModel>;
    State<OnboardingPage> currentPage;
    State<PermissionStatus> accessibilityStatus{PermissionStatus::unknown};
    // Why the last check found the program untrusted; empty otherwise.
    State<std::string> untrustedReason;
    State<bool> isResettingPermissions{false};
    // How many times Grant checked again: the page says when it last did and what it found, also
    // when the answer is the one it showed before.
    State<int> grantChecks{0};
    // The text of the permission error alert, which shows while there is one.
    State<std::optional<std::string>> resetErrorMessage;

    // The guide is shown: checks the trust once, the first time.
    void appeared();
    void selectPage(OnboardingPage page);
    // "Close" on the first page, "Back" on the others.
    void handleLeadingButton();
    // "Next", or on the last page "Finish" / "Finish Anyway", which record completion and close.
    void handleTrailingButton();
    // The permission card's button: checks again, letting the platform ask the user.
    void grant();
    void resetPermissions();
    // Starts a new copy of the program on the permissions page and quits once it has started.
    void relaunchAppForRestart();

    bool showingResetError() const { return resetErrorMessage().has_value(); }
    // Clearing the alert's flag clears its text; setting it does nothing.
    void setShowingResetError(bool showing);

    std::string leadingButtonTitle() const;
    std::string trailingButtonTitle() const;
    // "Step 2 of 3".
    std::string stepCounterText() const;

    // Texts that follow the inline trigger (as stored; only whether it is empty matters).
    static std::string welcomeHeadline(std::string_view inlineTrigger);
    static std::string inlineTriggerInsightBody(std::string_view inlineTrigger);
    static std::string accessibilitySubtitle(std::string_view inlineTrigger);
    // The trigger chip: the trigger as it is, or "Off".
    static std::string inlineTriggerChipLabel(std::string_view inlineTrigger);
    // The tips page's example: the trigger (";" when there is none) and "love hand".
    static std::string exampleQuery(std::string_view inlineTrigger);
    // The instant-open card's badge and explanation.
    static std::string quickOpenExample(QuickOpenShortcut shortcut);
    static std::string quickOpenShortcutDetail(QuickOpenShortcut shortcut);
    static std::string badgeText(PermissionStatus status);
    // What a check found, for the permission card.
    static std::string checkFinding(PermissionStatus status);
    // One line per failed service, "service: error", in order.
    static std::string failureMessage(const PermissionResetSummary& summary);

  private:
    void goTo(OnboardingPage page);
    void recheckTrust(bool prompt);

    Dependencies dependencies_;
    bool appeared_ = false;
    // Answers of the reset that arrive after the guide is gone find it expired.
    std::shared_ptr<OnboardingViewModel*> self_ = std::make_shared<OnboardingViewModel*>(this);
};

}  // namespace mosaiko
