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

DefaultsValue data(std::string bytes) {
    return DefaultsValue(DefaultsData{std::move(bytes)});
}

DefaultsValue strings(const Strings& values) {
    DefaultsValue::Array array;
    for (const auto& v : values) array.emplace_back(v);
    return DefaultsValue(std::move(array));
}

Json storedJson(const MemoryDefaults& db, std::string_view key) {
    const auto bytes = db.data(key);
    if (!bytes) return Json();
    return json::parse(*bytes).value_or(Json());
}

std::vector<std::string> keysEndingInCorrupt(const MemoryDefaults& db) {
    std::vector<std::string> found;
    for (const auto& key : db.keys()) {
        if (key.find(".corrupt") != std::string::npos) found.push_back(key);
    }
    return found;
}

// Records every announced value of a property with the value the store held while announcing it.
template <class T>
struct Recorder {
    std::vector<std::pair<T, T>> seen;  // (announced, held by the store at that moment)
    Cancellable subscription;

    explicit Recorder(PreferencesStore::Property<T>& property) {
        subscription =
            property.observe([this, &property](const T& value) { seen.emplace_back(value, property()); });
    }
};

EmojiEntry thumbsUp() {
    EmojiEntry entry;
    entry.id = "thumbs-up";
    entry.emoji = "👍";
    entry.name = "thumbs up";
    entry.category = "People & Body";
    entry.variants = EmojiEntry::Variants({{"👍", {}, std::nullopt},
                                           {"👍🏻", {SkinTone::light}, std::nullopt},
                                           {"👍🏿", {SkinTone::dark}, std::nullopt}});
    return entry;
}

// ---------------------------------------------------------------- loading and seeding

TEST(PreferencesStoreTest, EmptyDatabaseIsSeededWithEveryDefault) {
    MemoryDefaults db;
    PreferencesStore store(db);

    EXPECT_EQ(store.popupDelayMs(), 300);
    EXPECT_EQ(store.inlineTrigger(), ";");
    EXPECT_TRUE(store.openingSequenceBlocklist().empty());
    EXPECT_TRUE(store.keepOpenOnShiftEnter());
    EXPECT_TRUE(store.launchAtLoginEnabled());
    EXPECT_EQ(store.defaultSkinTone(), SkinTone::defaultTone);
    EXPECT_EQ(store.excludedApps(), PreferencesStore::defaultExcludedApps());
    EXPECT_EQ(store.quickOpenShortcut(), QuickOpenShortcut::doubleSemicolon);
    EXPECT_EQ(store.quickOpenTarget(), QuickOpenTarget::all);
    EXPECT_FALSE(store.libraryShortcut().has_value());
    EXPECT_EQ(store.searchSortPriority(), SearchSortPriority::emojiFirst);
    EXPECT_TRUE(store.showPinsFirstInSearchResults());
    EXPECT_TRUE(store.pinSortingAffectsGlobalSearchResults());
    EXPECT_EQ(store.emoticonOrder(), EmoticonCatalog::defaultOrder());
    EXPECT_TRUE(store.hiddenEmoticonIDs().empty());
    EXPECT_TRUE(store.rememberedEmojiVariantsByEntryID().empty());

    EXPECT_EQ(db.object("popupDelayMs"), DefaultsValue(std::int64_t{300}));
    EXPECT_EQ(db.object("inlineTrigger"), DefaultsValue(";"));
    EXPECT_EQ(db.object("openingSequenceBlocklist"), strings({}));
    EXPECT_EQ(db.object("keepOpenOnShiftEnter"), DefaultsValue(true));
    EXPECT_EQ(db.object("launchAtLoginEnabled"), DefaultsValue(true));
    EXPECT_EQ(db.object("defaultSkinTone"), DefaultsValue("default"));
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleSemicolon"));
    EXPECT_EQ(db.object("quickOpenTarget"), DefaultsValue("all"));
    EXPECT_FALSE(db.contains("libraryShortcut"));
    EXPECT_EQ(db.object("searchSortPriority"), DefaultsValue("emojiFirst"));
    EXPECT_EQ(db.object("showPinsFirstInSearchResults"), DefaultsValue(true));
    EXPECT_EQ(db.object("pinSortingAffectsGlobalSearchResults"), DefaultsValue(true));
    EXPECT_EQ(db.object("emoticonOrder"), strings(EmoticonCatalog::defaultOrder()));
    EXPECT_EQ(db.object("hiddenEmoticonIDs"), strings({}));
    EXPECT_EQ(storedJson(db, "rememberedEmojiVariantsByEntryID"), Json::object());
    EXPECT_EQ(db.object("hasCompletedOnboarding"), DefaultsValue(false));

    const auto apps = storedJson(db, "excludedApps");
    ASSERT_TRUE(apps.is_array());
    ASSERT_EQ(apps.size(), 6u);
    EXPECT_EQ(apps[0], (Json{{"name", "JetBrains IDEs"}, {"bundleIdentifier", "com.jetbrains.*"}}));
    EXPECT_EQ(apps[5], (Json{{"name", "Terminal"}, {"bundleIdentifier", "com.apple.Terminal"}}));
    EXPECT_TRUE(keysEndingInCorrupt(db).empty());
}

