#include "platform/JsonReader.hpp"

#include <array>

#include "platform/Text.hpp"

namespace mosaiko {

namespace {

// The bytes that end a run of plain string content: the closing quote, a backslash, and the
// control characters, which JSON allows only escaped.
constexpr std::array<bool, 256> kStringStops = [] {
    std::array<bool, 256> stops{};
    for (int c = 0; c < 0x20; ++c) stops[static_cast<std::size_t>(c)] = true;
    stops['"'] = stops['\\'] = true;
    return stops;
}();

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool JsonReader::decline() {
    ok_ = false;
    return false;
}

void JsonReader::skipSpace() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t'))
        ++pos_;
}

bool JsonReader::take(char c) {
    skipSpace();
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
}

bool JsonReader::atEnd() {
    skipSpace();
    return ok_ && pos_ == text_.size();
}

bool JsonReader::array(const std::function<bool()>& element) {
    if (!ok_ || !take('[')) return decline();
    if (take(']')) return true;
    do {
        if (!element()) return decline();
    } while (take(','));
    return take(']') || decline();
}

bool JsonReader::members(const std::function<bool(const std::string& key)>& member) {
    if (!ok_ || !take('{')) return decline();
    if (take('}')) return true;
    std::string key;
    do {
        if (!readString(key) || !take(':') || !member(key)) return decline();
    } while (take(','));
    return take('}') || decline();
}

bool JsonReader::object(std::initializer_list<Field> fields) {
    std::vector<bool> seen(fields.size());
    const bool read = members([&](const std::string& key) {
        std::size_t i = 0;
        for (const auto& field : fields) {
            if (field.key == key) {
                // The general reader keeps the last of a repeated key.
                if (seen[i]) return false;
                seen[i] = true;
                return field.read();
            }
            ++i;
        }
        return false;
    });
    if (!read) return false;
    std::size_t i = 0;
    for (const auto& field : fields) {
        if (field.required && !seen[i]) return decline();
        ++i;
    }
    return true;
}

bool JsonReader::readString(std::string& out) {
    if (!ok_ || !take('"')) return decline();
    out.clear();
    while (true) {
        std::size_t end = pos_;
        while (end < text_.size() && !kStringStops[static_cast<unsigned char>(text_[end])]) ++end;
        out.append(text_.substr(pos_, end - pos_));
        pos_ = end;
        if (pos_ >= text_.size()) return decline();
        const char c = text_[pos_++];
        if (c == '"') break;
        if (c != '\\' || !readEscape(out)) return decline();
    }
    // An escape adds a whole character, so checking the result checks every run between escapes.
    return text::isValidUtf8(out) || decline();
}

bool JsonReader::readEscape(std::string& out) {
    constexpr std::string_view kEscapes = "\"\\/bfnrt";
    constexpr std::string_view kMeanings = "\"\\/\b\f\n\r\t";
    if (pos_ >= text_.size()) return false;
    const char c = text_[pos_++];
    if (const auto i = kEscapes.find(c); i != std::string_view::npos) {
        out += kMeanings[i];
        return true;
    }
    if (c != 'u') return false;
    if (text_.size() - pos_ < 4) return false;
    char32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(text_[pos_++]);
        if (digit < 0) return false;
        code = code * 16 + static_cast<char32_t>(digit);
    }
    // Surrogates pair up across two escapes, by rules left to the general reader.
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    out += text::fromScalar(code);
    return true;
}

bool JsonReader::readStringArray(std::vector<std::string>& out) {
    out.clear();
    return array([&] { return readString(out.emplace_back()); });
}

bool JsonReader::readStringMap(std::map<std::string, std::string>& out) {
    out.clear();
    return members([&](const std::string& key) {
        std::string value;
        return readString(value) && out.emplace(key, std::move(value)).second;
    });
}

}  // namespace mosaiko
