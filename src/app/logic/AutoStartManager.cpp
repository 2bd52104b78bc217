#include "app/logic/AutoStartManager.hpp"

#include <memory>
#include <optional>

namespace mosaiko {

Cancellable AutoStartManager::bind(const Subscribe& subscribeToLaunchAtLoginEnabled, MainLoop& mainLoop) {
    auto last = std::make_shared<std::optional<bool>>();
    auto alive = std::make_shared<bool>(true);
    LoginItemService* target = &service;
    auto subscription =
        subscribeToLaunchAtLoginEnabled([last, alive, target, &mainLoop](const bool& enabled) {
            if (*last == enabled) return;
            *last = enabled;
            mainLoop.post([alive, target, enabled] {
                if (!*alive) return;
                if (enabled) {
                    (void)target->registerLoginItem();
                } else {
                    (void)target->unregisterLoginItem();
                }
            });
        });
    // Ending the binding also drops the tasks it has queued and not yet run.
    return Cancellable([subscription = std::make_shared<Cancellable>(std::move(subscription)), alive] {
        *alive = false;
        subscription->cancel();
    });
}

}  // namespace mosaiko
