#pragma once

#include <string>
#include <vector>

#include "platform/ProcessRunner.hpp"

namespace mosaiko {

// Records every run and answers with a prepared outcome.
class FakeProcessRunner final : public ProcessRunner {
  public:
    struct Invocation {
        std::string executable;
        std::vector<std::string> arguments;
        bool operator==(const Invocation&) const = default;
    };

    explicit FakeProcessRunner(Outcome outcome = {}) : outcome_(std::move(outcome)) {}

    Outcome run(const std::string& executable, const std::vector<std::string>& arguments) override {
        invocations.push_back({executable, arguments});
        return outcome_;
    }

    void setOutcome(Outcome outcome) { outcome_ = std::move(outcome); }

    std::vector<Invocation> invocations;

  private:
    Outcome outcome_;
};

}  // namespace mosaiko
