#include "content/SearchQuery.hpp"

#include <algorithm>
#include <unordered_set>

#include "content/SearchText.hpp"
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

}  // namespace

SearchQuery::SearchQuery(std::string_view query) : text_(query), tokens_(queryTokens(query)) {
    if (tokens_.empty()) return;
    whole_ = prepare(searchTerms(query));
    if (tokens_.size() > 1) {
        for (const auto& token : tokens_) perToken_.push_back(prepare(searchTerms(token)));
    }
}

const std::vector<PreparedTerm>& SearchQuery::terms(std::size_t part) const {
    return part == kWholeQuery ? whole_ : perToken_[part];
}

const std::map<std::string, std::int64_t>& SearchQuery::boosts() const {
    static const std::map<std::string, std::int64_t> none;
    const auto it = canonicalBoosts().find(text::nfc(text_));
    return it == canonicalBoosts().end() ? none : it->second;
}

std::vector<std::string> SearchQuery::queryTokens(std::string_view text) {
    std::vector<std::string> tokens;
    std::unordered_set<std::string> seen;
    std::string piece;
    auto finishPiece = [&] {
        if (piece.empty()) return;
        auto token = search_text::normalizeSearchToken(piece);
        piece.clear();
        if (!token.empty() && seen.insert(token).second) tokens.push_back(std::move(token));
    };
    for (const auto& character : text::characters(text)) {
        if (search_text::isWhitespaceCharacter(character)) {
            finishPiece();
        } else {
            piece += character;
        }
    }
    finishPiece();
    return tokens;
}

std::vector<SearchTerm> SearchQuery::searchTerms(std::string_view text) {
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
                    [](const auto& c) { return search_text::isWhitespaceCharacter(c); })) {
        return sorted();
    }
    const auto normalized = search_text::normalizeSearchToken(text);
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

std::vector<PreparedTerm> SearchQuery::prepare(const std::vector<SearchTerm>& terms) {
    std::vector<PreparedTerm> prepared;
    prepared.reserve(terms.size());
    for (const auto& term : terms) {
        auto canonical = text::nfc(term.term);
        const auto length = static_cast<std::int64_t>(text::characterCount(canonical));
        prepared.push_back({std::move(canonical), term.penalty, length});
    }
    return prepared;
}

}  // namespace mosaiko
