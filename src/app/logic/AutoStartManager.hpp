#pragma once

#include <functional>

#include "platform/LoginItemService.hpp"
#include "platform/MainLoop.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// Keeps the login item in step with the launch-at-login preference.
class AutoStartManager {
  public:
    explicit AutoStartManager(LoginItemService& service) : service(service) {}

    LoginItemService& service;

    // Registers for true and unregisters for false, for the current value and then every value
    // that differs from the one before, each as its own main-loop task (so it runs after the code
    // that changed the preference). Failures are dropped: the preference keeps the user's choice
    // and the item's state is never read back.
    using Subscribe = std::function<Cancellable(std::function<void(const bool&)>)>;
    [[nodiscard]] Cancellable bind(const Subscribe& subscribeToLaunchAtLoginEnabled, MainLoop& mainLoop);
    // Over anything that delivers its current value and then every assignment (a published
    // value, a preference of the preferences store).
    template <class Observable>
    [[nodiscard]] Cancellable bind(Observable& launchAtLoginEnabled, MainLoop& mainLoop) {
        return bind(
            [&launchAtLoginEnabled](std::function<void(const bool&)> handler) {
                return launchAtLoginEnabled.subscribe(std::move(handler));
            },
            mainLoop);
    }

    // The launch-time registration; a failure is dropped.
    void registerNow() { (void)service.registerLoginItem(); }
};

}  // namespace mosaiko
