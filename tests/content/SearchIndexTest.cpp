#include <gtest/gtest.h>

#include "content/EmojiDatabase.hpp"
#include "content/SearchQuery.hpp"
#include "content/SearchTestSupport.hpp"
#include "content/SearchText.hpp"

namespace mosaiko {
namespace {

using namespace testing_support;
using Keyword = IndexedEmoji::IndexedKeyword;
using Keywords = std::vector<Keyword>;

Keywords keywordsOf(std::vector<std::string> keywords, std::vector<std::string> shortcodes = {},
                    std::string name = "") {
    return IndexedEmoji::expandedKeywords(
        makeEntry("x", std::move(name), std::move(shortcodes), std::move(keywords)));
}

TEST(SearchIndex, RowsHoldLowercasedNamesAndShortcodesAndOrderedKeywords) {
    EmojiDatabase db({makeEntry("grinning", "Grinning Face", {"Grinning", "grinning"}, {"smile", "happy"})},
                     {}, kSystem14);
    ASSERT_EQ(db.index().size(), 1u);
    const auto& row = db.index()[0];
    EXPECT_EQ(row.entry().id, "grinning");
    EXPECT_EQ(row.name, "grinning face");
    EXPECT_EQ(row.shortcodes, (std::vector<std::string>{"grinning", "grinning"}));
    EXPECT_EQ(row.keywords, (Keywords{{"face", 0},
                                      {"grinning", 0},
                                      {"happy", 0},
                                      {"smile", 0},
                                      {"grinn", 120},
                                      {"cheerful", 900},
                                      {"grin", 900},
                                      {"joy", 900},
                                      {"smiling", 900}}));
}

TEST(SearchIndex, KeywordsSplitAtSeparatorsDropStopWordsAndShortTokensAndKeepTheLowestPenalty) {
    EXPECT_EQ(keywordsOf({"thumbs-up"}),
              (Keywords{{"thumbs", 0}, {"thumbs-up", 0}, {"up", 0}, {"thumb", 120}}));
    EXPECT_EQ(keywordsOf({"The Cat"}), (Keywords{{"cat", 0}, {"feline", 900}, {"kitty", 900}}));
    // "smile" is related to "happy" but also an own token.
    EXPECT_EQ(keywordsOf({"happy", "smile"}), (Keywords{{"happy", 0},
                                                        {"smile", 0},
                                                        {"cheerful", 900},
                                                        {"grin", 900},
                                                        {"grinning", 900},
                                                        {"joy", 900},
                                                        {"smiling", 900}}));
    // A deinflected form that is also an own token stays at 0; one that is a related word drops to 120.
    EXPECT_EQ(keywordsOf({"cats", "cat"}),
              (Keywords{{"cat", 0}, {"cats", 0}, {"feline", 900}, {"kitty", 900}}));
    EXPECT_EQ(keywordsOf({"happy", "grins"}), (Keywords{{"grins", 0},
                                                        {"happy", 0},
                                                        {"grin", 120},
                                                        {"cheerful", 900},
                                                        {"grinning", 900},
                                                        {"joy", 900},
                                                        {"smile", 900},
                                                        {"smiling", 900}}));
    EXPECT_EQ(keywordsOf({"laughers"}), (Keywords{{"laughers", 0},
                                                  {"laugh", 120},
                                                  {"laugher", 120},
                                                  {"funny", 900},
                                                  {"haha", 900},
                                                  {"joy", 900},
                                                  {"laughing", 900},
                                                  {"laughter", 900},
                                                  {"lol", 900},
                                                  {"rofl", 900}}));
    // "+1" normalizes to the one-character token 1, which is not indexed.
    EmojiDatabase db({makeEntry("thumbsup", "thumbs up", {"+1", "thumbsup"}, {"approve", "ok"})}, {},
                     kSystem14);
    const auto& row = db.index()[0];
    EXPECT_EQ(row.shortcodes, (std::vector<std::string>{"+1", "thumbsup"}));
    for (const auto& keyword : row.keywords) EXPECT_NE(keyword.term, "1");
    EXPECT_EQ(keywordsOf({"of", "a", "x", "and"}), Keywords{});
}

TEST(SearchIndex, EveryRebuildGivesTheRowsAFreshBuildWouldGive) {
    EmojiDatabase db(shippedBundle(), {99, 0, 0});
    const auto arrow = makeEntry("glyph-arrow", "Rightwards arrow", {"rarr"}, {"arrow", "right"});
    auto expectFreshRows = [&] {
        const auto base = db.baseEmojis();
        const EmojiDatabase fresh(listOf(base), listOf(db.extraEmojis()), {99, 0, 0});
        EXPECT_EQ(db.index(), fresh.index());
        ASSERT_EQ(db.index().size(), db.emojis().size());
        // Rows taken over from the previous index refer to the entries of the list now stored.
        for (std::size_t i = 0; i < db.emojis().size(); ++i) ASSERT_EQ(&db.entryAtRow(i), &db.emojis()[i]);
    };
    db.setExtraEmojis({arrow});
    db.setExtraEmojis({arrow});
    expectFreshRows();

    // An entry that keeps its id but changes gets a new row.
    auto changed = arrow;
    changed.keywords = {"pointer"};
    changed.shortcodes = {"RARR", "to"};
    db.setExtraEmojis({makeEntry("glyph-up", "Up arrow"), changed});
    expectFreshRows();
    EXPECT_EQ(db.index().back().shortcodes, (std::vector<std::string>{"rarr", "to"}));
    EXPECT_EQ(ids(db.search("pointer", 5)), std::vector<std::string>{"glyph-arrow"});
}

TEST(SearchIndex, RowsKeepTheirTextsAsWrittenAndAreSearchedInCanonicalForm) {
    // The same words, one entry written decomposed and one composed: equal scores, rows as written.
    EmojiDatabase db({makeEntry("d", "Cre\u0300me bru\u0302le\u0301e", {"cre\u0300me"}, {"de\u0301licieux"}),
                      makeEntry("c", "Cr\u00E8me br\u00FBl\u00E9e", {"cr\u00E8me"}, {"d\u00E9licieux"})},
                     {}, kSystem14);
    EXPECT_EQ(db.index()[0].name, "cre\u0300me bru\u0302le\u0301e");
    EXPECT_EQ(db.index()[0].shortcodes, std::vector<std::string>{"cre\u0300me"});
    for (const auto* query : {"cr\u00E8me", "de\u0301lic", "br\u00FBl\u00E9e"}) {
        const auto found = db.matches(query, 5);
        ASSERT_EQ(found.size(), 2u) << query;
        EXPECT_EQ(found[0].score, found[1].score) << query;
    }
}

TEST(SearchIndexTokens, NormalizationKeepsLettersNumbersAndSingleInnerSeparators) {
    EXPECT_EQ(search_text::normalizeSearchToken("thumbs - up"), "thumbs-up");
    EXPECT_EQ(search_text::normalizeSearchToken("__Sweat__-Smile++"), "sweat_smile");
    EXPECT_EQ(search_text::normalizeSearchToken("+1"), "1");
    EXPECT_EQ(search_text::normalizeSearchToken("C++"), "c");
    EXPECT_EQ(search_text::normalizeSearchToken("!!!"), "");
    EXPECT_EQ(search_text::normalizeSearchToken("\U0001F600 ok"), "ok");
    // Whole characters: an accent stays with its letter (and is composed); Greek capitals lowercase.
    EXPECT_EQ(search_text::normalizeSearchToken("Cafe\u0301!"), "caf\u00E9");
    EXPECT_EQ(search_text::normalizeSearchToken("ΣΟΦΙΑ"), "σοφια");

    EXPECT_EQ(search_text::normalizedTokenCandidates("Thumbs-Up, OK! a_b +1 thumbs-up"),
              (std::vector<std::string>{"thumbs-up", "thumbs", "up", "ok", "a_b", "1"}));
    EXPECT_EQ(search_text::normalizedTokenCandidates("x-ray_vision"),
              (std::vector<std::string>{"x-ray_vision", "ray", "vision"}));
    EXPECT_TRUE(search_text::normalizedTokenCandidates(" ... ").empty());
    // Plain ASCII and text with other scripts split alike, a line break between words included.
    EXPECT_EQ(search_text::normalizedTokenCandidates("Big\r\nSmile-x"),
              (std::vector<std::string>{"big", "smile-x", "smile"}));
    EXPECT_EQ(search_text::normalizedTokenCandidates("Grüße\r\nSmile-x"),
              (std::vector<std::string>{"grüße", "smile-x", "smile"}));
}

TEST(SearchIndexTokens, DeinflectionStripsCommonEnglishEndings) {
    using Forms = std::vector<std::string>;
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("flies"), (Forms{"fli", "fly"}));
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("toes"), (Forms{"toe"}));
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("ties"), (Forms{"tie"}));
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("running"), (Forms{"runn"}));
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("sing"), Forms{});
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("jumped"), (Forms{"jump"}));
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("makers"), (Forms{"mak", "maker"}));
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("baker"), (Forms{"bak"}));
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("boxes"), (Forms{"box"}));
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("bus"), Forms{});
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("abs"), Forms{});
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("eyes"), (Forms{"eye"}));
    // Lengths count characters, not bytes.
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("\u00E9es"), Forms{});
    EXPECT_EQ(IndexedEmoji::deinflectedTokens("caf\u00E9s"), (Forms{"caf\u00E9"}));
}

}  // namespace
}  // namespace mosaiko
