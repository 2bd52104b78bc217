#include <gtest/gtest.h>

#include "content/CustomContentStore.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "platform/MemoryDefaults.hpp"
#include "settings/EmoticonEditorRules.hpp"
#include "settings/SnippetsManageRules.hpp"

namespace mosaiko {
namespace {

using Ids = std::vector<std::string>;

Ids rowIDs(const std::vector<EmoticonEditorRules::Row>& rows) {
    Ids ids;
    for (const auto& row : rows) ids.push_back(row.entry.id);
    return ids;
}

class EmoticonEditorRulesTest : public ::testing::Test {
  protected:
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    const Ids& defaultOrder = EmoticonCatalog::defaultOrder();
};

TEST_F(EmoticonEditorRulesTest, RowsListEveryEmoticonOnceWithRanksAndMoveEnds) {
    const auto rows = EmoticonEditorRules::rows(prefs.emoticonOrder(), prefs.hiddenEmoticonIDs());
    ASSERT_EQ(rows.size(), EmoticonCatalog::allEntries().size());
    EXPECT_EQ(rowIDs(rows), defaultOrder);
    EXPECT_EQ(rows.front().rank, 1);
    EXPECT_EQ(rows.back().rank, static_cast<std::int64_t>(rows.size()));
    EXPECT_FALSE(rows.front().canMoveUp);
    EXPECT_TRUE(rows.front().canMoveDown);
    EXPECT_TRUE(rows[1].canMoveUp && rows[1].canMoveDown);
    EXPECT_FALSE(rows.back().canMoveDown);

    const auto shuffled = EmoticonEditorRules::rows({"emoticon-nope", defaultOrder[3], defaultOrder[3]}, {});
    Ids expected = defaultOrder;
    expected.erase(expected.begin() + 3);
    expected.insert(expected.begin(), defaultOrder[3]);
    EXPECT_EQ(rowIDs(shuffled), expected) << "foreign ids dropped, a repeated one listed once";
}

TEST_F(EmoticonEditorRulesTest, PrimaryShortcodeFallsBackToTheIdWithoutItsPrefix) {
    EmojiEntry entry = EmoticonCatalog::allEntries().front();
    EXPECT_EQ(EmoticonEditorRules::primaryShortcode(entry), entry.shortcodes.front());
    entry.shortcodes.clear();
    entry.id = "emoticon-table-emoticon-flip";
    EXPECT_EQ(EmoticonEditorRules::primaryShortcode(entry), "table-flip");
}

TEST_F(EmoticonEditorRulesTest, ReorderingSwapsWithinBounds) {
    const Ids ids = {"a", "b", "c", "d"};
    struct Case {
        std::string id;
        std::int64_t delta;
        Ids expected;
    };
    for (const auto& c : {Case{"b", -1, {"b", "a", "c", "d"}}, Case{"b", 1, {"a", "c", "b", "d"}},
                          Case{"a", 3, {"d", "b", "c", "a"}}, Case{"a", -1, ids}, Case{"d", 1, ids},
                          Case{"x", 1, ids}, Case{"c", 0, ids}}) {
        EXPECT_EQ(EmoticonEditorRules::reorderedIDs(ids, c.id, c.delta), c.expected)
            << c.id << " by " << c.delta;
    }
}

TEST_F(EmoticonEditorRulesTest, MovesAndTogglesWriteThePreferences) {
    prefs.setEmoticonOrder({defaultOrder[5]});
    EmoticonEditorRules::moveEmoticon(prefs, defaultOrder[5], -1);
    Ids expected = EmoticonCatalog::normalizedOrder({defaultOrder[5]});
    EXPECT_EQ(prefs.emoticonOrder(), expected) << "a move past the end still writes the complete order";
    EmoticonEditorRules::moveEmoticon(prefs, defaultOrder[0], -1);
    std::swap(expected[0], expected[1]);
    EXPECT_EQ(prefs.emoticonOrder(), expected);

    prefs.setHiddenEmoticonIDs({"emoticon-unknown", defaultOrder[2]});
    auto entries = EmoticonEditorRules::editableEntries(prefs.emoticonOrder());
    auto hidden = EmoticonEditorRules::knownHiddenIDs(prefs.hiddenEmoticonIDs());
    EXPECT_EQ(EmoticonEditorRules::hiddenCount(entries, hidden), 1);
    EXPECT_EQ(EmoticonEditorRules::visibleCount(entries, hidden),
              static_cast<std::int64_t>(entries.size()) - 1);

    EmoticonEditorRules::toggleHidden(prefs, defaultOrder[1]);
    EXPECT_EQ(prefs.hiddenEmoticonIDs(), (std::set<std::string>{defaultOrder[1], defaultOrder[2]}))
        << "unknown ids are gone after a toggle";
    EmoticonEditorRules::toggleHidden(prefs, defaultOrder[2]);
    EXPECT_EQ(prefs.hiddenEmoticonIDs(), (std::set<std::string>{defaultOrder[1]}));
    const auto rows = EmoticonEditorRules::rows(prefs.emoticonOrder(), prefs.hiddenEmoticonIDs());
    const auto hiddenRow = std::find_if(rows.begin(), rows.end(), [](const auto& r) { return r.isHidden; });
    ASSERT_NE(hiddenRow, rows.end());
    EXPECT_EQ(hiddenRow->entry.id, defaultOrder[1]);
    EXPECT_TRUE(hiddenRow->canMoveUp && hiddenRow->canMoveDown) << "hidden rows move like the others";
}

TEST(SnippetsManageRulesTest, AddNeedsNameTextAndAShortcode) {
    struct Case {
        std::string name, shortcodes, text;
        bool valid;
    };
    for (const auto& c : {Case{"Shrug", "shrug", "¯\\_(ツ)_/¯", true}, Case{"   ", "shrug", "x", false},
                          Case{"Shrug", "shrug", "\n", false}, Case{"Shrug", ", ;", "x", false},
                          Case{"Shrug", "", "x", false}, Case{"Shrug", ":shrug:", "x", true}}) {
        EXPECT_EQ(SnippetsManageRules::canAddSnippet(c.name, c.shortcodes, c.text), c.valid)
            << "'" << c.name << "' '" << c.shortcodes << "' '" << c.text << "'";
    }
}

TEST(SnippetsManageRulesTest, AddAndDeleteGoThroughTheStore) {
    MemoryDefaults defaults;
    CustomContentStore custom(defaults);
    SnippetsManageRules::addSnippet(custom, {"Shrug", "Shrug, IDK; shrug", "¯\\_(ツ)_/¯", ""});
    SnippetsManageRules::addSnippet(custom, {"Sig", "sig", "Best regards", "mail sign"});
    ASSERT_EQ(custom.snippets().size(), 2u);
    EXPECT_EQ(custom.snippets()[0].name, "Sig") << "new snippets come first";
    EXPECT_EQ(custom.snippets()[0].keywords, (Ids{"mail", "sign"}));
    EXPECT_EQ(custom.snippets()[1].shortcodes, (Ids{"shrug", "idk"}));
    EXPECT_TRUE(custom.snippets()[1].keywords.empty());
    EXPECT_EQ(SnippetsManageRules::shortcodeLine(custom.snippets()[1]), ":shrug:");

    const auto before = custom.snippets();
    EXPECT_EQ(SnippetsManageRules::deleteSnippet(std::nullopt, custom), std::nullopt);
    EXPECT_EQ(SnippetsManageRules::deleteSnippet(std::string("unknown"), custom), std::nullopt);
    EXPECT_EQ(custom.snippets(), before);
    EXPECT_EQ(SnippetsManageRules::deleteSnippet(before[0].id, custom), std::nullopt);
    EXPECT_EQ(custom.snippets(), (std::vector<CustomSnippet>{before[1]}));
    CustomContentStore reloaded(defaults);
    EXPECT_EQ(reloaded.snippets(), custom.snippets()) << "the deletion is written through";
}

TEST(SnippetsManageRulesTest, TextsAndHeights) {
    EXPECT_EQ(SnippetsManageRules::shortcodeLine(CustomSnippet{"id", "n", "t", {}, {}}), "::");
    EXPECT_EQ(SnippetsManageRules::standaloneSubtitle(";").substr(0, 30), "Create your own ;shortcodes th");
    EXPECT_EQ(SnippetsManageRules::standaloneSubtitle("").substr(0, 26), "Create your own shortcodes");
    EXPECT_EQ(SnippetsManageRules::embeddedListHeight(500), 300);
    EXPECT_EQ(SnippetsManageRules::embeddedListHeight(900), 540);
}

}  // namespace
}  // namespace mosaiko
