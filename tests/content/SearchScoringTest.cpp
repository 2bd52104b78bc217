#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "content/EmojiDatabase.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/GlyphCatalog.hpp"
#include "content/SearchQuery.hpp"
#include "content/SearchTestSupport.hpp"
#include "content/SearchText.hpp"
#include "platform/Text.hpp"

namespace mosaiko {
namespace {

using namespace testing_support;
using Terms = std::vector<SearchTerm>;

std::vector<std::pair<std::string, std::int64_t>> scored(const std::vector<EmojiDatabase::Match>& matches) {
    std::vector<std::pair<std::string, std::int64_t>> result;
    for (const auto& match : matches) result.emplace_back(match.entry.id, match.score);
    return result;
}

class BuiltInEntries : public ::testing::Test {
  protected:
    EmojiDatabase db{AppBundle(std::nullopt), kSystem14};
};

TEST_F(BuiltInEntries, WorkedExamplesScoreAsDocumented) {
    // love: the keyword equals the term (9200; the synonym heart reaches only 10000 - 1000), plus the
    // bonus of the canonical entry for love.
    const auto love = db.matches("love", 10);
    ASSERT_FALSE(love.empty());
    EXPECT_EQ(love.front().entry.id, "heart");
    EXPECT_EQ(love.front().score, 10400);
    EXPECT_EQ(scored(db.matches("  LOVE \n", 10)), scored(love));

    // thumbs 9480 (shortcode prefix) + up 9200 (keyword) + name contains the whole query 2500 / 5.
    EXPECT_EQ(scored(db.matches("thumbs up", 10)),
              (std::vector<std::pair<std::string, std::int64_t>>{{"thumbsup", 19180}}));
    // The whole query is a term of its own and equals the shortcode.
    EXPECT_EQ(scored(db.matches("+1", 10)),
              (std::vector<std::pair<std::string, std::int64_t>>{{"thumbsup", 10000}}));
    // Every word must match.
    EXPECT_TRUE(db.search("thumbs zzz", 10).empty());
    EXPECT_EQ(ids(db.search("red heart", 10)), std::vector<std::string>{"heart"});
}

TEST_F(BuiltInEntries, QueriesWithoutTokensFindNothingButAnEmptyQueryListsTheFirstEntries) {
    EXPECT_TRUE(db.search("!!!", 10).empty());
    EXPECT_TRUE(db.search("\U0001F600", 10).empty());
    EXPECT_EQ(ids(db.search("", 2)), (std::vector<std::string>{"grinning", "thumbsup"}));
    EXPECT_EQ(ids(db.search(" \t\n", 10)), (std::vector<std::string>{"grinning", "thumbsup", "heart"}));
    EXPECT_TRUE(db.search("", 0).empty());
    EXPECT_TRUE(db.search("love", -1).empty());
    EXPECT_EQ(db.search("love", 1).size(), 1u);
}

TEST(SearchQueryTerms, MisspellingsAndSynonymsExpandTheQuery) {
    const Terms suprise = SearchQuery::searchTerms("suprise");
    EXPECT_EQ(suprise, (Terms{{"suprise", 0},
                              {"surprise", 120},
                              {"amazed", 940},
                              {"astonished", 940},
                              {"gasp", 940},
                              {"shock", 940},
                              {"shocked", 940},
                              {"surprised", 940},
                              {"wow", 940}}));
    EXPECT_EQ(SearchQuery::searchTerms("surprise"), (Terms{{"surprise", 0},
                                                           {"amazed", 820},
                                                           {"astonished", 820},
                                                           {"gasp", 820},
                                                           {"shock", 820},
                                                           {"shocked", 820},
                                                           {"surprised", 820},
                                                           {"wow", 820}}));
    // The text itself and its normalized token; no expansion for a text with whitespace.
    EXPECT_EQ(SearchQuery::searchTerms("+1"), (Terms{{"+1", 0}, {"1", 0}}));
    EXPECT_EQ(SearchQuery::searchTerms("thumbs up"), (Terms{{"thumbs up", 0}}));
    EXPECT_EQ(SearchQuery::searchTerms("love").back(), (SearchTerm{"romance", 1000}));
    EXPECT_EQ(SearchQuery::queryTokens("  Thumbs  UP thumbs, up!"),
              (std::vector<std::string>{"thumbs", "up"}));
    EXPECT_TRUE(SearchQuery::queryTokens("!!! \U0001F600").empty());
}

TEST(SearchPinAliases, AnAliasFindsItsEntryLikeAShortcodeAndTheBetterScoreCounts) {
    EmojiDatabase db(
        {makeEntry("a", "alpha", {"zebra"}), makeEntry("b", "beta", {}, {"cat"}), makeEntry("c", "gamma")},
        {}, kSystem14);
    const EmojiDatabase::ExtraSearchTerms aliases{
        {"a", {"zebras"}}, {"b", {"big cat"}}, {"c", {"Zebra-Crossing"}}, {"unknown", {"zebra"}}};
    using Scores = std::vector<std::pair<std::string, std::int64_t>>;
    // a: its shortcode (10000) beats its alias (prefix, 9490); c: only its alias (zebra is a piece of
    // zebra-crossing, 10000; the whole candidate is a prefix match).
    EXPECT_EQ(scored(db.matches("zebra", 10, SearchSortPriority::emojiFirst, {}, aliases)),
              (Scores{{"a", 10000}, {"c", 10000}}));
    EXPECT_EQ(scored(db.matches("zebras", 10, SearchSortPriority::emojiFirst, {}, aliases)),
              (Scores{{"a", 10000}}));
    // b matches "big" only through its alias, so only the alias can make it match: 10000 + 10000.
    EXPECT_EQ(scored(db.matches("big cat", 10, SearchSortPriority::emojiFirst, {}, aliases)),
              (Scores{{"b", 20000}}));
    EXPECT_EQ(scored(db.matches("big cat", 10)), Scores{});
}

TEST(SearchOrder, PrioritizedThenScoreThenKindThenNameThenListOrder) {
    EmojiDatabase db(
        {makeEntry("zstar", "C star", {"star"}), makeEntry("astar", "D star", {"star"}),
         makeEntry("later", "Same", {"star"}), makeEntry("earlier", "Same", {"star"})},
        {makeEntry("glyph-star", "A star", {"star"}), makeEntry("emoticon-star", "B star", {"star"}),
         makeEntry("snippet-star", "a star", {"star"}), makeEntry("starfish", "starfish", {"starfish"})},
        kSystem14);
    using Ids = std::vector<std::string>;
    EXPECT_EQ(ids(db.search("star", 20)), (Ids{"zstar", "astar", "later", "earlier", "snippet-star",
                                               "emoticon-star", "glyph-star", "starfish"}));
    EXPECT_EQ(ids(db.search("star", 20, SearchSortPriority::emoticonsFirst)),
              (Ids{"emoticon-star", "zstar", "astar", "later", "earlier", "snippet-star", "glyph-star",
                   "starfish"}));
    EXPECT_EQ(
        ids(db.search("star", 3, SearchSortPriority::emojiFirst, {"starfish", "glyph-star", "nothing"})),
        (Ids{"glyph-star", "starfish", "zstar"}));

    using Preference = SearchIndex::SortPreference;
    const auto glyph = makeEntry("glyph-a", "a");
    const auto emoticon = makeEntry("emoticon-a", "a");
    const auto emoji = makeEntry("a", "a");
    EXPECT_EQ(SearchIndex::prefersFirstBySortPriority(glyph, emoticon, SearchSortPriority::emoticonsFirst),
              Preference::second);
    EXPECT_EQ(SearchIndex::prefersFirstBySortPriority(emoticon, emoji, SearchSortPriority::emojiFirst),
              Preference::second);
    EXPECT_EQ(SearchIndex::prefersFirstBySortPriority(emoticon, emoji, SearchSortPriority::emoticonsFirst),
              Preference::first);
    EXPECT_EQ(SearchIndex::prefersFirstBySortPriority(emoji, makeEntry("snippet-a", "a"),
                                                      SearchSortPriority::emojiFirst),
              Preference::undecided);
}

// The row rule that the equivalence test below takes as its reference, checked line by line.
TEST(SearchRowScore, ATermScoresItsBestShortcodeOrKeywordMatchElseTheName) {
    using Keyword = IndexedEmoji::IndexedKeyword;
    EmojiDatabase::IndexedEmoji row;
    row.name = "waving hand sign";
    row.shortcodes = {"wave", std::string(600, 'q') + "tail"};
    row.keywords = {Keyword{"hello", 0}, Keyword{"greeting", 120}, Keyword{"salutation", 900},
                    Keyword{std::string(450, 'z') + "far", 0}, Keyword{"handwave", 9000}};
    using Score = std::optional<std::int64_t>;

    // Shortcodes: equal, prefix (10 per extra character, at most 2500 off), contained (5 per extra
    // character, at most 2500 off). "handwave" matches too, but its penalty leaves it nothing.
    EXPECT_EQ(row.score("wave"), Score{10000});
    EXPECT_EQ(row.score("wav"), Score{9490});
    EXPECT_EQ(row.score("av"), Score{7490});
    EXPECT_EQ(row.score("qqq"), Score{7000});
    EXPECT_EQ(row.score("tail"), Score{5000});

    // Keywords: equal, prefix (at most 2000 off), contained (at most 2000 off), less their penalty.
    EXPECT_EQ(row.score("hello"), Score{9200});
    EXPECT_EQ(row.score("greeting"), Score{9080});
    EXPECT_EQ(row.score("greet"), Score{5050});
    EXPECT_EQ(row.score("eting"), Score{3065});
    EXPECT_EQ(row.score("sal"), Score{4230});
    EXPECT_EQ(row.score("zz"), Score{3200});
    EXPECT_EQ(row.score("far"), Score{1200});

    // A keyword match worth nothing still counts, so the name ("hand") is not tried.
    EXPECT_EQ(row.score("hand"), Score{0});
    EXPECT_EQ(row.score("sign"), Score{2500});
    EXPECT_EQ(row.score("xyz"), Score{});
    EXPECT_EQ(row.score("Hello"), Score{});
}

TEST(SearchMatching, TextsCompareAsWholeCanonicallyEquivalentCharacters) {
    EmojiDatabase db(
        {makeEntry("composed", "one", {}, {"caf\u00E9"}), makeEntry("decomposed", "two", {}, {"cafe\u0301"}),
         makeEntry("plain", "three", {}, {"cafeteria"})},
        {}, kSystem14);
    using Ids = std::vector<std::string>;
    EXPECT_EQ(ids(db.search("caf\u00E9", 10)), (Ids{"composed", "decomposed"}));
    EXPECT_EQ(ids(db.search("CAFE\u0301", 10)), (Ids{"composed", "decomposed"}));
    // "e" is not the accented letter, nor part of it.
    EXPECT_EQ(ids(db.search("cafe", 10)), Ids{"plain"});
    EXPECT_EQ(db.matches("caf", 10).front().score, 5190);
}

// The scoring rule applied to every row one term at a time, as plainly as it can be written; the
// database must give the same matches, scores and order.
class ReferenceSearch {
  public:
    explicit ReferenceSearch(const EmojiDatabase& db) : rows_(db.index().all()) {}

