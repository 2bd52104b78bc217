#include <gtest/gtest.h>

#include "content/PreferencesStore.hpp"
#include "platform/MemoryDefaults.hpp"
#include "settings/ExcludedAppsRules.hpp"

namespace mosaiko {
namespace {

using Apps = std::vector<ExcludedApp>;
using Selection = ExcludedAppsRules::ExcludedAppSelection;

TEST(ExcludedAppsRulesTest, MergeAppendsNewKeysOnlyAndSortsByNameStably) {
    const Apps existing = {{"zsh", "org.zsh"}, {"Kitty", std::nullopt}, {"editor", "org.example.Editor"}};
    EXPECT_EQ(ExcludedAppsRules::mergedExcludedApps(existing, {}), existing)
        << "an empty add keeps the order";

    const Apps added = {{"Renamed", "org.zsh"},             // key taken: skipped, name kept
                        {"kitty", "net.kovidgoyal.kitty"},  // same name as a name-only entry: another key
                        {"Editor", "org.example.*"},        // a pattern is not the concrete identifier
                        {"Alacritty", "Alacritty"},
                        {"Twice", "Alacritty"}};  // repeated inside the new list
    EXPECT_EQ(ExcludedAppsRules::mergedExcludedApps(existing, added), (Apps{{"Alacritty", "Alacritty"},
                                                                            {"editor", "org.example.Editor"},
                                                                            {"Editor", "org.example.*"},
                                                                            {"Kitty", std::nullopt},
                                                                            {"kitty", "net.kovidgoyal.kitty"},
                                                                            {"zsh", "org.zsh"}}));
    EXPECT_EQ(ExcludedAppsRules::mergedExcludedApps(existing, {{"zsh", "org.zsh"}}),
              (Apps{existing[2], existing[1], existing[0]}))
        << "adding only known keys still sorts";
}

TEST(ExcludedAppsRulesTest, SelectionsAreNamedByTheFirstNonBlankCandidate) {
    const std::vector<Selection> selections = {
        {"foo", " org.foo ", "  ", " Foo "},        // blank display name: the bundle name, trimmed
        {"Bar", "  ", std::nullopt, std::nullopt},  // blank identifier: none, the file name
        {" baz ", std::nullopt, "Baz App", "Baz"},
        {"  ", "org.blank", std::nullopt, " "},  // no name at all but an identifier: kept, blank name
        {"", std::nullopt, " ", std::nullopt},   // neither: would match every unnamed window
    };
    EXPECT_EQ(
        ExcludedAppsRules::excludedApps(selections),
        (Apps{{"Foo", "org.foo"}, {"Bar", std::nullopt}, {"Baz App", std::nullopt}, {"  ", "org.blank"}}));
}

TEST(ExcludedAppsRulesTest, StoreOperationsWriteTheWholeList) {
    MemoryDefaults defaults;
    PreferencesStore prefs(defaults);
    prefs.setExcludedApps({{"Same", "org.same"}, {"Other", "org.same"}, {"Same", std::nullopt}, {"B", "b"}});

    ExcludedAppsRules::removeExcludedApp(prefs, "org.same");
    EXPECT_EQ(prefs.excludedApps(), (Apps{{"Same", std::nullopt}, {"B", "b"}}))
        << "every entry of the key goes";
    ExcludedAppsRules::removeExcludedApp(prefs, "Same");
    EXPECT_EQ(prefs.excludedApps(), (Apps{{"B", "b"}}));

    const auto writes = defaults.writeCount();
    ExcludedAppsRules::addExcludedApps(prefs, {});
    EXPECT_GT(defaults.writeCount(), writes) << "an empty add writes the list again";
    ExcludedAppsRules::addExcludedApps(prefs, {{"a", "a"}});
    EXPECT_EQ(prefs.excludedApps(), (Apps{{"a", "a"}, {"B", "b"}}));

    ExcludedAppsRules::removeExcludedApp(prefs, "a");
    ExcludedAppsRules::removeExcludedApp(prefs, "b");
    EXPECT_TRUE(prefs.excludedApps().empty());
    ExcludedAppsRules::resetExcludedApps(prefs);
    EXPECT_EQ(prefs.excludedApps(), PreferencesStore::defaultExcludedApps());
    PreferencesStore reloaded(defaults);
    EXPECT_EQ(reloaded.excludedApps(), PreferencesStore::defaultExcludedApps());
}

}  // namespace
}  // namespace mosaiko
