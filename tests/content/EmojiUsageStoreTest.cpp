#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "content/EmojiUsageStore.hpp"
#include "content/RecordingDefaults.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {
namespace {

using testing::RecordingDefaults;
using Texts = std::vector<std::string>;
using Ranked = EmojiUsageStore::Ranked;
using Trending = EmojiUsageStore::Trending;
constexpr double kDay = 86400;

}  // namespace

void PrintTo(const EmojiUsageStore::Ranked& r, std::ostream* os) {
    *os << r.emoji << "=" << r.count;
}
void PrintTo(const EmojiUsageStore::Trending& r, std::ostream* os) {
    *os << r.emoji << "=" << r.count << "(" << r.delta << ")";
}

namespace {

const std::string kCounts = "emojiUsageCounts", kRecents = "emojiUsageRecents",
                  kHistory = "emojiUsageHistory";

class EmojiUsageStoreTest : public ::testing::Test {
  protected:
    EmojiUsageStore::Settings smallLimits() const {
        EmojiUsageStore::Settings s;
        s.maxRecents = 3;
        s.maxHistoryEvents = 4;
        return s;
    }
    double now() const { return clock.now(); }
    // The log's events as JSON, oldest first.
    std::vector<Json> logged() const {
        std::vector<Json> lines;
        std::istringstream in(log.content.value_or(""));
        for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
        return lines;
    }

