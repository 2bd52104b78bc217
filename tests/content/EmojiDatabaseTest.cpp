#include <gtest/gtest.h>

#include <algorithm>
#include <span>

#include "content/EmojiDatabase.hpp"
#include "content/EmojiDatabaseLoader.hpp"
#include "content/SearchTestSupport.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {
namespace {

using namespace testing_support;
using Option = EmojiEntry::Variants::Option;

std::vector<std::string> optionTexts(const EmojiEntry& entry) {
    std::vector<std::string> texts;
    if (entry.variants) {
        for (const auto& option : entry.variants->options()) texts.push_back(option.emoji);
    }
    return texts;
}

const std::string kWave = "\U0001F44B";

TEST(EmojiDatabaseLoading, DropsEntriesAndOptionsNewerThanTheRunningSystem) {
    EmojiDatabase db(testBundle("availability"), kSystem14);
    // "99" is newer; texts that do not parse ("13.x", "14..1", "14.1.2.3", "-1") and empty texts drop
    // nothing; "14" equals the system and stays.
    EXPECT_EQ(ids(db.emojis()),
              (std::vector<std::string>{"oddversion", "emptyversion", "doubledots", "fourpieces", "negative",
                                        "exact", "wave", "onlynewer"}));
    EXPECT_EQ(listOf(db.baseEmojis()), db.emojis());

    const auto wave = db.entryForID("wave");
    ASSERT_TRUE(wave);
    // The dark option (14.0.1) is gone; the rest is normalized: untoned first, then by tone.
    EXPECT_EQ(optionTexts(*wave),
              (std::vector<std::string>{kWave, kWave + "\U0001F3FB", kWave + "\U0001F3FC"}));

    const auto onlyNewer = db.entryForID("onlynewer");
    ASSERT_TRUE(onlyNewer);
    EXPECT_EQ(onlyNewer->emoji, "\U0001FAF7");
    EXPECT_FALSE(onlyNewer->variants);

    EmojiDatabase newer(testBundle("availability"), {99, 0, 0});
    EXPECT_EQ(newer.emojis().front().id, "future");
    EXPECT_EQ(optionTexts(*newer.entryForID("wave")).size(), 4u);
    EXPECT_EQ(optionTexts(*newer.entryForID("onlynewer")).size(), 2u);

    EmojiDatabase older(testBundle("availability"), {13, 9, 9});
    EXPECT_FALSE(older.entryForID("exact"));
    EXPECT_TRUE(older.entryForID("wave"));
    EXPECT_EQ(optionTexts(*older.entryForID("wave")),
              (std::vector<std::string>{kWave, kWave + "\U0001F3FC"}));
}

TEST(EmojiDatabaseLoading, VersionTextsOfOneToThreeNonNegativeNumbersParse) {
    using V = OperatingSystemVersion;
    EXPECT_EQ(EmojiDatabase::parseOperatingSystemVersion("14"), (V{14, 0, 0}));
    EXPECT_EQ(EmojiDatabase::parseOperatingSystemVersion("14.1"), (V{14, 1, 0}));
    EXPECT_EQ(EmojiDatabase::parseOperatingSystemVersion("10.12.2"), (V{10, 12, 2}));
    EXPECT_EQ(EmojiDatabase::parseOperatingSystemVersion("0.007"), (V{0, 7, 0}));
    for (const char* text : {"", ".", "14.", "14..1", "14.1.2.3", "-1", "14.-2", "a", "13.x", " 14", "14 ",
                             "1e3", "99999999999999999999"}) {
        EXPECT_FALSE(EmojiDatabase::parseOperatingSystemVersion(text)) << text;
    }
    EXPECT_LT((V{14, 0, 1}), (V{14, 1, 0}));
    EXPECT_LT((V{13, 9, 9}), (V{14, 0, 0}));
}

TEST(EmojiDatabaseLoading, AnUnusableDataFileOrFolderLeavesTheThreeBuiltInEntries) {
    const std::vector<std::string> fallbackIDs{"grinning", "thumbsup", "heart"};
    for (const char* folder : {"empty-folder", "broken", "nokey", "badentry"}) {
        EmojiDatabase db(testBundle(folder), kSystem14);
        EXPECT_EQ(ids(db.emojis()), fallbackIDs) << folder;
    }
    // No resources folder at all: the program carries on with the same entries.
    EmojiDatabase withoutFolder(AppBundle(std::nullopt), kSystem14);
    EXPECT_EQ(ids(withoutFolder.emojis()), fallbackIDs);
    EmojiDatabase missingFolder(AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR) / "no/such/folder"),
                                kSystem14);
    EXPECT_EQ(ids(missingFolder.emojis()), fallbackIDs);

    const auto& heart = withoutFolder.emojis()[2];
    EXPECT_EQ(heart.emoji, "\u2764\uFE0F");
    EXPECT_EQ(heart.keywords, std::vector<std::string>{"love"});
    const auto& thumbsUp = withoutFolder.emojis()[1];
    EXPECT_EQ(thumbsUp.shortcodes, (std::vector<std::string>{"+1", "thumbsup"}));
    ASSERT_TRUE(thumbsUp.variants);
    const auto& options = thumbsUp.variants->options();
    ASSERT_EQ(options.size(), 6u);
    EXPECT_TRUE(options[0].tones.empty());
    EXPECT_EQ(options[0].emoji, "\U0001F44D");
    EXPECT_EQ(options[5].tones, std::vector<SkinTone>{SkinTone::dark});
    EXPECT_EQ(options[5].emoji, "\U0001F44D\U0001F3FF");
}

