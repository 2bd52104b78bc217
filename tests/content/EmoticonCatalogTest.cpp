#include "content/EmoticonCatalog.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/Text.hpp"

namespace mosaiko {
namespace {

const EmojiEntry& entryWithID(const std::string& id) {
    const auto& entries = EmoticonCatalog::allEntries();
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.id == id; });
    if (it == entries.end()) throw std::runtime_error("no row " + id);
    return *it;
}

std::vector<std::string> idsOf(const std::vector<EmojiEntry>& entries) {
    std::vector<std::string> ids;
    for (const auto& entry : entries) ids.push_back(entry.id);
    return ids;
}

TEST(EmoticonCatalogTest, RowsAreWellFormedAndUnique) {
    const auto& entries = EmoticonCatalog::allEntries();
    ASSERT_EQ(entries.size(), 60u);
    std::set<std::string> ids;
    std::map<std::string, std::vector<std::string>> rowsByShortcode;
    std::map<std::size_t, int> shortcodeCounts;
    for (const auto& entry : entries) {
        SCOPED_TRACE(entry.id);
        EXPECT_TRUE(ids.insert(entry.id).second);
        EXPECT_EQ(entry.id.rfind("emoticon-", 0), 0u);
        EXPECT_EQ(entry.category, "Emoticons");
        EXPECT_FALSE(entry.variants.has_value());
        EXPECT_FALSE(entry.minimumMacOSVersion.has_value());
        EXPECT_FALSE(entry.emoji.empty());
        EXPECT_FALSE(entry.name.empty());
        EXPECT_GE(entry.keywords.size(), 1u);
        EXPECT_LE(entry.keywords.size(), 3u);
        ++shortcodeCounts[entry.shortcodes.size()];
        for (const auto& shortcode : entry.shortcodes) rowsByShortcode[shortcode].push_back(entry.id);
    }
    EXPECT_EQ(shortcodeCounts, (std::map<std::size_t, int>{{1, 20}, {2, 39}, {3, 1}}));
    // "magic" is the one shortcode two rows share.
    for (const auto& [shortcode, rows] : rowsByShortcode) {
        if (shortcode == "magic") {
            EXPECT_EQ(rows, (std::vector<std::string>{"emoticon-sparkle", "emoticon-magic"}));
        } else {
            EXPECT_EQ(rows.size(), 1u) << shortcode;
        }
    }
}

TEST(EmoticonCatalogTest, TextsAreKeptExactlyAsWritten) {
    EXPECT_EQ(entryWithID("emoticon-tableflip").emoji, "(╯°□°)╯︵ ┻━┻");
    EXPECT_EQ(entryWithID("emoticon-shrug").emoji, "¯\\_(ツ)_/¯");
    EXPECT_EQ(entryWithID("emoticon-yay").emoji, "\\(•◡•)/");
    EXPECT_EQ(entryWithID("emoticon-joyful").emoji, "\\ ^_^ /");
    EXPECT_EQ(entryWithID("emoticon-dance").emoji, "♪┏(・o･)┛♪┗ ( ･o･) ┓♪");
    // Combining marks stay where they are, unnormalized.
    EXPECT_EQ(text::scalars(entryWithID("emoticon-lenny").emoji),
              (std::u32string{U'(', U' ', 0x361, 0xB0, U' ', 0x35C, 0x296, U' ', 0x361, 0xB0, U')'}));
    EXPECT_EQ(text::scalars(entryWithID("emoticon-victory").emoji),
              (std::u32string{U'(', 0xE51, 0x2C3, 0x335, 0x1D17, 0x2C2, 0x335, U')', 0x648}));
    EXPECT_EQ(text::scalars(entryWithID("emoticon-feisty").emoji),
              (std::u32string{U'(', 0xE07, U' ', 0x2022, 0x300, U'_', 0x2022, 0x301, U')', 0xE07}));
    EXPECT_EQ(text::scalars(entryWithID("emoticon-angryface").emoji), (std::u32string{0xE8, U'.', 0xE9}));
}

TEST(EmoticonCatalogTest, SampleRowsCarryTheirNamesShortcodesAndKeywords) {
    const auto& flip = entryWithID("emoticon-tableflip");
    EXPECT_EQ(flip.name, "Table flip");
    EXPECT_EQ(flip.shortcodes, (std::vector<std::string>{"tableflip", "fliptable"}));
    EXPECT_EQ(flip.keywords, (std::vector<std::string>{"flip", "rage", "classic"}));

    const auto& sparkle = entryWithID("emoticon-sparkle");
    EXPECT_EQ(sparkle.name, "Sparkles");
    EXPECT_EQ(sparkle.shortcodes, (std::vector<std::string>{"sparkle", "sparkles", "magic"}));

    const auto& party = entryWithID("emoticon-fistbump");
    EXPECT_EQ(party.name, "Party");
    EXPECT_EQ(party.emoji, "ヽ(＾Д＾)ﾉ");
    EXPECT_EQ(party.shortcodes, (std::vector<std::string>{"party", "fistbump"}));
    EXPECT_EQ(party.keywords, (std::vector<std::string>{"celebrate", "dance"}));

    const auto& look = entryWithID("emoticon-look");
    EXPECT_EQ(look.name, "Look of disapproval");
    EXPECT_EQ(look.shortcodes, (std::vector<std::string>{"disapprove", "look"}));
    EXPECT_EQ(look.keywords, (std::vector<std::string>{"stare", "serious"}));

    EXPECT_EQ(entryWithID("emoticon-sleep").keywords, (std::vector<std::string>{"tired"}));
    EXPECT_EQ(entryWithID("emoticon-happyclassic").shortcodes, (std::vector<std::string>{"happyclassic"}));
}

