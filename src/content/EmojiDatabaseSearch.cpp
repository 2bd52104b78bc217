// Scoring and ordering of text searches. Everything that depends only on the query (its tokens, their
// expansion into search terms) is worked out once per search; the rows are then scored through the
// search table, with the same results as scoring every row against every term one by one.

#include <algorithm>
#include <map>
#include <unordered_set>

#include "content/EmojiDatabase.hpp"
#include "content/SearchTable.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

constexpr std::int64_t kAliasPenalty = 120;
constexpr std::int64_t kDefaultSynonymPenalty = 700;

const std::map<std::string, std::vector<std::string>>& queryAliases() {
    static const std::map<std::string, std::vector<std::string>> aliases{
        {"suprise", {"surprise"}},
        {"suprised", {"surprised"}},
        {"surprize", {"surprise"}},
        {"surprized", {"surprised"}},
    };
    return aliases;
}

const std::map<std::string, std::vector<std::string>>& querySynonyms() {
    static const std::map<std::string, std::vector<std::string>> synonyms{
        {"love", {"heart", "hearts", "kiss", "kissing", "couple", "romance"}},
        {"surprise", {"surprised", "astonished", "amazed", "gasp", "shock", "shocked", "wow"}},
        {"surprised", {"surprise", "astonished", "amazed", "gasp", "shock", "shocked", "wow"}},
    };
    return synonyms;
}

std::int64_t querySynonymPenalty(const std::string& word) {
    static const std::map<std::string, std::int64_t> penalties{
        {"love", 1000}, {"surprise", 820}, {"surprised", 820}};
    const auto it = penalties.find(word);
    return it == penalties.end() ? kDefaultSynonymPenalty : it->second;
}

// Whole query, then entry id, to the bonus that entry gets for that query.
const std::map<std::string, std::map<std::string, std::int64_t>>& canonicalBoosts() {
    static const std::map<std::string, std::map<std::string, std::int64_t>> boosts{
        {"love", {{"heart", 1200}}},
        {"laugh", {{"joy", 900}}},
        {"cry", {{"joy", 450}}},
    };
    return boosts;
}

bool isWhitespaceCharacter(std::string_view character) {
    return text::isWhitespace(text::firstScalar(character));
}

// The search terms of the query, worked out once: those of the whole query, and those of each token
// when it has several.
struct QueryTerms {
    std::vector<std::string> tokens;
    std::vector<PreparedTerm> whole;
    std::vector<std::vector<PreparedTerm>> perToken;
};

QueryTerms prepareQuery(const std::string& q) {
    QueryTerms terms;
    terms.tokens = EmojiDatabase::queryTokens(q);
    if (terms.tokens.empty()) return terms;
    terms.whole = prepareTerms(EmojiDatabase::searchTerms(q));
    if (terms.tokens.size() > 1) {
        for (const auto& token : terms.tokens)
            terms.perToken.push_back(prepareTerms(EmojiDatabase::searchTerms(token)));
    }
    return terms;
}

// The best score of any term against any pin alias candidate; -1 when none matches.
std::int64_t bestExtraTermScore(const std::vector<std::pair<std::string, std::int64_t>>& candidates,
                                const std::vector<PreparedTerm>& terms) {
    std::int64_t best = -1;
    for (const auto& term : terms) {
        for (const auto& [candidate, length] : candidates) {
            const auto kind = search_text::matchKind(candidate, term.text);
            if (kind == search_text::MatchKind::none) continue;
            const auto value = search_text::shortcodeScore(kind, length - term.length) - term.penalty;
            best = std::max(best, std::max<std::int64_t>(0, value));
        }
    }
    return best;
}

// The token rule: one token scores the terms of the whole query; several must each match, and add
// a fifth of what the whole query scores. `bestScore(i)` scores the terms of token i, and
// `bestScore(kWholeQuery)` those of the whole query; -1 means no match.
constexpr std::size_t kWholeQuery = static_cast<std::size_t>(-1);

template <class BestScore>
std::int64_t combinedScore(std::size_t tokenCount, BestScore bestScore) {
    if (tokenCount == 1) return bestScore(kWholeQuery);
    std::int64_t sum = 0;
    for (std::size_t token = 0; token < tokenCount; ++token) {
        const auto score = bestScore(token);
        if (score < 0) return -1;
        sum += score;
    }
    const auto whole = bestScore(kWholeQuery);
    return whole >= 0 ? sum + whole / 5 : sum;
}

}  // namespace