TEST(PreferencesStoreTest, OnboardingFlagIsSeededFromEarlierStateOnly) {
    for (const char* key : {"emojiUsageHistory", "emojiUsageCounts", "emojiCollectionsV1",
                            "hiddenEmoticonIDs", "rememberedEmojiVariantsByEntryID", "popupDelayMs"}) {
        MemoryDefaults db({{key, data("[]")}});
        PreferencesStore store(db);
        EXPECT_EQ(db.object("hasCompletedOnboarding"), DefaultsValue(true)) << key;
    }
    {
        // Snippets alone do not count as earlier use.
        MemoryDefaults db({{"customSnippetsV1", data("[]")}});
        PreferencesStore store(db);
        EXPECT_EQ(db.object("hasCompletedOnboarding"), DefaultsValue(false));
    }
    {
        // A stored flag is never changed by loading.
        MemoryDefaults db({{"emojiUsageHistory", data("[]")}, {"hasCompletedOnboarding", false}});
        PreferencesStore store(db);
        EXPECT_EQ(db.object("hasCompletedOnboarding"), DefaultsValue(false));
    }
    {
        MemoryDefaults db({{"hasCompletedOnboarding", true}});
        PreferencesStore store(db);
        EXPECT_EQ(db.object("hasCompletedOnboarding"), DefaultsValue(true));
    }
}

TEST(PreferencesStoreTest, StoredValuesAreLoadedAndWrittenBack) {
    const Json shortcut = {{"keyCode", 14}, {"modifierFlagsRawValue", 0x140000}, {"keyEquivalent", "e"}};
    MemoryDefaults db({
        {"popupDelayMs", std::int64_t{1200}},
        {"inlineTrigger", "::"},
        {"openingSequenceBlocklist", strings({"http", "HTTP", "ftp"})},
        {"keepOpenOnShiftEnter", false},
        {"launchAtLoginEnabled", false},
        {"defaultSkinTone", "mediumDark"},
        {"excludedApps", data(R"([{"name":"Editor","bundleIdentifier":"org.example.*"},{"name":"Shell"}])")},
        {"quickOpenShortcut", "doubleSlash"},
        {"quickOpenTarget", "emoticons"},
        {"libraryShortcut", data(json::dump(shortcut))},
        {"searchSortPriority", "emoticonsFirst"},
        {"showPinsFirstInSearchResults", false},
        {"pinSortingAffectsGlobalSearchResults", false},
        {"emoticonOrder", strings({"emoticon-sob", "emoticon-gone", "emoticon-sob", "emoticon-shrug"})},
        {"hiddenEmoticonIDs", strings({"emoticon-shrug", "emoticon-gone", "emoticon-cat"})},
        {"rememberedEmojiVariantsByEntryID", data(R"({"thumbs-up":"👍🏿"})")},
    });
    PreferencesStore store(db);

    EXPECT_EQ(store.popupDelayMs(), 1200);
    EXPECT_EQ(store.inlineTrigger(), "::");
    EXPECT_EQ(store.openingSequenceBlocklist(), (Strings{"http", "ftp"}));
    EXPECT_EQ(db.object("openingSequenceBlocklist"), strings({"http", "ftp"}));
    EXPECT_FALSE(store.keepOpenOnShiftEnter());
    EXPECT_FALSE(store.launchAtLoginEnabled());
    EXPECT_EQ(store.defaultSkinTone(), SkinTone::mediumDark);
    EXPECT_EQ(store.excludedApps(),
              (std::vector<ExcludedApp>{{"Editor", "org.example.*"}, {"Shell", std::nullopt}}));
    EXPECT_EQ(store.quickOpenShortcut(), QuickOpenShortcut::doubleSlash);
    EXPECT_EQ(store.quickOpenTarget(), QuickOpenTarget::emoticons);
    ASSERT_TRUE(store.libraryShortcut().has_value());
    EXPECT_EQ(*store.libraryShortcut(), (KeyboardShortcut{14, 0x140000, "e"}));
    EXPECT_EQ(storedJson(db, "libraryShortcut"), shortcut);
    EXPECT_EQ(store.searchSortPriority(), SearchSortPriority::emoticonsFirst);
    EXPECT_FALSE(store.showPinsFirstInSearchResults());
    EXPECT_FALSE(store.pinSortingAffectsGlobalSearchResults());
    EXPECT_EQ(store.rememberedEmojiVariantsByEntryID(),
              (std::map<std::string, std::string>{{"thumbs-up", "👍🏿"}}));

    // The order is normalized and the hidden set keeps known ids only; both are written back.
    ASSERT_EQ(store.emoticonOrder().size(), 60u);
    EXPECT_EQ(store.emoticonOrder()[0], "emoticon-sob");
    EXPECT_EQ(store.emoticonOrder()[1], "emoticon-shrug");
    EXPECT_EQ(store.emoticonOrder()[2], "emoticon-tableflip");
    EXPECT_EQ(db.object("emoticonOrder"), strings(store.emoticonOrder()));
    EXPECT_EQ(store.hiddenEmoticonIDs(), (std::set<std::string>{"emoticon-cat", "emoticon-shrug"}));
    EXPECT_EQ(db.object("hiddenEmoticonIDs"), strings({"emoticon-cat", "emoticon-shrug"}));

    // Normalizing valid data is no corruption: nothing is kept aside.
    EXPECT_TRUE(keysEndingInCorrupt(db).empty());
}

