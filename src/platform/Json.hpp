#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace mosaiko {

using Json = nlohmann::json;

namespace json {

// Parses JSON text; no value on any syntax error (never throws).
std::optional<Json> parse(std::string_view text);
// Serializes compactly. Text that is not valid UTF-8 is written with U+FFFD in place of the bad
// bytes rather than failing.
std::string dump(const Json& value);
// Appends `text` as a JSON string, exactly as dump() writes it, without making a value of it: for
// writers of large stored values that would otherwise copy every string into a tree first.
void appendString(std::string& out, std::string_view text);

// Field readers for decoders that must reject wrong types instead of coercing them: each answers
// no value when the key is missing or holds another JSON type.
std::optional<std::string> string(const Json& object, const char* key);
std::optional<bool> boolean(const Json& object, const char* key);
// Integers only (no fractions), and only when they fit the range.
std::optional<std::int64_t> integer(const Json& object, const char* key, std::int64_t min, std::int64_t max);
std::optional<std::uint64_t> unsignedInteger(const Json& object, const char* key, std::uint64_t max);
// An array whose every element is a string.
std::optional<std::vector<std::string>> stringArray(const Json& value);
// An object whose every value is a string.
std::optional<std::map<std::string, std::string>> stringMap(const Json& value);

}  // namespace json
}  // namespace mosaiko
