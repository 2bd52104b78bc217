#pragma once

#include <map>
#include <string>
#include <vector>

#include "content/DecodingError.hpp"
#include "platform/Json.hpp"

namespace mosaiko {

// A named list of entry ids with an optional search alias per id.
struct EmojiCollection {
    std::string id;
    std::string name;
    std::vector<std::string> itemIDs;
    std::map<std::string, std::string> itemAliasesByID;  // missing in JSON decodes as empty

    // Throws DecodingError on a missing required key or a wrong type.
    static EmojiCollection fromJson(const Json& json);
    Json toJson() const;

    bool operator==(const EmojiCollection&) const = default;
};

}  // namespace mosaiko
