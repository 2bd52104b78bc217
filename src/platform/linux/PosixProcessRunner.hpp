#pragma once

#include "platform/ProcessRunner.hpp"

namespace mosaiko {

// posix_spawn with one pipe for standard output and standard error. The pipe is read to its end
// before the child is reaped: a child that prints more than the pipe holds would otherwise block on
// its write while we block on its exit.
class PosixProcessRunner final : public ProcessRunner {
  public:
    Outcome run(const std::string& executable, const std::vector<std::string>& arguments) override;
};

}  // namespace mosaiko
