#include "settings/OpenModeRules.hpp"

#include <gtest/gtest.h>

#include "platform/Text.hpp"

namespace mosaiko {
namespace {

using Strings = std::vector<std::string>;
using R = OpenModeRules;

TEST(OpenModeRules, DraftsAreCleanedAndCut) {
    const struct {
        std::string draft;
        std::optional<std::string> trigger;
    } triggers[] = {
        {"\t;", ";"},           {"abcdefgh", "abcdef"}, {"\t", std::nullopt},
        {"", std::nullopt},     {"   ", "   "},         {"\u200B\u0007", std::nullopt},  // only Cf and Cc
        {"👩\u200D💻", "👩💻"},      // the joiner goes, the parts stay
        {"🇩🇪🇫🇷🇮🇹🇪🇸", "🇩🇪🇫🇷🇮🇹"},  // six scalars: three flags
    };
    for (const auto& row : triggers) EXPECT_EQ(R::pendingTrigger(row.draft), row.trigger) << row.draft;

    const std::string forty(40, 'x');
    EXPECT_EQ(R::pendingBlocklistEntry(forty), std::string(32, 'x'));
    const auto emoji = R::pendingBlocklistEntry(std::string(30, 'a') + "👍🏽x");
    ASSERT_TRUE(emoji);
    EXPECT_EQ(text::scalarCount(*emoji), 32u) << "each scalar counts";
    EXPECT_EQ(R::pendingBlocklistEntry("\n\r"), std::nullopt);
}

TEST(OpenModeRules, VisibleTrigger) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "Empty"}, {";", ";"}, {"   ", "␠␠␠"}, {"\t;", "⇥;"}, {"a\nb\r", "a⏎b⏎"}, {"\r\n", "\r\n"},
    };
    for (const auto& [trigger, shown] : rows) EXPECT_EQ(R::visibleSearchTrigger(trigger), shown);
}

TEST(OpenModeRules, BlocklistDuplicatesIgnoreCaseRemovalDoesNot) {
    const Strings list{";x"};
    EXPECT_FALSE(R::canAddBlocklistEntry(list, ";X"));
    EXPECT_FALSE(R::canAddBlocklistEntry(list, std::nullopt));
    EXPECT_TRUE(R::canAddBlocklistEntry(list, ";y"));
    EXPECT_EQ(R::blocklistEntriesAfterAdding(list, ";X"), list);
    EXPECT_EQ(R::blocklistEntriesAfterAdding({";b", ";a"}, ";c"), (Strings{";b", ";a", ";c"}))
        << "never sorted";
    EXPECT_EQ(R::blocklistEntriesAfterAdding({}, ";a"), Strings{";a"});

    EXPECT_EQ(R::blocklistEntriesAfterRemoving(list, ";X"), list);
    EXPECT_EQ(R::blocklistEntriesAfterRemoving({";x", ";y", ";x"}, ";x"), Strings{";y"});
    EXPECT_EQ(R::blocklistEntriesAfterRemoving({"e\u0301"}, "\u00E9"), Strings{}) << "canonically equal";
}

TEST(OpenModeRules, CollisionNotices) {
    EXPECT_EQ(R::inlineTriggerCollisionNotice(";;", "::"),
              "Instant open moved to `::` because `;;` is now used for inline search.");
    EXPECT_EQ(R::quickOpenShortcutCollisionNotice(";;", "::"),
              "Instant open moved to `::` because `;;` is already used for inline search.");
    EXPECT_EQ(R::quickOpenShortcutCollisionNotice(" ;", std::nullopt),
              "Instant open moved to `Off` because ` ;` is already used for inline search.")
        << "the requested text as it is, not made visible";
}

}  // namespace
}  // namespace mosaiko
