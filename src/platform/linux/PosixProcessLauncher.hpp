#pragma once

#include "platform/ProcessLauncher.hpp"

namespace mosaiko {

// posix_spawn without a shell, so every argument arrives as the one word it is. The program stays
// in the caller's session and process group and writes where the caller writes; it reads nothing.
// Started means the executable was loaded: a path that cannot run is reported, not taken for a start.
class PosixProcessLauncher final : public ProcessLauncher {
  public:
    std::optional<std::string> startDetached(const std::string& executable,
                                             const std::vector<std::string>& arguments) override;
};

}  // namespace mosaiko
