#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text rules that the search index and the queries share: how a text holds a term, what a match
// scores, and how texts are cut into search tokens.
namespace mosaiko::search_text {

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

// "_", "-" and "+" join the parts of a token.
bool isTokenSeparator(std::string_view character);
bool isWhitespaceCharacter(std::string_view character);

// Lowercased letters and numbers, with single separators between them ("__Sweat__-Smile++" gives
// "sweat_smile"); empty when nothing of the kind is left.
std::string normalizeSearchToken(std::string_view text);
// Every token of a text, each followed by its parts of two characters or more, without repeats.
std::vector<std::string> normalizedTokenCandidates(std::string_view text);

}  // namespace mosaiko::search_text
