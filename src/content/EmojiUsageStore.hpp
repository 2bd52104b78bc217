#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/UsageEvent.hpp"
#include "content/UsageHistoryLog.hpp"
#include "platform/AppendLog.hpp"
#include "platform/DefaultsDatabase.hpp"
#include "platform/Json.hpp"
#include "platform/MainLoop.hpp"
#include "platform/Published.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

// Counts and remembers inserted texts: all-time counts, the most recent texts and a time-stamped
// history. Counts and recents are written to the defaults database as JSON after every recording;
// the history, which is large, goes to a log of its own where a recording appends one line (a
// history found in the defaults database is moved there once). Texts are keyed by the inserted
// text itself under canonical equivalence (a skin-tone variant counts apart from its base).
class EmojiUsageStore {
  public:
    // Canonically equivalent texts are one key; the first form recorded is the one kept.
    using Counts = std::map<std::string, std::int64_t, text::CanonicalLess>;
    using History = UsageHistoryLog::History;  // newest first

    struct Ranked {
        std::string emoji;
        std::int64_t count = 0;
        bool operator==(const Ranked&) const = default;
    };
    struct Trending {
        std::string emoji;
        std::int64_t count = 0;
        std::int64_t delta = 0;  // current count minus the count of the period before
        bool operator==(const Trending&) const = default;
    };

    struct Settings {
        std::string countsKey = "emojiUsageCounts";
        std::string recentsKey = "emojiUsageRecents";
        std::string historyKey = "emojiUsageHistory";
        std::size_t maxRecents = 50;
        std::size_t maxHistoryEvents = 5000;
    };

    // Timestamps come from `clock.now()`. Loads the three collections (absent or undecodable data
    // gives an empty one, taken as it is otherwise); the history comes from `historyLog` (kept in
    // memory when none is given), joined by one still under its key in the defaults database,
    // which is moved to the log and removed.
    EmojiUsageStore(DefaultsDatabase& defaults, const Clock& clock);
    EmojiUsageStore(DefaultsDatabase& defaults, const Clock& clock, Settings settings,
                    AppendLog* historyLog = nullptr);
    EmojiUsageStore(const EmojiUsageStore&) = delete;
    EmojiUsageStore& operator=(const EmojiUsageStore&) = delete;

    // Read and followed by anyone, assigned only by the operations below: a caller cannot bypass
    // the caps, the one-text-once rule of the recents or the write-through.
    OwnedPublished<Counts, EmojiUsageStore> counts;                     // all-time insertions per text
    OwnedPublished<std::vector<std::string>, EmojiUsageStore> recents;  // most recent first, each once
    OwnedPublished<History, EmojiUsageStore> history;                   // newest first, capped

    // Counts one insertion of `text`, moves it to the front of the recents, adds a history event,
    // then writes counts, recents and history in this order. No text is refused.
    void recordUsed(std::string_view text);
    // The top texts by count (descending; ties in ascending canonical order): all-time without a
    // date, else over the history events not earlier than `since` (seconds since 1970).
    std::vector<Ranked> topEmojis(std::size_t limit, std::optional<double> since = std::nullopt) const;
    // The top texts of the last `window` seconds, each with its change against the window before.
    std::vector<Trending> topEmojisWithTrend(std::size_t limit, double window) const;
    // Empties all three collections and removes their keys and the history log.
    void resetAll();

    const Settings& settings() const { return settings_; }

  private:
    struct Key {
        const std::string& name;
        bool unreadable = false;  // holds data we could not decode, not yet kept aside
    };
    void write(Key& key, std::string json);
    History loadHistory();

    DefaultsDatabase& defaults_;
    const Clock& clock_;
    Settings settings_;
    Key countsKey_{settings_.countsKey};
    Key recentsKey_{settings_.recentsKey};
    Key historyKey_{settings_.historyKey};
    std::unique_ptr<MemoryAppendLog> ownLog_;  // when no log was given
    UsageHistoryLog historyLog_;
};

}  // namespace mosaiko