    std::vector<std::pair<std::string, std::int64_t>> run(
        const std::string& query, SearchSortPriority priority, const std::set<std::string>& prioritized,
        const EmojiDatabase::ExtraSearchTerms& extras) const {
        const auto q = text::lowercased(text::trimmed(query));
        std::vector<std::pair<std::int64_t, const EmojiEntry*>> found;
        for (const auto& row : rows_) {
            auto s1 = byTokens(q, [&](const Terms& terms) { return bestScore(row, terms); });
            if (s1) {
                static const std::map<std::string, std::map<std::string, std::int64_t>> boosts{
                    {"love", {{"heart", 1200}}}, {"laugh", {{"joy", 900}}}, {"cry", {{"joy", 450}}}};
                if (auto b = boosts.find(q); b != boosts.end() && b->second.contains(row.entry().id)) {
                    *s1 += b->second.at(row.entry().id);
                }
            }
            std::optional<std::int64_t> s2;
            if (auto extra = extras.find(row.entry().id); extra != extras.end())
                s2 = extraScore(extra->second, q);
            if (!s1 && !s2) continue;
            found.emplace_back(std::max(s1.value_or(-1), s2.value_or(-1)), &row.entry());
        }
        std::stable_sort(found.begin(), found.end(), [&](const auto& a, const auto& b) {
            const bool ap = prioritized.contains(a.second->id), bp = prioritized.contains(b.second->id);
            if (ap != bp) return ap;
            if (a.first != b.first) return a.first > b.first;
            const auto preference = SearchIndex::prefersFirstBySortPriority(*a.second, *b.second, priority);
            if (preference != SearchIndex::SortPreference::undecided) {
                return preference == SearchIndex::SortPreference::first;
            }
            return text::canonicalCompare(a.second->name, b.second->name) < 0;
        });
        std::vector<std::pair<std::string, std::int64_t>> result;
        for (const auto& [score, entry] : found) result.emplace_back(entry->id, score);
        return result;
    }

