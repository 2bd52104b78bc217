#include "platform/x11/TypingPace.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mosaiko {
namespace {

// Where typing waits, key by key, as the poster asks: "⌫" is an editing key, "a" a character of
// the basic plane, "😀" one beyond it, "…" a second and a half without keys. The marks: the
// milliseconds to wait before a key's press, "_" for a key that does not wait.
TEST(TypingPaceTest, WaitsOnlyWhereTheKindOfKeyChanges) {
    const struct {
        std::u32string keys;
        std::string marks;
    } cases[] = {
        {U"Hello", "_____"},
        {U"⌫⌫⌫⌫😀", "____36"},   // a search erased, then its emoji: 20 ms and 4 a BackSpace
        {U"⌫a⌫⌫b", "_24__28"},  // each run of BackSpaces on its own
        {U"a😀😀b", "_20__"},     // a character of the plane before an emoji
        {U"😀\u200D😀", "__20"},  // a joiner between two emoji
        {U"⌫…a", "__"},         // BackSpaces long past
        {U"a…😀", "__"},
    };
    for (const auto& c : cases) {
        TypingPace pace;
        double now = 100;
        std::string marks;
        for (const char32_t key : c.keys) {
            if (key == U'…') {
                now += 1.5;
                continue;
            }
            const auto kind = key == U'⌫' ? TypingPace::Kind::edit : TypingPace::kindOf(key);
            const auto wait = pace.beforePress(kind, now);
            marks += wait ? std::to_string(static_cast<int>(*wait * 1000 + 0.5)) : "_";
            now += 0.001;
        }
        EXPECT_EQ(marks, c.marks) << "case " << &c - cases;
    }
}

TEST(TypingPaceTest, KindsAndTheLongestWait) {
    EXPECT_EQ(TypingPace::kindOf(U'\b'), TypingPace::Kind::edit);
    EXPECT_EQ(TypingPace::kindOf(U'\r'), TypingPace::Kind::edit);
    EXPECT_EQ(TypingPace::kindOf(U'\uFF89'), TypingPace::Kind::character);
    EXPECT_EQ(TypingPace::kindOf(U'\U0001F1EF'), TypingPace::Kind::wideCharacter);
    TypingPace pace;
    for (int i = 0; i < 200; ++i) pace.beforePress(TypingPace::Kind::edit, 10);
    EXPECT_EQ(pace.beforePress(TypingPace::Kind::character, 10), TypingPace::kLongestSeconds);
}

}  // namespace
}  // namespace mosaiko