TEST(PreferencesStoreTest, UnknownNamesFallBackToTheirDefaults) {
    MemoryDefaults db({
        {"defaultSkinTone", "purple"},
        {"quickOpenShortcut", "tripleDot"},
        {"quickOpenTarget", "Pins"},
        {"searchSortPriority", "EmoticonsFirst"},
        {"inlineTrigger", "\t;\n"},
    });
    PreferencesStore store(db);
    EXPECT_EQ(store.defaultSkinTone(), SkinTone::defaultTone);
    EXPECT_EQ(store.quickOpenShortcut(), QuickOpenShortcut::doubleSemicolon);
    EXPECT_EQ(store.quickOpenTarget(), QuickOpenTarget::all);
    EXPECT_EQ(store.searchSortPriority(), SearchSortPriority::emojiFirst);
    EXPECT_EQ(db.object("defaultSkinTone"), DefaultsValue("default"));
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleSemicolon"));
    EXPECT_EQ(db.object("quickOpenTarget"), DefaultsValue("all"));
    EXPECT_EQ(db.object("searchSortPriority"), DefaultsValue("emojiFirst"));
    EXPECT_EQ(store.inlineTrigger(), ";");
    EXPECT_EQ(db.object("inlineTrigger"), DefaultsValue(";"));
}

TEST(PreferencesStoreTest, LoadingKeepsTheStoredInstantOpenChoiceUnlessItCollides) {
    {
        // The trigger is read first; it must not move the instant-open choice before that is read.
        MemoryDefaults db({{"inlineTrigger", ";;"}, {"quickOpenShortcut", "doubleSlash"}});
        PreferencesStore store(db);
        EXPECT_EQ(store.inlineTrigger(), ";;");
        EXPECT_EQ(store.quickOpenShortcut(), QuickOpenShortcut::doubleSlash);
        EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleSlash"));
    }
    {
        MemoryDefaults db({{"inlineTrigger", ";;"}, {"quickOpenShortcut", "doubleSemicolon"}});
        PreferencesStore store(db);
        EXPECT_EQ(store.quickOpenShortcut(), QuickOpenShortcut::doubleColon);
        EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleColon"));
    }
    {
        MemoryDefaults db(DefaultsValue::Dictionary{{"inlineTrigger", "::"}});
        PreferencesStore store(db);
        EXPECT_EQ(store.quickOpenShortcut(), QuickOpenShortcut::doubleSemicolon);
    }
}

// ---------------------------------------------------------------- rules of the setters

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
    // A flag is two scalars.
    EXPECT_EQ(assign("🇩🇪abcde"), "🇩🇪abcd");
    EXPECT_EQ(assign("a\u200Db\u0007c"), "abc");
    EXPECT_EQ(assign("\t\n\u200B"), "");
    EXPECT_EQ(assign("  "), "  ");
    EXPECT_EQ(assign("é;"), "é;");
}

