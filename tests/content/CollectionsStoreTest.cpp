#include <gtest/gtest.h>

#include "content/CollectionsStore.hpp"
#include "content/RecordingDefaults.hpp"

namespace mosaiko {
namespace {

using testing::RecordingDefaults;
using Ids = std::vector<std::string>;
using Aliases = std::map<std::string, std::string>;
constexpr const char* kKey = "emojiCollectionsV1";

class CollectionsStoreTest : public ::testing::Test {
  protected:
    // A store over state with pins a, b, c (aliases on a and c) and no collections.
    std::unique_ptr<CollectionsStore> storeWithPins(Ids pins = {"a", "b", "c"},
                                                    Aliases aliases = {{"a", "x"}, {"c", "z"}}) {
        defaults.setJson(kKey, Json{{"pinnedIDs", pins}, {"pinAliasesByID", aliases}});
        auto store = std::make_unique<CollectionsStore>(defaults);
        defaults.log.clear();
        return store;
    }
    Ids storedPins() const { return defaults.json(kKey)["pinnedIDs"].get<Ids>(); }
    Aliases storedAliases() const { return defaults.json(kKey)["pinAliasesByID"].get<Aliases>(); }

    RecordingDefaults defaults;
};

TEST_F(CollectionsStoreTest, LoadingNormalizesAndWritesTheStateBack) {
    defaults.setJson(kKey, Json::parse(R"({
        "pinnedIDs": ["a", "b", "a"],
        "pinAliasesByID": {"a": "  x \n", "c": "y", "b": "   "}})"));
    CollectionsStore store(defaults);
    EXPECT_EQ(store.pinnedIDs(), (Ids{"a", "b"}));
    EXPECT_EQ(store.pinAliasesByID(), (Aliases{{"a", "x"}}));
    EXPECT_EQ(defaults.json(kKey),
              Json::parse(R"({"pinnedIDs":["a","b"],"pinAliasesByID":{"a":"x"},"collections":[]})"));
    EXPECT_EQ(defaults.log.size(), 2u);  // 2 + 2 * 0 collections

    // Collections keep their order and are normalized one by one: 2 + 2 * 2 writes.
    RecordingDefaults withCollections;
    withCollections.setJson(kKey, Json::parse(R"({"collections": [
        {"id":"c1","name":"One","itemIDs":["x","x","y"],"itemAliasesByID":{"x":" p ","z":"q"}},
        {"id":"c2","name":"Two","itemIDs":[]}]})"));
    CollectionsStore withTwo(withCollections);
    ASSERT_EQ(withTwo.collections().size(), 2u);
    EXPECT_EQ(withTwo.collections()[0].itemIDs, (Ids{"x", "y"}));
    EXPECT_EQ(withTwo.collections()[0].itemAliasesByID, (Aliases{{"x", "p"}}));
    EXPECT_EQ(withTwo.collections()[1].id, "c2");
    EXPECT_EQ(withCollections.log.size(), 6u);
    EXPECT_EQ(withCollections.json(kKey)["collections"][0]["itemIDs"], Json::parse(R"(["x","y"])"));
    // The state is written byte for byte as the JSON writer writes it.
    EXPECT_EQ(withCollections.data(kKey), json::dump(withCollections.json(kKey)));
    EXPECT_EQ(defaults.data(kKey), json::dump(defaults.json(kKey)));

    // Many pins, each stored three times: the first of each stays, in order.
    Ids many, expected;
    for (int i = 0; i < 3000; ++i) many.push_back("id" + std::to_string(i % 1000));
    for (int i = 0; i < 1000; ++i) expected.push_back("id" + std::to_string(i));
    RecordingDefaults repeated;
    repeated.setJson(kKey, Json{{"pinnedIDs", many}});
    EXPECT_EQ(CollectionsStore(repeated).pinnedIDs(), expected);

