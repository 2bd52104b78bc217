#include "picker/EmojiInserter.hpp"

#include <gtest/gtest.h>

#include "picker/FakeEventPoster.hpp"
#include "platform/KeyEvent.hpp"

namespace mosaiko {
namespace {

TEST(EmojiInserter, DeletePairsThenOneMarkedTextPair) {
    testing::FakeEventPoster poster;
    auto inserter = poster.makeInserter();
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // joiners, beyond the BMP
    ASSERT_TRUE(inserter.insert(family, 2));
    ASSERT_EQ(poster.posted.size(), 6u);
    const std::pair<std::uint16_t, bool> order[] = {{51, true},  {51, false}, {51, true},
                                                    {51, false}, {0, true},   {0, false}};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(std::pair(poster.posted[i].keyCode, poster.posted[i].keyDown), order[i]) << i;
        EXPECT_EQ(poster.posted[i].flags, 0u) << i;
        EXPECT_EQ(poster.posted[i].userData, kEventMarker) << i;
        EXPECT_EQ(poster.posted[i].startsInsertion, i == 0) << i;
    }
    const std::u16string units = u"\U0001F468\u200D\U0001F469\u200D\U0001F467";  // surrogate pairs
    EXPECT_EQ(poster.posted[4].unicodeString, units);
    EXPECT_EQ(poster.posted[5].unicodeString, units);

    poster.clear();
    EXPECT_TRUE(inserter.insert("", 3));
    EXPECT_EQ(poster.deletePresses(), 3);
    EXPECT_EQ(poster.posted.size(), 6u) << "no text event for an empty text";
    poster.clear();
    EXPECT_TRUE(inserter.insert("(ツ)", -1));
    EXPECT_EQ(poster.posted.size(), 2u);
}

TEST(EmojiInserter, AnEventThatCannotBeCreatedPostsNothing) {
    for (int failing : {0, 3, 4, 5}) {  // first Delete down, second Delete up, text down, text up
        testing::FakeEventPoster poster;
        poster.failingCreations = {failing};
        EXPECT_FALSE(poster.makeInserter().insert("\U0001F600", 2)) << failing;
        EXPECT_TRUE(poster.posted.empty()) << failing;
    }
}

}  // namespace
}  // namespace mosaiko
