#include <gtest/gtest.h>

#include <thread>

#include "platform/Text.hpp"

namespace mosaiko {
namespace {

TEST(TextCharacters, PlainAsciiSplitsLikeAnyOtherText) {
    EXPECT_EQ(text::characters("a\r\nb\n\r"), (std::vector<std::string>{"a", "\r\n", "b", "\n", "\r"}));
    EXPECT_EQ(text::characterCount("a\r\nb\n\r"), 5u);
    EXPECT_EQ(text::characters("e\u0301\U0001F44D\U0001F3FBx"),
              (std::vector<std::string>{"e\u0301", "\U0001F44D\U0001F3FB", "x"}));
    EXPECT_EQ(text::lowercased("Hello, WORLD-42"), "hello, world-42");
    EXPECT_EQ(text::nfc("plain"), "plain");
}

TEST(TextCharacters, BoundariesFallBetweenWholeCharactersOnly) {
    const std::string accented = "e\u0301x";  // e, combining acute (2 bytes), x
    EXPECT_TRUE(text::isCharacterBoundary(accented, 0));
    EXPECT_FALSE(text::isCharacterBoundary(accented, 1));
    EXPECT_FALSE(text::isCharacterBoundary(accented, 2));  // inside the accent's bytes
    EXPECT_TRUE(text::isCharacterBoundary(accented, 3));
    EXPECT_TRUE(text::isCharacterBoundary(accented, 4));
    EXPECT_FALSE(text::isCharacterBoundary(accented, 5));

    const std::string toned = "\U0001F44D\U0001F3FB!";
    EXPECT_FALSE(text::isCharacterBoundary(toned, 4));
    EXPECT_TRUE(text::isCharacterBoundary(toned, 8));
    EXPECT_FALSE(text::isCharacterBoundary("a\r\nb", 2));
    EXPECT_TRUE(text::isCharacterBoundary("a\r\nb", 3));
    EXPECT_TRUE(text::isCharacterBoundary("caf\u00E9", 3));

    EXPECT_EQ(text::firstScalar("\u00E9t\u00E9"), U'\u00E9');
    EXPECT_EQ(text::firstScalar(""), U'\0');
    EXPECT_EQ(text::firstScalar("\xFFok"), U'\uFFFD');
}

TEST(TextCharacters, EveryThreadSplitsIndependently) {
    std::vector<std::thread> threads;
    std::vector<int> correct(4, 0);
    for (std::size_t t = 0; t < correct.size(); ++t) {
        threads.emplace_back([&correct, t] {
            bool ok = true;
            for (int i = 0; i < 2000; ++i) {
                ok = ok && text::characters("\u00E9\U0001F1EF\U0001F1F5e\u0301").size() == 3;
                ok = ok && !text::isCharacterBoundary("e\u0301", 1);
            }
            correct[t] = ok ? 1 : 0;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(correct, std::vector<int>(4, 1));
}

}  // namespace
}  // namespace mosaiko
