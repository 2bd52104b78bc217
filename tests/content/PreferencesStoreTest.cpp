#include "content/PreferencesStore.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "content/EmoticonCatalog.hpp"
#include "platform/Json.hpp"
#include "platform/KeyEvent.hpp"
#include "platform/MemoryDefaults.hpp"

namespace mosaiko {
namespace {

using Strings = std::vector<std::string>;
using Dictionary = DefaultsValue::Dictionary;

DefaultsValue data(std::string bytes) {
    return DefaultsValue(DefaultsData{std::move(bytes)});
}

DefaultsValue strings(const Strings& values) {
    DefaultsValue::Array array(values.begin(), values.end());
    return DefaultsValue(std::move(array));
}

Json storedJson(const MemoryDefaults& db, std::string_view key) {
    const auto bytes = db.data(key);
    return bytes ? json::parse(*bytes).value_or(Json()) : Json();
}

std::size_t keptAsideCount(const MemoryDefaults& db) {
    const auto keys = db.keys();
    return std::count_if(keys.begin(), keys.end(), [](const auto& k) { return k.ends_with(".corrupt"); });
}

// Records every announced value together with the value the store held while announcing it.
template <class T>
struct Recorder {
    std::vector<std::pair<T, T>> seen;
    Cancellable subscription;
    explicit Recorder(PreferencesStore::Property<T>& property) {
        subscription =
            property.observe([this, &property](const T& value) { seen.emplace_back(value, property()); });
    }
};

EmojiEntry thumbsUp() {
    EmojiEntry entry{"thumbs-up", "👍", "thumbs up", "People & Body", {}, {}, std::nullopt, std::nullopt};
    entry.variants = EmojiEntry::Variants({{"👍", {}, std::nullopt},
                                           {"👍🏻", {SkinTone::light}, std::nullopt},
                                           {"👍🏿", {SkinTone::dark}, std::nullopt}});
    return entry;
}

TEST(PreferencesStoreTest, EmptyDatabaseIsSeededWithEveryDefault) {
    MemoryDefaults db;
    PreferencesStore store(db);
    const Dictionary expected = {
        {"popupDelayMs", std::int64_t{300}},
        {"inlineTrigger", ";"},
        {"openingSequenceBlocklist", strings({})},
        {"keepOpenOnShiftEnter", true},
        {"launchAtLoginEnabled", true},
        {"defaultSkinTone", "default"},
        {"quickOpenShortcut", "doubleSemicolon"},
        {"quickOpenTarget", "all"},
        {"searchSortPriority", "emojiFirst"},
        {"showPinsFirstInSearchResults", true},
        {"pinSortingAffectsGlobalSearchResults", true},
        {"emoticonOrder", strings(EmoticonCatalog::defaultOrder())},
        {"hiddenEmoticonIDs", strings({})},
        {"hasCompletedOnboarding", false},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(db.object(key), value) << key;
    EXPECT_FALSE(db.contains("libraryShortcut"));
    EXPECT_EQ(storedJson(db, "rememberedEmojiVariantsByEntryID"), Json::object());
    const auto apps = storedJson(db, "excludedApps");
    ASSERT_EQ(apps.size(), 12u);
    EXPECT_EQ(apps[0], (Json{{"name", "JetBrains IDEs"}, {"bundleIdentifier", "jetbrains-*"}}));
    EXPECT_EQ(apps[10], (Json{{"name", "XTerm"}, {"bundleIdentifier", "debian-xterm"}}));

    EXPECT_EQ(store.popupDelayMs(), 300);
    EXPECT_EQ(store.excludedApps(), PreferencesStore::defaultExcludedApps());
    EXPECT_EQ(store.quickOpenShortcut(), QuickOpenShortcut::doubleSemicolon);
    EXPECT_EQ(store.emoticonOrder(), EmoticonCatalog::defaultOrder());
    EXPECT_FALSE(store.libraryShortcut().has_value());
    EXPECT_EQ(keptAsideCount(db), 0u);
}

TEST(PreferencesStoreTest, OnboardingFlagIsSeededFromEarlierStateAndNeverChanged) {
    const auto seeded = [](Dictionary stored) {
        MemoryDefaults db(std::move(stored));
        PreferencesStore store(db);
        return db.object("hasCompletedOnboarding");
    };
    for (const char* key :
         {"emojiUsageHistory", "emojiUsageCounts", "emojiCollectionsV1", "hiddenEmoticonIDs"}) {
        EXPECT_EQ(seeded({{key, data("[]")}}), DefaultsValue(true)) << key;
    }
    EXPECT_EQ(seeded({{"customSnippetsV1", data("[]")}}), DefaultsValue(false));
    EXPECT_EQ(seeded({{"emojiUsageHistory", data("[]")}, {"hasCompletedOnboarding", false}}),
              DefaultsValue(false));
}

TEST(PreferencesStoreTest, StoredValuesAreLoadedNormalizedAndWrittenBack) {
    const Json shortcut = {{"keyCode", 14}, {"modifierFlagsRawValue", 0x140000}, {"keyEquivalent", "e"}};
    MemoryDefaults db({
        {"popupDelayMs", std::int64_t{1200}},
        {"inlineTrigger", "\t::"},
        {"openingSequenceBlocklist", strings({"http", "HTTP", "ftp"})},
        {"defaultSkinTone", "mediumDark"},
        {"excludedApps", data(R"([{"name":"Editor","bundleIdentifier":"org.example.*"},{"name":"Shell"}])")},
        {"quickOpenTarget", "emoticons"},
        {"libraryShortcut", data(json::dump(shortcut))},
        {"searchSortPriority", "emoticonsFirst"},
        {"pinSortingAffectsGlobalSearchResults", false},
        {"emoticonOrder", strings({"emoticon-sob", "emoticon-gone", "emoticon-sob", "emoticon-shrug"})},
        {"hiddenEmoticonIDs", strings({"emoticon-shrug", "emoticon-gone", "emoticon-cat"})},
        {"rememberedEmojiVariantsByEntryID", data(R"({"thumbs-up":"👍🏿"})")},
    });
    PreferencesStore store(db);

    EXPECT_EQ(store.popupDelayMs(), 1200);
    EXPECT_EQ(db.object("inlineTrigger"), DefaultsValue("::"));
    EXPECT_EQ(db.object("openingSequenceBlocklist"), strings({"http", "ftp"}));
    EXPECT_EQ(store.defaultSkinTone(), SkinTone::mediumDark);
    EXPECT_EQ(store.excludedApps(),
              (std::vector<ExcludedApp>{{"Editor", "org.example.*"}, {"Shell", std::nullopt}}));
    EXPECT_EQ(store.quickOpenTarget(), QuickOpenTarget::emoticons);
    EXPECT_EQ(store.libraryShortcut(), (KeyboardShortcut{14, 0x140000, "e"}));
    EXPECT_EQ(storedJson(db, "libraryShortcut"), shortcut);
    EXPECT_EQ(store.searchSortPriority(), SearchSortPriority::emoticonsFirst);
    EXPECT_FALSE(store.pinSortingAffectsGlobalSearchResults());
    EXPECT_EQ(store.rememberedEmojiVariantsByEntryID().at("thumbs-up"), "👍🏿");
    ASSERT_EQ(store.emoticonOrder().size(), 60u);
    EXPECT_EQ(Strings(store.emoticonOrder().begin(), store.emoticonOrder().begin() + 3),
              (Strings{"emoticon-sob", "emoticon-shrug", "emoticon-tableflip"}));
    EXPECT_EQ(db.object("emoticonOrder"), strings(store.emoticonOrder()));
    EXPECT_EQ(db.object("hiddenEmoticonIDs"), strings({"emoticon-cat", "emoticon-shrug"}));
    // Normalizing readable data is no corruption: nothing is kept aside.
    EXPECT_EQ(keptAsideCount(db), 0u);
}

TEST(PreferencesStoreTest, LoadingKeepsTheStoredInstantOpenChoiceUnlessItCollides) {
    // The trigger is read first; it must not move the instant-open choice before that is read.
    MemoryDefaults kept({{"inlineTrigger", ";;"}, {"quickOpenShortcut", "doubleSlash"}});
    PreferencesStore first(kept);
    EXPECT_EQ(first.quickOpenShortcut(), QuickOpenShortcut::doubleSlash);
    EXPECT_EQ(kept.object("quickOpenShortcut"), DefaultsValue("doubleSlash"));

    MemoryDefaults moved({{"inlineTrigger", ";;"}, {"quickOpenShortcut", "doubleSemicolon"}});
    PreferencesStore second(moved);
    EXPECT_EQ(moved.object("quickOpenShortcut"), DefaultsValue("doubleColon"));
}

TEST(PreferencesStoreTest, InlineTriggerDropsControlCharactersAndKeepsSixScalars) {
    MemoryDefaults db;
    PreferencesStore store(db);
    const auto assign = [&](std::string value) {
        store.setInlineTrigger(std::move(value));
        EXPECT_EQ(db.object("inlineTrigger"), DefaultsValue(store.inlineTrigger()));
        return store.inlineTrigger();
    };
    EXPECT_EQ(assign("\t;"), ";");
    EXPECT_EQ(assign("abcdefgh"), "abcdef");
    EXPECT_EQ(assign("🇩🇪abcde"), "🇩🇪abcd");  // a flag is two scalars
    EXPECT_EQ(assign("a\u200Db\u0007c"), "abc");
    EXPECT_EQ(assign("\t\n\u200B"), "");
    EXPECT_EQ(assign("  "), "  ");
}

TEST(PreferencesStoreTest, InstantOpenNeverEqualsTheTrigger) {
    using Q = QuickOpenShortcut;
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::doubleSlash, "//"), Q::doubleSemicolon);
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::doubleSemicolon, ";"), Q::doubleSemicolon);
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::doubleComma, ",,,"), Q::doubleComma);
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::disabled, ""), Q::disabled);

    MemoryDefaults db;
    PreferencesStore store(db);
    store.setInlineTrigger(";;");
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleColon"));
    store.setInlineTrigger("::");
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleSemicolon"));
    store.setQuickOpenShortcut(Q::doubleColon);
    EXPECT_EQ(store.quickOpenShortcut(), Q::doubleSemicolon);
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleSemicolon"));
}