TEST(PreferencesStoreTest, InstantOpenNeverEqualsTheTrigger) {
    using Q = QuickOpenShortcut;
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::doubleSemicolon, ";;"), Q::doubleColon);
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::doubleColon, "::"), Q::doubleSemicolon);
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::doubleSlash, "//"), Q::doubleSemicolon);
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::doubleSemicolon, "//"), Q::doubleSemicolon);
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::doubleSemicolon, ";"), Q::doubleSemicolon);
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::doubleComma, ",,,"), Q::doubleComma);
    EXPECT_EQ(PreferencesStore::resolvedQuickOpenShortcut(Q::disabled, ""), Q::disabled);

    MemoryDefaults db;
    PreferencesStore store(db);
    store.setInlineTrigger(";;");
    EXPECT_EQ(store.quickOpenShortcut(), Q::doubleColon);
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleColon"));

    store.setInlineTrigger("::");
    EXPECT_EQ(store.quickOpenShortcut(), Q::doubleSemicolon);
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleSemicolon"));

    // Assigning the colliding sequence directly moves it as well.
    store.setQuickOpenShortcut(Q::doubleColon);
    EXPECT_EQ(store.quickOpenShortcut(), Q::doubleSemicolon);
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleSemicolon"));

    store.setQuickOpenShortcut(Q::disabled);
    store.setInlineTrigger("");
    EXPECT_EQ(store.quickOpenShortcut(), Q::disabled);
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("disabled"));
}

TEST(PreferencesStoreTest, BlocklistIsCleanedDeduplicatedAndCut) {
    EXPECT_EQ(PreferencesStore::normalizedOpeningSequenceBlocklist({"Http", "hTTP", "", "a\u0007b", "\t"}),
              (Strings{"Http", "ab"}));
    EXPECT_EQ(PreferencesStore::normalizedOpeningSequenceBlocklist({std::string(40, 'x')}),
              (Strings{std::string(32, 'x')}));
    // Spaces are not trimmed; the order stays; canonically equal texts are one entry.
    EXPECT_EQ(PreferencesStore::normalizedOpeningSequenceBlocklist({" a ", "b", "a", "\u00C9", "e\u0301"}),
              (Strings{" a ", "b", "a", "\u00C9"}));
    EXPECT_TRUE(PreferencesStore::normalizedOpeningSequenceBlocklist({}).empty());

    MemoryDefaults db;
    PreferencesStore store(db);
    store.setOpeningSequenceBlocklist({"Http", "hTTP", "", "a\u0007b"});
    EXPECT_EQ(store.openingSequenceBlocklist(), (Strings{"Http", "ab"}));
    EXPECT_EQ(db.object("openingSequenceBlocklist"), strings({"Http", "ab"}));
}

TEST(PreferencesStoreTest, ValuesWithoutRulesAreStoredAsAssigned) {
    MemoryDefaults db;
    PreferencesStore store(db);
    store.setPopupDelayMs(-40);
    EXPECT_EQ(db.object("popupDelayMs"), DefaultsValue(std::int64_t{-40}));
    store.setDefaultSkinTone(SkinTone::mediumLight);
    EXPECT_EQ(db.object("defaultSkinTone"), DefaultsValue("mediumLight"));
    store.setQuickOpenTarget(QuickOpenTarget::shortcodes);
    EXPECT_EQ(db.object("quickOpenTarget"), DefaultsValue("shortcodes"));
    store.setSearchSortPriority(SearchSortPriority::emoticonsFirst);
    EXPECT_EQ(db.object("searchSortPriority"), DefaultsValue("emoticonsFirst"));
    store.setExcludedApps({{"Only", std::nullopt}});
    EXPECT_EQ(storedJson(db, "excludedApps"), Json::parse(R"([{"name":"Only"}])"));

    // The emoticon order and hidden set are not cleaned on assignment; the set is stored sorted.
    store.setEmoticonOrder({"emoticon-nope", "emoticon-shrug", "emoticon-shrug"});
    EXPECT_EQ(db.object("emoticonOrder"), strings({"emoticon-nope", "emoticon-shrug", "emoticon-shrug"}));
    store.setHiddenEmoticonIDs({"emoticon-zzz", "emoticon-cat", "emoticon-nope"});
    EXPECT_EQ(db.object("hiddenEmoticonIDs"), strings({"emoticon-cat", "emoticon-nope", "emoticon-zzz"}));

    store.setLibraryShortcut(KeyboardShortcut{49, ModifierFlag::option, " "});
    EXPECT_EQ(storedJson(db, "libraryShortcut"),
              (Json{{"keyCode", 49}, {"modifierFlagsRawValue", 0x80000}, {"keyEquivalent", " "}}));
    store.setLibraryShortcut(std::nullopt);
    EXPECT_FALSE(db.contains("libraryShortcut"));
}