std::vector<std::string> EmojiDatabase::queryTokens(std::string_view text) {
    std::vector<std::string> tokens;
    std::unordered_set<std::string> seen;
    std::string piece;
    auto finishPiece = [&] {
        if (piece.empty()) return;
        auto token = normalizeSearchToken(piece);
        piece.clear();
        if (!token.empty() && seen.insert(token).second) tokens.push_back(std::move(token));
    };
    for (const auto& character : text::characters(text)) {
        if (isWhitespaceCharacter(character)) {
            finishPiece();
        } else {
            piece += character;
        }
    }
    finishPiece();
    return tokens;
}

std::vector<EmojiDatabase::SearchTerm> EmojiDatabase::searchTerms(std::string_view text) {
    std::map<std::string, std::int64_t> penalties;
    auto add = [&](const std::string& term, std::int64_t penalty) {
        if (term.empty()) return;
        auto [it, inserted] = penalties.try_emplace(term, penalty);
        if (!inserted) it->second = std::min(it->second, penalty);
    };
    auto sorted = [&] {
        std::vector<SearchTerm> terms;
        for (const auto& [term, penalty] : penalties) terms.push_back({term, penalty});
        std::stable_sort(terms.begin(), terms.end(),
                         [](const auto& a, const auto& b) { return a.penalty < b.penalty; });
        return terms;
    };

    add(text::nfc(text), 0);
    const auto characters = text::characters(text);
    if (std::any_of(characters.begin(), characters.end(),
                    [](const auto& c) { return isWhitespaceCharacter(c); })) {
        return sorted();
    }
    const auto normalized = normalizeSearchToken(text);
    if (normalized.empty()) return sorted();
    add(normalized, 0);
    std::vector<std::string> baseWords{normalized};
    if (const auto aliases = queryAliases().find(normalized); aliases != queryAliases().end()) {
        for (const auto& alias : aliases->second) {
            add(alias, kAliasPenalty);
            if (std::find(baseWords.begin(), baseWords.end(), alias) == baseWords.end())
                baseWords.push_back(alias);
        }
    }
    for (const auto& word : baseWords) {
        const auto synonyms = querySynonyms().find(word);
        if (synonyms == querySynonyms().end()) continue;
        const auto penalty = penalties.at(word) + querySynonymPenalty(word);
        for (const auto& synonym : synonyms->second) {
            if (synonym != word) add(synonym, penalty);
        }
    }
    return sorted();
}

EmojiDatabase::SortPreference EmojiDatabase::prefersFirstBySortPriority(const EmojiEntry& a,
                                                                        const EmojiEntry& b,
                                                                        SearchSortPriority sortPriority) {
    const bool aGlyph = search_text::hasCharacterPrefix(a.id, "glyph-");
    const bool bGlyph = search_text::hasCharacterPrefix(b.id, "glyph-");
    if (aGlyph != bGlyph) return aGlyph ? SortPreference::second : SortPreference::first;
    const bool aEmoticon = search_text::hasCharacterPrefix(a.id, "emoticon-");
    const bool bEmoticon = search_text::hasCharacterPrefix(b.id, "emoticon-");
    if (aEmoticon == bEmoticon) return SortPreference::undecided;
    const bool emoticonFirst = sortPriority == SearchSortPriority::emoticonsFirst;
    return aEmoticon == emoticonFirst ? SortPreference::first : SortPreference::second;
}

std::vector<EmojiEntry> EmojiDatabase::search(std::string_view query, int limit,
                                              SearchSortPriority sortPriority,
                                              const std::set<std::string>& prioritizedIDs,
                                              const ExtraSearchTerms& extraSearchTermsByID) const {
    std::vector<EmojiEntry> entries;
    for (auto& match : matches(query, limit, sortPriority, prioritizedIDs, extraSearchTermsByID)) {
        entries.push_back(std::move(match.entry));
    }
    return entries;
}

