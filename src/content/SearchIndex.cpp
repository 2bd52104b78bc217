#include "content/SearchIndex.hpp"

#include <algorithm>
#include <unordered_set>

#include "content/SearchQuery.hpp"
#include "content/SearchTable.hpp"
#include "content/SearchText.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

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

// The token candidates of the extra texts of one entry, each once, with its length in characters.
std::vector<std::pair<std::string, std::int64_t>> extraCandidates(const std::vector<std::string>& texts) {
    std::vector<std::pair<std::string, std::int64_t>> candidates;
    std::unordered_set<std::string> seen;
    for (const auto& extraText : texts) {
        for (auto& candidate : search_text::normalizedTokenCandidates(extraText)) {
            if (!seen.insert(candidate).second) continue;
            const auto length = static_cast<std::int64_t>(text::characterCount(candidate));
            candidates.emplace_back(std::move(candidate), length);
        }
    }
    return candidates;
}

}  // namespace

SearchIndex::SearchIndex() : SearchIndex(std::vector<EmojiEntry>{}) {}

SearchIndex::SearchIndex(const std::vector<EmojiEntry>& entries, const SearchIndex* previous)
    : categories_(entries) {
    std::unordered_map<std::string_view, const IndexedEmoji*> previousRows;
    if (previous) {
        previousRows.reserve(previous->rows_.size());
        for (const auto& row : previous->rows_) previousRows.emplace(row.entry().id, &row);
    }
    rows_.reserve(entries.size());
    emojiLookup_.reserve(entries.size() * 2);
    idLookup_.reserve(entries.size());
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const auto& entry = entries[row];
        if (const auto it = previousRows.find(entry.id);
            it != previousRows.end() && it->second->entry() == entry) {
            rows_.push_back(*it->second);
            rows_.back().source = &entry;
        } else {
            rows_.push_back(IndexedEmoji::make(entry));
        }
        // A later writer replaces an earlier one.
        emojiLookup_[text::nfc(entry.emoji)] = row;
        idLookup_[text::nfc(entry.id)] = row;
        if (entry.variants) {
            for (const auto& option : entry.variants->options()) emojiLookup_[text::nfc(option.emoji)] = row;
        }
    }
    table_ = std::make_unique<SearchTable>(rows_);
}

SearchIndex::~SearchIndex() = default;
SearchIndex::SearchIndex(SearchIndex&&) noexcept = default;
SearchIndex& SearchIndex::operator=(SearchIndex&&) noexcept = default;

const EmojiEntry* SearchIndex::entryAt(const std::unordered_map<std::string, std::size_t>& lookup,
                                       std::string_view key) const {
    const auto row = lookup.find(text::nfc(key));
    return row == lookup.end() ? nullptr : &rows_[row->second].entry();
}

const EmojiEntry* SearchIndex::entryForID(std::string_view id) const {
    return entryAt(idLookup_, id);
}

std::optional<std::size_t> SearchIndex::rowForID(std::string_view id) const {
    const auto row = idLookup_.find(text::nfc(id));
    return row == idLookup_.end() ? std::nullopt : std::optional<std::size_t>(row->second);
}

const EmojiEntry* SearchIndex::entryForEmoji(std::string_view emoji) const {
    return entryAt(emojiLookup_, emoji);
}

const std::vector<std::size_t>* SearchIndex::categoryRows(std::string_view query) const {
    const auto q = text::lowercased(text::trimmed(query));
    return q.empty() ? nullptr : categories_.rows(q);
}

std::optional<std::vector<EmojiEntry>> SearchIndex::categoryEntries(std::string_view query) const {
    const auto* rows = categoryRows(query);
    if (!rows) return std::nullopt;
    std::vector<EmojiEntry> entries;
    entries.reserve(rows->size());
    for (const auto row : *rows) entries.push_back(rows_[row].entry());
    return entries;
}

