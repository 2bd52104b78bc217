#pragma once

#include <optional>
#include <string>

#include "content/DecodingError.hpp"
#include "platform/Json.hpp"

namespace mosaiko {

// An application in which inline search is ignored. A bundle identifier ending in "*" is a prefix.
struct ExcludedApp {
    std::string name;
    std::optional<std::string> bundleIdentifier;

    // Identity: the bundle identifier when present, else the name.
    const std::string& identity() const { return bundleIdentifier ? *bundleIdentifier : name; }

    // Throws DecodingError on a missing name or a wrong type.
    static ExcludedApp fromJson(const Json& json);
    Json toJson() const;

    bool operator==(const ExcludedApp&) const = default;
};

}  // namespace mosaiko
