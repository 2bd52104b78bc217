#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiko {

// The parts of a record of injected effects (a `Dependencies` record) that were left unset. Each
// record lists its required parts here, and its owner checks them where it is built, so a forgotten
// part fails construction with its name instead of failing quietly at its first use.
class Wiring {
  public:
    // A closure, pointer or handle that must be set.
    template <class T>
    Wiring& require(std::string_view name, const T& part) {
        if (!part) missing_.emplace_back(name);
        return *this;
    }
    // The parts of a nested record, named "<prefix>.<part>".
    Wiring& include(std::string_view prefix, const Wiring& nested) {
        for (const auto& name : nested.missing_) missing_.push_back(std::string(prefix) + "." + name);
        return *this;
    }

    const std::vector<std::string>& missing() const { return missing_; }

    // Throws std::invalid_argument naming the owner and every missing part.
    void check(std::string_view owner) const {
        if (missing_.empty()) return;
        std::string message = std::string(owner) + " is wired incompletely; missing:";
        for (const auto& name : missing_) message += " " + name;
        throw std::invalid_argument(message);
    }

  private:
    std::vector<std::string> missing_;
};

}  // namespace mosaiko
