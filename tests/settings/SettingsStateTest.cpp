#include "settings/SettingsState.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "content/RecordingDefaults.hpp"

namespace mosaiko {
namespace {

using Strings = std::vector<std::string>;

struct SettingsStateTest : ::testing::Test {
    testing::RecordingDefaults defaults;
    PreferencesStore prefs{defaults};
    SettingsState state{prefs};

    std::size_t writes(const std::string& entry) const {
        return static_cast<std::size_t>(std::count(defaults.log.begin(), defaults.log.end(), entry));
    }
};

TEST_F(SettingsStateTest, StartsOnGeneralWithNothingOpen) {
    EXPECT_EQ(state.tab(), SettingsState::Tab::general);
    EXPECT_FALSE(state.isShowingCustomSearchTriggerSheet() || state.isShowingLibraryShortcutSheet() ||
                 state.isShowingRunningAppsSheet() || state.isShowingResetAllSettingsAlert());
    EXPECT_FALSE(state.shortcutCollisionNotice());
    EXPECT_EQ(state.updaterStatusRefreshTick(), 0);
}

TEST_F(SettingsStateTest, DraftsReachTheStoreOnlyOnConfirm) {
    prefs.setOpeningSequenceBlocklist({";x"});
    state.openCustomSearchTriggerEditor();
    state.setCustomSearchTriggerDraft("::");
    state.setBlocklistEntryDraft(";y");
    state.addOpeningSequenceBlocklistEntry();
    EXPECT_EQ(state.blocklistEntryDraft(), "");
    state.cancelCustomSearchTriggerEditor();
    EXPECT_EQ(prefs.inlineTrigger(), ";");
    EXPECT_EQ(prefs.openingSequenceBlocklist(), Strings{";x"});
    EXPECT_EQ(state.customSearchTriggerDraft(), ";") << "the next opening shows the stored values";
    EXPECT_EQ(state.customSearchTriggerBlocklistDraft(), Strings{";x"});

    state.openCustomSearchTriggerEditor();
    state.setCustomSearchTriggerDraft("zz");
    state.customSearchTriggerSheetDismissed();
    EXPECT_EQ(prefs.inlineTrigger(), ";");
    EXPECT_EQ(state.customSearchTriggerDraft(), ";");
    EXPECT_FALSE(state.isShowingCustomSearchTriggerSheet());

    // OK writes the blocklist, then the trigger (which may move instant open), then closes.
    Strings order;
    auto a = prefs.openingSequenceBlocklist.observe([&](const Strings&) { order.push_back("blocklist"); });
    auto b = prefs.inlineTrigger.observe([&](const std::string&) { order.push_back("trigger"); });
    state.openCustomSearchTriggerEditor();
    state.setCustomSearchTriggerDraft("\t::x");
    state.setBlocklistEntryDraft(";Y");
    state.addOpeningSequenceBlocklistEntry();
    state.removeOpeningSequenceBlocklistEntry(";x");
    state.confirmCustomSearchTrigger();
    EXPECT_EQ(order, (Strings{"blocklist", "trigger"}));
    EXPECT_EQ(prefs.inlineTrigger(), "::x");
    EXPECT_EQ(prefs.openingSequenceBlocklist(), Strings{";Y"});
    EXPECT_FALSE(state.isShowingCustomSearchTriggerSheet());
    EXPECT_EQ(state.customSearchTriggerDraft(), "::x") << "reloaded as the store cleaned it";
}

TEST_F(SettingsStateTest, ConfirmWithoutAUsableTriggerDoesNothing) {
    state.openCustomSearchTriggerEditor();
    state.setCustomSearchTriggerDraft("\t\u200B");
    defaults.log.clear();
    state.confirmCustomSearchTrigger();
    EXPECT_TRUE(defaults.log.empty());
    EXPECT_TRUE(state.isShowingCustomSearchTriggerSheet());
}

TEST_F(SettingsStateTest, StoredBlocklistReachesTheDraftOnlyWhileTheEditorIsClosed) {
    prefs.setOpeningSequenceBlocklist({";a"});
    EXPECT_EQ(state.customSearchTriggerBlocklistDraft(), Strings{";a"});
    state.openCustomSearchTriggerEditor();
    state.removeOpeningSequenceBlocklistEntry(";a");
    prefs.setOpeningSequenceBlocklist({";b"});
    EXPECT_EQ(state.customSearchTriggerBlocklistDraft(), Strings{}) << "the entries being edited stay";
}

TEST_F(SettingsStateTest, CollisionNotices) {
    // The trigger editor: the new trigger takes instant open's sequence.
    state.openCustomSearchTriggerEditor();
    state.setCustomSearchTriggerDraft(";;");
    state.confirmCustomSearchTrigger();
    EXPECT_EQ(prefs.quickOpenShortcut(), QuickOpenShortcut::doubleColon);
    EXPECT_EQ(state.shortcutCollisionNotice(),
              "Instant open moved to `::` because `;;` is now used for inline search.");
    state.chooseQuickOpenTarget(QuickOpenTarget::pins);
    EXPECT_TRUE(state.shortcutCollisionNotice()) << "the tab menu leaves the notice";

    // The instant-open picker.
    state.chooseQuickOpenShortcut(QuickOpenShortcut::doubleSemicolon);
    EXPECT_EQ(prefs.quickOpenShortcut(), QuickOpenShortcut::doubleColon);
    EXPECT_EQ(state.shortcutCollisionNotice(),
              "Instant open moved to `::` because `;;` is already used for inline search.");
    state.chooseQuickOpenShortcut(QuickOpenShortcut::disabled);
    EXPECT_FALSE(state.shortcutCollisionNotice());

    state.chooseQuickOpenShortcut(QuickOpenShortcut::doubleSemicolon);
    ASSERT_TRUE(state.shortcutCollisionNotice());
    state.openCustomSearchTriggerEditor();
    state.setCustomSearchTriggerDraft("x");
    state.confirmCustomSearchTrigger();
    EXPECT_FALSE(state.shortcutCollisionNotice()) << "a confirm that moves nothing clears an older notice";

    prefs.setInlineTrigger("::");
    state.chooseQuickOpenShortcut(QuickOpenShortcut::doubleColon);
    ASSERT_TRUE(state.shortcutCollisionNotice());
    state.disableInlineSearch();
    EXPECT_FALSE(state.shortcutCollisionNotice());
    EXPECT_EQ(prefs.inlineTrigger(), "");
    EXPECT_EQ(state.customSearchTriggerDraft(), "");
}

TEST_F(SettingsStateTest, ResetsClearTheNoticeAndReloadTheDrafts) {
    const auto collide = [&] {
        prefs.setInlineTrigger(";;");
        state.chooseQuickOpenShortcut(QuickOpenShortcut::doubleSemicolon);
        ASSERT_TRUE(state.shortcutCollisionNotice());
    };
    prefs.setOpeningSequenceBlocklist({";a"});
    prefs.setQuickOpenTarget(QuickOpenTarget::emoticons);
    prefs.setLibraryShortcut(KeyboardShortcut{14, ModifierFlag::control, "e"});
    prefs.setDefaultSkinTone(SkinTone::dark);
    collide();
    state.resetOpenModesToDefaults();
    EXPECT_FALSE(state.shortcutCollisionNotice());
    EXPECT_EQ(prefs.inlineTrigger(), ";");
    EXPECT_EQ(prefs.openingSequenceBlocklist(), Strings{});
    EXPECT_EQ(prefs.quickOpenShortcut(), QuickOpenShortcut::doubleSemicolon);
    EXPECT_EQ(prefs.quickOpenTarget(), QuickOpenTarget::all);
    EXPECT_FALSE(prefs.libraryShortcut());
    EXPECT_EQ(prefs.defaultSkinTone(), SkinTone::dark) << "only the open modes";
    EXPECT_EQ(state.customSearchTriggerDraft(), ";");

    collide();
    state.requestResetAllSettings();
    EXPECT_EQ(prefs.defaultSkinTone(), SkinTone::dark) << "asking changes nothing";
    state.cancelResetAllSettings();
    EXPECT_TRUE(state.shortcutCollisionNotice());
    state.requestResetAllSettings();
    state.confirmResetAllSettings();
    EXPECT_FALSE(state.isShowingResetAllSettingsAlert());
    EXPECT_FALSE(state.shortcutCollisionNotice());
    EXPECT_EQ(prefs.defaultSkinTone(), SkinTone::defaultTone);
    EXPECT_EQ(state.customSearchTriggerDraft(), ";");
    EXPECT_EQ(state.customSearchTriggerBlocklistDraft(), Strings{});
}

TEST_F(SettingsStateTest, PopupDelayFromTheSlider) {
    const std::pair<double, std::int64_t> rows[] = {{-20, 0},
                                                    {0, 0},
                                                    {349.5, 350},
                                                    {349.4, 349},
                                                    {1500.4, 1500},
                                                    {1600, 1500},
                                                    {std::numeric_limits<double>::quiet_NaN(), 0},
                                                    {std::numeric_limits<double>::infinity(), 1500}};
    for (const auto& [value, stored] : rows) {
        state.setPopupDelayFromSlider(value);
        EXPECT_EQ(prefs.popupDelayMs(), stored) << value;
    }
}

TEST_F(SettingsStateTest, LibraryShortcutSheet) {
    state.setLibraryShortcutSheetShown(true);
    const KeyboardShortcut recorded{40, ModifierFlag::shift | ModifierFlag::command, "k"};
    state.saveRecordedLibraryShortcut(recorded);
    EXPECT_EQ(prefs.libraryShortcut(), recorded);
    EXPECT_FALSE(state.isShowingLibraryShortcutSheet());
    state.setLibraryShortcutSheetShown(true);
    state.disableLibraryShortcut();
    EXPECT_FALSE(prefs.libraryShortcut());
    EXPECT_FALSE(defaults.contains("libraryShortcut"));
    EXPECT_FALSE(state.isShowingLibraryShortcutSheet());
}

TEST_F(SettingsStateTest, AddingExcludedAppsWritesEvenNothingNew) {
    prefs.setExcludedApps({{"b", "org.b"}, {"a", "org.a"}});
    defaults.log.clear();
    state.addExcludedApps({});
    EXPECT_EQ(writes("set excludedApps"), 1u);
    EXPECT_EQ(prefs.excludedApps(), (std::vector<ExcludedApp>{{"b", "org.b"}, {"a", "org.a"}}));
    state.addExcludedApps({{"c", "org.c"}});
    EXPECT_EQ(prefs.excludedApps(),
              (std::vector<ExcludedApp>{{"a", "org.a"}, {"b", "org.b"}, {"c", "org.c"}}));
}

TEST_F(SettingsStateTest, EveryChangeMovesTheRevision) {
    std::uint64_t seen = 0;
    auto watch = state.revision.observe([&](std::uint64_t value) { seen = value; });
    state.updaterStatusDidChange();
    state.updaterStatusDidChange();
    EXPECT_EQ(state.updaterStatusRefreshTick(), 2);
    const auto before = seen;
    state.selectTab(SettingsState::Tab::info);
    EXPECT_GT(seen, before);
}

}  // namespace
}  // namespace mosaiko
