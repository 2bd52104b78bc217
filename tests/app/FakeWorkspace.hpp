#pragma once

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/Workspace.hpp"

namespace mosaiko {

// A desktop whose frontmost and running applications the test sets; activating an application
// makes it frontmost and notifies observers, as the real desktop does a moment later.
class FakeWorkspace final : public Workspace {
  public:
    std::optional<RunningApp> frontmostApplication() const override { return frontmost; }
    std::vector<RunningApp> runningApplications() const override { return running; }
    bool activate(const RunningApp& app) override {
        activated.push_back(app);
        return true;
    }
    Cancellable observeActivations(std::function<void(const RunningApp&)> handler) override {
        return activations_.subscribe(std::move(handler));
    }

    // The user switches to `app`.
    void bringToFront(const RunningApp& app) {
        frontmost = app;
        activations_.send(app);
    }
    void quit(const RunningApp& app) {
        std::erase(running, app);
        if (frontmost == app) frontmost.reset();
    }

    std::optional<RunningApp> frontmost;
    std::vector<RunningApp> running;
    std::vector<RunningApp> activated;

  private:
    Subject<RunningApp> activations_;
};

}  // namespace mosaiko
