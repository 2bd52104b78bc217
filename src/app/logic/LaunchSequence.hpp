#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>

#include "onboarding/OnboardingPage.hpp"

namespace mosaiko {

// What the launch reads once, before anything that depends on it is set up.
struct LaunchInputs {
    // Whether the user may switch automatic update downloads (used only when an updater exists).
    bool allowsAutomaticUpdates = true;
    bool launchAtLoginEnabled = false;
    std::set<std::string> arguments;
    bool hasCompletedOnboarding = false;
    // Trust as answered without prompting the user.
    bool isTrusted = false;
};

// The start-up of the program, step by step and in this exact order. Every step is injected, so
// the order and the choices between steps can be checked without a desktop.
class LaunchSequence {
  public:
    struct Steps {
        // Whether this copy goes on; when it does not, nothing else runs.
        std::function<bool()> resolveOtherInstances;
        // Only now, so that a copy taking over starts from what the older one saved on its way out.
        std::function<void()> loadStores;
        std::function<void()> startContent;
        std::function<LaunchInputs()> readLaunchInputs;
        std::function<void(const LaunchInputs&)> setUpUpdater;
        std::function<void()> installAppMenu;
        std::function<void()> setUpStatusItem;
        std::function<void()> installWorkspaceActivationObserver;
        std::function<void()> bindLaunchAtLogin;
        std::function<void()> postUpdaterStatus;
        std::function<void()> installLibraryOpenHandler;
        std::function<void()> registerLoginItem;
        std::function<void(OnboardingPage)> showOnboarding;
        std::function<void()> startKeyTap;
        // Runs what follows the key tap's start, in a few turns, once the event loop runs, so that
        // keys heard meanwhile are not kept waiting behind the tray and windows; none runs it at once.
        std::function<void(std::function<void()>)> later;
    };

    static constexpr const char* kOpenPermissionsArgument = "--open-permissions-dialog";

    // The page the guide opens on at launch, or nothing when it stays closed: the permissions page
    // when asked for by argument, the welcome page until onboarding is completed, the permissions
    // page while the program is not trusted.
    static std::optional<OnboardingPage> guideStartPage(const LaunchInputs& inputs);

    static void run(const Steps& steps);

  private:
    static void runAfterKeyTap(const Steps& steps);
};

}  // namespace mosaiko
