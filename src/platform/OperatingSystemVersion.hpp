#pragma once

#include <compare>
#include <cstdint>

namespace mosaiko {

// A system version as the emoji data file's minimum versions are written ("13.3" is 13.3.0). Ordered
// by major, then minor, then patch.
struct OperatingSystemVersion {
    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::int64_t patch = 0;

    friend bool operator==(const OperatingSystemVersion&, const OperatingSystemVersion&) = default;
    friend auto operator<=>(const OperatingSystemVersion&, const OperatingSystemVersion&) = default;
};

}  // namespace mosaiko
