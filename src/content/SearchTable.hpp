#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "content/EmojiDatabase.hpp"

namespace mosaiko {

namespace search_text {

// How a text holds a term. Both are in canonical (NFC) form; only whole characters match, so "e"
// is not found in "e" followed by a combining accent.
enum class MatchKind { none, contains, prefix, equal };
MatchKind matchKind(std::string_view text, std::string_view term);
bool hasCharacterPrefix(std::string_view text, std::string_view prefix);
bool hasCharacterSuffix(std::string_view text, std::string_view suffix);

// What a shortcode (or a pin alias candidate) scores for a match; `excess` is how many characters it
// has beyond the term.
std::int64_t shortcodeScore(MatchKind kind, std::int64_t excess);
// What a keyword scores for a match, before its penalty is subtracted.
std::int64_t keywordScore(MatchKind kind, std::int64_t excess);
inline constexpr std::int64_t kNameScore = 2500;

}  // namespace search_text

// A query term ready for scoring: canonical text, penalty and length in characters.
struct PreparedTerm {
    std::string text;
    std::int64_t penalty = 0;
    std::int64_t length = 0;
};

std::vector<PreparedTerm> prepareTerms(const std::vector<EmojiDatabase::SearchTerm>& terms);

// The index rows rearranged for fast scoring: every distinct name, shortcode and keyword text once,
// in one buffer that a term is searched in with a single scan, with the rows (and keyword penalties)
// that use each text. Scores equal the row-by-row rule of IndexedEmoji::score.
class SearchTable {
  public:
    explicit SearchTable(const std::vector<EmojiDatabase::IndexedEmoji>& rows);

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
    enum class Source : std::uint8_t { name, shortcode, keyword };
    struct Posting {
        std::uint32_t row;
        Source source;
        std::int64_t penalty;
    };

    // Calls f(text number, kind) for every distinct text that holds the term.
    template <class F>
    void forEachMatch(const PreparedTerm& term, F f) const;
    std::string_view text(std::uint32_t id) const {
        return std::string_view(buffer_).substr(offsets_[id], offsets_[id + 1] - 1 - offsets_[id]);
    }

    std::size_t rowCount_ = 0;
    std::string buffer_;                       // every distinct text, each followed by a NUL
    std::vector<std::uint32_t> offsets_;       // start of each text in buffer_, then buffer_'s size
    std::vector<std::int64_t> lengths_;        // characters of each text
    std::vector<std::uint32_t> postingStart_;  // postings of text i: [postingStart_[i], postingStart_[i+1])
    std::vector<Posting> postings_;
    std::vector<std::uint32_t> nameRanks_;
    std::vector<Kind> kinds_;
};

}  // namespace mosaiko