TEST(PreferencesStoreTest, BlocklistIsCleanedDeduplicatedAndCut) {
    EXPECT_EQ(PreferencesStore::normalizedOpeningSequenceBlocklist({"Http", "hTTP", "", "a\u0007b", "\t"}),
              (Strings{"Http", "ab"}));
    EXPECT_EQ(PreferencesStore::normalizedOpeningSequenceBlocklist({std::string(40, 'x')}),
              (Strings{std::string(32, 'x')}));
    // Spaces are not trimmed, the order stays, and canonically equal texts are one entry.
    EXPECT_EQ(PreferencesStore::normalizedOpeningSequenceBlocklist({" a ", "b", "a", "\u00C9", "e\u0301"}),
              (Strings{" a ", "b", "a", "\u00C9"}));
}

TEST(PreferencesStoreTest, ValuesWithoutRulesAreStoredAsAssigned) {
    MemoryDefaults db;
    PreferencesStore store(db);
    store.setPopupDelayMs(-40);
    EXPECT_EQ(db.object("popupDelayMs"), DefaultsValue(std::int64_t{-40}));
    store.setExcludedApps({{"Only", std::nullopt}});
    EXPECT_EQ(storedJson(db, "excludedApps"), Json::parse(R"([{"name":"Only"}])"));
    // The emoticon order and hidden set are cleaned only when loaded; the set is stored sorted.
    store.setEmoticonOrder({"emoticon-nope", "emoticon-shrug", "emoticon-shrug"});
    EXPECT_EQ(db.object("emoticonOrder"), strings({"emoticon-nope", "emoticon-shrug", "emoticon-shrug"}));
    store.setHiddenEmoticonIDs({"emoticon-zzz", "emoticon-cat"});
    EXPECT_EQ(db.object("hiddenEmoticonIDs"), strings({"emoticon-cat", "emoticon-zzz"}));
    store.setLibraryShortcut(KeyboardShortcut{49, ModifierFlag::option, " "});
    EXPECT_EQ(storedJson(db, "libraryShortcut"),
              (Json{{"keyCode", 49}, {"modifierFlagsRawValue", 0x80000}, {"keyEquivalent", " "}}));
    store.setLibraryShortcut(std::nullopt);
    EXPECT_FALSE(db.contains("libraryShortcut"));
}

