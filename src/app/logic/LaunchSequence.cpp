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
    const LaunchInputs inputs = steps.readLaunchInputs();
    steps.setUpUpdater(inputs);
    steps.installAppMenu();
    steps.setUpStatusItem();
    steps.installWorkspaceActivationObserver();
    // The binding's first registration runs as a queued task, after this sequence has returned.
    steps.bindLaunchAtLogin();
    steps.postUpdaterStatus();
    steps.installLibraryOpenHandler();
    if (inputs.launchAtLoginEnabled) steps.registerLoginItem();
    if (const auto page = guideStartPage(inputs)) steps.showOnboarding(*page);
    // Last, so no key is handled before everything it may reach is in place.
    steps.startKeyTap();
}

}  // namespace mosaiko