    RecordingDefaults defaults;
    MemoryAppendLog log;
    ManualMainLoop clock;
};

TEST_F(EmojiUsageStoreTest, RecordingCountsMovesToFrontAndTimestampsEachUse) {
    EmojiUsageStore store(defaults, clock, {}, &log);
    store.recordUsed("👍");
    clock.advance(1.5);
    store.recordUsed("😀");
    store.recordUsed("👍");
    store.recordUsed("");  // no text is refused

    EXPECT_EQ(store.counts().at("👍"), 2);
    EXPECT_EQ(store.counts().at(""), 1);
    EXPECT_EQ(store.recents(), (Texts{"", "👍", "😀"}));
    ASSERT_EQ(store.history().size(), 4u);
    EXPECT_EQ(store.history()[1], (UsageEvent{"👍", now()}));
    EXPECT_EQ(store.history()[3], (UsageEvent{"👍", now() - 1.5}));

    EXPECT_EQ(defaults.json(kCounts), Json::parse(R"({"👍":2,"😀":1,"":1})"));
    EXPECT_EQ(defaults.json(kRecents), Json::parse(R"(["","👍","😀"])"));
    EXPECT_FALSE(defaults.contains(kHistory));
    ASSERT_EQ(logged().size(), 4u);
    EXPECT_EQ(logged()[0]["timestamp"].get<double>(), now() - 1.5);

    EmojiUsageStore reloaded(defaults, clock, {}, &log);
    EXPECT_EQ(reloaded.counts(), store.counts());
    EXPECT_EQ(reloaded.recents(), store.recents());
    EXPECT_EQ(reloaded.history(), store.history());
}

TEST_F(EmojiUsageStoreTest, CanonicallyEquivalentTextsAreOneText) {
    EmojiUsageStore store(defaults, clock);
    store.recordUsed("caf\xC3\xA9");
    store.recordUsed("cafe\xCC\x81");
    EXPECT_EQ(store.counts().size(), 1u);
    EXPECT_EQ(store.counts().begin()->second, 2);
    EXPECT_EQ(store.recents(), (Texts{"cafe\xCC\x81"}));

    // Stored apart by an older writer, they load as one count.
    RecordingDefaults split;
    split.setJson(kCounts, Json{{"caf\xC3\xA9", 2}, {"cafe\xCC\x81", 3}});
    EmojiUsageStore loaded(split, clock);
    const auto top = loaded.topEmojis(10);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_TRUE(text::canonicallyEqual(top[0].emoji, "caf\xC3\xA9"));
    EXPECT_EQ(top[0].count, 5);
}

TEST_F(EmojiUsageStoreTest, RecentsAndHistoryAreCappedWhileCountsKeepEverything) {
    EmojiUsageStore store(defaults, clock, smallLimits());
    for (const char* t : {"a", "b", "c", "d", "a"}) store.recordUsed(t);
    EXPECT_EQ(store.recents(), (Texts{"a", "d", "c"}));
    ASSERT_EQ(store.history().size(), 4u);
    EXPECT_EQ(store.history().back().emoji, "b");
    EXPECT_EQ(store.counts().at("a"), 2);
    EXPECT_EQ(store.counts().at("b"), 1);
    EXPECT_EQ(store.topEmojis(10).size(), 4u);

    // With the real limits, loaded lists are taken as they are and cut by the next recording.
    RecordingDefaults full;
    Json history = Json::array(), recents = Json::array();
    for (int i = 0; i < 5001; ++i)
        history.push_back(Json{{"emoji", "h" + std::to_string(i)}, {"timestamp", i}});
    for (int i = 0; i < 51; ++i) recents.push_back("r" + std::to_string(i));
    full.setJson(kHistory, history);
    full.setJson(kRecents, recents);
    EmojiUsageStore real(full, clock, {}, &log);
    EXPECT_EQ(real.history().size(), 5001u);
    EXPECT_EQ(real.recents().size(), 51u);
    real.recordUsed("new");
    ASSERT_EQ(real.history().size(), 5000u);
    EXPECT_EQ(real.history().back().emoji, "h4998");
    ASSERT_EQ(real.recents().size(), 50u);
    EXPECT_EQ(real.recents().back(), "r48");
    EXPECT_FALSE(full.contains(kHistory));  // moved to the log, which is cut on reading
    EXPECT_EQ(EmojiUsageStore(full, clock, {}, &log).history(), real.history());
}

// Only the store's operations change the three collections, so nobody can break the caps, the
// one-text-once recents or the write-through by assigning them.
template <class Property, class Value>
concept AssignableFromOutside = requires(Property& p, Value v) {
    p.set(std::move(v));
};
static_assert(AssignableFromOutside<Published<Texts>, Texts>);
static_assert(!AssignableFromOutside<decltype(EmojiUsageStore::counts), EmojiUsageStore::Counts>);
static_assert(!AssignableFromOutside<decltype(EmojiUsageStore::recents), Texts>);
static_assert(!AssignableFromOutside<decltype(EmojiUsageStore::history), EmojiUsageStore::History>);

TEST_F(EmojiUsageStoreTest, EachStepIsPublishedThenTheThreeKeysAreWrittenInOrder) {
    EmojiUsageStore store(defaults, clock, smallLimits());
    for (const char* t : {"a", "b", "c", "d"}) store.recordUsed(t);
    defaults.log.clear();

    std::vector<std::string> events;
    auto c1 = store.counts.observe([&](const auto&) { events.push_back("counts"); });
    auto c2 = store.recents.observe([&](const Texts& next) {
        events.push_back("recents " + std::to_string(next.size()) + " stored " +
                         std::to_string(defaults.json(kRecents).size()));
    });
    auto c3 = store.history.observe([&](const EmojiUsageStore::History& next) {
        events.push_back("history " + std::to_string(next.size()));
    });

    store.recordUsed("b");  // present: removed, put first; recents and history full: both cut
    EXPECT_EQ(events,
              (Texts{"counts", "recents 2 stored 3", "recents 3 stored 3", "history 5", "history 4"}));
    EXPECT_EQ(defaults.log, (Texts{"set " + kCounts, "set " + kRecents}));

    events.clear();
    store.recordUsed("b");  // already first: still announced
    EXPECT_EQ(events,
              (Texts{"counts", "recents 2 stored 3", "recents 3 stored 3", "history 5", "history 4"}));
}

TEST_F(EmojiUsageStoreTest, TopListsOrderByCountThenTextAndStopAtTheFirstOlderEvent) {
    EmojiUsageStore store(defaults, clock);
    for (const char* t : {"b", "a", "c", "c"}) store.recordUsed(t);
    EXPECT_EQ(store.topEmojis(10), (std::vector<Ranked>{{"c", 2}, {"a", 1}, {"b", 1}}));
    EXPECT_EQ(store.topEmojis(2), (std::vector<Ranked>{{"c", 2}, {"a", 1}}));
    EXPECT_TRUE(store.topEmojis(0).empty());
    EXPECT_TRUE(store.topEmojis(10, now() + 1).empty());
    EXPECT_EQ(store.topEmojis(10, now()).size(), 3u);  // an event exactly at the date counts

    // The walk relies on newest-first order: an out-of-order event after an older one is not seen.
    RecordingDefaults loaded;
    loaded.setJson(kHistory, Json::parse(R"([{"emoji":"new","timestamp":100},{"emoji":"old","timestamp":10},
                                              {"emoji":"late","timestamp":200}])"));
    loaded.setJson(kCounts, Json{{"gone", 7}});
    EmojiUsageStore unordered(loaded, clock);
    EXPECT_EQ(unordered.topEmojis(10, 50), (std::vector<Ranked>{{"new", 1}}));
    // All-time lists come from the counts, also for texts no longer in the history.
    EXPECT_EQ(unordered.topEmojis(10), (std::vector<Ranked>{{"gone", 7}}));
}

TEST_F(EmojiUsageStoreTest, TrendsCompareTheWindowWithTheOneBefore) {
    const double week = 7 * kDay;
    Json history = Json::array();
    auto add = [&](const char* t, double ageDays) {
        history.push_back(Json{{"emoji", t}, {"timestamp", now() - ageDays * kDay}});
    };
    add("future", -1);  // a clock set back: newer than now counts as current
    for (int i = 0; i < 3; ++i) add("x", 1 + i);
    add("y", 6.9);
    for (int i = 0; i < 5; ++i) add("x", 8 + i);
    add("y", 9);
    add("onlyBefore", 13);
    add("tooOld", 15);
    defaults.setJson(kHistory, history);
    EmojiUsageStore store(defaults, clock);

    EXPECT_EQ(store.topEmojisWithTrend(100, week),
              (std::vector<Trending>{{"x", 3, -2}, {"future", 1, 1}, {"y", 1, 0}}));
    EXPECT_EQ(store.topEmojisWithTrend(1, week), (std::vector<Trending>{{"x", 3, -2}}));
    EXPECT_TRUE(store.topEmojisWithTrend(100, 0).empty());
    EXPECT_TRUE(store.topEmojisWithTrend(100, -week).empty());
}

TEST_F(EmojiUsageStoreTest, ResetEmptiesEverythingAndRemovesTheKeys) {
    EmojiUsageStore store(defaults, clock, {}, &log);
    store.recordUsed("a");
    store.recordUsed("a");
    ASSERT_TRUE(log.content);
    std::vector<std::string> announced;
    auto c =
        store.recents.observe([&](const Texts& next) { announced.push_back(std::to_string(next.size())); });
    store.resetAll();
    EXPECT_EQ(announced, Texts{"0"});
    EXPECT_TRUE(store.counts().empty() && store.recents().empty() && store.history().empty());
    for (const auto& key : {kCounts, kRecents, kHistory}) EXPECT_FALSE(defaults.contains(key)) << key;
    EXPECT_FALSE(log.content);
    store.recordUsed("a");
    EXPECT_EQ(store.counts().at("a"), 1);
}

TEST_F(EmojiUsageStoreTest, UndecodableDataLoadsAsEmptyAndIsKeptAsideBeforeItIsReplaced) {
    defaults.set(kCounts, DefaultsData{R"({"a":1.5})"});
    defaults.set(kRecents, DefaultsValue(std::string("not data")));
    defaults.setJson(kHistory, Json::parse(R"([{"emoji":"a","timestamp":1},{"emoji":"b"}])"));
    EmojiUsageStore store(defaults, clock);
    EXPECT_TRUE(store.counts().empty());
    EXPECT_TRUE(store.recents().empty());
    EXPECT_TRUE(store.history().empty());  // one malformed event loses the whole list
    EXPECT_FALSE(defaults.contains(kCounts + ".corrupt"));
    EXPECT_TRUE(defaults.contains(kHistory + ".corrupt"));  // kept aside as its key is moved

    store.recordUsed("a");
    EXPECT_EQ(defaults.data(kCounts + ".corrupt"), R"({"a":1.5})");
    EXPECT_EQ(defaults.object(kRecents + ".corrupt"), DefaultsValue(std::string("not data")));
    EXPECT_TRUE(defaults.contains(kHistory + ".corrupt"));
    EXPECT_EQ(defaults.json(kCounts), Json::parse(R"({"a":1})"));
    defaults.log.clear();
    store.recordUsed("a");
    EXPECT_EQ(defaults.log.size(), 2u);  // kept aside once only

    // Counts must be whole numbers that fit 64 bits.
    for (const char* counts : {R"({"a":9223372036854775808})", R"({"a":"1"})", R"(["a"])"}) {
        RecordingDefaults db;
        db.set(kCounts, DefaultsData{counts});
        EXPECT_TRUE(EmojiUsageStore(db, clock).counts().empty()) << counts;
    }
    RecordingDefaults largest;
    largest.set(kCounts, DefaultsData{R"({"a":9223372036854775807,"b":-2})"});
    EmojiUsageStore saturated(largest, clock);
    saturated.recordUsed("a");
    EXPECT_EQ(saturated.counts().at("a"), INT64_MAX);
    EXPECT_EQ(saturated.counts().at("b"), -2);
}

TEST_F(EmojiUsageStoreTest, AHistoryThatCannotBeEncodedIsKeptInMemoryButNotWritten) {
    EmojiUsageStore store(defaults, clock, {}, &log);
    store.recordUsed("a");
    clock.setWallClock(std::numeric_limits<double>::quiet_NaN());
    store.recordUsed("b");
    EXPECT_EQ(store.history().size(), 2u);
    EXPECT_EQ(logged().size(), 1u);  // the previous history stays
    EXPECT_EQ(defaults.json(kCounts), Json::parse(R"({"a":1,"b":1})"));
}

TEST_F(EmojiUsageStoreTest, AnyTextIsStoredAsValidJsonAndReadBack) {
    EmojiUsageStore store(defaults, clock, {}, &log);
    const Texts awkward = {"say \"hi\"", "back\\slash", "line\nbreak\ttab", "\x01",
                           "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"};
    for (const auto& t : awkward) store.recordUsed(t);
    EmojiUsageStore reloaded(defaults, clock, {}, &log);
    EXPECT_EQ(reloaded.history(), store.history());
    EXPECT_EQ(reloaded.counts(), store.counts());

    // Invalid UTF-8 never fails: it is read as U+FFFD, so these two are one text.
    store.recordUsed("bad\xFF");
    store.recordUsed("bad\xFE");
    EXPECT_EQ(store.counts().at("bad\xEF\xBF\xBD"), 2);
    EXPECT_EQ(defaults.json(kCounts)["bad\xEF\xBF\xBD"], 2);
    EXPECT_EQ(logged().back()["emoji"], "bad\xEF\xBF\xBD");
}

TEST_F(EmojiUsageStoreTest, AHistoryInTheDefaultsMovesToTheLogOnce) {
    const auto stored = Json::parse(R"([{"emoji":"c","timestamp":30},{"emoji":"b","timestamp":20},
                                       {"emoji":"a","timestamp":10}])");
    // {what the log holds, whether its writes fail} -> the history read, whether the key is gone
    struct Case {
        std::optional<std::string> log;
        bool failWrites;
        std::vector<std::string> history;
        bool keyRemoved;
    } cases[] = {
        {std::nullopt, false, {"c", "b", "a"}, true},
        // A move cut short, then an earlier version that went on recording in the defaults.
        {"{\"emoji\":\"a\",\"timestamp\":10}\n{\"emoji\":\"b\",\"timestamp\":20}\n",
         false,
         {"c", "b", "a"},
         true},
        {std::nullopt, true, {"c", "b", "a"}, false},  // the key stays until the log holds it
    };
    for (const auto& c : cases) {
        RecordingDefaults db;
        db.setJson(kHistory, stored);
        MemoryAppendLog file;
        file.content = c.log;
        file.failWrites = c.failWrites;
        EmojiUsageStore store(db, clock, {}, &file);
        Texts texts;
        for (const auto& event : store.history()) texts.push_back(event.emoji);
        EXPECT_EQ(texts, c.history) << c.log.value_or("no log");
        EXPECT_EQ(db.contains(kHistory), !c.keyRemoved);
        if (c.keyRemoved) {
            EXPECT_EQ(EmojiUsageStore(db, clock, {}, &file).history(), store.history());
        }
    }
}

