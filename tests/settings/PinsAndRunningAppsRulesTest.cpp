#include <gtest/gtest.h>

#include "content/EmojiDatabase.hpp"
#include "settings/CollectionsManageRules.hpp"
#include "settings/RunningAppsRules.hpp"
#include "support/TestEntries.hpp"

namespace mosaiko {
namespace {

using PinItemState = CollectionsManageRules::PinItemState;
using Option = RunningAppsRules::RunningAppOption;
using Snapshot = RunningAppsRules::RunningAppSnapshot;

using testing::entry;

TEST(CollectionsManageRulesTest, OneStatePerPinInOrderWithMissingEntriesShownByID) {
    const EmojiDatabase db({entry("grin", "😀", "grinning face"), entry("cake", "🎂", "birthday cake")}, {},
                           OperatingSystemVersion{99, 0, 0});
    const auto states =
        CollectionsManageRules::pinItemStates({"cake", "gone", "grin"}, {{"grin", "happy"}}, db);
    EXPECT_EQ(states, (std::vector<PinItemState>{{"cake", "🎂", "birthday cake", "", 0, 3},
                                                 {"gone", "•", "gone", "", 1, 3},
                                                 {"grin", "😀", "grinning face", "happy", 2, 3}}));
    EXPECT_TRUE(CollectionsManageRules::pinItemStates({}, {}, db).empty());

    struct Case {
        std::int64_t index, count;
        bool up, down;
    };
    for (const Case c : {Case{0, 1, false, false}, Case{0, 3, false, true}, Case{1, 3, true, true},
                         Case{2, 3, true, false}}) {
        const PinItemState state{"id", "", "", "", c.index, c.count};
        EXPECT_EQ(state.canMoveUp(), c.up) << c.index << " of " << c.count;
        EXPECT_EQ(state.canMoveDown(), c.down) << c.index << " of " << c.count;
    }
}

TEST(CollectionsManageRulesTest, EmbeddedListHeightHasAFloor) {
    for (const auto& [available, list] : std::vector<std::pair<double, double>>{
             {0, 320}, {500, 320}, {565, 320}, {566, 321}, {700, 455}, {1000, 755}}) {
        EXPECT_EQ(CollectionsManageRules::embeddedListHeight(available), list) << available;
    }
    EXPECT_EQ(CollectionsManageRules::embeddedContentMinimumHeight(20), 0);
    EXPECT_EQ(CollectionsManageRules::embeddedContentMinimumHeight(700), 668);
}

TEST(RunningAppsRulesTest, SnapshotsKeepOnlyApplicationsWithAnIdentifier) {
    std::vector<RunningApp> running(4);
    running[0] = {"org.example.Editor", "Editor", 1, ""};
    running[1] = {std::nullopt, "Nameless", 2, ""};
    running[2] = {"XTerm", std::nullopt, 3, ""};
    running[3] = {"blank", "", 4, ""};
    EXPECT_EQ(RunningAppsRules::appSnapshots(running),
              (std::vector<Snapshot>{{"Editor", "org.example.Editor"}, {"XTerm", "XTerm"}, {"", "blank"}}));
}

TEST(RunningAppsRulesTest, NormalizingDedupesByIdentifierDropsOurselvesAndSorts) {
    const std::vector<Snapshot> snapshots = {
        {"Zed", "dev.zed"},   {"notes", "b.notes"},   {"Mosaiko", "io.github.mosaiko.Mosaiko"},
        {"Notes", "a.notes"}, {"Old Zed", "dev.zed"}, {"editor", "org.example.Editor"},
    };
    EXPECT_EQ(RunningAppsRules::normalizedApps(snapshots, std::string("io.github.mosaiko.Mosaiko")),
              (std::vector<Option>{{"editor", "org.example.Editor"},
                                   {"Notes", "a.notes"},
                                   {"notes", "b.notes"},
                                   {"Old Zed", "dev.zed"}}));
    EXPECT_EQ(RunningAppsRules::normalizedApps(snapshots, std::nullopt).size(), 5u) << "nothing dropped";
}

TEST(RunningAppsRulesTest, FilterTrimsAndIgnoresCaseOverNameAndIdentifier) {
    const std::vector<Option> apps = {
        {"Text Editor", "org.gnome.TextEditor"}, {"Files", "org.gnome.Nautilus"}, {"Kate", "org.kde.kate"}};
    EXPECT_EQ(RunningAppsRules::filter(apps, "  \t"), apps);
    EXPECT_EQ(RunningAppsRules::filter(apps, " EDIT "), (std::vector<Option>{apps[0]}));
    EXPECT_EQ(RunningAppsRules::filter(apps, "gnome"), (std::vector<Option>{apps[0], apps[1]}));
    EXPECT_TRUE(RunningAppsRules::filter(apps, "vim").empty());
}

TEST(RunningAppsRulesTest, SelectionFollowsTheListOrderAndDropsQuitApplications) {
    const std::vector<Option> apps = {{"A", "a"}, {"B", "b"}, {"C", "c"}};
    EXPECT_EQ(RunningAppsRules::selectedExcludedApps(apps, {"c", "a", "quit"}),
              (std::vector<ExcludedApp>{{"A", "a"}, {"C", "c"}}));
    EXPECT_TRUE(RunningAppsRules::selectedExcludedApps(apps, {"quit"}).empty());
}

}  // namespace
}  // namespace mosaiko
