#include "platform/linux/DefaultsFileFormat.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "platform/Base64.hpp"
#include "platform/Json.hpp"

namespace mosaiko {

namespace {

constexpr const char* kFormatKey = "mosaikoDefaults";
constexpr const char* kValuesKey = "values";
constexpr const char* kDataTag = "$data";
constexpr const char* kDictionaryTag = "$dict";
// JSON has no infinities or NaN (the library would write null, which reads as no value).
constexpr const char* kDoubleTag = "$double";

Json encodeValue(const DefaultsValue& value);

Json encodeDictionary(const DefaultsValue::Dictionary& dictionary) {
    Json object = Json::object();
    for (const auto& [key, element] : dictionary) object[key] = encodeValue(element);
    return object;
}

Json encodeValue(const DefaultsValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, DefaultsData>) {
                return Json{{kDataTag, base64::encode(v.bytes)}};
            } else if constexpr (std::is_same_v<T, DefaultsValue::Array>) {
                Json array = Json::array();
                for (const auto& element : v) array.push_back(encodeValue(element));
                return array;
            } else if constexpr (std::is_same_v<T, DefaultsValue::Dictionary>) {
                return Json{{kDictionaryTag, encodeDictionary(v)}};
            } else if constexpr (std::is_same_v<T, double>) {
                if (std::isnan(v)) return Json{{kDoubleTag, "nan"}};
                if (std::isinf(v)) return Json{{kDoubleTag, v > 0 ? "inf" : "-inf"}};
                return Json(v);
            } else {
                return Json(v);
            }
        },
        value.storage());
}

// `depth` is the JSON nesting level of `json`; deeper than the limit reads as nothing.
std::optional<DefaultsValue> decodeValue(const Json& json, int depth);

std::optional<DefaultsValue::Dictionary> decodeDictionary(const Json& json, int depth) {
    if (!json.is_object() || depth > DefaultsFileFormat::kMaxDepth) return std::nullopt;
    DefaultsValue::Dictionary result;
    for (const auto& [key, element] : json.items()) {
        auto value = decodeValue(element, depth + 1);
        if (!value) return std::nullopt;
        result.emplace(key, std::move(*value));
    }
    return result;
}

std::optional<DefaultsValue> decodeTagged(const Json& json, int depth) {
    if (json.size() != 1) return std::nullopt;
    if (auto it = json.find(kDataTag); it != json.end() && it->is_string()) {
        auto bytes = base64::decode(it->get<std::string>());
        if (!bytes) return std::nullopt;
        return DefaultsValue(DefaultsData{std::move(*bytes)});
    }
    if (auto it = json.find(kDictionaryTag); it != json.end()) {
        auto dictionary = decodeDictionary(*it, depth + 1);
        if (!dictionary) return std::nullopt;
        return DefaultsValue(std::move(*dictionary));
    }
    if (auto it = json.find(kDoubleTag); it != json.end() && it->is_string()) {
        const auto& name = it->get_ref<const std::string&>();
        if (name == "nan") return DefaultsValue(std::numeric_limits<double>::quiet_NaN());
        if (name == "inf") return DefaultsValue(std::numeric_limits<double>::infinity());
        if (name == "-inf") return DefaultsValue(-std::numeric_limits<double>::infinity());
    }
    return std::nullopt;
}

std::optional<DefaultsValue> decodeValue(const Json& json, int depth) {
    if (depth > DefaultsFileFormat::kMaxDepth) return std::nullopt;
    switch (json.type()) {
        case Json::value_t::boolean:
            return DefaultsValue(json.get<bool>());
        case Json::value_t::number_integer:
            return DefaultsValue(json.get<std::int64_t>());
        case Json::value_t::number_unsigned: {
            const auto u = json.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(INT64_MAX)) return DefaultsValue(static_cast<double>(u));
            return DefaultsValue(static_cast<std::int64_t>(u));
        }
        case Json::value_t::number_float:
            return DefaultsValue(json.get<double>());
        case Json::value_t::string:
            return DefaultsValue(json.get<std::string>());
        case Json::value_t::array: {
            DefaultsValue::Array array;
            for (const auto& element : json) {
                auto value = decodeValue(element, depth + 1);
                if (!value) return std::nullopt;
                array.push_back(std::move(*value));
            }
            return DefaultsValue(std::move(array));
        }
        case Json::value_t::object:
            return decodeTagged(json, depth);
        default:
            return std::nullopt;
    }
}

// Splits JSON objects into their members without reading the values, so that a value the JSON
// reader refuses, or one nested too deep to read safely, spoils only its own member. Only strings
// and brackets are understood; everything else is left to the reader, member by member.
class MemberScanner {
  public:
    struct Span {
        std::string_view text;
        bool terminated = false;  // ended by ',' or a closing bracket, not by the end of the text
        int depth = 0;            // deepest bracket nesting inside
    };
    using MemberHandler = std::function<void(std::string_view keyToken, const Span& value)>;

    explicit MemberScanner(std::string_view text) : text_(text) {}

