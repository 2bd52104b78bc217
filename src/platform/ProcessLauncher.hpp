#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mosaiko {

// Starts a program that outlives the caller: nothing waits for it or reads its output.
class ProcessLauncher {
  public:
    virtual ~ProcessLauncher() = default;

    // Starts `executable` (a path, not looked up in PATH) with `arguments`, each passed as one
    // word. Nothing once the program runs; else why it could not be started. Never throws.
    virtual std::optional<std::string> startDetached(const std::string& executable,
                                                     const std::vector<std::string>& arguments) = 0;
};

}  // namespace mosaiko