TEST(EmojiDatabaseLoading, TheShippedDataFileLoadsWithEveryEntryTheSystemCanShow) {
    EmojiDatabase all(shippedBundle(), {99, 0, 0});
    ASSERT_GT(all.emojis().size(), 1800u);
    EXPECT_EQ(all.emojis().front().id, "grinning");
    EXPECT_EQ(all.index().size(), all.emojis().size());

    const OperatingSystemVersion older{10, 14, 1};
    EmojiDatabase db(shippedBundle(), older);
    EXPECT_LT(db.emojis().size(), all.emojis().size());
    auto shown = [&](const std::optional<std::string>& minimum) {
        const auto version = minimum ? EmojiDatabase::parseOperatingSystemVersion(*minimum) : std::nullopt;
        return !version || !(older < *version);
    };
    for (const auto& entry : db.emojis()) {
        EXPECT_TRUE(shown(entry.minimumMacOSVersion)) << entry.id;
        if (!entry.variants) continue;
        for (const auto& option : entry.variants->options())
            EXPECT_TRUE(shown(option.minimumMacOSVersion)) << entry.id;
    }
    for (const auto& entry : all.emojis()) {
        if (shown(entry.minimumMacOSVersion)) {
            EXPECT_TRUE(db.entryForID(entry.id)) << entry.id;
        }
    }
}

