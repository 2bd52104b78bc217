#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "content/EmojiEntry.hpp"
#include "content/OptionEnums.hpp"
#include "platform/AppBundle.hpp"
#include "platform/OperatingSystemVersion.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

class SearchTable;

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
// coordinator, after dropping what the running system cannot show. Keeps a search index and lookups
// by id, by text and by category in step with the list, and answers scored searches.
//
// Main thread only. The list is announced before the index and lookups are rebuilt, so a subscriber
// that searches while being notified still sees the previous index.
class EmojiDatabase {
  public:
    // One search row per entry: lowercased name and shortcodes, and the keywords with their penalty.
    struct IndexedEmoji {
        struct IndexedKeyword {
            std::string term;
            std::int64_t penalty = 0;  // 0 own token, 120 deinflected form, 900 related word
            bool operator==(const IndexedKeyword&) const = default;
        };

        EmojiEntry entry;
        std::string name;
        std::vector<std::string> shortcodes;
        std::vector<IndexedKeyword> keywords;  // by penalty, then term

        // The score of one query term against this row (the best shortcode or keyword match, else
        // 2500 when the name contains the term); none when nothing matches.
        std::optional<std::int64_t> score(std::string_view term) const;

        bool operator==(const IndexedEmoji&) const = default;
    };

    // A text a query searches for, with the penalty subtracted from what it scores.
    struct SearchTerm {
        std::string term;
        std::int64_t penalty = 0;
        bool operator==(const SearchTerm&) const = default;
    };

    struct Match {
        std::int64_t score = 0;
        EmojiEntry entry;
    };

    // Which of two entries the sort priority puts first.
    enum class SortPreference { first, second, undecided };

    using ExtraSearchTerms = std::map<std::string, std::vector<std::string>>;
    using EntriesHandler = std::function<void(const std::vector<EmojiEntry>&)>;

    // Built on first use from the main bundle's data file, for the detected system version.
    static EmojiDatabase& shared();

    // Loads the data file of the main bundle.
    explicit EmojiDatabase(OperatingSystemVersion currentMacOSVersion);
    // Loads the data file of the given bundle.
    EmojiDatabase(const AppBundle& bundle, OperatingSystemVersion currentMacOSVersion);
    // Takes the given lists instead of the data file; both pass the availability filter.
    EmojiDatabase(std::vector<EmojiEntry> baseEmojis, std::vector<EmojiEntry> extraEmojis,
                  OperatingSystemVersion currentMacOSVersion);
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

    const std::vector<EmojiEntry>& baseEmojis() const { return baseEmojis_; }
    const std::vector<EmojiEntry>& extraEmojis() const { return extraEmojis_; }
    const std::vector<IndexedEmoji>& index() const { return index_; }
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

    // Replaces the emoticons, glyphs and snippets (filtered for availability) and rebuilds.
    void setExtraEmojis(std::vector<EmojiEntry> entries);

    // Drops an entry newer than the running system; drops its newer options (and its variants when
    // none remains), normalizing what remains.
    std::optional<EmojiEntry> availableEntry(const EmojiEntry& entry) const;
    std::vector<EmojiEntry> availableEntries(const std::vector<EmojiEntry>& entries) const;

    // The three entries used when the data file cannot be loaded.
    static const std::vector<EmojiEntry>& fallbackEmojis();
    // "14", "14.1" or "14.1.2" with non-negative decimal pieces; none for anything else.
    static std::optional<OperatingSystemVersion> parseOperatingSystemVersion(std::string_view text);

    // Index building.
    static std::string normalizeSearchToken(std::string_view text);
    static std::vector<std::string> normalizedTokenCandidates(std::string_view text);
    static std::vector<std::string> deinflectedTokens(std::string_view token);
    static std::vector<IndexedEmoji::IndexedKeyword> expandedKeywords(const EmojiEntry& entry);

    // Query side.
    static std::vector<std::string> queryTokens(std::string_view text);
    static std::vector<SearchTerm> searchTerms(std::string_view text);
    static SortPreference prefersFirstBySortPriority(const EmojiEntry& a, const EmojiEntry& b,
                                                     SearchSortPriority sortPriority);

    // Lowercase words separated by single spaces, without "and": "Smileys & Emotion" gives
    // "smileys emotion".
    static std::string normalizeCategoryKey(std::string_view text);

  private:
    void load(const AppBundle& bundle);
    void rebuildCombined();
    void rebuildIndex();
    std::optional<std::vector<EmojiEntry>> matchCategory(std::string_view query) const;
    std::vector<EmojiEntry> entriesOfRows(const std::vector<std::size_t>& rows) const;

    OperatingSystemVersion currentMacOSVersion_;
    Published<std::vector<EmojiEntry>> emojis_;
    std::vector<EmojiEntry> baseEmojis_;
    std::vector<EmojiEntry> extraEmojis_;
    std::vector<IndexedEmoji> index_;
    // The lookups hold row numbers of `index_`; texts and ids are keyed in canonical (NFC) form.
    std::unordered_map<std::string, std::size_t> emojiLookup_;
    std::unordered_map<std::string, std::size_t> idLookup_;
    std::map<std::string, std::vector<std::size_t>> categoryLookup_;
    std::unique_ptr<SearchTable> searchTable_;
};

}  // namespace mosaiko