std::vector<EmojiDatabase::Match> EmojiDatabase::matches(std::string_view query, int limit,
                                                         SearchSortPriority sortPriority,
                                                         const std::set<std::string>& prioritizedIDs,
                                                         const ExtraSearchTerms& extraSearchTermsByID) const {
    std::vector<Match> result;
    if (limit <= 0) return result;
    const auto count = static_cast<std::size_t>(limit);
    const auto q = text::lowercased(text::trimmed(query));
    if (q.empty()) {
        for (std::size_t row = 0; row < index_.size() && row < count; ++row)
            result.push_back({0, index_[row].entry});
        return result;
    }

    const auto terms = prepareQuery(q);
    if (terms.tokens.empty()) return result;
    const auto& table = *searchTable_;
    const auto rowCount = index_.size();

    // Scores through the index rows.
    std::vector<std::int64_t> scores;
    if (terms.tokens.size() == 1) {
        scores = table.bestScores(terms.whole);
    } else {
        std::vector<std::vector<std::int64_t>> perToken;
        for (const auto& tokenTerms : terms.perToken) perToken.push_back(table.bestScores(tokenTerms));
        const auto whole = table.bestScores(terms.whole);
        scores.assign(rowCount, -1);
        for (std::size_t row = 0; row < rowCount; ++row) {
            scores[row] = combinedScore(terms.tokens.size(), [&](std::size_t token) {
                return token == kWholeQuery ? whole[row] : perToken[token][row];
            });
        }
    }
    if (const auto boosts = canonicalBoosts().find(text::nfc(q)); boosts != canonicalBoosts().end()) {
        for (const auto& [id, bonus] : boosts->second) {
            const auto row = idLookup_.find(id);
            if (row != idLookup_.end() && scores[row->second] >= 0) scores[row->second] += bonus;
        }
    }

    // Scores through the extra texts (pin aliases); the better of the two counts.
    for (const auto& [id, texts] : extraSearchTermsByID) {
        const auto row = idLookup_.find(text::nfc(id));
        if (row == idLookup_.end()) continue;
        std::vector<std::pair<std::string, std::int64_t>> candidates;
        std::unordered_set<std::string> seen;
        for (const auto& extraText : texts) {
            for (auto& candidate : normalizedTokenCandidates(extraText)) {
                if (!seen.insert(candidate).second) continue;
                const auto length = static_cast<std::int64_t>(text::characterCount(candidate));
                candidates.emplace_back(std::move(candidate), length);
            }
        }
        if (candidates.empty()) continue;
        const auto extraScore = combinedScore(terms.tokens.size(), [&](std::size_t token) {
            return bestExtraTermScore(candidates, token == kWholeQuery ? terms.whole : terms.perToken[token]);
        });
        scores[row->second] = std::max(scores[row->second], extraScore);
    }

    std::vector<std::uint8_t> prioritized(rowCount, 0);
    for (const auto& id : prioritizedIDs) {
        if (const auto row = idLookup_.find(text::nfc(id)); row != idLookup_.end())
            prioritized[row->second] = 1;
    }
    auto kindRank = [&](std::size_t row) -> int {
        if (table.isGlyph(row)) return 2;
        const bool emoticonsFirst = sortPriority == SearchSortPriority::emoticonsFirst;
        return table.isEmoticon(row) == emoticonsFirst ? 0 : 1;
    };

    struct Ranked {
        std::int64_t score;
        std::uint32_t row;
        std::uint8_t prioritized;
        std::uint8_t kindRank;
        std::uint32_t nameRank;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(64);
    for (std::size_t row = 0; row < rowCount; ++row) {
        if (scores[row] < 0) continue;
        ranked.push_back({scores[row], static_cast<std::uint32_t>(row), prioritized[row],
                          static_cast<std::uint8_t>(kindRank(row)), table.nameRank(row)});
    }
    // The row number settles every remaining tie, so this equals a stable sort in index order.
    auto before = [](const Ranked& a, const Ranked& b) {
        if (a.prioritized != b.prioritized) return a.prioritized > b.prioritized;
        if (a.score != b.score) return a.score > b.score;
        if (a.kindRank != b.kindRank) return a.kindRank < b.kindRank;
        if (a.nameRank != b.nameRank) return a.nameRank < b.nameRank;
        return a.row < b.row;
    };
    const auto kept = std::min(count, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end(),
                      before);

    result.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i) result.push_back({ranked[i].score, index_[ranked[i].row].entry});
    return result;
}

}  // namespace mosaiko