    // A first start writes the empty state.
    RecordingDefaults fresh;
    CollectionsStore empty(fresh);
    EXPECT_EQ(fresh.json(kKey), Json::parse(R"({"pinnedIDs":[],"pinAliasesByID":{},"collections":[]})"));
}

TEST_F(CollectionsStoreTest, AStartWritesOnlyStateThatNormalizingChanges) {
    const struct {
        const char* stored;
        bool written;
    } cases[] = {
        {R"({"pinnedIDs":["a","b"],"pinAliasesByID":{"a":"x"},"collections":[
             {"id":"c1","name":"One","itemIDs":["x","y"],"itemAliasesByID":{"y":"p"}}]})",
         false},
        {R"({"pinnedIDs":["a"]})", false},
        {R"({"pinnedIDs":["a","b","a"]})", true},
        {R"({"pinnedIDs":["a"],"pinAliasesByID":{"a":"x "}})", true},
        {R"({"pinnedIDs":["a"],"pinAliasesByID":{"a":" "}})", true},
        {R"({"pinnedIDs":["a"],"pinAliasesByID":{"b":"x"}})", true},
        {R"({"collections":[{"id":"c","name":"C","itemIDs":["x","x"]}]})", true},
        {R"({"collections":[{"id":"c","name":"C","itemIDs":["x"],"itemAliasesByID":{"z":"q"}}]})", true},
        {R"({"collections":[{"id":"c","name":"C","itemIDs":["x"],"itemAliasesByID":{"x":"\tq"}}]})", true},
    };
    for (const auto& c : cases) {
        RecordingDefaults db;
        db.set(kKey, DefaultsData{c.stored});
        db.log.clear();
        CollectionsStore store(db);
        EXPECT_EQ(!db.log.empty(), c.written) << c.stored;
        if (!c.written) {
            EXPECT_EQ(db.data(kKey), c.stored);
        }
        // Written or not, the next start reads the same state.
        CollectionsStore next(db);
        EXPECT_EQ(next.pinnedIDs(), store.pinnedIDs()) << c.stored;
        EXPECT_EQ(next.pinAliasesByID(), store.pinAliasesByID()) << c.stored;
        EXPECT_EQ(next.collections(), store.collections()) << c.stored;
    }
}

TEST_F(CollectionsStoreTest, UnreadableStateStartsEmptyButIsKeptAsideBeforeBeingReplaced) {
    const std::vector<DefaultsValue> unreadable = {
        DefaultsData{"{not json"},
        DefaultsData{R"({"pinnedIDs":"a"})"},
        DefaultsData{R"({"collections":[{"name":"no id","itemIDs":[]}]})"},
        DefaultsData{R"([1,2])"},
        DefaultsValue(std::string(R"({"pinnedIDs":["a"]})")),  // a string, not data
    };
    for (const auto& value : unreadable) {
        RecordingDefaults db;
        db.set(kKey, value);
        CollectionsStore store(db);
        EXPECT_TRUE(store.pinnedIDs().empty());
        EXPECT_EQ(db.object(std::string(kKey) + ".corrupt"), value);
        EXPECT_EQ(db.json(kKey)["pinnedIDs"], Json::array());
    }

    // A readable state is not copied anywhere.
    storeWithPins();
    EXPECT_FALSE(defaults.contains(std::string(kKey) + ".corrupt"));
}

TEST_F(CollectionsStoreTest, EveryStepIsAnnouncedBeforeItIsStoredAndWrittenAfter) {
    auto store = storeWithPins();
    std::vector<std::string> events;
    auto pins = store->pinnedIDs.observe([&](const Ids& next) {
        // Subscribers still see the previous value and the previous stored state.
        events.push_back("pins " + std::to_string(next.size()) + " was " +
                         std::to_string(store->pinnedIDs().size()) + " stored " +
                         std::to_string(storedPins().size()));
    });
    auto aliases = store->pinAliasesByID.observe(
        [&](const Aliases& next) { events.push_back("aliases " + std::to_string(next.size())); });

    store->togglePinned("a");
    EXPECT_EQ(events, (std::vector<std::string>{"pins 2 was 3 stored 3", "aliases 1", "pins 2 was 2 stored 2",
                                                "aliases 1"}));
    EXPECT_EQ(defaults.log.size(), 4u);  // two changes, then the normalization's two
    EXPECT_EQ(storedPins(), (Ids{"b", "c"}));
    EXPECT_EQ(storedAliases(), (Aliases{{"c", "z"}}));

    store->togglePinned("a");  // pinned again at the end, without its old alias
    EXPECT_EQ(store->pinnedIDs(), (Ids{"b", "c", "a"}));
    EXPECT_EQ(store->pinAliasesByID(), (Aliases{{"c", "z"}}));
}