TEST_F(EmojiUsageStoreTest, ARecordingAppendsOneLineAndTheLogIsCompactedNowAndThen) {
    EmojiUsageStore store(defaults, clock, smallLimits(), &log);
    store.recordUsed("a");
    const auto oneLine = log.bytesWritten;
    EXPECT_LT(oneLine, 64u);
    const std::size_t uses = 4 + UsageHistoryLog::slack(4) + 10;
    for (std::size_t i = 0; i < uses; ++i) store.recordUsed("b");
    EXPECT_EQ(log.replacements, 1u);  // once the cut events outnumber the slack
    EXPECT_LE(logged().size(), 4 + UsageHistoryLog::slack(4));
    EXPECT_EQ(EmojiUsageStore(defaults, clock, smallLimits(), &log).history(), store.history());

    // A failed append may leave a torn line: the next recording writes the whole log again.
    log.failWrites = true;
    store.recordUsed("c");
    log.failWrites = false;
    log.content = *log.content + "{\"emoji\":\"c\",\"ti";
    store.recordUsed("d");
    EXPECT_EQ(EmojiUsageStore(defaults, clock, smallLimits(), &log).history(), store.history());
    EXPECT_TRUE(log.keptAside.empty());
}

// A log far longer than the history (an earlier version's, one written by hand) was read whole at
// every start until the next use compacted it.
TEST_F(EmojiUsageStoreTest, ALogFarPastTheCapIsCompactedAtLoadAndOneWithinItsSlackIsNot) {
    const std::size_t bound = 4 + UsageHistoryLog::slack(4);
    for (const std::size_t lines : {bound, bound + 1}) {
        log = MemoryAppendLog{};
        log.content = "";
        for (std::size_t i = 0; i < lines; ++i)
            *log.content += R"({"emoji":"e)" + std::to_string(i) + R"(","timestamp":1})" + "\n";
        EmojiUsageStore store(defaults, clock, smallLimits(), &log);
        EXPECT_EQ(store.history().size(), 4u);
        EXPECT_EQ(store.history().front().emoji, "e" + std::to_string(lines - 1));
        EXPECT_EQ(log.replacements, lines > bound ? 1u : 0u) << lines;
        EXPECT_EQ(logged().size(), lines > bound ? 4u : lines);
    }
}