TEST(PreferencesStoreTest, SubscribersSeeTheAssignedValueThenTheNormalizedOneBeforeEachIsStored) {
    MemoryDefaults db;
    PreferencesStore store(db);
    Recorder<std::string> trigger(store.inlineTrigger);
    Recorder<QuickOpenShortcut> quickOpen(store.quickOpenShortcut);
    const auto writesBefore = db.writeCount();

    store.setInlineTrigger("\t;;");
    EXPECT_EQ(trigger.seen,
              (std::vector<std::pair<std::string, std::string>>{{"\t;;", ";"}, {";;", "\t;;"}}));
    // One write for the cleaned trigger, one for the instant-open sequence it displaced.
    EXPECT_EQ(db.writeCount() - writesBefore, 2u);
    EXPECT_EQ(quickOpen.seen, (std::vector<std::pair<QuickOpenShortcut, QuickOpenShortcut>>{
                                  {QuickOpenShortcut::doubleColon, QuickOpenShortcut::doubleSemicolon}}));

    quickOpen.seen.clear();
    store.setQuickOpenShortcut(QuickOpenShortcut::doubleSemicolon);
    EXPECT_EQ(quickOpen.seen, (std::vector<std::pair<QuickOpenShortcut, QuickOpenShortcut>>{
                                  {QuickOpenShortcut::doubleSemicolon, QuickOpenShortcut::doubleColon},
                                  {QuickOpenShortcut::doubleColon, QuickOpenShortcut::doubleSemicolon}}));

    Recorder<Strings> blocklist(store.openingSequenceBlocklist);
    store.setOpeningSequenceBlocklist({"a", "A"});
    EXPECT_EQ(blocklist.seen,
              (std::vector<std::pair<Strings, Strings>>{{{"a", "A"}, {}}, {{"a"}, {"a", "A"}}}));
}

