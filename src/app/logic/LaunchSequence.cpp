#include "app/logic/LaunchSequence.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

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
    runAfterKeyTap(steps);
}

namespace {

using Turns = std::vector<std::function<void()>>;

// Each turn is handed to `later` only once the one before has run, so that keys heard meanwhile
// are handled between turns instead of after all of them.
void runInTurns(std::shared_ptr<const Turns> turns, std::size_t next,
                const std::function<void(std::function<void()>)>& later) {
    if (next >= turns->size()) return;
    auto turn = [turns, next, later] {
        (*turns)[next]();
        runInTurns(turns, next + 1, later);
    };
    if (later) {
        later(std::move(turn));
    } else {
        turn();
    }
}

}  // namespace

void LaunchSequence::runAfterKeyTap(const Steps& steps) {
    auto inputs = std::make_shared<LaunchInputs>();
    auto turns = std::make_shared<Turns>(Turns{
        [steps, inputs] {
            *inputs = steps.readLaunchInputs();
            steps.setUpUpdater(*inputs);
            steps.installAppMenu();
        },
        [steps] { steps.setUpStatusItem(); },
        [steps, inputs] {
            steps.installWorkspaceActivationObserver();
            // The binding's first registration runs as a queued task, after this sequence has returned.
            steps.bindLaunchAtLogin();
            steps.postUpdaterStatus();
            if (inputs->launchAtLoginEnabled) steps.registerLoginItem();
        },
        [steps, inputs] {
            if (const auto page = guideStartPage(*inputs)) steps.showOnboarding(*page);
        },
    });
    runInTurns(std::move(turns), 0, steps.later);
}

}  // namespace mosaiko
