#include "app/logic/LaunchSequence.hpp"

namespace mosaiko {

std::optional<OnboardingPage> LaunchSequence::guideStartPage(const LaunchInputs& inputs) {
    if (inputs.arguments.contains(kOpenPermissionsArgument)) return OnboardingPage::permissions;
    if (!inputs.hasCompletedOnboarding) return OnboardingPage::welcome;
    if (!inputs.isTrusted) return OnboardingPage::permissions;
    return std::nullopt;
}

void LaunchSequence::run(const Steps& steps) {
    if (!steps.resolveOtherInstances()) return;
    steps.loadStores();
    steps.startContent();
    // The keyboard is listened to as early as can be: everything a key may reach is in place (the
    // picker, built with the stores, and the library opener), and the keys it sees are handled on
    // the main loop, after this sequence has returned. The rest only serves the tray and windows.
    steps.installLibraryOpenHandler();
    steps.startKeyTap();
    if (steps.later) {
        steps.later([steps] { runAfterKeyTap(steps); });
    } else {
        runAfterKeyTap(steps);
    }
}

void LaunchSequence::runAfterKeyTap(const Steps& steps) {
    const LaunchInputs inputs = steps.readLaunchInputs();
    steps.setUpUpdater(inputs);
    steps.installAppMenu();
    steps.setUpStatusItem();
    steps.installWorkspaceActivationObserver();
    // The binding's first registration runs as a queued task, after this sequence has returned.
    steps.bindLaunchAtLogin();
    steps.postUpdaterStatus();
    if (inputs.launchAtLoginEnabled) steps.registerLoginItem();
    if (const auto page = guideStartPage(inputs)) steps.showOnboarding(*page);
}

}  // namespace mosaiko