SearchIndex::SortPreference SearchIndex::prefersFirstBySortPriority(const EmojiEntry& a, const EmojiEntry& b,
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

std::vector<SearchIndex::Match> SearchIndex::matches(std::string_view query, int limit,
                                                     SearchSortPriority sortPriority,
                                                     const std::set<std::string>& prioritizedIDs,
                                                     const ExtraSearchTerms& extraSearchTermsByID) const {
    std::vector<Match> result;
    for (const auto& [score, row] :
         scoredRows(query, limit, sortPriority, prioritizedIDs, extraSearchTermsByID))
        result.push_back({score, rows_[row].entry()});
    return result;
}

std::vector<std::uint32_t> SearchIndex::matchRows(std::string_view query, int limit,
                                                  SearchSortPriority sortPriority,
                                                  const std::set<std::string>& prioritizedIDs,
                                                  const ExtraSearchTerms& extraSearchTermsByID) const {
    const auto scored = scoredRows(query, limit, sortPriority, prioritizedIDs, extraSearchTermsByID);
    std::vector<std::uint32_t> rows;
    rows.reserve(scored.size());
    for (const auto& match : scored) rows.push_back(match.row);
    return rows;
}

std::vector<SearchIndex::ScoredRow> SearchIndex::scoredRows(
    std::string_view query, int limit, SearchSortPriority sortPriority,
    const std::set<std::string>& prioritizedIDs, const ExtraSearchTerms& extraSearchTermsByID) const {
    std::vector<ScoredRow> result;
    if (limit <= 0) return result;
    const auto count = static_cast<std::size_t>(limit);
    const auto q = text::lowercased(text::trimmed(query));
    if (q.empty()) {
        for (std::size_t row = 0; row < rows_.size() && row < count; ++row)
            result.push_back({0, static_cast<std::uint32_t>(row)});
        return result;
    }
    const SearchQuery terms(q);
    if (terms.tokens().empty()) return result;
    auto scores = rowScores(terms);
    addExtraTermScores(scores, terms, extraSearchTermsByID);
    return best(scores, count, sortPriority, prioritizedIDs);
}

std::vector<std::int64_t> SearchIndex::rowScores(const SearchQuery& query) const {
    std::vector<std::int64_t> scores;
    if (query.tokens().size() == 1) {
        scores = table_->bestScores(query.terms(SearchQuery::kWholeQuery));
    } else {
        std::vector<std::vector<std::int64_t>> perToken;
        for (std::size_t token = 0; token < query.tokens().size(); ++token)
            perToken.push_back(table_->bestScores(query.terms(token)));
        const auto whole = table_->bestScores(query.terms(SearchQuery::kWholeQuery));
        scores.assign(rows_.size(), -1);
        for (std::size_t row = 0; row < rows_.size(); ++row) {
            scores[row] = query.combinedScore([&](std::size_t part) {
                return part == SearchQuery::kWholeQuery ? whole[row] : perToken[part][row];
            });
        }
    }
    for (const auto& [id, bonus] : query.boosts()) {
        const auto row = idLookup_.find(id);
        if (row != idLookup_.end() && scores[row->second] >= 0) scores[row->second] += bonus;
    }
    return scores;
}

void SearchIndex::addExtraTermScores(std::vector<std::int64_t>& scores, const SearchQuery& query,
                                     const ExtraSearchTerms& extraSearchTermsByID) const {
    for (const auto& [id, texts] : extraSearchTermsByID) {
        const auto row = idLookup_.find(text::nfc(id));
        if (row == idLookup_.end()) continue;
        const auto candidates = extraCandidates(texts);
        if (candidates.empty()) continue;
        const auto extraScore = query.combinedScore(
            [&](std::size_t part) { return bestExtraTermScore(candidates, query.terms(part)); });
        scores[row->second] = std::max(scores[row->second], extraScore);
    }
}

std::vector<SearchIndex::ScoredRow> SearchIndex::best(const std::vector<std::int64_t>& scores,
                                                      std::size_t count, SearchSortPriority sortPriority,
                                                      const std::set<std::string>& prioritizedIDs) const {
    std::vector<std::uint8_t> prioritized(rows_.size(), 0);
    for (const auto& id : prioritizedIDs) {
        if (const auto row = idLookup_.find(text::nfc(id)); row != idLookup_.end())
            prioritized[row->second] = 1;
    }
    const bool emoticonsFirst = sortPriority == SearchSortPriority::emoticonsFirst;
    auto kindRank = [&](std::size_t row) -> std::uint8_t {
        if (table_->isGlyph(row)) return 2;
        return table_->isEmoticon(row) == emoticonsFirst ? 0 : 1;
    };

    // The ranking as two unsigned keys compared in turn, smaller first: pinned, higher score, kind,
    // name, and the row number, which settles every remaining tie, so this equals a stable sort in
    // index order. Scores stay far below 2^60.
    struct Ranked {
        std::uint64_t high;
        std::uint64_t low;
        bool operator<(const Ranked& other) const {
            return high != other.high ? high < other.high : low < other.low;
        }
    };
    constexpr std::int64_t kScoreCeiling = (std::int64_t{1} << 60) - 1;
    std::vector<Ranked> ranked;
    ranked.reserve(static_cast<std::size_t>(
        std::count_if(scores.begin(), scores.end(), [](std::int64_t score) { return score >= 0; })));
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (scores[row] < 0) continue;
        const auto inverseScore =
            static_cast<std::uint64_t>(kScoreCeiling - std::min(scores[row], kScoreCeiling));
        ranked.push_back({(std::uint64_t{prioritized[row] == 0} << 62) | (inverseScore << 2) | kindRank(row),
                          (std::uint64_t{table_->nameRank(row)} << 32) | row});
    }
    const auto kept = std::min(count, ranked.size());
    // A short query matches most rows: pick the kept ones in linear time, then order only those.
    const auto keptEnd = ranked.begin() + static_cast<std::ptrdiff_t>(kept);
    if (kept < ranked.size()) std::nth_element(ranked.begin(), keptEnd, ranked.end());
    std::sort(ranked.begin(), keptEnd);

    std::vector<ScoredRow> result;
    result.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i) {
        const auto row = static_cast<std::uint32_t>(ranked[i].low);
        result.push_back({scores[row], row});
    }
    return result;
}

}  // namespace mosaiko
