#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Every Unicode rule the program needs, over ICU. Strings are UTF-8; "characters" are grapheme
// clusters, "scalars" are code points; equality and ordering follow canonical equivalence.
// Invalid UTF-8 never crashes anything here: it is read as U+FFFD.
namespace mosaiko::text {

// Canonical composition (NFC).
std::string nfc(std::string_view s);
// True when both texts are canonically equivalent.
bool canonicallyEqual(std::string_view a, std::string_view b);
// Orders canonically equivalent texts as equal, others by their NFC code points.
int canonicalCompare(std::string_view a, std::string_view b);
inline bool canonicallyLess(std::string_view a, std::string_view b) {
    return canonicalCompare(a, b) < 0;
}
// The same order as a comparator, for maps and sets whose canonically equivalent keys are one key.
struct CanonicalLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return canonicalCompare(a, b) < 0; }
};

// Orders texts the way a person reading the user's language expects (the collation of the default
// locale), letter case ignored: "notes" and "Notes" compare equal, accents still count. -1, 0 or 1.
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);

// Full Unicode case mapping, independent of locale.
std::string lowercased(std::string_view s);
std::string uppercased(std::string_view s);
// Equal after full lowercasing (and canonical composition).
bool caseInsensitiveEqual(std::string_view a, std::string_view b);
bool hasPrefixCaseInsensitive(std::string_view s, std::string_view prefix);

// Counts and splits.
std::size_t scalarCount(std::string_view s);
std::size_t characterCount(std::string_view s);
std::vector<std::string> characters(std::string_view s);
std::u32string scalars(std::string_view s);
std::string fromScalars(std::u32string_view scalars);
std::u16string utf16(std::string_view s);
std::string fromUtf16(std::u16string_view s);
std::string fromScalar(char32_t scalar);
// The first scalar of `s`; 0 for the empty text.
char32_t firstScalar(std::string_view s);
// True when a character (grapheme cluster) boundary of `s` lies at the byte offset: at either end,
// and between two characters; false inside a character or inside a UTF-8 sequence.
bool isCharacterBoundary(std::string_view s, std::size_t byteOffset);

// The first `count` scalars of `s`.
std::string prefixScalars(std::string_view s, std::size_t count);
// Replaces every invalid UTF-8 sequence with U+FFFD.
std::string validUtf8(std::string_view s);
bool isValidUtf8(std::string_view s);
// Whether every byte is below 0x80: each byte is then a scalar of its own.
bool isAscii(std::string_view s);

// Character classes of single scalars.
bool isControl(char32_t scalar);       // general categories Cc and Cf
bool isWhitespace(char32_t scalar);    // White_Space (includes newlines)
bool isLetter(char32_t scalar);        // L*
bool isNumber(char32_t scalar);        // N*
bool isAlphanumeric(char32_t scalar);  // letters, marks and numbers
bool isPunctuation(char32_t scalar);   // P*
bool isSymbol(char32_t scalar);        // S*

// The characters of a UTF-16 text that are shown as emoji pictures rather than as text, as
// [start, end) offsets in code units, in order: a character is one when it holds a scalar shown as
// an emoji by default, the emoji variation selector or the keycap mark, and not the text variation
// selector ("😀", "👍🏽", "❤️", "1️⃣", "🇺🇦"; not "☺", "©" or "⌚︎").
struct CodeUnitRange {
    std::size_t start = 0;
    std::size_t end = 0;
    bool operator==(const CodeUnitRange&) const = default;
};
std::vector<CodeUnitRange> emojiCharacters(std::u16string_view s);

// Drops every Cc/Cf scalar.
std::string removingControlCharacters(std::string_view s);
// Removes leading and trailing White_Space (spaces, tabs, newlines).
std::string trimmed(std::string_view s);
// True when every scalar is White_Space (also for the empty text).
bool isBlank(std::string_view s);

// Splits at every occurrence of `separator`, keeping empty pieces.
std::vector<std::string> split(std::string_view s, std::string_view separator);
std::string join(const std::vector<std::string>& parts, std::string_view separator);

}  // namespace mosaiko::text
