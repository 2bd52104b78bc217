#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/LoginItemService.hpp"

namespace mosaiko {

// Records the calls in order ("register", "unregister") and can be told to fail.
class FakeLoginItemService final : public LoginItemService {
  public:
    std::optional<std::string> registerLoginItem() override {
        calls.emplace_back("register");
        return failure;
    }
    std::optional<std::string> unregisterLoginItem() override {
        calls.emplace_back("unregister");
        return failure;
    }

    std::vector<std::string> calls;
    std::optional<std::string> failure;
};

}  // namespace mosaiko
