#pragma once

#include <functional>
#include <string>

#include "app/logic/UpdateManager.hpp"
#include "onboarding/OnboardingPage.hpp"
#include "platform/KeyEvent.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// What the settings window asks of the application shell. An operation left empty does nothing;
// without an update state the window shows the state of a build without an updater.
struct SettingsShell {
    std::function<void(OnboardingPage)> showOnboarding;

    std::function<UpdateManager::UpdaterStatusSnapshot(const std::string& currentVersion)>
        currentUpdaterStatus;
    std::function<void(bool)> setAutomaticallyChecksForUpdates;
    std::function<void(bool)> setAutomaticallyDownloadsUpdates;
    std::function<void()> checkForUpdates;
    // Calls the handler after every change of the update state, until the subscription ends.
    std::function<Cancellable(std::function<void()>)> observeUpdaterStatus;

    // While suspended the library shortcut opens nothing, so that the recorder can receive it.
    std::function<void(bool suspended)> setLibraryShortcutSuspended;
    // Meanwhile every key-down typed anywhere reaches the observer (none ends it): a combination
    // that never reaches the recorder went to another program.
    std::function<void(std::function<void(const KeyEvent&)>)> observeKeysWhileLibraryShortcutSuspended;

    // Opens a web address with the desktop's default handler.
    std::function<void(const std::string& url)> openUrl;
};

}  // namespace mosaiko