TEST(PreferencesStoreTest, EveryAssignmentWritesOnceEvenWhenNothingChanged) {
    MemoryDefaults db;
    PreferencesStore store(db);
    const std::vector<std::function<void()>> assignments = {
        [&] { store.setPopupDelayMs(300); },
        [&] { store.setInlineTrigger(";"); },
        [&] { store.setOpeningSequenceBlocklist({}); },
        [&] { store.setKeepOpenOnShiftEnter(true); },
        [&] { store.setLaunchAtLoginEnabled(true); },
        [&] { store.setDefaultSkinTone(SkinTone::defaultTone); },
        [&] { store.setExcludedApps(store.excludedApps()); },
        [&] { store.setQuickOpenShortcut(QuickOpenShortcut::doubleSemicolon); },
        [&] { store.setQuickOpenTarget(QuickOpenTarget::all); },
        [&] { store.setLibraryShortcut(std::nullopt); },
        [&] { store.setSearchSortPriority(SearchSortPriority::emojiFirst); },
        [&] { store.setShowPinsFirstInSearchResults(true); },
        [&] { store.setPinSortingAffectsGlobalSearchResults(true); },
        [&] { store.setEmoticonOrder(store.emoticonOrder()); },
        [&] { store.setHiddenEmoticonIDs({}); },
        [&] { store.setRememberedEmojiVariantsByEntryID({}); },
        [&] { store.setInlineTrigger("ab\tc"); },  // written once, cleaned
    };
    for (std::size_t i = 0; i < assignments.size(); ++i) {
        const auto before = db.writeCount();
        assignments[i]();
        EXPECT_EQ(db.writeCount() - before, 1u) << "assignment " << i;
    }
}

TEST(PreferencesStoreTest, AnAssignmentFromInsideANotificationIsTheOneWritten) {
    MemoryDefaults db;
    PreferencesStore store(db);
    auto echo = store.popupDelayMs.observe([&](const std::int64_t& value) {
        if (value == 5) store.setPopupDelayMs(10);
    });
    store.setPopupDelayMs(5);
    EXPECT_EQ(db.object("popupDelayMs"), DefaultsValue(std::int64_t{10}));

    auto replace = store.inlineTrigger.observe([&](const std::string& value) {
        if (value == "x\t") store.setInlineTrigger("yy");
    });
    store.setInlineTrigger("x\t");
    EXPECT_EQ(store.inlineTrigger(), "yy");
    EXPECT_EQ(db.object("inlineTrigger"), DefaultsValue("yy"));
}

