#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "content/CategoryIndex.hpp"
#include "content/EmojiEntry.hpp"
#include "content/IndexedEmoji.hpp"
#include "content/OptionEnums.hpp"

namespace mosaiko {

class SearchTable;
class SearchQuery;

// The search rows of an entry list (one per entry, same order) with lookups by id, by text and by
// category, and the scored search over them. Built anew whenever the list changes.
class SearchIndex {
  public:
    struct Match {
        std::int64_t score = 0;
        EmojiEntry entry;
    };
    // Which of two entries the sort priority puts first.
    enum class SortPreference { first, second, undecided };
    using ExtraSearchTerms = std::map<std::string, std::vector<std::string>>;

    SearchIndex();
    // Rows of unchanged entries are taken from `previous` (they depend on their entry only). The rows
    // refer to the entries of `entries`, which must outlive the index; moving the list (not copying
    // it) keeps them where they are.
    SearchIndex(const std::vector<EmojiEntry>& entries, const SearchIndex* previous = nullptr);
    ~SearchIndex();
    SearchIndex(SearchIndex&&) noexcept;
    SearchIndex& operator=(SearchIndex&&) noexcept;

    const std::vector<IndexedEmoji>& rows() const { return rows_; }
    // Whether the rows refer to the entries of `entries`, one by one.
    bool isOver(const std::vector<EmojiEntry>& entries) const {
        return rows_.size() == entries.size() && (rows_.empty() || rows_.front().source == entries.data());
    }

    // Texts and ids are compared in canonical (NFC) form.
    const EmojiEntry* entryForID(std::string_view id) const;
    std::optional<std::size_t> rowForID(std::string_view id) const;
    // The entry whose text, or the text of one of whose skin-tone options, is `emoji`.
    const EmojiEntry* entryForEmoji(std::string_view emoji) const;

    // Every entry of the category the query names, in list order; none when it names no category.
    std::optional<std::vector<EmojiEntry>> categoryEntries(std::string_view query) const;
    // The same as row numbers; null when the query names no category.
    const std::vector<std::size_t>* categoryRows(std::string_view query) const;

    // The best `limit` entries for the query with their scores, best first; an empty query gives
    // the first `limit` entries. `prioritizedIDs` come before all others; `extraSearchTermsByID`
    // adds texts (pin aliases) that find an entry like a shortcode.
    std::vector<Match> matches(std::string_view query, int limit, SearchSortPriority sortPriority,
                               const std::set<std::string>& prioritizedIDs,
                               const ExtraSearchTerms& extraSearchTermsByID) const;
    // The same as row numbers, for callers that copy only the entries they show.
    std::vector<std::uint32_t> matchRows(std::string_view query, int limit, SearchSortPriority sortPriority,
                                         const std::set<std::string>& prioritizedIDs,
                                         const ExtraSearchTerms& extraSearchTermsByID) const;

    // Glyphs last; emoticons before or after the other entries as the sort priority says.
    static SortPreference prefersFirstBySortPriority(const EmojiEntry& a, const EmojiEntry& b,
                                                     SearchSortPriority sortPriority);

  private:
    struct ScoredRow {
        std::int64_t score;
        std::uint32_t row;
    };
    std::vector<ScoredRow> scoredRows(std::string_view query, int limit, SearchSortPriority sortPriority,
                                      const std::set<std::string>& prioritizedIDs,
                                      const ExtraSearchTerms& extraSearchTermsByID) const;
    // Each row's score through its own texts, the query's bonus included; -1 where it does not match.
    std::vector<std::int64_t> rowScores(const SearchQuery& query) const;
    // Raises the scores of the rows that the extra texts find better.
    void addExtraTermScores(std::vector<std::int64_t>& scores, const SearchQuery& query,
                            const ExtraSearchTerms& extraSearchTermsByID) const;
    std::vector<ScoredRow> best(const std::vector<std::int64_t>& scores, std::size_t count,
                                SearchSortPriority sortPriority,
                                const std::set<std::string>& prioritizedIDs) const;
    const EmojiEntry* entryAt(const std::unordered_map<std::string, std::size_t>& lookup,
                              std::string_view key) const;

    std::vector<IndexedEmoji> rows_;
    // Row numbers by canonical text (entries and their options) and by canonical id.
    std::unordered_map<std::string, std::size_t> emojiLookup_;
    std::unordered_map<std::string, std::size_t> idLookup_;
    CategoryIndex categories_;
    std::unique_ptr<SearchTable> table_;
};

}  // namespace mosaiko
