#pragma once

#include <string>
#include <vector>

#include "content/DecodingError.hpp"
#include "platform/Json.hpp"
#include "platform/JsonReader.hpp"

namespace mosaiko {

// A user-defined text snippet.
struct CustomSnippet {
    std::string id;
    std::string name;
    std::string insertText;
    std::vector<std::string> shortcodes;
    std::vector<std::string> keywords;

    // Throws DecodingError on a missing key or a wrong type.
    static CustomSnippet fromJson(const Json& json);
    Json toJson() const;
    // The same from stored text as the program writes it; false when the reader declines.
    static bool read(JsonReader& reader, CustomSnippet& snippet);

    bool operator==(const CustomSnippet&) const = default;
};

}  // namespace mosaiko
