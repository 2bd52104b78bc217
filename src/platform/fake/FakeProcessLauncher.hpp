#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ProcessLauncher.hpp"

namespace mosaiko {

// Records every start and answers with a prepared launch error (none: started).
class FakeProcessLauncher final : public ProcessLauncher {
  public:
    struct Invocation {
        std::string executable;
        std::vector<std::string> arguments;
        bool operator==(const Invocation&) const = default;
    };

    std::optional<std::string> startDetached(const std::string& executable,
                                             const std::vector<std::string>& arguments) override {
        invocations.push_back({executable, arguments});
        return launchError;
    }

    std::optional<std::string> launchError;
    std::vector<Invocation> invocations;
};

}  // namespace mosaiko
