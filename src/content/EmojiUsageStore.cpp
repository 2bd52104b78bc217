#include "content/EmojiUsageStore.hpp"

#include <algorithm>
#include <limits>

#include "platform/Json.hpp"

namespace mosaiko {

namespace {

constexpr auto kMaxCount = std::numeric_limits<std::int64_t>::max();

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? kMaxCount : std::numeric_limits<std::int64_t>::min();
    return sum;
}

// A whole number that fits 64 bits; fractions and larger numbers do not decode.
std::optional<std::int64_t> countValue(const Json& value) {
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(kMaxCount)) return std::nullopt;
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    return std::nullopt;
}

std::optional<EmojiUsageStore::Counts> decodeCounts(const Json& json) {
    if (!json.is_object()) return std::nullopt;
    EmojiUsageStore::Counts counts;
    for (const auto& [text, value] : json.items()) {
        auto count = countValue(value);
        if (!count) return std::nullopt;
        // Texts stored apart that are canonically one text are counted together.
        auto [it, inserted] = counts.try_emplace(text, *count);
        if (!inserted) it->second = saturatingAdd(it->second, *count);
    }
    return counts;
}

std::optional<EmojiUsageStore::History> decodeHistory(const Json& json) {
    if (!json.is_array()) return std::nullopt;
    EmojiUsageStore::History events;
    for (const auto& element : json) {
        auto emoji = json::string(element, "emoji");
        auto timestamp = element.find("timestamp");
        if (!emoji || timestamp == element.end() || !timestamp->is_number()) return std::nullopt;
        events.push_back(UsageEvent{std::move(*emoji), timestamp->get<double>()});
    }
    return events;
}

// Sorts by count descending, equal counts by text in ascending canonical order, and cuts to `limit`.
template <class Row>
void rank(std::vector<Row>& rows, std::size_t limit) {
    std::vector<std::pair<std::string, Row>> keyed;  // NFC text, computed once per row
    keyed.reserve(rows.size());
    for (auto& row : rows) keyed.emplace_back(text::nfc(row.emoji), std::move(row));
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.second.count != b.second.count) return a.second.count > b.second.count;
        return a.first < b.first;
    });
    if (keyed.size() > limit) keyed.resize(limit);
    rows.clear();
    for (auto& [key, row] : keyed) rows.push_back(std::move(row));
}

}  // namespace

EmojiUsageStore::EmojiUsageStore(DefaultsDatabase& defaults, const Clock& clock)
    : EmojiUsageStore(defaults, clock, Settings{}) {}

EmojiUsageStore::EmojiUsageStore(DefaultsDatabase& defaults, const Clock& clock, Settings settings,
                                 AppendLog* historyLog)
    : defaults_(defaults),
      clock_(clock),
      settings_(std::move(settings)),
      ownLog_(historyLog ? nullptr : std::make_unique<MemoryAppendLog>()),
      historyLog_(historyLog ? *historyLog : *ownLog_) {
    // Reads one key: its JSON when it decodes, else nothing, remembering unreadable data so that it
    // is kept aside before the first write replaces it.
    auto load = [&](Key& key, auto decode) -> decltype(decode(Json())) {
        if (!defaults_.contains(key.name)) return std::nullopt;
        auto bytes = defaults_.data(key.name);
        auto json = bytes ? json::parse(*bytes) : std::nullopt;
        auto value = json ? decode(*json) : std::nullopt;
        if (!value) key.unreadable = true;
        return value;
    };
    if (auto loaded = load(countsKey_, decodeCounts)) counts.set(std::move(*loaded));
    if (auto loaded = load(recentsKey_, [](const Json& j) { return json::stringArray(j); }))
        recents.set(std::move(*loaded));
    history.set(loadHistory());
}