// A torn log on a full disk was moved aside before its good events were written back; they never
// were, and the next start found only the new uses.
TEST_F(EmojiUsageStoreTest, ATornLogThatCannotBeWrittenBackStaysWhereItIs) {
    const std::string torn = "{\"emoji\":\"a\",\"timestamp\":1}\n{\"emoji\":\"b\",\"tim";
    log.content = torn;
    log.failWrites = true;
    {
        EmojiUsageStore store(defaults, clock, {}, &log);
        EXPECT_EQ(store.history().size(), 1u);
    }
    EXPECT_EQ(log.content, torn);
    log.failWrites = false;
    EmojiUsageStore store(defaults, clock, {}, &log);
    store.recordUsed("c");
    EXPECT_EQ(logged().size(), 2u);
    EXPECT_EQ(log.keptAside, (Texts{torn, torn}));
}

// A damaged line in the middle dropped every later use from the history.
TEST_F(EmojiUsageStoreTest, ALogThatDoesNotReadInFullKeepsItsGoodEventsAndIsMovedAside) {
    const std::string good = "{\"emoji\":\"a\",\"timestamp\":1}\n{\"emoji\":\"b\",\"timestamp\":2}\n";
    const std::string later = "{\"emoji\":\"d\",\"timestamp\":4}\n";
    const std::string deep = std::string(100000, '[') + std::string(100000, ']') + "\n";
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"{\"emoji\":\"c\",\"timest", good},          // torn tail
        {"{\"emoji\":\"c\",\"timestamp\":3}", good},  // no line end: torn as well
        {"not json\n" + later, good + later},
        {"{\"emoji\":\"c\",\"timestamp\":null}\n" + later, good + later},
        {deep + later, good + later},
    };
    for (const auto& [tail, kept] : damaged) {
        MemoryAppendLog file;
        file.content = good + tail;
        EmojiUsageStore store(defaults, clock, {}, &file);
        EXPECT_EQ(store.history().front().emoji, kept == good ? "b" : "d") << tail.substr(0, 40);
        EXPECT_EQ(file.keptAside, Texts{good + tail});
        EXPECT_EQ(file.content, kept);
    }
}

}  // namespace
}  // namespace mosaiko
