#include "picker/EmojiInserter.hpp"

#include <gtest/gtest.h>

#include "picker/FakeEventPoster.hpp"
#include "platform/KeyEvent.hpp"

namespace mosaiko {
namespace {

TEST(EmojiInserter, PostsDeletePairsThenOneTextPairAllMarked) {
    testing::FakeEventPoster poster;
    auto inserter = poster.makeInserter();
    // Family: man, woman, girl joined by zero-width joiners; outside the BMP, so surrogate pairs.
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    ASSERT_TRUE(inserter.insert(family, 2));

    ASSERT_EQ(poster.posted.size(), 6u);
    const std::vector<std::pair<std::uint16_t, bool>> expected = {{51, true},  {51, false}, {51, true},
                                                                  {51, false}, {0, true},   {0, false}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(poster.posted[i].keyCode, expected[i].first) << i;
        EXPECT_EQ(poster.posted[i].keyDown, expected[i].second) << i;
        EXPECT_EQ(poster.posted[i].flags, 0u) << i;
        EXPECT_EQ(poster.posted[i].userData, 0x4D534B4F) << i;
    }
    const std::u16string units = u"\U0001F468\u200D\U0001F469\u200D\U0001F467";
    EXPECT_EQ(units.size(), 8u);
    EXPECT_EQ(poster.posted[4].unicodeString, units);
    EXPECT_EQ(poster.posted[5].unicodeString, units);
    EXPECT_TRUE(poster.posted[0].unicodeString.empty());
}

TEST(EmojiInserter, EmptyTextOrNoDeletesPostOnlyWhatIsAsked) {
    testing::FakeEventPoster poster;
    auto inserter = poster.makeInserter();
    EXPECT_TRUE(inserter.insert("", 3));
    EXPECT_EQ(poster.posted.size(), 6u);
    EXPECT_EQ(poster.deletePresses(), 3);
    EXPECT_TRUE(poster.texts().empty());

    poster.clear();
    EXPECT_TRUE(inserter.insert("(ツ)", 0));
    EXPECT_EQ(poster.posted.size(), 2u);
    EXPECT_EQ(poster.texts(), std::vector<std::string>{"(ツ)"});

    poster.clear();
    EXPECT_TRUE(inserter.insert("x", -4));
    EXPECT_EQ(poster.posted.size(), 2u);
    EXPECT_TRUE(inserter.insert("", 0));
    EXPECT_EQ(poster.posted.size(), 2u);
}

TEST(EmojiInserter, AnEventThatCannotBeCreatedPostsNothingAndReportsFailure) {
    for (int failing : {0, 3, 4, 5}) {  // first Delete down, second Delete up, text down, text up
        testing::FakeEventPoster poster;
        poster.failingCreations = {failing};
        auto inserter = poster.makeInserter();
        EXPECT_FALSE(inserter.insert("\U0001F600", 2)) << failing;
        EXPECT_TRUE(poster.posted.empty()) << failing;
    }
}

TEST(EmojiInserter, PlainFactoryAlwaysCreates) {
    std::vector<SyntheticKeyEvent> posted;
    EmojiInserter inserter([&](const SyntheticKeyEvent& e) { posted.push_back(e); });
    EXPECT_TRUE(inserter.insert("a", 1));
    ASSERT_EQ(posted.size(), 4u);
    EXPECT_EQ(posted[2].unicodeString, u"a");
    EXPECT_EQ(posted[3].userData, kEventMarker);
}

}  // namespace
}  // namespace mosaiko