EmojiUsageStore::History EmojiUsageStore::loadHistory() {
    auto logged = historyLog_.load();
    History events;
    if (logged) {
        // Events past the cap were dropped before the log was last compacted.
        events = std::move(*logged);
        const std::size_t lines = events.size();
        if (lines > settings_.maxHistoryEvents) events.resize(settings_.maxHistoryEvents);
        // A log far past the cap (an earlier version's, one written by hand) is compacted now, not
        // at the next use: until then every start reads all of it before the keyboard is answered.
        if (lines > events.size() + UsageHistoryLog::slack(events.size())) historyLog_.rewrite(events);
    }
    const auto& key = settings_.historyKey;
    if (!defaults_.contains(key)) return events;

    // A history still kept in the defaults database (by an earlier version) moves to the log. When
    // the log has events too (a move cut short, or an earlier version run since), the stored events
    // newer than the log's newest come first.
    auto bytes = defaults_.data(key);
    auto json = bytes ? json::parse(*bytes) : std::nullopt;
    auto stored = json ? decodeHistory(*json) : std::nullopt;
    if (stored) {
        const auto newer = std::find_if(stored->begin(), stored->end(), [&](const UsageEvent& e) {
            return !events.empty() && !(e.timestamp > events.front().timestamp);
        });
        events.insert(events.begin(), std::make_move_iterator(stored->begin()),
                      std::make_move_iterator(newer));
    } else {
        defaults_.preserveUndecodable(key);
    }
    // The key goes only once the log holds its events.
    if (historyLog_.rewrite(events)) defaults_.remove(key);
    return events;
}

void EmojiUsageStore::write(Key& key, std::string json) {
    if (key.unreadable) {
        defaults_.preserveUndecodable(key.name);
        key.unreadable = false;
    }
    defaults_.set(key.name, DefaultsData{std::move(json)});
}

void EmojiUsageStore::recordUsed(std::string_view usedText) {
    // Each step announces the property it changes, so subscribers see every step. The large
    // collections change in place: a recording costs the same with a long history.
    counts.modify([&](Counts& updated) {
        auto it = updated.find(usedText);
        if (it == updated.end()) it = updated.emplace(std::string(usedText), 0).first;
        if (it->second < kMaxCount) ++it->second;
    });
    {
        auto without = recents();
        std::erase_if(without, [&](const std::string& t) { return text::canonicallyEqual(t, usedText); });
        recents.set(std::move(without));
        auto withFront = recents();
        withFront.insert(withFront.begin(), std::string(usedText));
        recents.set(std::move(withFront));
        if (recents().size() > settings_.maxRecents) {
            auto cut = recents();
            cut.resize(settings_.maxRecents);
            recents.set(std::move(cut));
        }
    }
    history.modify([&](History& events) {
        events.push_front(UsageEvent{std::string(usedText), clock_.now()});
    });
    if (history().size() > settings_.maxHistoryEvents)
        history.modify([&](History& events) { events.resize(settings_.maxHistoryEvents); });

    write(countsKey_, json::dump(Json(counts())));
    write(recentsKey_, json::dump(Json(recents())));
    historyLog_.appendNewest(history());
}

std::vector<EmojiUsageStore::Ranked> EmojiUsageStore::topEmojis(std::size_t limit,
                                                                std::optional<double> since) const {
    std::vector<Ranked> rows;
    if (!since) {
        for (const auto& [emoji, count] : counts()) rows.push_back(Ranked{emoji, count});
    } else {
        Counts fresh;
        // History is newest first: everything after the first earlier event is earlier too.
        for (const auto& event : history()) {
            if (event.timestamp < *since) break;
            ++fresh[event.emoji];
        }
        for (auto& [emoji, count] : fresh) rows.push_back(Ranked{emoji, count});
    }
    rank(rows, limit);
    return rows;
}

std::vector<EmojiUsageStore::Trending> EmojiUsageStore::topEmojisWithTrend(std::size_t limit,
                                                                           double window) const {
    if (!(window > 0)) return {};
    const double now = clock_.now();
    Counts current, previous;
    for (const auto& event : history()) {
        if (event.timestamp < now - 2 * window) break;
        // Events later than now (a clock set back) count in the current window.
        ++(event.timestamp < now - window ? previous : current)[event.emoji];
    }
    std::vector<Trending> rows;
    for (const auto& [emoji, count] : current) {
        auto before = previous.find(emoji);
        rows.push_back(Trending{emoji, count, count - (before == previous.end() ? 0 : before->second)});
    }
    rank(rows, limit);
    return rows;
}

void EmojiUsageStore::resetAll() {
    counts.set({});
    recents.set({});
    history.set({});
    // A reset deletes usage data on purpose, unreadable data included.
    for (Key* key : {&countsKey_, &recentsKey_, &historyKey_}) {
        key->unreadable = false;
        defaults_.remove(key->name);
    }
    historyLog_.remove();
}

}  // namespace mosaiko