TEST(EmoticonCatalogTest, DefaultOrderNamesEveryRowOnceAndMovesSomeForward) {
    const auto& order = EmoticonCatalog::defaultOrder();
    ASSERT_EQ(order.size(), 60u);
    auto sortedOrder = order;
    auto sortedRows = idsOf(EmoticonCatalog::allEntries());
    std::sort(sortedOrder.begin(), sortedOrder.end());
    std::sort(sortedRows.begin(), sortedRows.end());
    EXPECT_EQ(sortedOrder, sortedRows);

    const std::vector<std::string> head(order.begin(), order.begin() + 10);
    EXPECT_EQ(head,
              (std::vector<std::string>{"emoticon-tableflip", "emoticon-unflip", "emoticon-shrug",
                                        "emoticon-lenny", "emoticon-look", "emoticon-yay", "emoticon-banzai",
                                        "emoticon-hug", "emoticon-loveeyes", "emoticon-rage"}));
    const std::vector<std::string> tail(order.end() - 6, order.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"emoticon-angryface", "emoticon-middlefingerextended",
                                              "emoticon-teddybear", "emoticon-dance", "emoticon-sleep",
                                              "emoticon-muscle"}));
    // Row 20 follows row 18 directly, skipping the dance moved to the end.
    const auto fistbump = std::find(order.begin(), order.end(), "emoticon-fistbump");
    ASSERT_NE(fistbump, order.end());
    EXPECT_EQ(*(fistbump + 1), "emoticon-cheers");
    EXPECT_EQ(*(fistbump + 2), "emoticon-cry");
    EXPECT_EQ(*(fistbump + 4), "emoticon-tea");
}

TEST(EmoticonCatalogTest, KnownIDsAreExactAndCaseSensitive) {
    EXPECT_TRUE(EmoticonCatalog::isKnownID("emoticon-shrug"));
    EXPECT_FALSE(EmoticonCatalog::isKnownID("Emoticon-shrug"));
    EXPECT_FALSE(EmoticonCatalog::isKnownID("emoticon-Shrug"));
    EXPECT_FALSE(EmoticonCatalog::isKnownID("emoticon-"));
    EXPECT_FALSE(EmoticonCatalog::isKnownID(""));
    EXPECT_FALSE(EmoticonCatalog::isKnownID("glyph-right-arrow"));
}

TEST(EmoticonCatalogTest, NormalizedOrderKeepsTheCallersOrderAndCompletesIt) {
    const auto& defaults = EmoticonCatalog::defaultOrder();
    EXPECT_EQ(EmoticonCatalog::normalizedOrder({}), defaults);

    // Foreign ids and repeats are dropped; the rest follows in default order.
    const auto order =
        EmoticonCatalog::normalizedOrder({"emoticon-shrug", "emoticon-nope", "emoticon-shrug"});
    std::vector<std::string> expected{"emoticon-shrug"};
    for (const auto& id : defaults) {
        if (id != "emoticon-shrug") expected.push_back(id);
    }
    EXPECT_EQ(order, expected);

    const std::vector<std::string> reversed(defaults.rbegin(), defaults.rend());
    EXPECT_EQ(EmoticonCatalog::normalizedOrder(reversed), reversed);

    const auto partial = EmoticonCatalog::normalizedOrder({"emoticon-teddybear", "emoticon-tableflip"});
    ASSERT_EQ(partial.size(), 60u);
    EXPECT_EQ(partial[0], "emoticon-teddybear");
    EXPECT_EQ(partial[1], "emoticon-tableflip");
    EXPECT_EQ(partial[2], "emoticon-unflip");
}

TEST(EmoticonCatalogTest, OrderedEntriesLeaveOutHiddenRows) {
    const auto& defaults = EmoticonCatalog::defaultOrder();
    const auto all = EmoticonCatalog::orderedEntries(defaults, {});
    EXPECT_EQ(idsOf(all), defaults);
    ASSERT_EQ(all.size(), 60u);
    EXPECT_EQ(all[5].id, "emoticon-yay");
    EXPECT_EQ(all[5], entryWithID("emoticon-yay"));

    const std::set<std::string> everything(defaults.begin(), defaults.end());
    EXPECT_TRUE(EmoticonCatalog::orderedEntries(defaults, everything).empty());
    EXPECT_EQ(EmoticonCatalog::orderedEntries(defaults, {"glyph-bullet", "emoticon-nope"}).size(), 60u);

    const auto some = EmoticonCatalog::orderedEntries({"emoticon-sob", "emoticon-shrug"},
                                                      {"emoticon-shrug", "emoticon-tableflip"});
    ASSERT_EQ(some.size(), 58u);
    EXPECT_EQ(some[0].id, "emoticon-sob");
    EXPECT_EQ(some[1].id, "emoticon-unflip");
}

}  // namespace
}  // namespace mosaiko
