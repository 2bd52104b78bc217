#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
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
//
// The index refers to the entries of its list and keys its lookups by their texts: the emoji data is
// the largest part of the program's memory, and is held once.
class SearchIndex {
  public:
    // The rows as made from their entries, each put together on request from what the index stores
    // (for inspection; the search reads the stored form).
    class Rows {
      public:
        class const_iterator {
          public:
            using iterator_category = std::input_iterator_tag;
            using value_type = IndexedEmoji;
            using difference_type = std::ptrdiff_t;
            using pointer = void;
            using reference = IndexedEmoji;
            const_iterator(const SearchIndex* index, std::size_t at) : index_(index), at_(at) {}
            IndexedEmoji operator*() const { return index_->row(at_); }
            const_iterator& operator++() {
                ++at_;
                return *this;
            }
            bool operator==(const const_iterator&) const = default;

          private:
            const SearchIndex* index_;
            std::size_t at_;
        };
        using iterator = const_iterator;
        using value_type = IndexedEmoji;

        explicit Rows(const SearchIndex& index) : index_(&index) {}
        std::size_t size() const { return index_->size(); }
        bool empty() const { return size() == 0; }
        IndexedEmoji operator[](std::size_t row) const { return index_->row(row); }
        IndexedEmoji back() const { return index_->row(size() - 1); }
        // Every row, put together at once.
        std::vector<IndexedEmoji> all() const { return index_->allRows(); }
        const_iterator begin() const { return {index_, 0}; }
        const_iterator end() const { return {index_, size()}; }
        bool operator==(const Rows& other) const { return all() == other.all(); }

      private:
        const SearchIndex* index_;
    };

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

    std::size_t size() const { return count_; }
    const EmojiEntry& entry(std::size_t row) const { return entries_[row]; }
    IndexedEmoji row(std::size_t row) const;
    std::vector<IndexedEmoji> allRows() const;
    Rows rows() const { return Rows(*this); }
    // Whether the rows refer to the entries of `entries`, one by one.
    bool isOver(const std::vector<EmojiEntry>& entries) const {
        return count_ == entries.size() && (count_ == 0 || entries_ == entries.data());
    }

    // Texts and ids are compared in canonical (NFC) form.
    const EmojiEntry* entryForID(std::string_view id) const;
    std::optional<std::size_t> rowForID(std::string_view id) const;
    // The entry whose text, or the text of one of whose skin-tone options, is `emoji`.
    const EmojiEntry* entryForEmoji(std::string_view emoji) const;
    std::optional<std::size_t> rowForEmoji(std::string_view emoji) const;

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
    // The same as row numbers, for callers that copy only the entries they show; the rows flagged
    // in `prioritizedRows` (one flag per row, or none at all) come before all others.
    std::vector<std::uint32_t> matchRows(std::string_view query, int limit, SearchSortPriority sortPriority,
                                         const std::vector<std::uint8_t>& prioritizedRows,
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
                                      const std::vector<std::uint8_t>& prioritizedRows,
                                      const ExtraSearchTerms& extraSearchTermsByID) const;
    // Each row's score through its own texts, the query's bonus included; -1 where it does not match.
    std::vector<std::int64_t> rowScores(const SearchQuery& query) const;
    // Raises the scores of the rows that the extra texts find better.
    void addExtraTermScores(std::vector<std::int64_t>& scores, const SearchQuery& query,
                            const ExtraSearchTerms& extraSearchTermsByID) const;
    // A match with its ranking key, smaller first.
    struct RankedRow {
        std::uint64_t key;
        std::uint32_t row;
    };
    std::vector<ScoredRow> best(const std::vector<std::int64_t>& scores, std::size_t count,
                                SearchSortPriority sortPriority,
                                const std::vector<std::uint8_t>& prioritizedRows) const;
    // Orders by key, equal keys in the order given; `differing` has the bits in which keys differ.
    static void sortByKey(std::vector<RankedRow>& ranked, std::uint64_t differing);
    // A canonical text and the row it leads to; the text is that of an entry of the list, or one of
    // canonicalCopies_ where the entry holds it in another form.
    struct Key {
        const char* data;
        std::uint32_t size;
        std::uint32_t row;
        std::string_view text() const { return {data, size}; }
    };
    void addKey(std::vector<Key>& keys, const std::string& text, std::size_t row);
    // Sorts the keys by text, keeping of equal texts the one added last.
    static void settle(std::vector<Key>& keys);
    static std::optional<std::size_t> find(const std::vector<Key>& keys, std::string_view canonical);

    const EmojiEntry* entries_ = nullptr;
    std::size_t count_ = 0;
    // Row numbers by canonical text (entries and their options) and by canonical id.
    std::vector<Key> emojiKeys_;
    std::vector<Key> idKeys_;
    std::vector<std::unique_ptr<const std::string>> canonicalCopies_;
    CategoryIndex categories_;
    std::unique_ptr<SearchTable> table_;
};

}  // namespace mosaiko
