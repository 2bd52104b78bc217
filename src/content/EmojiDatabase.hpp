#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "content/EmojiEntry.hpp"
#include "content/OptionEnums.hpp"
#include "content/SearchIndex.hpp"
#include "platform/AppBundle.hpp"
#include "platform/OperatingSystemVersion.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// Why the emoji data file could not be used; what() is the description.
class EmojiDatabaseError : public std::runtime_error {
  public:
    enum class Kind { decodeFailed, resourceMissing };

    static EmojiDatabaseError decodeFailed(std::string_view underlying);
    static EmojiDatabaseError resourceMissing();

    Kind kind() const { return kind_; }

  private:
    EmojiDatabaseError(Kind kind, const std::string& description)
        : std::runtime_error(description), kind_(kind) {}
    Kind kind_;
};

// Every insertable entry of the program: the emoji of the data file (or three built-in entries when
// the file cannot be used) followed by the emoticons, glyphs and snippets handed over by the content
// coordinator, after dropping what the running system cannot show. Keeps its search index (with the
// lookups by id, by text and by category) in step with the list, and answers searches through it.
//
// Main thread only. The list is announced before the index and lookups are rebuilt, so a subscriber
// that searches while being notified still sees the previous index.
//
// A database may also start empty and take its data file later, read and indexed on another thread
// (prepare(), then finishLoading()), so that the program answers keys while the index is built.
class EmojiDatabase {
  public:
    using IndexedEmoji = mosaiko::IndexedEmoji;
    using Match = SearchIndex::Match;
    using ExtraSearchTerms = SearchIndex::ExtraSearchTerms;
    using EntriesHandler = std::function<void(const std::vector<EmojiEntry>&)>;

    // The data file's entries, filtered for the running system, with the combined list and its
    // index over the extra entries that were current when the work began. The index refers to the
    // entries of `emojis`: move it, never copy it.
    struct Loaded {
        OperatingSystemVersion currentMacOSVersion;
        // The data file's entries, unless they begin `emojis` (see baseCount).
        std::vector<EmojiEntry> baseEmojis;
        std::vector<EmojiEntry> extraEmojis;
        std::vector<EmojiEntry> emojis;
        SearchIndex index;
        // Which hand-over of extra entries the index was built with.
        std::uint64_t extrasGeneration = 0;
        // When baseEmojis is empty, the data file's entries are the first baseCount entries of
        // `emojis`: no id repeats among them, and the list took them over instead of a copy.
        std::size_t baseCount = 0;
    };
    // What prepare() needs of a database that waits for its data file: the extra entries handed over
    // so far (not yet filtered) and which hand-over they were.
    struct PendingExtras {
        // Shared rather than copied: a user's 10,000 snippets took milliseconds to copy on the main
        // thread as the loading thread began.
        std::shared_ptr<const std::vector<EmojiEntry>> entries;
        std::uint64_t generation = 0;
    };
    struct DataFileToCome {};

    // Loads the data file of the main bundle.
    explicit EmojiDatabase(OperatingSystemVersion currentMacOSVersion);
    // Loads the data file of the given bundle.
    EmojiDatabase(const AppBundle& bundle, OperatingSystemVersion currentMacOSVersion);
    // Takes the given lists instead of the data file; both pass the availability filter.
    EmojiDatabase(std::vector<EmojiEntry> baseEmojis, std::vector<EmojiEntry> extraEmojis,
                  OperatingSystemVersion currentMacOSVersion);
    // Starts with no entries; the data file comes through finishLoading(). Extra entries handed over
    // meanwhile are kept for it, and the list stays empty until then.
    explicit EmojiDatabase(DataFileToCome);
    ~EmojiDatabase();
    EmojiDatabase(const EmojiDatabase&) = delete;
    EmojiDatabase& operator=(const EmojiDatabase&) = delete;

    // The combined list: base entries, then extra entries, unique by id.
    const std::vector<EmojiEntry>& emojis() const { return emojis_.value(); }
    // Receives the current list now, then every new one (before the index follows it).
    [[nodiscard]] Cancellable subscribeEmojis(EntriesHandler handler) {
        return emojis_.subscribe(std::move(handler));
    }
    // Receives only the lists assigned from now on.
    [[nodiscard]] Cancellable observeEmojis(EntriesHandler handler) {
        return emojis_.observe(std::move(handler));
    }

    // The data file's entries for the running system. They begin the combined list, which then
    // holds the only copy, unless they repeat an id.
    std::span<const EmojiEntry> baseEmojis() const {
        if (!baseIsPrefix_) return ownBaseEmojis_;
        return std::span<const EmojiEntry>(emojis_.value()).first(baseCount_);
    }
    // The emoticons, glyphs and snippets for the running system. They end the combined list, which
    // then holds the only copy, unless they repeat an id.
    std::span<const EmojiEntry> extraEmojis() const {
        if (!extrasAreSuffix_) return ownExtraEmojis_;
        return std::span<const EmojiEntry>(emojis_.value()).last(extraCount_);
    }
    // The search rows, one per entry of emojis(), each put together when asked for.
    SearchIndex::Rows index() const { return index_.rows(); }
    OperatingSystemVersion currentMacOSVersion() const { return currentMacOSVersion_; }

    std::optional<EmojiEntry> entryForID(std::string_view id) const;
    // The entry whose text, or the text of one of whose skin-tone options, is `emoji`.
    std::optional<EmojiEntry> entryForEmoji(std::string_view emoji) const;

