#pragma once

#include <functional>
#include <optional>
#include <string>

#include "onboarding/OnboardingPage.hpp"
#include "platform/KeyEvent.hpp"
#include "platform/Published.hpp"
#include "platform/UpdaterStatus.hpp"

namespace mosaiko {

// What the settings window asks of the application shell. An operation left empty does nothing;
// without an update state the window shows the state of a build without an updater.
struct SettingsShell {
    std::function<void(OnboardingPage)> showOnboarding;

    std::function<UpdaterStatusSnapshot(const std::string& currentVersion)> currentUpdaterStatus;
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

    // Why "Launch at login" can do nothing where the program runs (from its build folder); nothing
    // when it works.
    std::function<std::optional<std::string>()> launchAtLoginUnavailableReason;

    // Opens a web address with the desktop's default handler, then answers (on the main thread)
    // whether one took it: false when nothing could open it (no browser).
    std::function<void(const std::string& url, std::function<void(bool opened)> answer)> openUrl;
};

}  // namespace mosaiko
