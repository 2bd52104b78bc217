#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "content/IndexedEmoji.hpp"
#include "content/SearchQuery.hpp"
#include "content/SearchText.hpp"

namespace mosaiko {

// The search rows of an entry list, held compactly: every distinct name, shortcode and keyword text
// once (in canonical form), in one buffer that a term is searched in with a single scan, with the
// rows (and keyword penalties) that use each text. Scores equal the row-by-row rule of
// IndexedEmoji::score.
class SearchTable {
  public:
    using MatchKind = search_text::MatchKind;

  private:
    enum class Role : std::uint8_t { name, shortcode, keyword };
    enum class Kind : std::uint8_t { other, emoticon, glyph };
    // A row that uses a text, and as what: its name, a shortcode, or a keyword with its penalty
    // (0, 120 or 900).
    struct Posting {
        std::uint32_t row;
        std::int16_t penalty;
        Role role;
    };
    struct Keyword {
        std::uint32_t text;
        std::int16_t penalty;
    };

  public:
    // Takes the rows in list order, each made from its entry or copied from an earlier table, and
    // arranges them.
    class Builder {
      public:
        explicit Builder(std::size_t rowCount);
        // A row made from its entry.
        void add(const EmojiEntry& entry);
        // Row `row` of `previous` once more, for an entry equal to the one that row was made from.
        void copy(const SearchTable& previous, std::size_t row, const EmojiEntry& entry);
        SearchTable build();

      private:
        // Adds the row's name and shortcodes, made from its entry.
        void startRow(const EmojiEntry& entry);
        void addText(std::string_view text, Role role, std::int64_t penalty);

        std::unordered_map<std::string, std::uint32_t> ids_;
        std::vector<const std::string*> texts_;
        std::vector<const EmojiEntry*> entries_;
        std::vector<std::pair<std::uint32_t, Posting>> postings_;
        // The keywords of each row of the table copied from, worked out on its first copied row.
        const SearchTable* previous_ = nullptr;
        std::vector<std::uint32_t> previousStart_;
        std::vector<Keyword> previousKeywords_;
    };

    SearchTable() = default;

    std::size_t rowCount() const { return kinds_.size(); }
    // Rows first .. first + count - 1 as made from their entries (`entries` is the whole list), their
    // keywords read from what is stored. Each call looks through every text: for inspection.
    std::vector<IndexedEmoji> rows(std::span<const EmojiEntry> entries, std::size_t first,
                                   std::size_t count) const;

    // For every row, the best of (row score of the term − the term's penalty, at least 0) over the
    // terms; −1 where no term matches.
    std::vector<std::int64_t> bestScores(const std::vector<PreparedTerm>& terms) const;

    // Every row ordered by entry name (plain comparison of the canonical text), equal names in row
    // order.
    const std::vector<std::uint32_t>& rowsByName() const { return byName_; }
    bool isGlyph(std::size_t row) const { return kinds_[row] == Kind::glyph; }
    bool isEmoticon(std::size_t row) const { return kinds_[row] == Kind::emoticon; }

  private:
    // Calls f(text number, kind) for every distinct text that holds the term.
    template <class F>
    void forEachMatch(const PreparedTerm& term, F f) const;
    // How text `id` holds the needle, given the first byte offset at which the bytes occur in it.
    MatchKind classify(std::uint32_t id, std::size_t offset, std::string_view needle) const;
    std::string_view text(std::uint32_t id) const {
        return std::string_view(buffer_).substr(offsets_[id], offsets_[id + 1] - 1 - offsets_[id]);
    }

    std::string buffer_;                  // every distinct text, each followed by a NUL
    std::vector<std::uint32_t> offsets_;  // start of each text in buffer_, then buffer_'s size
    std::vector<std::uint32_t> lengths_;  // characters of each text
    // Texts of ASCII without CR, in which every byte offset is a character boundary.
    std::vector<std::uint8_t> simple_;
    // For each ASCII byte that some text holds, one bit per text telling which do: one-letter
    // queries, the most frequent and the broadest, need no scan of the buffer. byteSet_ holds 1 +
    // the number of the byte's set in byteBits_ (0 when no text holds the byte); each set has
    // wordsPerSet() words.
    std::array<std::uint16_t, 0x80> byteSet_{};
    std::vector<std::uint64_t> byteBits_;
    std::size_t wordsPerSet() const { return (lengths_.size() + 63) / 64; }
    // The rows that use each text: postings_[postingStart_[i]] .. [postingStart_[i + 1] - 1].
    std::vector<std::uint32_t> postingStart_;
    std::vector<Posting> postings_;
    std::vector<std::uint32_t> byName_;
    std::vector<Kind> kinds_;
};

}  // namespace mosaiko
