#include "platform/JsonReader.hpp"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/Text.hpp"

namespace mosaiko {

namespace {

// What each byte is inside a string: plain ASCII, one that ends a run of plain content (the
// closing quote, a backslash, and the control characters, which JSON allows only escaped), or
// part of a character beyond ASCII, whose encoding is then checked.
enum ByteKind : std::uint8_t { kPlain, kStop, kBeyondAscii };
constexpr std::array<ByteKind, 256> kByteKinds = [] {
    std::array<ByteKind, 256> kinds{};
    for (int c = 0; c < 0x20; ++c) kinds[static_cast<std::size_t>(c)] = kStop;
    kinds['"'] = kinds['\\'] = kStop;
    for (int c = 0x80; c < 0x100; ++c) kinds[static_cast<std::size_t>(c)] = kBeyondAscii;
    return kinds;
}();

// Passes eight bytes at a time over a string's plain text, up to the first word with a byte that
// ends it (a quote, a backslash or a control character) or the last few bytes, which are left to
// be looked at one by one: a user's snippets are megabytes of strings. Whether a byte passed was
// beyond ASCII is added to `beyondAscii`.
std::size_t skipPlainWords(std::string_view text, std::size_t at, bool& beyondAscii) {
    constexpr std::uint64_t ones = 0x0101010101010101, highs = 0x8080808080808080;
    while (text.size() - at >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, 8);
        const std::uint64_t quote = word ^ (ones * '"'), backslash = word ^ (ones * '\\');
        // A byte below 0x20, or one equal to either stop once XORed (the usual zero-byte test;
        // exact as to whether there is any such byte).
        const std::uint64_t stops =
            (((word - ones * 0x20) & ~word) | ((quote - ones) & ~quote) | ((backslash - ones) & ~backslash)) &
            highs;
        if (stops) break;
        beyondAscii |= (word & highs) != 0;
        at += 8;
    }
    return at;
}

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

bool JsonReader::object(std::initializer_list<Field> fields) {
    std::uint32_t seen = 0;
    const bool read = members([&](std::string_view key) {
        std::uint32_t bit = 1;
        for (const auto& field : fields) {
            if (field.key == key) {
                // The general reader keeps the last of a repeated key.
                if (seen & bit) return false;
                seen |= bit;
                return field.read();
            }
            bit <<= 1;
        }
        return false;
    });
    if (!read) return false;
    std::uint32_t bit = 1;
    for (const auto& field : fields) {
        if (field.required && !(seen & bit)) return decline();
        bit <<= 1;
    }
    return true;
}

bool JsonReader::readString(std::string& out) {
    if (!ok_ || !take('"')) return decline();
    return readStringInto(out, nullptr);
}

bool JsonReader::readStringInto(std::string& out, std::string_view* view) {
    const std::size_t start = pos_;
    bool beyondAscii = false;
    bool escaped = false;
    while (true) {
        std::size_t end = skipPlainWords(text_, pos_, beyondAscii);
        ByteKind kind = kPlain;
        while (end < text_.size() && (kind = kByteKinds[static_cast<unsigned char>(text_[end])]) != kStop) {
            beyondAscii |= kind == kBeyondAscii;
            ++end;
        }
        if (end >= text_.size()) return decline();
        const char c = text_[end];
        if (c == '"' && !escaped) {
            // Most strings have no escape: taken in one piece, or only looked at.
            const auto plain = text_.substr(start, end - start);
            pos_ = end + 1;
            if (beyondAscii && !text::isValidUtf8(plain)) return decline();
            if (view) {
                *view = plain;
            } else {
                out.assign(plain);
            }
            return true;
        }
        if (escaped) {
            out.append(text_.substr(pos_, end - pos_));
        } else {
            out.assign(text_.substr(start, end - start));
            escaped = true;
        }
        pos_ = end + 1;
        if (c == '"') break;
        if (c != '\\' || !readEscape(out)) return decline();
    }
    if (view) *view = out;
    // An escape adds a whole character, so checking the result checks every run between escapes.
    return !beyondAscii || text::isValidUtf8(out) || decline();
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
    return members([&](std::string_view key) {
        std::string name(key);
        std::string value;
        return readString(value) && out.emplace(std::move(name), std::move(value)).second;
    });
}

}  // namespace mosaiko
