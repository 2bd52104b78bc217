#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "content/IndexedEmoji.hpp"
#include "content/SearchQuery.hpp"
#include "content/SearchText.hpp"

namespace mosaiko {

// The index rows rearranged for fast scoring: every distinct name, shortcode and keyword text once,
// in one buffer that a term is searched in with a single scan, with the rows (and keyword penalties)
// that use each text. Scores equal the row-by-row rule of IndexedEmoji::score.
class SearchTable {
  public:
    using MatchKind = search_text::MatchKind;

    explicit SearchTable(const std::vector<IndexedEmoji>& rows);

    std::size_t rowCount() const { return rowCount_; }

    // For every row, the best of (row score of the term − the term's penalty, at least 0) over the
    // terms; −1 where no term matches.
    std::vector<std::int64_t> bestScores(const std::vector<PreparedTerm>& terms) const;

    // Rows ordered by entry name (plain comparison of the canonical text); equal names share a rank.
    std::uint32_t nameRank(std::size_t row) const { return nameRanks_[row]; }
    bool isGlyph(std::size_t row) const { return kinds_[row] == Kind::glyph; }
    bool isEmoticon(std::size_t row) const { return kinds_[row] == Kind::emoticon; }

  private:
    enum class Kind : std::uint8_t { other, emoticon, glyph };
    // A row that uses a text, and as what: its name, a shortcode, or a keyword with its penalty.
    enum class Role : std::uint8_t { name, shortcode, keyword };
    struct Posting {
        std::uint32_t row;
        std::int32_t penalty;
        Role role;
    };

    // Calls f(text number, kind) for every distinct text that holds the term.
    template <class F>
    void forEachMatch(const PreparedTerm& term, F f) const;
    // How text `id` holds the needle, given the first byte offset at which the bytes occur in it.
    MatchKind classify(std::uint32_t id, std::size_t offset, std::string_view needle) const;
    std::string_view text(std::uint32_t id) const {
        return std::string_view(buffer_).substr(offsets_[id], offsets_[id + 1] - 1 - offsets_[id]);
    }

    std::size_t rowCount_ = 0;
    std::string buffer_;                  // every distinct text, each followed by a NUL
    std::vector<std::uint32_t> offsets_;  // start of each text in buffer_, then buffer_'s size
    std::vector<std::int64_t> lengths_;   // characters of each text
    // Texts of ASCII without CR, in which every byte offset is a character boundary.
    std::vector<std::uint8_t> simple_;
    // For each ASCII byte, the texts holding it and where it first occurs: one-letter queries, the
    // most frequent and the broadest, need no scan at all.
    struct ByteOccurrence {
        std::uint32_t id;
        std::uint32_t offset;
    };
    std::vector<std::vector<ByteOccurrence>> byteOccurrences_;
    // The rows that use each text: text i has postings_[postingStart_[i]] .. [postingStart_[i + 1] - 1].
    std::vector<std::uint32_t> postingStart_;
    std::vector<Posting> postings_;
    std::vector<std::uint32_t> nameRanks_;
    std::vector<Kind> kinds_;
};

}  // namespace mosaiko
