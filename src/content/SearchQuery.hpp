#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiko {

// A text a query searches for, with the penalty subtracted from what it scores.
struct SearchTerm {
    std::string term;
    std::int64_t penalty = 0;
    bool operator==(const SearchTerm&) const = default;
};

// A search term ready for scoring: canonical text, penalty and length in characters.
struct PreparedTerm {
    std::string text;
    std::int64_t penalty = 0;
    std::int64_t length = 0;
};

// What a query searches for, worked out once per search: its tokens, the terms of the whole query
// (misspellings corrected, synonyms added) and, when it has several tokens, those of each token.
class SearchQuery {
  public:
    // Stands for the whole query where a part number is asked for.
    static constexpr std::size_t kWholeQuery = static_cast<std::size_t>(-1);

    // `query` is trimmed and lowercased already.
    explicit SearchQuery(std::string_view query);

    const std::string& text() const { return text_; }
    const std::vector<std::string>& tokens() const { return tokens_; }
    // The terms of token `part`, or of the whole query for kWholeQuery.
    const std::vector<PreparedTerm>& terms(std::size_t part) const;

    // The token rule: one token scores the terms of the whole query; several must each match, and
    // add a fifth of what the whole query scores. `bestScore(part)` scores the terms of a part; -1
    // means no match, and is what a row that does not match gets.
    template <class BestScore>
    std::int64_t combinedScore(BestScore bestScore) const {
        if (tokens_.size() == 1) return bestScore(kWholeQuery);
        std::int64_t sum = 0;
        for (std::size_t token = 0; token < tokens_.size(); ++token) {
            const auto score = bestScore(token);
            if (score < 0) return -1;
            sum += score;
        }
        const auto whole = bestScore(kWholeQuery);
        return whole >= 0 ? sum + whole / 5 : sum;
    }

    // Entry id to the bonus its entry gets when it matches this query ("love" favours the heart).
    const std::map<std::string, std::int64_t>& boosts() const;

    // The text split at whitespace, each piece normalized, empty results and repeats dropped.
    static std::vector<std::string> queryTokens(std::string_view text);
    // The text itself and, for a single word, its normalized form, corrections and synonyms; by
    // penalty, then term.
    static std::vector<SearchTerm> searchTerms(std::string_view text);
    static std::vector<PreparedTerm> prepare(const std::vector<SearchTerm>& terms);

  private:
    std::string text_;
    std::vector<std::string> tokens_;
    std::vector<PreparedTerm> whole_;
    std::vector<std::vector<PreparedTerm>> perToken_;
};

}  // namespace mosaiko