// ---------------------------------------------------------------- notification and write-through

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
    EXPECT_EQ(db.object("inlineTrigger"), DefaultsValue(";;"));
    EXPECT_EQ(quickOpen.seen, (std::vector<std::pair<QuickOpenShortcut, QuickOpenShortcut>>{
                                  {QuickOpenShortcut::doubleColon, QuickOpenShortcut::doubleSemicolon}}));

    quickOpen.seen.clear();
    store.setQuickOpenShortcut(QuickOpenShortcut::doubleSemicolon);
    EXPECT_EQ(quickOpen.seen, (std::vector<std::pair<QuickOpenShortcut, QuickOpenShortcut>>{
                                  {QuickOpenShortcut::doubleSemicolon, QuickOpenShortcut::doubleColon},
                                  {QuickOpenShortcut::doubleColon, QuickOpenShortcut::doubleSemicolon}}));
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleColon"));

    Recorder<Strings> blocklist(store.openingSequenceBlocklist);
    store.setOpeningSequenceBlocklist({"a", "A"});
    EXPECT_EQ(blocklist.seen,
              (std::vector<std::pair<Strings, Strings>>{{{"a", "A"}, {}}, {{"a"}, {"a", "A"}}}));

    // A value that needs no cleaning is announced once.
    Recorder<std::int64_t> delay(store.popupDelayMs);
    store.setPopupDelayMs(600);
    EXPECT_EQ(delay.seen, (std::vector<std::pair<std::int64_t, std::int64_t>>{{600, 300}}));
}

TEST(PreferencesStoreTest, EveryAssignmentWritesOnceEvenWhenNothingChanged) {
    MemoryDefaults db;
    PreferencesStore store(db);
    const std::vector<std::pair<const char*, std::function<void()>>> assignments = {
        {"popupDelayMs", [&] { store.setPopupDelayMs(store.popupDelayMs()); }},
        {"inlineTrigger", [&] { store.setInlineTrigger(store.inlineTrigger()); }},
        {"openingSequenceBlocklist",
         [&] { store.setOpeningSequenceBlocklist(store.openingSequenceBlocklist()); }},
        {"keepOpenOnShiftEnter", [&] { store.setKeepOpenOnShiftEnter(true); }},
        {"launchAtLoginEnabled", [&] { store.setLaunchAtLoginEnabled(true); }},
        {"defaultSkinTone", [&] { store.setDefaultSkinTone(SkinTone::defaultTone); }},
        {"excludedApps", [&] { store.setExcludedApps(store.excludedApps()); }},
        {"quickOpenShortcut", [&] { store.setQuickOpenShortcut(QuickOpenShortcut::doubleSemicolon); }},
        {"quickOpenTarget", [&] { store.setQuickOpenTarget(QuickOpenTarget::all); }},
        {"libraryShortcut", [&] { store.setLibraryShortcut(std::nullopt); }},
        {"searchSortPriority", [&] { store.setSearchSortPriority(SearchSortPriority::emojiFirst); }},
        {"showPinsFirstInSearchResults", [&] { store.setShowPinsFirstInSearchResults(true); }},
        {"pinSortingAffectsGlobalSearchResults",
         [&] { store.setPinSortingAffectsGlobalSearchResults(true); }},
        {"emoticonOrder", [&] { store.setEmoticonOrder(store.emoticonOrder()); }},
        {"hiddenEmoticonIDs", [&] { store.setHiddenEmoticonIDs({}); }},
        {"rememberedEmojiVariantsByEntryID", [&] { store.setRememberedEmojiVariantsByEntryID({}); }},
    };
    for (const auto& [key, assign] : assignments) {
        const auto before = db.writeCount();
        assign();
        EXPECT_EQ(db.writeCount() - before, 1u) << key;
    }
    // A cleaned value is written once, in its cleaned form only.
    const auto before = db.writeCount();
    store.setInlineTrigger("ab\tc");
    EXPECT_EQ(db.writeCount() - before, 1u);
}

