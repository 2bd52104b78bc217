#include "platform/x11/TypingPace.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mosaiko {
namespace {

// Where typing waits, as the poster asks: "⌫" is an editing key, "t" a text, "…" a second and a
// half without keys. The marks: the milliseconds to wait before a text, "_" for a text that does not
// wait.
TEST(TypingPaceTest, WaitsAfterEditingKeysBeforeTheText) {
    const struct {
        std::string keys;
        std::string marks;
    } cases[] = {
        {"tt", "__"},      {"⌫⌫⌫⌫t", "36"},  // a search erased, then its emoji: 20 ms and 4 a BackSpace
        {"⌫t⌫⌫t", "2428"},                   // each run of BackSpaces on its own
        {"⌫…t", "_"},                        // keys long past
        {"⌫…⌫t", "24"},                      // a new run after a pause
    };
    for (const auto& c : cases) {
        TypingPace pace;
        double now = 100;
        std::string marks;
        for (std::size_t i = 0; i < c.keys.size();) {
            if (c.keys.compare(i, 3, "…") == 0) {
                now += 1.5;
                i += 3;
            } else if (c.keys.compare(i, 3, "⌫") == 0) {
                pace.edited(now);
                i += 3;
            } else {
                const auto wait = pace.beforeText(now);
                marks += wait ? std::to_string(static_cast<int>(*wait * 1000 + 0.5)) : "_";
                ++i;
            }
            now += 0.001;
        }
        EXPECT_EQ(marks, c.marks) << "case " << &c - cases;
    }
    TypingPace pace;
    for (int i = 0; i < 200; ++i) pace.edited(10);
    EXPECT_EQ(pace.beforeText(10), TypingPace::kLongestSeconds);
}

// A key of no character goes only where a character beyond the basic plane follows one of it
// ("☕🍰", a joiner and the next person): never between two emoji, nor after a newline.
TEST(TypingPaceTest, BreaksATextOnlyBeforeWideCharactersAfterNarrowOnes) {
    const struct {
        char32_t previous, next;
        bool breaks;
    } cases[] = {
        {U'☕', U'🍰', true},    {0x200D, U'👩', true},   {U'a', U'😄', true},   {U' ', U'👋', true},
        {U'👨', 0x200D, false}, {U'👋', U'🙂', false}, {U'\r', U'😄', false}, {U'a', U'é', false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TypingPace::breaksBetween(c.previous, c.next), c.breaks) << "case " << &c - cases;
    }
}

}  // namespace
}  // namespace mosaiko
