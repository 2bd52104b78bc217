#pragma once

#include <string>
#include <vector>

namespace mosaiko {

// The last known answer to whether the program may observe and type keys; `unknown` only until
// the first check.
enum class PermissionStatus { granted, notGranted, unknown };

// The outcome of a permission reset: it succeeded exactly when no service failed.
struct PermissionResetSummary {
    struct Failure {
        std::string service;
        std::string error;
        bool operator==(const Failure&) const = default;
    };
    std::vector<std::string> succeededServices;
    std::vector<Failure> failedServices;
    bool operator==(const PermissionResetSummary&) const = default;
};

}  // namespace mosaiko