TEST_F(CollectionsStoreTest, AliasesAreTrimmedClearedWhenBlankAndIgnoredForUnpinnedIds) {
    auto store = storeWithPins();
    store->setPinnedAlias("  party\t", "b");
    EXPECT_EQ(storedAliases(), (Aliases{{"a", "x"}, {"b", "party"}, {"c", "z"}}));
    EXPECT_EQ(defaults.log.size(), 3u);

    store->setPinnedAlias(" \n ", "a");
    EXPECT_EQ(store->pinAliasesByID(), (Aliases{{"b", "party"}, {"c", "z"}}));

    defaults.log.clear();
    int notifications = 0;
    auto c = store->pinAliasesByID.observe([&](const Aliases&) { ++notifications; });
    store->setPinnedAlias("ok", "unpinned");
    EXPECT_EQ(notifications, 0);
    EXPECT_TRUE(defaults.log.empty());

    // Search terms: only pinned ids with an alias; an alias left behind for an unpinned id (a direct
    // assignment, not normalized yet) never contributes.
    store->pinAliasesByID.set(Aliases{{"b", "party"}, {"gone", "old"}});
    EXPECT_EQ(store->extraSearchTermsByItemID(), (std::map<std::string, Ids>{{"b", {"party"}}}));
}

TEST_F(CollectionsStoreTest, MovingAPinShowsTheListWithoutItThenInPlaceAndIgnoresMovesPastTheEnds) {
    auto store = storeWithPins();
    std::vector<Ids> seen;
    auto c = store->pinnedIDs.observe([&](const Ids& next) { seen.push_back(next); });

    store->movePinned("a", 1);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], (Ids{"b", "c"}));
    EXPECT_EQ(seen[1], (Ids{"b", "a", "c"}));
    EXPECT_EQ(storedPins(), (Ids{"b", "a", "c"}));

    store->movePinned("b", 2);
    EXPECT_EQ(store->pinnedIDs(), (Ids{"a", "c", "b"}));

    defaults.log.clear();
    for (std::int64_t offset : {std::int64_t{-1}, std::int64_t{3}, INT64_MAX, INT64_MIN})
        store->movePinned("a", offset);
    store->movePinned("b", 1);
    store->movePinned("missing", 1);
    EXPECT_TRUE(defaults.log.empty());
    EXPECT_EQ(store->pinnedIDs(), (Ids{"a", "c", "b"}));
}

TEST_F(CollectionsStoreTest, DirectAssignmentsArePersistedAndNormalizedByTheNextOperation) {
    auto store = storeWithPins();
    store->pinnedIDs.set(Ids{"q", "q", "a"});
    EXPECT_EQ(storedPins(), (Ids{"q", "q", "a"}));
    EXPECT_EQ(defaults.log.size(), 1u);

    store->togglePinned("new");
    EXPECT_EQ(storedPins(), (Ids{"q", "a", "new"}));
    EXPECT_EQ(storedAliases(), (Aliases{{"a", "x"}}));

    // The state survives a restart.
    CollectionsStore reloaded(defaults);
    EXPECT_EQ(reloaded.pinnedIDs(), (Ids{"q", "a", "new"}));
    EXPECT_EQ(reloaded.pinAliasesByID(), (Aliases{{"a", "x"}}));
}

}  // namespace
}  // namespace mosaiko
