#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/AppDelegate.hpp"
#include "app/ShellMainLoop.hpp"
#include "platform/linux/InstanceRegistry.hpp"

namespace mosaiko {

// The live platform behind the application delegate, for one run of the program.
class LiveShell {
  public:
    explicit LiveShell(std::vector<std::string> arguments);
    ~LiveShell();
    LiveShell(const LiveShell&) = delete;
    LiveShell& operator=(const LiveShell&) = delete;

    AppDelegate::Dependencies dependencies();

    // The "already running" alert: a modal message with one "Continue" button, above every window.
    static void runDuplicateInstanceAlert(const std::string& message, const std::string& informativeText);

  private:
    std::vector<std::string> arguments_;
    // SEAM: the platform's QtMainLoop replaces this stand-in once it is available.
    ShellMainLoop mainLoop_;
    InstanceRegistry registry_;
    std::unique_ptr<Workspace> workspace_;
};

}  // namespace mosaiko
