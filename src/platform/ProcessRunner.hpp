#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mosaiko {

// Runs a program to completion and collects what it printed.
class ProcessRunner {
  public:
    struct Outcome {
        // Set when the program could not be started at all; the other fields are then unused.
        std::optional<std::string> launchError;
        // The exit status; 128 + the signal number when a signal ended the program; -1 when the
        // status could not be learned.
        int exitStatus = 0;
        // Standard output and standard error together, in the order they were written.
        std::string output;

        bool operator==(const Outcome&) const = default;
    };

    virtual ~ProcessRunner() = default;

    // Starts `executable` (a path, not looked up in PATH) with `arguments` and blocks until it has
    // exited. Never throws.
    virtual Outcome run(const std::string& executable, const std::vector<std::string>& arguments) = 0;
};

}  // namespace mosaiko
