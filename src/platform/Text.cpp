#include "platform/Text.hpp"

#include <unicode/brkiter.h>
#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <memory>

namespace mosaiko::text {

namespace {

icu::UnicodeString toUnicode(std::string_view s) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string toUtf8(const icu::UnicodeString& u) {
    std::string out;
    u.toUTF8String(out);
    return out;
}

const icu::Normalizer2& nfcNormalizer() {
    UErrorCode status = U_ZERO_ERROR;
    return *icu::Normalizer2::getNFCInstance(status);
}

// Creating a break iterator costs far more than using one, so each thread keeps one. Every user
// sets its text before asking anything.
icu::BreakIterator* characterBreakIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) it.reset();
        return it;
    }();
    return iterator.get();
}

// Calls f(scalar) for every code point of s, reading invalid sequences as U+FFFD.
template <class F>
void forEachScalar(std::string_view s, F f) {
    int32_t i = 0;
    const auto length = static_cast<int32_t>(s.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        f(c < 0 ? char32_t{0xFFFD} : static_cast<char32_t>(c));
    }
}

}  // namespace

bool isAscii(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::string nfc(std::string_view s) {
    if (isAscii(s)) return std::string(s);
    UErrorCode status = U_ZERO_ERROR;
    auto normalized = nfcNormalizer().normalize(toUnicode(s), status);
    if (U_FAILURE(status)) return validUtf8(s);
    return toUtf8(normalized);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    return a == b || nfc(a) == nfc(b);
}

int canonicalCompare(std::string_view a, std::string_view b) {
    if (a == b) return 0;
    const auto x = nfc(a);
    const auto y = nfc(b);
    // UTF-8 byte order is code point order.
    const int c = x.compare(y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
    // A collator is costly to create; each thread keeps one for the default locale.
    thread_local std::unique_ptr<icu::Collator> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The C locale reads as "en_US_POSIX", whose collation is code point order (every capital
        // before every small letter): use the root collation there.
        icu::Locale locale = icu::Locale::getDefault();
        if (locale.isBogus() || std::string_view(locale.getVariant()) == "POSIX")
            locale = icu::Locale::getRoot();
        std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status)) return std::unique_ptr<icu::Collator>();
        c->setStrength(icu::Collator::SECONDARY);  // base letters and accents, not case
        return c;
    }();
    if (!collator) {
        return canonicalCompare(lowercased(a), lowercased(b));
    }
    UErrorCode status = U_ZERO_ERROR;
    const auto result =
        collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                              icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status)) return canonicalCompare(lowercased(a), lowercased(b));
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

std::string lowercased(std::string_view s) {
    if (isAscii(s)) {
        std::string out(s);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }
    auto u = toUnicode(s);
    u.toLower(icu::Locale::getRoot());
    return toUtf8(u);
}

std::string uppercased(std::string_view s) {
    auto u = toUnicode(s);
    u.toUpper(icu::Locale::getRoot());
    return toUtf8(u);
}

bool caseInsensitiveEqual(std::string_view a, std::string_view b) {
    return nfc(lowercased(a)) == nfc(lowercased(b));
}

bool hasPrefixCaseInsensitive(std::string_view s, std::string_view prefix) {
    const auto x = nfc(lowercased(s));
    const auto p = nfc(lowercased(prefix));
    return x.compare(0, p.size(), p) == 0;
}

std::size_t scalarCount(std::string_view s) {
    std::size_t n = 0;
    forEachScalar(s, [&](char32_t) { ++n; });
    return n;
}

std::vector<std::string> characters(std::string_view s) {
    std::vector<std::string> result;
    if (s.empty()) return result;
    if (isAscii(s)) {
        // Among ASCII characters only CR LF forms a cluster of more than one scalar.
        for (std::size_t i = 0; i < s.size(); ++i) {
            const std::size_t length = (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ? 2 : 1;
            result.emplace_back(s.substr(i, length));
            i += length - 1;
        }
        return result;
    }
    auto* it = characterBreakIterator();
    const auto u = toUnicode(s);
    if (!it) {
        result.push_back(toUtf8(u));
        return result;
    }
    it->setText(u);
    int32_t start = it->first();
    for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
        result.push_back(toUtf8(u.tempSubStringBetween(start, end)));
    }
    return result;
}

std::size_t characterCount(std::string_view s) {
    if (isAscii(s)) {
        std::size_t count = s.size();
        for (std::size_t i = 0; i + 1 < s.size(); ++i) {
            if (s[i] == '\r' && s[i + 1] == '\n') --count;
        }
        return count;
    }
    return characters(s).size();
}

char32_t firstScalar(std::string_view s) {
    char32_t first = 0;
    bool seen = false;
    forEachScalar(s.substr(0, 4), [&](char32_t c) {
        if (!seen) first = c;
        seen = true;
    });
    return first;
}

bool isCharacterBoundary(std::string_view s, std::size_t byteOffset) {
    if (byteOffset == 0 || byteOffset >= s.size()) return byteOffset <= s.size();
    const auto before = static_cast<unsigned char>(s[byteOffset - 1]);
    const auto after = static_cast<unsigned char>(s[byteOffset]);
    if (before < 0x80 && after < 0x80) return !(before == '\r' && after == '\n');
    if (U8_IS_TRAIL(after)) return false;
    auto* it = characterBreakIterator();
    if (!it) return true;
    UErrorCode status = U_ZERO_ERROR;
    UText text = UTEXT_INITIALIZER;
    utext_openUTF8(&text, s.data(), static_cast<int64_t>(s.size()), &status);
    if (U_FAILURE(status)) return true;
    it->setText(&text, status);
    const bool boundary = U_FAILURE(status) || it->isBoundary(static_cast<int32_t>(byteOffset));
    utext_close(&text);
    return boundary;
}