    // Hands each member of the object at the current position to `member`; false when the object
    // is not well formed (members before the fault have been handed over).
    bool object(const MemberHandler& member) {
        skipSpace();
        if (!take('{')) return false;
        skipSpace();
        if (take('}')) return true;
        while (true) {
            skipSpace();
            const std::size_t keyStart = pos_;
            if (peek() != '"' || !skipString()) return false;
            const std::string_view key = text_.substr(keyStart, pos_ - keyStart);
            skipSpace();
            if (!take(':')) return false;
            const Span value = this->value();
            member(key, value);
            if (!value.terminated) return false;
            if (take(',')) continue;
            return take('}');
        }
    }

    bool onlySpaceLeft() {
        skipSpace();
        return pos_ == text_.size();
    }

  private:
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

    bool take(char c) {
        if (pos_ >= text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    void skipSpace() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }

    // From an opening quote past the closing one; false at the end of the text. Goes from quote to
    // quote: a data value is megabytes of text without one.
    bool skipString() {
        for (std::size_t from = pos_ + 1;;) {
            const std::size_t quote = text_.find('"', from);
            if (quote == std::string_view::npos) break;
            // Escaped by an odd number of backslashes before it.
            std::size_t backslashes = 0;
            while (quote - backslashes > pos_ + 1 && text_[quote - backslashes - 1] == '\\') ++backslashes;
            if (backslashes % 2 == 0) {
                pos_ = quote + 1;
                return true;
            }
            from = quote + 1;
        }
        pos_ = text_.size();
        return false;
    }

    // One value, up to the ',' or closing bracket that ends it at this level (not taken).
    Span value() {
        skipSpace();
        const std::size_t start = pos_;
        Span span;
        int depth = 0;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '"') {
                if (!skipString()) break;
                continue;
            }
            if (c == '{' || c == '[') {
                span.depth = std::max(span.depth, ++depth);
            } else if (c == '}' || c == ']' || c == ',') {
                if (depth == 0) {
                    span.terminated = true;
                    break;
                }
                if (c != ',') --depth;
            }
            ++pos_;
        }
        std::size_t end = pos_;
        while (end > start && (text_[end - 1] == ' ' || text_[end - 1] == '\t' || text_[end - 1] == '\n' ||
                               text_[end - 1] == '\r'))
            --end;
        span.text = text_.substr(start, end - start);
        return span;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// A data value as this format writes it, {"$data":"<base64>"}, decoded straight from its text: the
// user's snippets are one, megabytes long, which the JSON reader took tens of milliseconds to read
// character by character before they were decoded. None for any other spelling, which the reader
// decides on.
std::optional<DefaultsValue> writtenData(std::string_view text) {
    constexpr std::string_view open = "{\"$data\":\"";
    constexpr std::string_view close = "\"}";
    if (text.size() < open.size() + close.size() || !text.starts_with(open) || !text.ends_with(close))
        return std::nullopt;
    // A quote or an escape inside (another spelling, or more than the one member) is no base64,
    // which the decoding refuses: the megabytes are not searched for them first.
    auto bytes = base64::decode(text.substr(open.size(), text.size() - open.size() - close.size()));
    if (!bytes) return std::nullopt;
    return DefaultsValue(DefaultsData{std::move(*bytes)});
}

std::optional<std::string> stringToken(std::string_view token) {
    auto parsed = json::parse(token);
    if (!parsed || !parsed->is_string()) return std::nullopt;
    return parsed->get<std::string>();
}

}  // namespace

std::string DefaultsFileFormat::encode(const DefaultsValue::Dictionary& values) {
    const Json document = {{kFormatKey, 1}, {kValuesKey, encodeDictionary(values)}};
    return json::dump(document) + "\n";
}

DefaultsFileFormat::Decoded DefaultsFileFormat::decode(std::string_view text) {
    Decoded result;
    bool sawValues = false;
    auto readMember = [&](std::string_view keyToken, const MemberScanner::Span& span) {
        const auto key = stringToken(keyToken);
        std::optional<DefaultsValue> value;
        // The depth is checked before the value is parsed at all.
        if (key && span.terminated && span.depth <= kMaxDepth) {
            value = writtenData(span.text);
            if (!value) {
                if (const auto parsed = json::parse(span.text)) value = decodeValue(*parsed, 1);
            }
        }
        if (!value) {
            result.complete = false;
            return;
        }
        result.values.insert_or_assign(*key, std::move(*value));
    };
    MemberScanner document(text);
    const bool wellFormed = document.object([&](std::string_view keyToken, const MemberScanner::Span& span) {
        if (stringToken(keyToken) != kValuesKey) return;  // the format marker, or nothing of ours
        sawValues = true;
        MemberScanner values(span.text);
        if (!values.object(readMember) || !values.onlySpaceLeft()) result.complete = false;
    });
    if (!wellFormed || !document.onlySpaceLeft() || !sawValues) result.complete = false;
    return result;
}

}  // namespace mosaiko
