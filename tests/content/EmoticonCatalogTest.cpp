#include "content/EmoticonCatalog.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/Text.hpp"

namespace mosaiko {
namespace {

using Strings = std::vector<std::string>;

const EmojiEntry& row(const std::string& id) {
    const auto& entries = EmoticonCatalog::allEntries();
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.id == id; });
    if (it == entries.end()) throw std::runtime_error("no row " + id);
    return *it;
}

TEST(EmoticonCatalogTest, RowsAreWellFormedAndShareOnlyTheMagicShortcode) {
    const auto& entries = EmoticonCatalog::allEntries();
    ASSERT_EQ(entries.size(), 60u);
    std::set<std::string> ids;
    std::map<std::string, Strings> rowsByShortcode;
    for (const auto& entry : entries) {
        EXPECT_TRUE(ids.insert(entry.id).second) << entry.id;
        EXPECT_EQ(entry.id.rfind("emoticon-", 0), 0u) << entry.id;
        EXPECT_EQ(entry.category, "Emoticons");
        EXPECT_FALSE(entry.variants || entry.minimumMacOSVersion) << entry.id;
        EXPECT_FALSE(entry.emoji.empty() || entry.name.empty() || entry.keywords.empty()) << entry.id;
        for (const auto& shortcode : entry.shortcodes) rowsByShortcode[shortcode].push_back(entry.id);
    }
    for (const auto& [shortcode, rows] : rowsByShortcode) {
        EXPECT_EQ(rows.size(), shortcode == "magic" ? 2u : 1u) << shortcode;
    }
    EXPECT_EQ(rowsByShortcode["magic"], (Strings{"emoticon-sparkle", "emoticon-magic"}));
}

TEST(EmoticonCatalogTest, TextsAreKeptExactlyAsWritten) {
    EXPECT_EQ(row("emoticon-shrug").emoji, "¯\\_(ツ)_/¯");
    EXPECT_EQ(row("emoticon-dance").emoji, "♪┏(・o･)┛♪┗ ( ･o･) ┓♪");
    // Combining marks stay where they are, unnormalized.
    EXPECT_EQ(text::scalars(row("emoticon-lenny").emoji),
              (std::u32string{U'(', U' ', 0x361, 0xB0, U' ', 0x35C, 0x296, U' ', 0x361, 0xB0, U')'}));
    EXPECT_EQ(text::scalars(row("emoticon-feisty").emoji),
              (std::u32string{U'(', 0xE07, U' ', 0x2022, 0x300, U'_', 0x2022, 0x301, U')', 0xE07}));

    const auto& party = row("emoticon-fistbump");
    EXPECT_EQ(party.name, "Party");
    EXPECT_EQ(party.shortcodes, (Strings{"party", "fistbump"}));
    EXPECT_EQ(party.keywords, (Strings{"celebrate", "dance"}));
    EXPECT_EQ(row("emoticon-sparkle").shortcodes, (Strings{"sparkle", "sparkles", "magic"}));
}

TEST(EmoticonCatalogTest, DefaultOrderNamesEveryRowOnce) {
    auto order = EmoticonCatalog::defaultOrder();
    ASSERT_EQ(order.size(), 60u);
    EXPECT_EQ(Strings(order.begin() + 4, order.begin() + 10),
              (Strings{"emoticon-look", "emoticon-yay", "emoticon-banzai", "emoticon-hug",
                       "emoticon-loveeyes", "emoticon-rage"}));
    EXPECT_EQ(Strings(order.end() - 4, order.end()),
              (Strings{"emoticon-teddybear", "emoticon-dance", "emoticon-sleep", "emoticon-muscle"}));
    Strings rows;
    for (const auto& entry : EmoticonCatalog::allEntries()) rows.push_back(entry.id);
    std::sort(order.begin(), order.end());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(order, rows);
}

TEST(EmoticonCatalogTest, UserOrderIsNormalizedAndHiddenRowsLeftOut) {
    const auto& defaults = EmoticonCatalog::defaultOrder();
    EXPECT_TRUE(EmoticonCatalog::isKnownID("emoticon-shrug"));
    EXPECT_FALSE(EmoticonCatalog::isKnownID("emoticon-Shrug"));
    EXPECT_FALSE(EmoticonCatalog::isKnownID("emoticon-"));

    EXPECT_EQ(EmoticonCatalog::normalizedOrder({}), defaults);
    const Strings reversed(defaults.rbegin(), defaults.rend());
    EXPECT_EQ(EmoticonCatalog::normalizedOrder(reversed), reversed);
    // Foreign ids and repeats are dropped; the rows not named follow in default order.
    Strings expected{"emoticon-sob", "emoticon-shrug"};
    for (const auto& id : defaults) {
        if (id != "emoticon-sob" && id != "emoticon-shrug") expected.push_back(id);
    }
    EXPECT_EQ(
        EmoticonCatalog::normalizedOrder({"emoticon-sob", "emoticon-nope", "emoticon-shrug", "emoticon-sob"}),
        expected);

    const auto all = EmoticonCatalog::orderedEntries(defaults, {"glyph-bullet", "emoticon-nope"});
    ASSERT_EQ(all.size(), 60u);
    EXPECT_EQ(all[5], row("emoticon-yay"));
    EXPECT_TRUE(
        EmoticonCatalog::orderedEntries({}, std::set<std::string>(defaults.begin(), defaults.end())).empty());
    const auto some =
        EmoticonCatalog::orderedEntries({"emoticon-sob"}, {"emoticon-tableflip", "emoticon-sob"});
    ASSERT_EQ(some.size(), 58u);
    EXPECT_EQ(some[0].id, "emoticon-unflip");
}

}  // namespace
}  // namespace mosaiko