TEST(EmojiDatabaseCombining, TheFirstEntryWithAnIdWinsAndExtrasFollowTheBaseList) {
    auto baseB = makeEntry("b", "base b");
    auto extraB = makeEntry("b", "extra b");
    auto firstC = makeEntry("c", "first c");
    auto secondC = makeEntry("c", "second c");
    auto newer = makeEntry("d", "too new");
    newer.minimumMacOSVersion = "15";
    EmojiDatabase db({makeEntry("a", "a"), baseB}, {extraB, firstC, secondC, newer}, kSystem14);
    EXPECT_EQ(ids(db.emojis()), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(db.emojis()[1], baseB);
    EXPECT_EQ(db.emojis()[2], firstC);
    EXPECT_EQ(db.extraEmojis().size(), 3u);

    db.setExtraEmojis({makeEntry("e", "e")});
    EXPECT_EQ(ids(db.emojis()), (std::vector<std::string>{"a", "b", "e"}));
    EXPECT_EQ(ids(listOf(db.extraEmojis())), std::vector<std::string>{"e"});
    EXPECT_FALSE(db.entryForID("c"));
    db.setExtraEmojis({});
    EXPECT_TRUE(db.extraEmojis().empty());
    EXPECT_EQ(ids(db.emojis()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(listOf(db.baseEmojis()), db.emojis());

    // A base list that repeats an id is not the start of the combined list; it stays whole.
    const std::vector<EmojiEntry> repeating{makeEntry("a", "first a"), makeEntry("a", "second a"), baseB};
    EmojiDatabase twice(repeating, {makeEntry("e", "e")}, kSystem14);
    EXPECT_EQ(ids(twice.emojis()), (std::vector<std::string>{"a", "b", "e"}));
    twice.setExtraEmojis({});
    EXPECT_EQ(listOf(twice.baseEmojis()), repeating);
    EXPECT_EQ(ids(twice.emojis()), (std::vector<std::string>{"a", "b"}));
}

TEST(EmojiDatabaseCombining, SubscribersAreToldBeforeTheListIndexAndLookupsChange) {
    EmojiDatabase db({makeEntry("a", "apple")}, {}, kSystem14);
    std::vector<std::vector<std::string>> delivered;
    std::vector<std::string> seenDuringDelivery;
    auto subscription = db.subscribeEmojis([&](const std::vector<EmojiEntry>& list) {
        delivered.push_back(ids(list));
        seenDuringDelivery = ids(db.emojis());
        for (const auto& entry : db.search("banana", 10)) seenDuringDelivery.push_back("found " + entry.id);
        if (db.entryForID("b")) seenDuringDelivery.push_back("lookup b");
    });
    ASSERT_EQ(delivered.size(), 1u);  // the current list, at once

    db.setExtraEmojis({makeEntry("b", "banana")});
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[1], (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(seenDuringDelivery, std::vector<std::string>{"a"});
    EXPECT_EQ(ids(db.search("banana", 10)), std::vector<std::string>{"b"});
    EXPECT_TRUE(db.entryForID("b"));
}

TEST(EmojiDatabaseCombining, ASubscriberThatChangesTheExtrasWhileToldLeavesItsListAndIndexInPlace) {
    EmojiDatabase db({makeEntry("a", "apple")}, {}, kSystem14);
    auto subscription = db.observeEmojis([&](const std::vector<EmojiEntry>& list) {
        if (list.size() == 2 && list[1].id == "b") db.setExtraEmojis({makeEntry("c", "cherry")});
    });
    db.setExtraEmojis({makeEntry("b", "banana")});
    EXPECT_EQ(ids(db.emojis()), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(ids(db.search("cherry", 10)), std::vector<std::string>{"c"});
    EXPECT_TRUE(db.search("banana", 10).empty());
    ASSERT_EQ(db.index().size(), 2u);
    EXPECT_EQ(&db.index()[1].entry(), &db.emojis()[1]);
}

// A database may start before its data file is read (on another thread): the extras handed over
// meanwhile wait for it, the newest hand-over wins, and the list is announced once, complete.
TEST(EmojiDatabaseLoading, ADatabaseWaitingForItsDataFileTakesItOnceWithTheLatestExtras) {
    for (const bool extrasChangeWhileIndexing : {false, true}) {
        SCOPED_TRACE(extrasChangeWhileIndexing);
        EmojiDatabase db(EmojiDatabase::DataFileToCome{});
        std::vector<std::vector<std::string>> announced;
        auto subscription = db.observeEmojis([&](const auto& list) { announced.push_back(ids(list)); });
        db.setExtraEmojis({makeEntry("x", "xylophone")});
        EXPECT_FALSE(db.isLoaded());
        EXPECT_TRUE(db.emojis().empty());
        EXPECT_TRUE(db.search("xylophone", 10).empty());

        auto loaded = EmojiDatabase::prepare(testBundle("availability"), kSystem14, db.pendingExtras());
        if (extrasChangeWhileIndexing) db.setExtraEmojis({makeEntry("y", "yak")});
        db.finishLoading(std::move(loaded));
        const std::string extra = extrasChangeWhileIndexing ? "y" : "x";
        ASSERT_EQ(announced.size(), 1u);
        EXPECT_EQ(announced[0].back(), extra);
        const EmojiDatabase direct(testBundle("availability"), kSystem14);
        EXPECT_EQ(listOf(db.baseEmojis()), direct.emojis());
        auto expected = ids(direct.emojis());
        expected.push_back(extra);
        EXPECT_EQ(ids(db.emojis()), expected);
        EXPECT_EQ(ids(db.search(extrasChangeWhileIndexing ? "yak" : "xylophone", 10)),
                  std::vector<std::string>{extra});
        EXPECT_EQ(db.entryForID("x").has_value(), !extrasChangeWhileIndexing);

        db.finishLoading(EmojiDatabase::prepare(AppBundle(std::nullopt), kSystem14, {}));
        EXPECT_EQ(announced.size(), 1u) << "a second load changes nothing";
        db.setExtraEmojis({});
        EXPECT_EQ(db.emojis(), listOf(db.baseEmojis())) << "once loaded, extras rebuild at once";

        // A data file that repeats an id keeps its whole list as the base list.
        EmojiDatabase repeats(EmojiDatabase::DataFileToCome{});
        repeats.setExtraEmojis({makeEntry("x", "xylophone")});
        loaded = EmojiDatabase::prepare(testBundle("repeats"), kSystem14, repeats.pendingExtras());
        if (extrasChangeWhileIndexing) repeats.setExtraEmojis({makeEntry("y", "yak")});
        repeats.finishLoading(std::move(loaded));
        EXPECT_EQ(ids(repeats.emojis()), (std::vector<std::string>{"a", "b", extra}));
        EXPECT_EQ(ids(listOf(repeats.baseEmojis())), (std::vector<std::string>{"a", "a", "b"}));
        repeats.setExtraEmojis({});
        EXPECT_EQ(ids(repeats.emojis()), (std::vector<std::string>{"a", "b"}));
    }
}

TEST(EmojiDatabaseLoading, TheLoaderHandsItsWorkOverOnTheMainLoopWhileItLives) {
    ManualMainLoop loop;
    EmojiDatabase db(EmojiDatabase::DataFileToCome{});
    db.setExtraEmojis({makeEntry("x", "xylophone")});
    std::vector<bool> loadedWhenTold;
    {
        EmojiDatabaseLoader loader(
            db, loop, testBundle("availability"), [] { return kSystem14; },
            [&] { loadedWhenTold.push_back(db.isLoaded()); });
        loader.start();
        loader.waitForThread();
        EXPECT_FALSE(db.isLoaded()) << "nothing changes off the main loop";
        loop.runPending();
    }
    EXPECT_EQ(loadedWhenTold, std::vector<bool>{true});
    EXPECT_TRUE(db.entryForID("x"));
    EXPECT_TRUE(db.entryForID("wave"));
    EXPECT_FALSE(db.entryForID("future")) << "filtered for the version the source gave";

    EmojiDatabase orphan(EmojiDatabase::DataFileToCome{});
    EmojiDatabaseLoader(orphan, loop, testBundle("availability"), [] { return kSystem14; }).start();
    loop.runPending();
    EXPECT_FALSE(orphan.isLoaded()) << "a loader that has ended hands nothing over";
}

TEST(EmojiDatabaseLookups, FindEntriesByIdByTextAndByTheTextOfAnyOption) {
    EmojiDatabase db(AppBundle(std::nullopt), kSystem14);
    EXPECT_EQ(db.entryForEmoji("\U0001F44D\U0001F3FD")->id, "thumbsup");
    EXPECT_EQ(db.entryForEmoji("\u2764\uFE0F")->id, "heart");
    EXPECT_EQ(db.entryForID("grinning")->emoji, "\U0001F600");
    EXPECT_FALSE(db.entryForEmoji("\u2764"));
    EXPECT_FALSE(db.entryForID("Grinning"));

    // Canonically equivalent texts are one key; a later entry takes over a text an earlier one had.
    auto composed = makeEntry("cafe", "cafe");
    composed.emoji = "caf\u00E9";
    auto owner = makeEntry("owner", "owner");
    owner.variants = EmojiEntry::Variants(
        {Option{owner.emoji, {}, std::nullopt}, Option{"shared", {SkinTone::dark}, std::nullopt}});
    auto later = makeEntry("later", "later");
    later.emoji = "shared";
    EmojiDatabase custom({composed, owner, later}, {}, kSystem14);
    EXPECT_EQ(custom.entryForEmoji("cafe\u0301")->id, "cafe");
    EXPECT_EQ(custom.entryForEmoji("shared")->id, "later");
    EXPECT_EQ(custom.entryForEmoji("<owner>")->id, "owner");

    // Texts stored in decomposed form are found by their composed form as well.
    auto decomposed = makeEntry("cre\u0300me", "cre\u0300me");
    decomposed.emoji = "cre\u0300me";
    EmojiDatabase stored({decomposed}, {}, kSystem14);
    EXPECT_EQ(stored.entryForID("cr\u00E8me")->id, "cre\u0300me");
    EXPECT_EQ(stored.entryForEmoji("cr\u00E8me")->id, "cre\u0300me");
}

}  // namespace
}  // namespace mosaiko
