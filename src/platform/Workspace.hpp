#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Published.hpp"

namespace mosaiko {

// A running application as the desktop reports it.
struct RunningApp {
    std::optional<std::string> bundleIdentifier;  // desktop-entry id, else the window class
    std::optional<std::string> localizedName;
    long processIdentifier = 0;
    std::string windowId;  // opaque handle of the app's main/active window, for activation; may be empty

    bool operator==(const RunningApp&) const = default;
};

// Frontmost and running applications, activation notifications and activating an application.
class Workspace {
  public:
    virtual ~Workspace() = default;

    virtual std::optional<RunningApp> frontmostApplication() const = 0;
    virtual std::vector<RunningApp> runningApplications() const = 0;
    // Whether the application still runs; implementations may answer faster than a full listing.
    virtual bool isRunning(const RunningApp& app) const {
        for (const auto& running : runningApplications()) {
            if (running.processIdentifier == app.processIdentifier) return true;
        }
        return false;
    }
    // Brings the application's window to the front; false when it could not be done.
    virtual bool activate(const RunningApp& app) = 0;
    // Called on the main loop whenever another application becomes frontmost.
    [[nodiscard]] virtual Cancellable observeActivations(std::function<void(const RunningApp&)> handler) = 0;
};

}  // namespace mosaiko