TEST(PreferencesStoreTest, AnAssignmentFromInsideANotificationWins) {
    MemoryDefaults db;
    PreferencesStore store(db);
    auto echo = store.popupDelayMs.observe([&](const std::int64_t& value) {
        if (value == 5) store.setPopupDelayMs(10);
    });
    store.setPopupDelayMs(5);
    EXPECT_EQ(store.popupDelayMs(), 10);
    EXPECT_EQ(db.object("popupDelayMs"), DefaultsValue(std::int64_t{10}));

    // The same inside a normalizing setter: the stale outer value must not be written last.
    auto override = store.inlineTrigger.observe([&](const std::string& value) {
        if (value == "x\t") store.setInlineTrigger("yy");
    });
    store.setInlineTrigger("x\t");
    EXPECT_EQ(store.inlineTrigger(), "yy");
    EXPECT_EQ(db.object("inlineTrigger"), DefaultsValue("yy"));
}

// ---------------------------------------------------------------- exclusion

TEST(PreferencesStoreTest, ExclusionMatchesPatternsAndNamesWithoutRegardToCase) {
    MemoryDefaults db;
    PreferencesStore store(db);
    EXPECT_TRUE(store.isExcluded("com.jetbrains.pycharm", std::nullopt));
    EXPECT_TRUE(store.isExcluded("COM.JetBrains.IntelliJ", "Whatever"));
    EXPECT_FALSE(store.isExcluded("com.jetbrainsx", std::nullopt));
    EXPECT_TRUE(store.isExcluded("com.googlecode.iterm2", std::nullopt));
    EXPECT_TRUE(store.isExcluded("com.apple.terminal", std::nullopt));
    EXPECT_FALSE(store.isExcluded("com.apple.Terminal2", std::nullopt));
    // With a known identifier the name is never tried against a patterned entry.
    EXPECT_FALSE(store.isExcluded("org.example.shell", "Terminal"));
    EXPECT_TRUE(store.isExcluded(std::nullopt, "terminal"));
    EXPECT_TRUE(store.isExcluded(std::nullopt, "VISUAL STUDIO CODE"));
    EXPECT_FALSE(store.isExcluded(std::nullopt, "Term"));
    EXPECT_FALSE(store.isExcluded(std::nullopt, std::nullopt));

    store.setExcludedApps({{"Star", "*"}, {"Blank", ""}, {"Plain", std::nullopt}});
    EXPECT_FALSE(store.isExcluded("org.example.star", "Star"));
    EXPECT_TRUE(store.isExcluded(std::nullopt, "star"));
    EXPECT_FALSE(store.isExcluded("", "Blank"));
    EXPECT_TRUE(store.isExcluded(std::nullopt, "BLANK"));
    EXPECT_TRUE(store.isExcluded("org.example.plain", "plain"));
    EXPECT_FALSE(store.isExcluded("org.example.plain", "other"));
}

// ---------------------------------------------------------------- variants

TEST(PreferencesStoreTest, PreferredTextFollowsRememberedVariantThenSkinTone) {
    MemoryDefaults db;
    PreferencesStore store(db);
    const auto entry = thumbsUp();

    EXPECT_EQ(store.preferredEmojiText(entry), "👍");
    store.setDefaultSkinTone(SkinTone::dark);
    EXPECT_EQ(store.preferredEmojiText(entry), "👍🏿");
    // No option for this tone: the untoned one.
    store.setDefaultSkinTone(SkinTone::medium);
    EXPECT_EQ(store.preferredEmojiText(entry), "👍");

    store.setRememberedEmojiVariantsByEntryID({{"thumbs-up", "👍🏻"}});
    EXPECT_EQ(store.preferredEmojiText(entry), "👍🏻");
    // A remembered text that is no longer an option is ignored.
    store.setDefaultSkinTone(SkinTone::dark);
    store.setRememberedEmojiVariantsByEntryID({{"thumbs-up", "👍🏽"}});
    EXPECT_EQ(store.preferredEmojiText(entry), "👍🏿");

    EmojiEntry plain = entry;
    plain.variants.reset();
    EXPECT_EQ(store.preferredEmojiText(plain), "👍");
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

    auto before = db.writeCount();
    store.rememberEmojiVariant(dark, entry);
    EXPECT_EQ(db.writeCount() - before, 1u);
    EXPECT_EQ(storedJson(db, "rememberedEmojiVariantsByEntryID"), (Json{{"thumbs-up", "👍🏿"}}));
    ASSERT_EQ(remembered.seen.size(), 1u);
    EXPECT_TRUE(remembered.seen[0].second.empty());

    before = db.writeCount();
    store.rememberEmojiVariant(dark, entry);
    EmojiEntry::Variants::Option foreign{"✌🏿", {SkinTone::dark}, std::nullopt};
    store.rememberEmojiVariant(foreign, entry);
    EmojiEntry plain = entry;
    plain.variants.reset();
    store.rememberEmojiVariant(dark, plain);
    EXPECT_EQ(db.writeCount(), before);
    EXPECT_EQ(remembered.seen.size(), 1u);

    store.rememberEmojiVariant(entry.variants->options()[1], entry);
    EXPECT_EQ(storedJson(db, "rememberedEmojiVariantsByEntryID"), (Json{{"thumbs-up", "👍🏻"}}));
}

