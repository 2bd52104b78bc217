#include "platform/x11/TypingPace.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mosaiko {
namespace {

// Where typing lets the client catch up, as the poster asks: "⌫" is an editing key, "t" a text.
// The marks: "w" for a text that waits for the client's signs first, "_" for one that does not.
TEST(TypingPaceTest, WaitsAfterEditingKeysBeforeTheText) {
    const struct {
        std::string keys;
        std::string marks;
    } cases[] = {
        {"tt", "__"},       // no editing key
        {"⌫⌫⌫⌫t", "w"},     // a search erased, then its emoji
        {"⌫t⌫⌫tt", "ww_"},  // each run of BackSpaces on its own, the text after a text not
    };
    for (const auto& c : cases) {
        TypingPace pace;
        std::string marks;
        for (std::size_t i = 0; i < c.keys.size();) {
            if (c.keys.compare(i, 3, "⌫") == 0) {
                pace.edited();
                i += 3;
            } else {
                marks += pace.beforeText() ? "w" : "_";
                ++i;
            }
        }
        EXPECT_EQ(marks, c.marks) << "case " << &c - cases;
    }
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
