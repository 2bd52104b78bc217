#include "platform/Text.hpp"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace mosaiko {
namespace {

TEST(Text, CanonicalEquivalenceDecidesEqualityAndOrder) {
    const std::string composed = "\xC3\xA9";     // é
    const std::string decomposed = "e\xCC\x81";  // e + combining acute
    EXPECT_TRUE(text::canonicallyEqual(composed, decomposed));
    EXPECT_EQ(text::canonicalCompare(composed, decomposed), 0);
    EXPECT_LT(text::canonicalCompare("a", "b"), 0);
    EXPECT_TRUE(text::caseInsensitiveEqual("TERMINAL", "terminal"));
    EXPECT_TRUE(text::hasPrefixCaseInsensitive("COM.JetBrains.idea", "com.jetbrains."));
}

TEST(Text, CountsScalarsAndCharactersSeparately) {
    const std::string flag = "\xF0\x9F\x87\xAF\xF0\x9F\x87\xB5";  // two regional indicators
    const std::string family = "👨‍👩‍👧";
    EXPECT_EQ(text::scalarCount(flag), 2u);
    EXPECT_EQ(text::characterCount(flag), 1u);
    EXPECT_EQ(text::characterCount(family), 1u);
    EXPECT_EQ(text::scalarCount(family), 5u);
    EXPECT_EQ(text::prefixScalars(flag + "abcde", 6), flag + "abcd");
    EXPECT_EQ(text::characters("a" + flag + "b"), (std::vector<std::string>{"a", flag, "b"}));
}

TEST(Text, ControlCharactersAreCcAndCf) {
    EXPECT_EQ(text::removingControlCharacters("\t;\u200D;\n"), ";;");
    EXPECT_TRUE(text::isControl(0x07));
    EXPECT_FALSE(text::isControl(U' '));
    EXPECT_EQ(text::trimmed("  \n ok go \t"), "ok go");
    EXPECT_TRUE(text::isBlank(" \n"));
}

TEST(Text, FullCaseMappingAndInvalidInput) {
    EXPECT_EQ(text::uppercased("straße"), "STRASSE");
    EXPECT_EQ(text::lowercased("ÀB"), "àb");
    const std::string broken = "ok\xFF\xFE";
    EXPECT_FALSE(text::isValidUtf8(broken));
    EXPECT_EQ(text::validUtf8(broken), "ok\uFFFD\uFFFD");
    EXPECT_EQ(text::scalarCount(broken), 4u);
    EXPECT_EQ(text::fromUtf16(text::utf16("😄")), "😄");
    EXPECT_EQ(text::utf16("😄").size(), 2u);
}

TEST(Text, LocalizedOrderIgnoresLetterCaseButNotAccents) {
    // Also under the C locale, whose own collation would put every capital first.
    EXPECT_EQ(text::localizedCaseInsensitiveCompare("notes", "Notes"), 0);
    EXPECT_LT(text::localizedCaseInsensitiveCompare("editor", "Notes"), 0);
    EXPECT_GT(text::localizedCaseInsensitiveCompare("Zed", "apple"), 0);
    EXPECT_NE(text::localizedCaseInsensitiveCompare("résumé", "resume"), 0);
}

// The characters shown as emoji pictures: by default, asked for, or toned; not those asked for as
// text, nor symbols that are text by default.
TEST(Text, EmojiCharactersOfMixedText) {
    using Ranges = std::vector<text::CodeUnitRange>;
    const std::pair<const char*, Ranges> cases[] = {
        {"ok 👍", {{3, 5}}},
        {"😀😀", {{0, 2}, {2, 4}}},
        {"❤️ ❤", {{0, 2}}},
        {"☝🏽 ☝", {{0, 3}}},
        {"1️⃣#", {{0, 3}}},
        {"🇺🇦🧑🏻‍🤝‍🧑🏿!", {{0, 4}, {4, 16}}},
        {"⌚︎ © ☺ → :-)", {}},
        {"", {}},
    };
    for (const auto& [utf8, ranges] : cases)
        EXPECT_EQ(text::emojiCharacters(text::utf16(utf8)), ranges) << utf8;
}

}  // namespace
}  // namespace mosaiko
