#pragma once

#include <optional>
#include <string>

namespace mosaiko {

// Starts the program when the user logs in.
class LoginItemService {
  public:
    virtual ~LoginItemService() = default;

    // Each answers nothing on success, else a description of what went wrong.
    virtual std::optional<std::string> registerLoginItem() = 0;
    virtual std::optional<std::string> unregisterLoginItem() = 0;
    // Why the program cannot start at login where it runs now; nothing when it can.
    virtual std::optional<std::string> unavailableReason() const { return std::nullopt; }
};

}  // namespace mosaiko