// ---------------------------------------------------------------- resets

TEST(PreferencesStoreTest, ResetsRestoreDefaultsAndLeaveOtherStateAlone) {
    MemoryDefaults db({{"emojiCollectionsV1", data("{}")},
                       {"customSnippetsV1", data("[]")},
                       {"emojiUsageHistory", data("[]")},
                       {"hasCompletedOnboarding", true}});
    PreferencesStore store(db);
    const auto customize = [&] {
        store.setPopupDelayMs(900);
        store.setInlineTrigger("::");
        store.setOpeningSequenceBlocklist({"x"});
        store.setKeepOpenOnShiftEnter(false);
        store.setLaunchAtLoginEnabled(false);
        store.setDefaultSkinTone(SkinTone::light);
        store.setExcludedApps({});
        store.setQuickOpenShortcut(QuickOpenShortcut::doubleComma);
        store.setQuickOpenTarget(QuickOpenTarget::pins);
        store.setLibraryShortcut(KeyboardShortcut{14, ModifierFlag::command, "e"});
        store.setSearchSortPriority(SearchSortPriority::emoticonsFirst);
        store.setShowPinsFirstInSearchResults(false);
        store.setPinSortingAffectsGlobalSearchResults(false);
        store.setEmoticonOrder({"emoticon-sob"});
        store.setHiddenEmoticonIDs({"emoticon-sob"});
        store.setRememberedEmojiVariantsByEntryID({{"a", "b"}});
    };

    customize();
    store.resetEmoticonPreferencesToDefaults();
    EXPECT_EQ(store.emoticonOrder(), EmoticonCatalog::defaultOrder());
    EXPECT_EQ(db.object("emoticonOrder"), strings(EmoticonCatalog::defaultOrder()));
    EXPECT_EQ(db.object("hiddenEmoticonIDs"), strings({}));
    EXPECT_EQ(store.popupDelayMs(), 900);

    customize();
    store.resetOpenModesToDefaults();
    EXPECT_EQ(db.object("inlineTrigger"), DefaultsValue(";"));
    EXPECT_EQ(db.object("openingSequenceBlocklist"), strings({}));
    EXPECT_EQ(db.object("quickOpenShortcut"), DefaultsValue("doubleSemicolon"));
    EXPECT_EQ(db.object("quickOpenTarget"), DefaultsValue("all"));
    EXPECT_FALSE(db.contains("libraryShortcut"));
    EXPECT_FALSE(store.libraryShortcut().has_value());
    EXPECT_EQ(store.popupDelayMs(), 900);
    EXPECT_EQ(store.defaultSkinTone(), SkinTone::light);

    customize();
    store.resetAllSettingsToDefaults();
    MemoryDefaults fresh;
    PreferencesStore defaults(fresh);
    for (const char* key : {"popupDelayMs", "inlineTrigger", "openingSequenceBlocklist",
                            "keepOpenOnShiftEnter", "launchAtLoginEnabled", "defaultSkinTone", "excludedApps",
                            "quickOpenShortcut", "quickOpenTarget", "libraryShortcut", "searchSortPriority",
                            "showPinsFirstInSearchResults", "pinSortingAffectsGlobalSearchResults",
                            "emoticonOrder", "hiddenEmoticonIDs", "rememberedEmojiVariantsByEntryID"}) {
        EXPECT_EQ(db.object(key), fresh.object(key)) << key;
    }
    EXPECT_EQ(store.excludedApps(), PreferencesStore::defaultExcludedApps());
    EXPECT_EQ(db.object("hasCompletedOnboarding"), DefaultsValue(true));
    EXPECT_EQ(db.object("emojiCollectionsV1"), data("{}"));
    EXPECT_EQ(db.object("customSnippetsV1"), data("[]"));
    EXPECT_EQ(db.object("emojiUsageHistory"), data("[]"));
}

