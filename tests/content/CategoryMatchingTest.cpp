#include <gtest/gtest.h>

#include "content/EmojiDatabase.hpp"
#include "content/SearchTestSupport.hpp"

namespace mosaiko {
namespace {

using namespace testing_support;
using Ids = std::vector<std::string>;

TEST(CategoryKeys, AreLowercaseWordsWithoutAnd) {
    EXPECT_EQ(CategoryIndex::normalizeKey("Smileys & Emotion"), "smileys emotion");
    EXPECT_EQ(CategoryIndex::normalizeKey("Food and Drink"), "food drink");
    EXPECT_EQ(CategoryIndex::normalizeKey("  --Travel--&--Places!! "), "travel places");
    EXPECT_EQ(CategoryIndex::normalizeKey("Band AND Android"), "band android");
    EXPECT_EQ(CategoryIndex::normalizeKey("&"), "");
    EXPECT_EQ(CategoryIndex::normalizeKey("Caf\u00E9 Stra\u00DFe"), "caf\u00E9 stra\u00DFe");
}

class CategoryMatching : public ::testing::Test {
  protected:
    EmojiDatabase db{
        {makeEntry("grin", "grin", {}, {}, "Smileys & Emotion"),
         makeEntry("wave", "wave", {}, {}, "People & Body"),
         makeEntry("cat", "cat", {}, {}, "Animals & Nature"),
         makeEntry("apple", "apple", {}, {}, "Food & Drink"),
         makeEntry("plane", "plane", {}, {}, "Travel & Places"), makeEntry("trap", "trap", {}, {}, "Traps"),
         makeEntry("ball", "ball", {}, {}, "Parties"), makeEntry("fly", "fly", {}, {}, "Fly"),
         makeEntry("sign", "sign", {}, {}, "Symbols"), makeEntry("joy", "joy", {}, {}, "Smileys & Emotion"),
         makeEntry("blank", "blank", {}, {}, "&")},
        {},
        kSystem14};

    Ids category(const std::string& query) const {
        const auto entries = db.categoryEntries(query);
        return entries ? ids(*entries) : Ids{"<none>"};
    }
};

TEST_F(CategoryMatching, NamesAndAliasesFindTheirCategoryInListOrder) {
    for (const char* query :
         {"Smiley", "smileys", "emotion", "EMOTIONS", "smileys & emotion", " Smileys and Emotion "}) {
        EXPECT_EQ(category(query), (Ids{"grin", "joy"})) << query;
    }
    EXPECT_EQ(category("food & drink"), Ids{"apple"});
    EXPECT_EQ(category("drinks"), Ids{"apple"});
    EXPECT_EQ(category("animal"), Ids{"cat"});
    EXPECT_EQ(category("person"), Ids{"wave"});
    EXPECT_EQ(category("place"), Ids{"plane"});
    // Plural and singular forms: party tries partys and parties; flies tries flie and fly.
    EXPECT_EQ(category("party"), Ids{"ball"});
    EXPECT_EQ(category("flies"), Ids{"fly"});
    EXPECT_EQ(category("trap"), Ids{"trap"});
}

TEST_F(CategoryMatching, APrefixOfThreeOrMoreCharactersMustStartExactlyOneCategory) {
    EXPECT_EQ(category("sym"), Ids{"sign"});
    EXPECT_EQ(category("Symb"), Ids{"sign"});
    EXPECT_EQ(category("ani"), Ids{"cat"});
    // "tra" starts both "traps" and "travel places".
    EXPECT_EQ(category("tra"), Ids{"<none>"});
    EXPECT_EQ(category("sy"), Ids{"<none>"});
    EXPECT_EQ(category("s"), Ids{"<none>"});
    EXPECT_EQ(category("   "), Ids{"<none>"});
    EXPECT_EQ(category("&!?"), Ids{"<none>"});
    EXPECT_EQ(category("unknown"), Ids{"<none>"});
}

TEST_F(CategoryMatching, SnippetsAreAlsoFiledUnderShortcodes) {
    EXPECT_EQ(category("shortcodes"), Ids{"<none>"});
    db.setExtraEmojis({makeEntry("snippet-1", "Sig", {"sig"}, {}, "Snippets"),
                       makeEntry("glyph-x", "x", {}, {}, "Glyphs"),
                       makeEntry("snippet-2", "Addr", {"addr"}, {}, "Snippets")});
    EXPECT_EQ(category("shortcode"), (Ids{"snippet-1", "snippet-2"}));
    EXPECT_EQ(category("Snippets"), (Ids{"snippet-1", "snippet-2"}));
    EXPECT_EQ(category("glyph"), Ids{"glyph-x"});
    db.setExtraEmojis({});
    EXPECT_EQ(category("shortcodes"), Ids{"<none>"});
}

}  // namespace
}  // namespace mosaiko