    // Every entry of the category the query names ("food", "smileys", "shortcodes"), in list order;
    // none when the query names no category.
    std::optional<std::vector<EmojiEntry>> categoryEntries(std::string_view query) const;

    // The best `limit` entries for the query, best first. An empty query gives the first `limit`
    // entries of the list. `prioritizedIDs` come before all others; `extraSearchTermsByID` adds texts
    // (pin aliases) that find an entry like a shortcode.
    std::vector<EmojiEntry> search(std::string_view query, int limit,
                                   SearchSortPriority sortPriority = SearchSortPriority::emojiFirst,
                                   const std::set<std::string>& prioritizedIDs = {},
                                   const ExtraSearchTerms& extraSearchTermsByID = {}) const;
    // The same search with the score of each result.
    std::vector<Match> matches(std::string_view query, int limit,
                               SearchSortPriority sortPriority = SearchSortPriority::emojiFirst,
                               const std::set<std::string>& prioritizedIDs = {},
                               const ExtraSearchTerms& extraSearchTermsByID = {}) const;

    // The same answers as row numbers of index(), for callers that copy only the entries they show.
    // Row numbers hold until the list changes.
    const EmojiEntry& entryAtRow(std::size_t row) const { return index_.entry(row); }
    std::optional<std::size_t> rowForID(std::string_view id) const { return index_.rowForID(id); }
    std::optional<std::size_t> rowForEmoji(std::string_view emoji) const { return index_.rowForEmoji(emoji); }
    const std::vector<std::size_t>* categoryRows(std::string_view query) const {
        return index_.categoryRows(query);
    }
    // `prioritizedRows` flags the rows that come first, one flag per row (or none at all).
    std::vector<std::uint32_t> searchRows(std::string_view query, int limit, SearchSortPriority sortPriority,
                                          const std::vector<std::uint8_t>& prioritizedRows,
                                          const ExtraSearchTerms& extraSearchTermsByID) const {
        return index_.matchRows(query, limit, sortPriority, prioritizedRows, extraSearchTermsByID);
    }

    // Replaces the emoticons, glyphs and snippets (filtered for availability) and rebuilds; while
    // the data file is still to come, only keeps them for it.
    void setExtraEmojis(std::vector<EmojiEntry> entries);

    // Whether the data file (or the built-in entries standing in for it) is in.
    bool isLoaded() const { return loaded_; }
    PendingExtras pendingExtras() const { return {pendingExtras_, extrasGeneration_}; }
    // Reads the data file of `bundle` (the built-in entries when it cannot be used), filters it and
    // the extras for `currentMacOSVersion` and indexes the combined list. Touches no database: any
    // thread may call it.
    static Loaded prepare(const AppBundle& bundle, OperatingSystemVersion currentMacOSVersion,
                          PendingExtras extras);
    // Takes what prepare() made; the extras handed over since it began replace its own, reusing the
    // rows of every unchanged entry. Announces the list once, then puts the index in place. Does
    // nothing once loaded.
    void finishLoading(Loaded loaded);

    // Drops an entry newer than the running system; drops its newer options (and its variants when
    // none remains), normalizing what remains.
    std::optional<EmojiEntry> availableEntry(const EmojiEntry& entry) const;
    std::vector<EmojiEntry> availableEntries(const std::vector<EmojiEntry>& entries) const;

    // The three entries used when the data file cannot be loaded.
    static const std::vector<EmojiEntry>& fallbackEmojis();
    // "14", "14.1" or "14.1.2" with non-negative decimal pieces; none for anything else.
    static std::optional<OperatingSystemVersion> parseOperatingSystemVersion(std::string_view text);

  private:
    static std::vector<EmojiEntry> readDataFile(const AppBundle& bundle);
    static std::vector<EmojiEntry> availableEntries(std::vector<EmojiEntry> entries,
                                                    OperatingSystemVersion version);
    static std::optional<EmojiEntry> availableEntry(EmojiEntry entry, OperatingSystemVersion version);
    static bool hasUniqueIDs(const std::vector<EmojiEntry>& entries);
    // The base entries, then the extra entries, each id once (the first wins).
    static std::vector<EmojiEntry> combined(std::vector<EmojiEntry> base, std::span<const EmojiEntry> extras);
    void rebuildCombined();
    // Stores and announces the list, then puts its index (built over `list` itself) in place.
    void publish(std::vector<EmojiEntry> list, SearchIndex index);
    // Takes a new base list; it is kept apart until settleBaseEmojis() finds it at the start of the
    // stored combined list.
    void setBaseEmojis(std::vector<EmojiEntry> entries);
    void settleBaseEmojis();
    // The same for the extra entries, at the end of the list.
    void setExtras(std::vector<EmojiEntry> entries);
    void settleExtraEmojis();

    OperatingSystemVersion currentMacOSVersion_;
    bool loaded_ = true;
    // Extra entries handed over before the data file is in, and how many hand-overs there were.
    std::shared_ptr<const std::vector<EmojiEntry>> pendingExtras_ =
        std::make_shared<std::vector<EmojiEntry>>();
    std::uint64_t extrasGeneration_ = 0;
    Published<std::vector<EmojiEntry>> emojis_;
    std::vector<EmojiEntry> ownBaseEmojis_;
    bool baseIsPrefix_ = false;
    std::size_t baseCount_ = 0;
    std::vector<EmojiEntry> ownExtraEmojis_;
    bool extrasAreSuffix_ = false;
    std::size_t extraCount_ = 0;
    SearchIndex index_;
};

}  // namespace mosaiko
