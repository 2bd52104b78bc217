#pragma once

#include <optional>
#include <string>
#include <vector>

#include "content/DecodingError.hpp"
#include "platform/Json.hpp"

// Strict readers for the records' decoders: they throw DecodingError instead of coercing.
namespace mosaiko {
namespace json_decoding {

inline void requireObject(const Json& json, const char* what) {
    if (!json.is_object()) throw DecodingError(std::string(what) + ": expected an object");
}

inline std::string requiredString(const Json& object, const char* key) {
    auto value = json::string(object, key);
    if (!value) throw DecodingError(std::string("missing or non-string \"") + key + "\"");
    return std::move(*value);
}

inline std::vector<std::string> requiredStringArray(const Json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end()) throw DecodingError(std::string("missing \"") + key + "\"");
    auto value = json::stringArray(*it);
    if (!value) throw DecodingError(std::string("\"") + key + "\" is not an array of strings");
    return std::move(*value);
}

// An optional key: absent or null gives no value; any other non-string fails.
inline std::optional<std::string> optionalString(const Json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (!it->is_string()) throw DecodingError(std::string("\"") + key + "\" is not a string");
    return it->get<std::string>();
}

}  // namespace json_decoding
}  // namespace mosaiko
