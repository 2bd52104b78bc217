#include "content/EmojiUsageStore.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
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

std::optional<std::vector<UsageEvent>> decodeHistory(const Json& json) {
    if (!json.is_array()) return std::nullopt;
    std::vector<UsageEvent> events;
    events.reserve(json.size());
    for (const auto& element : json) {
        auto emoji = json::string(element, "emoji");
        auto timestamp = element.find("timestamp");
        if (!emoji || timestamp == element.end() || !timestamp->is_number()) return std::nullopt;
        events.push_back(UsageEvent{std::move(*emoji), timestamp->get<double>()});
    }
    return events;
}

// Appends `s` as a JSON string. Most texts need no escaping and are quoted as they are; the others
// go through the JSON library (which also replaces invalid UTF-8).
void appendJsonString(std::string& out, const std::string& s) {
    const bool plain =
        std::none_of(s.begin(), s.end(),
                     [](char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; }) &&
        text::isValidUtf8(s);
    if (!plain) {
        out += json::dump(Json(s));
        return;
    }
    out += '"';
    out += s;
    out += '"';
}

// The history as a JSON array of {"emoji", "timestamp"} objects. Written directly rather than
// through a document tree: the full history is rewritten on every recording. JSON has no
// infinities or NaN, so a history holding one cannot be encoded.
std::optional<std::string> encodeHistory(const std::vector<UsageEvent>& events) {
    std::string out;
    out.reserve(events.size() * 48 + 2);
    out += '[';
    char number[32];
    for (std::size_t i = 0; i < events.size(); ++i) {
        const auto& event = events[i];
        if (!std::isfinite(event.timestamp)) return std::nullopt;
        if (i) out += ',';
        out += R"({"emoji":)";
        appendJsonString(out, event.emoji);
        out += R"(,"timestamp":)";
        const auto end = std::to_chars(number, number + sizeof number, event.timestamp).ptr;
        out.append(number, end);
        out += '}';
    }
    out += ']';
    return out;
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

EmojiUsageStore::EmojiUsageStore(DefaultsDatabase& defaults, const Clock& clock, Settings settings)
    : defaults_(defaults), clock_(clock), settings_(std::move(settings)) {
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
    if (auto loaded = load(historyKey_, decodeHistory)) history.set(std::move(*loaded));
}

void EmojiUsageStore::write(Key& key, std::string json) {
    if (key.unreadable) {
        defaults_.preserveUndecodable(key.name);
        key.unreadable = false;
    }
    defaults_.set(key.name, DefaultsData{std::move(json)});
}

void EmojiUsageStore::recordUsed(std::string_view usedText) {
    // Each step assigns the property it changes, so subscribers see every step.
    {
        auto updated = counts();
        auto it = updated.find(usedText);
        if (it == updated.end()) it = updated.emplace(std::string(usedText), 0).first;
        if (it->second < kMaxCount) ++it->second;
        counts.set(std::move(updated));
    }
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
    {
        auto withEvent = history();
        withEvent.insert(withEvent.begin(), UsageEvent{std::string(usedText), clock_.now()});
        history.set(std::move(withEvent));
        if (history().size() > settings_.maxHistoryEvents) {
            auto cut = history();
            cut.resize(settings_.maxHistoryEvents);
            history.set(std::move(cut));
        }
    }

    write(countsKey_, json::dump(Json(counts())));
    write(recentsKey_, json::dump(Json(recents())));
    if (auto encoded = encodeHistory(history())) write(historyKey_, std::move(*encoded));
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
}

}  // namespace mosaiko