std::u32string scalars(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    forEachScalar(s, [&](char32_t c) { out.push_back(c); });
    return out;
}

std::string fromScalar(char32_t scalar) {
    std::string out;
    if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) scalar = 0xFFFD;
    char buffer[4];
    int32_t i = 0;
    U8_APPEND_UNSAFE(reinterpret_cast<uint8_t*>(buffer), i, static_cast<UChar32>(scalar));
    out.append(buffer, static_cast<std::size_t>(i));
    return out;
}

std::string fromScalars(std::u32string_view scalars) {
    std::string out;
    out.reserve(scalars.size() * 2);
    for (char32_t c : scalars) out += fromScalar(c);
    return out;
}

std::u16string utf16(std::string_view s) {
    const auto u = toUnicode(s);
    return std::u16string(reinterpret_cast<const char16_t*>(u.getBuffer()),
                          static_cast<std::size_t>(u.length()));
}

std::string fromUtf16(std::u16string_view s) {
    return toUtf8(
        icu::UnicodeString(reinterpret_cast<const UChar*>(s.data()), static_cast<int32_t>(s.size())));
}

std::string prefixScalars(std::string_view s, std::size_t count) {
    std::u32string all = scalars(s);
    if (all.size() > count) all.resize(count);
    return fromScalars(all);
}

std::string validUtf8(std::string_view s) {
    return isValidUtf8(s) ? std::string(s) : fromScalars(scalars(s));
}

bool isValidUtf8(std::string_view s) {
    int32_t i = 0;
    const auto length = static_cast<int32_t>(s.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

bool isControl(char32_t c) {
    const auto category = u_charType(static_cast<UChar32>(c));
    return category == U_CONTROL_CHAR || category == U_FORMAT_CHAR;
}
bool isWhitespace(char32_t c) {
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}
bool isLetter(char32_t c) {
    return u_isalpha(static_cast<UChar32>(c));
}
bool isNumber(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_N_MASK) != 0;
}
bool isAlphanumeric(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}
bool isPunctuation(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_P_MASK) != 0;
}
bool isSymbol(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_S_MASK) != 0;
}

namespace {

constexpr UChar32 kTextPresentation = 0xFE0E;
constexpr UChar32 kEmojiPresentation = 0xFE0F;
constexpr UChar32 kKeycap = 0x20E3;

bool asksForEmoji(UChar32 c) {
    return c == kEmojiPresentation || c == kKeycap || u_hasBinaryProperty(c, UCHAR_EMOJI_PRESENTATION);
}

}  // namespace

std::vector<CodeUnitRange> emojiCharacters(std::u16string_view s) {
    std::vector<CodeUnitRange> ranges;
    const auto* units = reinterpret_cast<const UChar*>(s.data());
    const auto length = static_cast<int32_t>(s.size());
    // Most texts hold no emoji: they are read once, without the character iterator.
    bool any = false;
    for (int32_t i = 0; i < length && !any;) {
        UChar32 c = 0;
        U16_NEXT(units, i, length, c);
        any = asksForEmoji(c);
    }
    auto* it = any ? characterBreakIterator() : nullptr;
    if (!it) return ranges;
    UErrorCode status = U_ZERO_ERROR;
    UText text = UTEXT_INITIALIZER;
    utext_openUChars(&text, units, length, &status);
    it->setText(&text, status);
    if (U_FAILURE(status)) {
        utext_close(&text);
        return ranges;
    }
    int32_t start = it->first();
    for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
        bool emoji = false;
        bool textStyle = false;
        for (int32_t i = start; i < end;) {
            UChar32 c = 0;
            U16_NEXT(units, i, end, c);
            emoji = emoji || asksForEmoji(c);
            textStyle = textStyle || c == kTextPresentation;
        }
        if (emoji && !textStyle)
            ranges.push_back({static_cast<std::size_t>(start), static_cast<std::size_t>(end)});
    }
    utext_close(&text);
    return ranges;
}

std::string removingControlCharacters(std::string_view s) {
    std::u32string kept;
    forEachScalar(s, [&](char32_t c) {
        if (!isControl(c)) kept.push_back(c);
    });
    return fromScalars(kept);
}

std::string trimmed(std::string_view s) {
    const auto all = scalars(s);
    std::size_t begin = 0, end = all.size();
    while (begin < end && isWhitespace(all[begin])) ++begin;
    while (end > begin && isWhitespace(all[end - 1])) --end;
    return fromScalars(std::u32string_view(all).substr(begin, end - begin));
}

bool isBlank(std::string_view s) {
    bool blank = true;
    forEachScalar(s, [&](char32_t c) { blank = blank && isWhitespace(c); });
    return blank;
}

std::vector<std::string> split(std::string_view s, std::string_view separator) {
    std::vector<std::string> parts;
    if (separator.empty()) {
        parts.emplace_back(s);
        return parts;
    }
    std::size_t start = 0;
    for (auto pos = s.find(separator); pos != std::string_view::npos; pos = s.find(separator, start)) {
        parts.emplace_back(s.substr(start, pos - start));
        start = pos + separator.size();
    }
    parts.emplace_back(s.substr(start));
    return parts;
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

}  // namespace mosaiko::text
