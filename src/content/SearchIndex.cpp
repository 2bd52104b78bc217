#include "content/SearchIndex.hpp"

#include <algorithm>
#include <array>
#include <unordered_set>
#include <utility>

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
    : entries_(entries.data()), count_(entries.size()), categories_(entries) {
    SearchTable::Builder table(entries.size());
    emojiKeys_.reserve(entries.size() * 2);
    idKeys_.reserve(entries.size());
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const auto& entry = entries[row];
        // A row depends on its entry only: an unchanged entry keeps the row made before.
        const auto before = previous ? previous->rowForID(entry.id) : std::nullopt;
        if (before && previous->entry(*before) == entry) {
            table.copy(*previous->table_, *before, entry);
        } else {
            table.add(entry);
        }
        addKey(emojiKeys_, entry.emoji, row);
        addKey(idKeys_, entry.id, row);
        if (entry.variants) {
            for (const auto& option : entry.variants->options()) addKey(emojiKeys_, option.emoji, row);
        }
    }
    settle(emojiKeys_);
    settle(idKeys_);
    table_ = std::make_unique<SearchTable>(table.build());
}

SearchIndex::~SearchIndex() = default;
SearchIndex::SearchIndex(SearchIndex&&) noexcept = default;
SearchIndex& SearchIndex::operator=(SearchIndex&&) noexcept = default;

IndexedEmoji SearchIndex::row(std::size_t row) const {
    return std::move(table_->rows({entries_, count_}, row, 1).front());
}

std::vector<IndexedEmoji> SearchIndex::allRows() const {
    return table_->rows({entries_, count_}, 0, count_);
}

void SearchIndex::addKey(std::vector<Key>& keys, const std::string& text, std::size_t row) {
    std::string_view stored = text;
    if (auto canonical = text::nfc(text); canonical != text) {
        canonicalCopies_.push_back(std::make_unique<const std::string>(std::move(canonical)));
        stored = *canonicalCopies_.back();
    }
    keys.push_back(
        {stored.data(), static_cast<std::uint32_t>(stored.size()), static_cast<std::uint32_t>(row)});
}

void SearchIndex::settle(std::vector<Key>& keys) {
    std::stable_sort(keys.begin(), keys.end(),
                     [](const Key& a, const Key& b) { return a.text() < b.text(); });
    // A later writer replaces an earlier one: of equal texts, the last one stays.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + 1 < keys.size() && keys[i + 1].text() == keys[i].text()) continue;
        keys[kept++] = keys[i];
    }
    keys.resize(kept);
    keys.shrink_to_fit();
}

std::optional<std::size_t> SearchIndex::find(const std::vector<Key>& keys, std::string_view canonical) {
    const auto it = std::lower_bound(keys.begin(), keys.end(), canonical,
                                     [](const Key& key, std::string_view text) { return key.text() < text; });
    if (it == keys.end() || it->text() != canonical) return std::nullopt;
    return it->row;
}

const EmojiEntry* SearchIndex::entryForID(std::string_view id) const {
    const auto row = rowForID(id);
    return row ? &entry(*row) : nullptr;
}

std::optional<std::size_t> SearchIndex::rowForID(std::string_view id) const {
    return find(idKeys_, text::nfc(id));
}

const EmojiEntry* SearchIndex::entryForEmoji(std::string_view emoji) const {
    const auto row = rowForEmoji(emoji);
    return row ? &entry(*row) : nullptr;
}

std::optional<std::size_t> SearchIndex::rowForEmoji(std::string_view emoji) const {
    return find(emojiKeys_, text::nfc(emoji));
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
    for (const auto row : *rows) entries.push_back(entry(row));
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
    std::vector<std::uint8_t> prioritizedRows;
    if (!prioritizedIDs.empty()) {
        prioritizedRows.assign(count_, 0);
        for (const auto& id : prioritizedIDs) {
            if (const auto row = rowForID(id)) prioritizedRows[*row] = 1;
        }
    }
    std::vector<Match> result;
    for (const auto& [score, row] :
         scoredRows(query, limit, sortPriority, prioritizedRows, extraSearchTermsByID))
        result.push_back({score, entry(row)});
    return result;
}

std::vector<std::uint32_t> SearchIndex::matchRows(std::string_view query, int limit,
                                                  SearchSortPriority sortPriority,
                                                  const std::vector<std::uint8_t>& prioritizedRows,
                                                  const ExtraSearchTerms& extraSearchTermsByID) const {
    const auto scored = scoredRows(query, limit, sortPriority, prioritizedRows, extraSearchTermsByID);
    std::vector<std::uint32_t> rows;
    rows.reserve(scored.size());
    for (const auto& match : scored) rows.push_back(match.row);
    return rows;
}

