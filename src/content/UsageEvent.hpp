#pragma once

#include <string>

namespace mosaiko {

// One recorded insertion.
struct UsageEvent {
    std::string emoji;       // the inserted text
    double timestamp = 0.0;  // seconds since 1970-01-01 UTC, fractions kept

    bool operator==(const UsageEvent&) const = default;
};

}  // namespace mosaiko