  private:
    static std::optional<std::int64_t> bestScore(const EmojiDatabase::IndexedEmoji& row, const Terms& terms) {
        std::optional<std::int64_t> best;
        for (const auto& term : terms) {
            if (const auto score = row.score(term.term))
                best = std::max(best.value_or(0), std::max<std::int64_t>(0, *score - term.penalty));
        }
        return best;
    }

    template <class Best>
    static std::optional<std::int64_t> byTokens(const std::string& q, Best best) {
        const auto tokens = SearchQuery::queryTokens(q);
        if (tokens.empty()) return std::nullopt;
        if (tokens.size() == 1) return best(SearchQuery::searchTerms(q));
        std::int64_t sum = 0;
        for (const auto& token : tokens) {
            const auto score = best(SearchQuery::searchTerms(token));
            if (!score) return std::nullopt;
            sum += *score;
        }
        if (const auto whole = best(SearchQuery::searchTerms(q))) sum += *whole / 5;
        return sum;
    }

    // Aliases in these tests are plain ASCII, so byte comparisons are character comparisons.
    static std::optional<std::int64_t> extraScore(const std::vector<std::string>& texts,
                                                  const std::string& q) {
        std::vector<std::string> candidates;
        for (const auto& extraText : texts) {
            for (const auto& candidate : search_text::normalizedTokenCandidates(extraText)) {
                if (std::find(candidates.begin(), candidates.end(), candidate) == candidates.end()) {
                    candidates.push_back(candidate);
                }
            }
        }
        if (candidates.empty()) return std::nullopt;
        return byTokens(q, [&](const Terms& terms) {
            std::optional<std::int64_t> best;
            for (const auto& term : terms) {
                for (const auto& candidate : candidates) {
                    const auto d = static_cast<std::int64_t>(candidate.size()) -
                                   static_cast<std::int64_t>(term.term.size());
                    std::int64_t value;
                    if (candidate == term.term) {
                        value = 10000;
                    } else if (candidate.starts_with(term.term)) {
                        value = 9500 - std::min<std::int64_t>(10 * d, 2500);
                    } else if (candidate.find(term.term) != std::string::npos) {
                        value = 7500 - std::min<std::int64_t>(5 * d, 2500);
                    } else {
                        continue;
                    }
                    best = std::max(best.value_or(0), std::max<std::int64_t>(0, value - term.penalty));
                }
            }
            return best;
        });
    }

