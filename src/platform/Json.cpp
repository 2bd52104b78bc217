#include "platform/Json.hpp"

#include <algorithm>
#include <cstdio>

#include "platform/Text.hpp"

namespace mosaiko::json {

std::optional<Json> parse(std::string_view text) {
    // The parser takes a NUL byte for the end of the text, so "{}\0junk" would read as "{}"; JSON
    // holds no raw NUL anywhere, not even in a string.
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    auto value = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

std::string dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void appendString(std::string& out, std::string_view text) {
    // The replacement of bad bytes is the general writer's own. (ASCII, as most ids are, needs
    // no checking.)
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii && !text::isValidUtf8(text)) {
        out += dump(Json(std::string(text)));
        return;
    }
    constexpr std::string_view kEscaped = "\b\t\n\f\r\"\\";
    constexpr std::string_view kEscapes = "btnfr\"\\";
    out += '"';
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text.substr(runStart, i - runStart));
        runStart = i + 1;
        if (const auto k = kEscaped.find(static_cast<char>(c)); k != std::string_view::npos) {
            out += '\\';
            out += kEscapes[k];
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        }
    }
    out.append(text.substr(runStart));
    out += '"';
}

std::optional<std::string> string(const Json& object, const char* key) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

std::optional<bool> boolean(const Json& object, const char* key) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(key);
    if (it == object.end() || !it->is_boolean()) return std::nullopt;
    return it->get<bool>();
}

std::optional<std::int64_t> integer(const Json& object, const char* key, std::int64_t min, std::int64_t max) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(key);
    if (it == object.end()) return std::nullopt;
    if (it->is_number_unsigned()) {
        const auto u = it->get<std::uint64_t>();
        if (max < 0 || u > static_cast<std::uint64_t>(max)) return std::nullopt;
        return static_cast<std::int64_t>(u);
    }
    if (it->is_number_integer()) {
        const auto i = it->get<std::int64_t>();
        if (i < min || i > max) return std::nullopt;
        return i;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> unsignedInteger(const Json& object, const char* key, std::uint64_t max) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(key);
    if (it == object.end()) return std::nullopt;
    if (it->is_number_unsigned()) {
        const auto u = it->get<std::uint64_t>();
        if (u > max) return std::nullopt;
        return u;
    }
    if (it->is_number_integer()) {
        const auto i = it->get<std::int64_t>();
        if (i < 0 || static_cast<std::uint64_t>(i) > max) return std::nullopt;
        return static_cast<std::uint64_t>(i);
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> stringArray(const Json& value) {
    if (!value.is_array()) return std::nullopt;
    std::vector<std::string> result;
    result.reserve(value.size());
    for (const auto& element : value) {
        if (!element.is_string()) return std::nullopt;
        result.push_back(element.get<std::string>());
    }
    return result;
}

std::optional<std::map<std::string, std::string>> stringMap(const Json& value) {
    if (!value.is_object()) return std::nullopt;
    std::map<std::string, std::string> result;
    for (const auto& [key, element] : value.items()) {
        if (!element.is_string()) return std::nullopt;
        result.emplace(key, element.get<std::string>());
    }
    return result;
}

}  // namespace mosaiko::json