TEST(PreferencesStoreTest, ExclusionMatchesPatternsAndNamesWithoutRegardToCase) {
    MemoryDefaults db;
    PreferencesStore store(db);
    // What the workspace reports for editors and terminals on Debian (desktop-entry id, else window
    // class), and near misses.
    const std::vector<std::pair<std::string, bool>> reported = {
        {"JetBrains-IDEA-CE", true},
        {"jetbrains", false},
        {"Sublime_text", true},
        {"code", true},
        {"codeblocks", false},
        {"org.gnome.Terminal", true},
        {"org.kde.konsole", true},
        {"Xfce4-terminal", true},
        {"debian-xterm", true},
        {"org.gnome.Terminal2", false},
    };
    for (const auto& [id, excluded] : reported) EXPECT_EQ(store.isExcluded(id, std::nullopt), excluded) << id;
    // With a known identifier the name is not tried against a patterned entry.
    EXPECT_FALSE(store.isExcluded("org.example.shell", "Konsole"));
    EXPECT_TRUE(store.isExcluded(std::nullopt, "konsole"));
    EXPECT_FALSE(store.isExcluded(std::nullopt, std::nullopt));

    store.setExcludedApps({{"Star", "*"}, {"Blank", ""}, {"Plain", std::nullopt}});
    EXPECT_FALSE(store.isExcluded("org.example.star", "Star"));
    EXPECT_TRUE(store.isExcluded(std::nullopt, "star"));
    EXPECT_FALSE(store.isExcluded("", "Blank"));
    EXPECT_TRUE(store.isExcluded("org.example.plain", "PLAIN"));
}

TEST(PreferencesStoreTest, PreferredTextFollowsTheRememberedVariantThenTheSkinTone) {
    MemoryDefaults db;
    PreferencesStore store(db);
    const auto entry = thumbsUp();
    store.setDefaultSkinTone(SkinTone::dark);
    EXPECT_EQ(store.preferredEmojiText(entry), "👍🏿");
    store.setDefaultSkinTone(SkinTone::medium);
    EXPECT_EQ(store.preferredEmojiText(entry), "👍");
    store.setRememberedEmojiVariantsByEntryID({{"thumbs-up", "👍🏻"}});
    EXPECT_EQ(store.preferredEmojiText(entry), "👍🏻");
    // A remembered text that is no longer an option is ignored.
    store.setDefaultSkinTone(SkinTone::dark);
    store.setRememberedEmojiVariantsByEntryID({{"thumbs-up", "👍🏽"}});
    EXPECT_EQ(store.preferredEmojiText(entry), "👍🏿");
    EmojiEntry noOptions = entry;
    noOptions.variants = EmojiEntry::Variants();
    EXPECT_EQ(store.preferredEmojiText(noOptions), "👍");
}

TEST(PreferencesStoreTest, RememberingAVariantWritesOnlyRealChanges) {
    MemoryDefaults db;
    PreferencesStore store(db);
    const auto entry = thumbsUp();
    const auto& dark = entry.variants->options()[2];
    Recorder<std::map<std::string, std::string>> remembered(store.rememberedEmojiVariantsByEntryID);

    store.rememberEmojiVariant(dark, entry);
    EXPECT_EQ(storedJson(db, "rememberedEmojiVariantsByEntryID"), (Json{{"thumbs-up", "👍🏿"}}));
    ASSERT_EQ(remembered.seen.size(), 1u);
    EXPECT_TRUE(remembered.seen[0].second.empty());

    const auto before = db.writeCount();
    store.rememberEmojiVariant(dark, entry);
    store.rememberEmojiVariant({"✌🏿", {SkinTone::dark}, std::nullopt}, entry);
    EmojiEntry plain = entry;
    plain.variants.reset();
    store.rememberEmojiVariant(dark, plain);
    EXPECT_EQ(db.writeCount(), before);
    EXPECT_EQ(remembered.seen.size(), 1u);
}