    const std::vector<EmojiDatabase::IndexedEmoji> rows_;
};

std::vector<std::string> sampleQueries(const EmojiDatabase& db) {
    auto queries = text::split(
        "a|e|lo|love|laugh|cry|smile|smiling|suprise|surprized|+1|thumbs up|thumbs - up|red heart|face with|"
        "cat face|FLAG|flag fr|hand|zzz|xq|!!!|a b|the cat|sweat_smile|man technologist|woman  |heart "
        "eyes|joy|"
        "100|caf\u00E9|cafe|r\u00E9s|arrow|shrug|table flip|pi|\u2192|check mark|na\u00EFve latte",
        "|");
    const auto& rows = db.index();
    for (std::size_t i = 0; i < rows.size(); i += 97) {
        const auto& entry = rows[i].entry();
        queries.push_back(entry.name);
        if (!entry.keywords.empty()) {
            const auto& keyword = entry.keywords[i % entry.keywords.size()];
            queries.push_back(keyword.substr(0, 1));
            queries.push_back(keyword.substr(0, 3));
            queries.push_back(keyword.substr(0, 6) + " " + entry.name.substr(0, 4));
        }
        if (!entry.shortcodes.empty()) queries.push_back(entry.shortcodes.front());
    }
    return queries;
}

TEST(SearchEquivalence, TheDatabaseRanksLikeTheRowByRowRuleOnTheShippedData) {
    EmojiDatabase db(shippedBundle(), {99, 0, 0});
    auto extras = GlyphCatalog::entries();
    const auto emoticons = EmoticonCatalog::allEntries();
    extras.insert(extras.end(), emoticons.begin(), emoticons.end());
    extras.push_back(
        makeEntry("snippet-1", "Sign-off", {"sig", "r\u00E9sum\u00E9"}, {"regards", "face"}, "Snippets"));
    extras.push_back(
        makeEntry("snippet-2", "Caf\u00E9 order", {"cafe\u0301"}, {"latte", "na\u00EFve"}, "Snippets"));
    db.setExtraEmojis(extras);
    const ReferenceSearch reference(db);
    const EmojiDatabase::ExtraSearchTerms aliases{{"grinning", {"zebra crossing"}},
                                                  {"heart", {"my love"}},
                                                  {"emoticon-shrug", {"meh"}},
                                                  {"cat", {"flag"}}};
    const std::set<std::string> prioritized{"cat", "glyph-arrow", "joy"};

    const auto queries = sampleQueries(db);
    for (std::size_t i = 0; i < queries.size(); ++i) {
        const auto& query = queries[i];
        const auto priority = i % 2 ? SearchSortPriority::emoticonsFirst : SearchSortPriority::emojiFirst;
        const auto& usedAliases = i % 3 == 0 ? aliases : EmojiDatabase::ExtraSearchTerms{};
        const auto& usedPriority = i % 5 == 0 ? prioritized : std::set<std::string>{};
        const auto expected = reference.run(query, priority, usedPriority, usedAliases);
        const auto actual = scored(db.matches(query, 1 << 20, priority, usedPriority, usedAliases));
        ASSERT_EQ(actual, expected) << "query \"" << query << "\"";
        if (expected.size() > 5) {
            const auto top = scored(db.matches(query, 5, priority, usedPriority, usedAliases));
            ASSERT_EQ(top, std::vector(expected.begin(), expected.begin() + 5))
                << "query \"" << query << "\"";
        }
    }
}

}  // namespace
}  // namespace mosaiko
