#pragma once

#include <map>
#include <string>
#include <vector>

#include "content/DecodingError.hpp"
#include "platform/Json.hpp"
#include "platform/JsonReader.hpp"

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
    // The same from stored text as the program writes it; false when the reader declines.
    static bool read(JsonReader& reader, EmojiCollection& collection);

    bool operator==(const EmojiCollection&) const = default;
};

}  // namespace mosaiko
