#include "onboarding/StatsViewModel.hpp"

#include <gtest/gtest.h>

#include "platform/MemoryDefaults.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {

void PrintTo(const StatItem& item, std::ostream* os) {
    *os << item.emoji << "=" << item.count;
    if (item.delta) *os << "(" << *item.delta << ")";
}

namespace {

using Items = std::vector<StatItem>;
constexpr double kDay = 86400;

class StatsViewModelTest : public testing::Test {
  protected:
    void use(const std::string& text, int times) {
        for (int i = 0; i < times; ++i) usage.recordUsed(text);
    }
    Items itemsOf(StatsRange range) {
        model.setRange(range);
        return model.items();
    }

    MemoryDefaults defaults;
    ManualMainLoop clock;
    EmojiUsageStore usage{defaults, clock};
    StatsViewModel model{usage};
};

TEST_F(StatsViewModelTest, EachRangeListsItsItemsWithTrendsOnlyForTheDayRanges) {
    use("🦊", 1);
    use("🐢", 3);
    use("🐙", 3);
    clock.advance(8 * kDay);
    use("🦊", 4);
    use("🐇", 1);
    use("🐙", 1);
    clock.advance(3600);

    EXPECT_EQ(itemsOf(StatsRange::allTime),
              (Items{{"🦊", 5, {}}, {"🐙", 4, {}}, {"🐢", 3, {}}, {"🐇", 1, {}}}));
    // The turtle, used only in the week before, is not listed; equal counts go by text.
    EXPECT_EQ(itemsOf(StatsRange::days7), (Items{{"🦊", 4, 3}, {"🐇", 1, 1}, {"🐙", 1, -2}}));
    EXPECT_EQ(itemsOf(StatsRange::days30), (Items{{"🦊", 5, 5}, {"🐙", 4, 4}, {"🐢", 3, 3}, {"🐇", 1, 1}}));

    clock.advance(30 * kDay);
    EXPECT_TRUE(itemsOf(StatsRange::days7).empty());
    EXPECT_FALSE(itemsOf(StatsRange::allTime).empty());
}

TEST_F(StatsViewModelTest, ResetIsOfferedWhileAnyUsageDataExistsAndEmptiesEveryRange) {
    EXPECT_FALSE(model.canReset());
    {
        // Only recents: nothing to list, but something to delete.
        MemoryDefaults onlyRecents;
        onlyRecents.set("emojiUsageRecents", DefaultsData{R"(["😀"])"});
        EmojiUsageStore store(onlyRecents, clock);
        StatsViewModel recentsModel(store);
        EXPECT_TRUE(recentsModel.canReset());
        for (StatsRange range : StatsViewModel::allRanges)
            EXPECT_TRUE(StatsViewModel::items(store, range).empty());
    }
    use("🦊", 2);
    model.setRange(StatsRange::days30);
    EXPECT_TRUE(model.canReset());
    model.reset();
    EXPECT_FALSE(model.canReset());
    EXPECT_EQ(model.range(), StatsRange::days30);
    for (StatsRange range : StatsViewModel::allRanges) EXPECT_TRUE(itemsOf(range).empty());
    EXPECT_FALSE(defaults.contains("emojiUsageCounts"));
}

TEST_F(StatsViewModelTest, OnlyTheFirstHundredTextsAreListed) {
    for (int i = 0; i < 120; ++i) use("t" + std::to_string(1000 + i), i < 60 ? 2 : 1);
    const auto items = itemsOf(StatsRange::allTime);
    ASSERT_EQ(items.size(), 100u);
    EXPECT_EQ(items.back().emoji, "t1099");
    EXPECT_EQ(StatsViewModel::rankedItems(items).back().rank, 2);
}

TEST(StatsRules, DenseRanks) {
    const auto ranks = [](std::vector<std::int64_t> counts) {
        Items items;
        for (auto c : counts) items.push_back({"x", c, {}});
        std::vector<std::int64_t> out;
        for (const auto& r : StatsViewModel::rankedItems(items)) out.push_back(r.rank);
        return out;
    };
    EXPECT_EQ(ranks({9, 9, 7, 4, 4, 4, 2}), (std::vector<std::int64_t>{1, 1, 2, 3, 3, 3, 4}));
    EXPECT_EQ(ranks({5, 5, 5}), (std::vector<std::int64_t>{1, 1, 1}));
    EXPECT_EQ(ranks({3, 2, 1}), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_TRUE(ranks({}).empty());
}

TEST(StatsRules, PreviewStyleCountAndTrendTexts) {
    for (const char* text : {"", "😀", "👍🏽", "🧑🏻‍🤝‍🧑🏿", ":)", "😀😀"})
        EXPECT_TRUE(StatsViewModel::usesEmojiPreviewStyle(text)) << text;
    for (const char* text : {":-)", "a b", "a\n", "\r\n", " ", "😀 "})
        EXPECT_FALSE(StatsViewModel::usesEmojiPreviewStyle(text)) << text;

    EXPECT_EQ(StatsViewModel::usageCountLabel(1), "1 use");
    EXPECT_EQ(StatsViewModel::usageCountLabel(0), "0 uses");
    EXPECT_EQ(StatsViewModel::usageCountLabel(12), "12 uses");

    EXPECT_EQ(StatsViewModel::deltaText(std::nullopt), "");
    EXPECT_EQ(StatsViewModel::deltaText(0), "");
    EXPECT_EQ(StatsViewModel::deltaText(3), "+3");
    EXPECT_EQ(StatsViewModel::deltaText(-2), "-2");

    EXPECT_EQ(StatsViewModel::fromRawValue("7 days"), StatsRange::days7);
    EXPECT_EQ(StatsViewModel::fromRawValue("7 Days"), std::nullopt);
    EXPECT_EQ(StatsViewModel::rawValue(StatsRange::allTime), "All time");
}

}  // namespace
}  // namespace mosaiko