// ---------------------------------------------------------------- unreadable stored values

TEST(PreferencesStoreTest, UnreadableValuesAreKeptAsideBeforeTheDefaultReplacesThem) {
    const std::string oneBadApp =
        R"([{"name":"Editor","bundleIdentifier":"org.example.*"},{"bundleIdentifier":3}])";
    const std::string badShortcut = R"({"keyCode":70000,"modifierFlagsRawValue":0,"keyEquivalent":"e"})";
    const std::string badMap = R"({"thumbs-up":"👍🏿","wave":7})";
    MemoryDefaults db({
        {"excludedApps", data(oneBadApp)},
        {"libraryShortcut", data(badShortcut)},
        {"rememberedEmojiVariantsByEntryID", data(badMap)},
        {"popupDelayMs", "soon"},
        {"inlineTrigger", std::int64_t{59}},
        {"openingSequenceBlocklist", strings({"ok"})},
        {"keepOpenOnShiftEnter", "no"},
        {"defaultSkinTone", "purple"},
        {"showPinsFirstInSearchResults", std::int64_t{0}},
        {"emoticonOrder", "emoticon-sob"},
        {"hiddenEmoticonIDs", DefaultsValue::Array{DefaultsValue("emoticon-sob"), DefaultsValue(true)}},
    });
    PreferencesStore store(db);

    // The defaults replaced every unreadable value...
    EXPECT_EQ(store.excludedApps(), PreferencesStore::defaultExcludedApps());
    EXPECT_FALSE(db.contains("libraryShortcut"));
    EXPECT_TRUE(store.rememberedEmojiVariantsByEntryID().empty());
    EXPECT_EQ(store.popupDelayMs(), 0);
    EXPECT_EQ(store.inlineTrigger(), ";");
    EXPECT_EQ(store.emoticonOrder(), EmoticonCatalog::defaultOrder());
    EXPECT_TRUE(store.hiddenEmoticonIDs().empty());

    // ...but not before their bytes were kept aside.
    EXPECT_EQ(db.object("excludedApps.corrupt"), data(oneBadApp));
    EXPECT_EQ(db.object("libraryShortcut.corrupt"), data(badShortcut));
    EXPECT_EQ(db.object("rememberedEmojiVariantsByEntryID.corrupt"), data(badMap));
    EXPECT_EQ(db.object("popupDelayMs.corrupt"), DefaultsValue("soon"));
    EXPECT_EQ(db.object("inlineTrigger.corrupt"), DefaultsValue(std::int64_t{59}));
    EXPECT_EQ(db.object("keepOpenOnShiftEnter.corrupt"), DefaultsValue("no"));
    EXPECT_EQ(db.object("defaultSkinTone.corrupt"), DefaultsValue("purple"));
    EXPECT_EQ(db.object("showPinsFirstInSearchResults.corrupt"), DefaultsValue(std::int64_t{0}));
    EXPECT_EQ(db.object("emoticonOrder.corrupt"), DefaultsValue("emoticon-sob"));
    EXPECT_TRUE(db.contains("hiddenEmoticonIDs.corrupt"));
    EXPECT_FALSE(db.contains("openingSequenceBlocklist.corrupt"));
    EXPECT_EQ(keysEndingInCorrupt(db).size(), 10u);

    // Loading again finds only readable values and keeps nothing more aside.
    PreferencesStore again(db);
    EXPECT_EQ(keysEndingInCorrupt(db).size(), 10u);
}

TEST(PreferencesStoreTest, JsonThatIsNotEvenJsonIsKeptAside) {
    MemoryDefaults db({{"excludedApps", data("[{\"name\":")},
                       {"rememberedEmojiVariantsByEntryID", data("\xFF\xFE")},
                       {"libraryShortcut", "⌘E"}});
    PreferencesStore store(db);
    EXPECT_EQ(db.object("excludedApps.corrupt"), data("[{\"name\":"));
    EXPECT_EQ(db.object("rememberedEmojiVariantsByEntryID.corrupt"), data("\xFF\xFE"));
    EXPECT_EQ(db.object("libraryShortcut.corrupt"), DefaultsValue("⌘E"));
    EXPECT_EQ(storedJson(db, "excludedApps").size(), 6u);
    EXPECT_EQ(storedJson(db, "rememberedEmojiVariantsByEntryID"), Json::object());
}

}  // namespace
}  // namespace mosaiko
