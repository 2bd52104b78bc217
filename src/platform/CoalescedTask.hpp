#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "platform/MainLoop.hpp"

namespace mosaiko {

// Runs an action on the main loop once for all the requests made before it runs. Stores announce
// a change before they hold it, so a view model that asks for its rebuild from a store notification
// rebuilds from the stored value, and the several assignments of one store operation make one
// rebuild. Nothing runs once the task is destroyed, and nothing the action throws escapes it.
class CoalescedTask {
  public:
    CoalescedTask(MainLoop& mainLoop, std::function<void()> action)
        : mainLoop_(mainLoop), action_(std::move(action)) {}
    ~CoalescedTask() { *alive_ = false; }
    CoalescedTask(const CoalescedTask&) = delete;
    CoalescedTask& operator=(const CoalescedTask&) = delete;

    void request() {
        if (pending_) return;
        pending_ = true;
        std::weak_ptr<bool> alive = alive_;
        mainLoop_.post([this, alive] {
            const auto token = alive.lock();
            if (!token || !*token) return;
            pending_ = false;
            try {
                action_();
            } catch (...) {
                // What the action keeps stays as it was; the next request tries again.
            }
        });
    }

  private:
    MainLoop& mainLoop_;
    std::function<void()> action_;
    bool pending_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mosaiko