TEST(PreferencesStoreTest, ResetsRestoreDefaultsAndLeaveOtherStateAlone) {
    const Dictionary other = {{"emojiCollectionsV1", data("{}")},
                              {"customSnippetsV1", data("[]")},
                              {"hasCompletedOnboarding", true}};
    MemoryDefaults db(other);
    PreferencesStore store(db);
    const auto customize = [&] {
        store.setPopupDelayMs(900);
        store.setInlineTrigger("::");
        store.setQuickOpenTarget(QuickOpenTarget::pins);
        store.setLibraryShortcut(KeyboardShortcut{14, ModifierFlag::command, "e"});
        store.setDefaultSkinTone(SkinTone::light);
        store.setExcludedApps({});
        store.setEmoticonOrder({"emoticon-sob"});
        store.setHiddenEmoticonIDs({"emoticon-sob"});
        store.setRememberedEmojiVariantsByEntryID({{"a", "b"}});
    };

    customize();
    store.resetEmoticonPreferencesToDefaults();
    EXPECT_EQ(db.object("emoticonOrder"), strings(EmoticonCatalog::defaultOrder()));
    EXPECT_EQ(db.object("hiddenEmoticonIDs"), strings({}));
    EXPECT_EQ(store.popupDelayMs(), 900);

    customize();
    store.resetOpenModesToDefaults();
    EXPECT_EQ(db.object("inlineTrigger"), DefaultsValue(";"));
    EXPECT_EQ(db.object("quickOpenTarget"), DefaultsValue("all"));
    EXPECT_FALSE(db.contains("libraryShortcut"));
    EXPECT_EQ(store.defaultSkinTone(), SkinTone::light);

    customize();
    store.resetAllSettingsToDefaults();
    MemoryDefaults fresh;
    PreferencesStore defaults(fresh);
    for (const auto& key : fresh.keys()) {
        if (key != "hasCompletedOnboarding") {
            EXPECT_EQ(db.object(key), fresh.object(key)) << key;
        }
    }
    EXPECT_FALSE(db.contains("libraryShortcut"));
    for (const auto& [key, value] : other) EXPECT_EQ(db.object(key), value) << key;
}

TEST(PreferencesStoreTest, UnreadableValuesAreKeptAsideBeforeTheDefaultsReplaceThem) {
    const std::string oneBadApp = R"([{"name":"Editor"},{"bundleIdentifier":3}])";
    const std::string badShortcut = R"({"keyCode":70000,"modifierFlagsRawValue":0,"keyEquivalent":"e"})";
    const std::string badMap = R"({"thumbs-up":"👍🏿","wave":7})";
    MemoryDefaults db({
        {"excludedApps", data(oneBadApp)},
        {"libraryShortcut", data(badShortcut)},
        {"rememberedEmojiVariantsByEntryID", data(badMap)},
        {"popupDelayMs", "soon"},
        {"inlineTrigger", std::int64_t{59}},
        {"keepOpenOnShiftEnter", "no"},
        {"searchSortPriority", "EmoticonsFirst"},
        {"emoticonOrder", "emoticon-sob"},
        {"hiddenEmoticonIDs", DefaultsValue::Array{DefaultsValue("emoticon-sob"), DefaultsValue(true)}},
        {"openingSequenceBlocklist", data("[\"ok\"")},
    });
    PreferencesStore store(db);

    EXPECT_EQ(store.excludedApps(), PreferencesStore::defaultExcludedApps());
    EXPECT_FALSE(db.contains("libraryShortcut"));
    EXPECT_TRUE(store.rememberedEmojiVariantsByEntryID().empty());
    EXPECT_EQ(store.inlineTrigger(), ";");
    EXPECT_EQ(db.object("searchSortPriority"), DefaultsValue("emojiFirst"));
    EXPECT_EQ(store.emoticonOrder(), EmoticonCatalog::defaultOrder());

    EXPECT_EQ(db.object("excludedApps.corrupt"), data(oneBadApp));
    EXPECT_EQ(db.object("libraryShortcut.corrupt"), data(badShortcut));
    EXPECT_EQ(db.object("rememberedEmojiVariantsByEntryID.corrupt"), data(badMap));
    EXPECT_EQ(db.object("popupDelayMs.corrupt"), DefaultsValue("soon"));
    EXPECT_EQ(db.object("inlineTrigger.corrupt"), DefaultsValue(std::int64_t{59}));
    EXPECT_EQ(db.object("searchSortPriority.corrupt"), DefaultsValue("EmoticonsFirst"));
    EXPECT_EQ(db.object("openingSequenceBlocklist.corrupt"), data("[\"ok\""));
    EXPECT_EQ(keptAsideCount(db), 10u);

    // The next start finds readable values only and keeps nothing more aside.
    PreferencesStore again(db);
    EXPECT_EQ(keptAsideCount(db), 10u);
}

}  // namespace
}  // namespace mosaiko