std::vector<SearchIndex::ScoredRow> SearchIndex::scoredRows(
    std::string_view query, int limit, SearchSortPriority sortPriority,
    const std::vector<std::uint8_t>& prioritizedRows, const ExtraSearchTerms& extraSearchTermsByID) const {
    std::vector<ScoredRow> result;
    if (limit <= 0) return result;
    const auto count = static_cast<std::size_t>(limit);
    const auto q = text::lowercased(text::trimmed(query));
    if (q.empty()) {
        for (std::size_t row = 0; row < count_ && row < count; ++row)
            result.push_back({0, static_cast<std::uint32_t>(row)});
        return result;
    }
    const SearchQuery terms(q);
    if (terms.tokens().empty()) return result;
    auto scores = rowScores(terms);
    addExtraTermScores(scores, terms, extraSearchTermsByID);
    return best(scores, count, sortPriority, prioritizedRows);
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
        scores.assign(count_, -1);
        for (std::size_t row = 0; row < count_; ++row) {
            scores[row] = query.combinedScore([&](std::size_t part) {
                return part == SearchQuery::kWholeQuery ? whole[row] : perToken[part][row];
            });
        }
    }
    for (const auto& [id, bonus] : query.boosts()) {
        const auto row = find(idKeys_, id);
        if (row && scores[*row] >= 0) scores[*row] += bonus;
    }
    return scores;
}

void SearchIndex::addExtraTermScores(std::vector<std::int64_t>& scores, const SearchQuery& query,
                                     const ExtraSearchTerms& extraSearchTermsByID) const {
    for (const auto& [id, texts] : extraSearchTermsByID) {
        const auto row = rowForID(id);
        if (!row) continue;
        const auto candidates = extraCandidates(texts);
        if (candidates.empty()) continue;
        const auto extraScore = query.combinedScore(
            [&](std::size_t part) { return bestExtraTermScore(candidates, query.terms(part)); });
        scores[*row] = std::max(scores[*row], extraScore);
    }
}

std::vector<SearchIndex::ScoredRow> SearchIndex::best(const std::vector<std::int64_t>& scores,
                                                      std::size_t count, SearchSortPriority sortPriority,
                                                      const std::vector<std::uint8_t>& prioritized) const {
    const bool emoticonsFirst = sortPriority == SearchSortPriority::emoticonsFirst;
    auto kindRank = [&](std::size_t row) -> std::uint8_t {
        if (table_->isGlyph(row)) return 2;
        return table_->isEmoticon(row) == emoticonsFirst ? 0 : 1;
    };

    // The ranking as one unsigned key, smaller first: pinned, higher score, kind. The matches are
    // taken in name order (equal names in row order) and that order stays among equal keys, so
    // this equals a stable sort in index order by pinned, score, kind and name. Scores stay far
    // below 2^60.
    constexpr std::int64_t kScoreCeiling = (std::int64_t{1} << 60) - 1;
    std::vector<RankedRow> ranked;
    ranked.reserve(static_cast<std::size_t>(
        std::count_if(scores.begin(), scores.end(), [](std::int64_t score) { return score >= 0; })));
    std::uint64_t differing = 0;
    for (const std::uint32_t row : table_->rowsByName()) {
        if (scores[row] < 0) continue;
        const bool pinned = row < prioritized.size() && prioritized[row] != 0;
        const auto inverseScore =
            static_cast<std::uint64_t>(kScoreCeiling - std::min(scores[row], kScoreCeiling));
        const std::uint64_t key = (std::uint64_t{!pinned} << 62) | (inverseScore << 2) | kindRank(row);
        ranked.push_back({key, row});
        differing |= key ^ ranked.front().key;
    }
    sortByKey(ranked, differing);

    const auto kept = std::min(count, ranked.size());
    std::vector<ScoredRow> result;
    result.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i) result.push_back({scores[ranked[i].row], ranked[i].row});
    return result;
}

void SearchIndex::sortByKey(std::vector<RankedRow>& ranked, std::uint64_t differing) {
    // Most keys share most of their bytes: one counting pass per byte in which some differ, lowest
    // first, each keeping the order of equal bytes.
    std::vector<RankedRow> sorted(ranked.size());
    for (int shift = 0; shift < 64; shift += 8) {
        if (((differing >> shift) & 0xff) == 0) continue;
        std::array<std::uint32_t, 256> next{};
        for (const auto& item : ranked) ++next[(item.key >> shift) & 0xff];
        std::uint32_t start = 0;
        for (auto& slot : next) start += std::exchange(slot, start);
        for (const auto& item : ranked) sorted[next[(item.key >> shift) & 0xff]++] = item;
        ranked.swap(sorted);
    }
}

}  // namespace mosaiko
