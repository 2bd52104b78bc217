#include "content/SearchTable.hpp"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <unordered_map>

#include "platform/Text.hpp"

namespace mosaiko {

namespace search_text {

MatchKind matchKind(std::string_view text, std::string_view term) {
    if (term.empty() || text.size() < term.size()) return MatchKind::none;
    if (text == term) return MatchKind::equal;
    if (hasCharacterPrefix(text, term)) return MatchKind::prefix;
    for (auto pos = text.find(term, 1); pos != std::string_view::npos; pos = text.find(term, pos + 1)) {
        if (text::isCharacterBoundary(text, pos) && text::isCharacterBoundary(text, pos + term.size())) {
            return MatchKind::contains;
        }
    }
    return MatchKind::none;
}

bool hasCharacterPrefix(std::string_view text, std::string_view prefix) {
    return text.starts_with(prefix) && text::isCharacterBoundary(text, prefix.size());
}

bool hasCharacterSuffix(std::string_view text, std::string_view suffix) {
    return text.ends_with(suffix) && text::isCharacterBoundary(text, text.size() - suffix.size());
}

std::int64_t shortcodeScore(MatchKind kind, std::int64_t excess) {
    switch (kind) {
        case MatchKind::equal:
            return 10000;
        case MatchKind::prefix:
            return 9500 - std::min<std::int64_t>(10 * excess, 2500);
        case MatchKind::contains:
            return 7500 - std::min<std::int64_t>(5 * excess, 2500);
        case MatchKind::none:
            break;
    }
    return -1;
}

std::int64_t keywordScore(MatchKind kind, std::int64_t excess) {
    switch (kind) {
        case MatchKind::equal:
            return 9200;
        case MatchKind::prefix:
            return 5200 - std::min<std::int64_t>(10 * excess, 2000);
        case MatchKind::contains:
            return 3200 - std::min<std::int64_t>(5 * excess, 2000);
        case MatchKind::none:
            break;
    }
    return -1;
}

}  // namespace search_text

using search_text::MatchKind;

std::vector<PreparedTerm> prepareTerms(const std::vector<EmojiDatabase::SearchTerm>& terms) {
    std::vector<PreparedTerm> prepared;
    prepared.reserve(terms.size());
    for (const auto& term : terms) {
        auto canonical = text::nfc(term.term);
        const auto length = static_cast<std::int64_t>(text::characterCount(canonical));
        prepared.push_back({std::move(canonical), term.penalty, length});
    }
    return prepared;
}

SearchTable::SearchTable(const std::vector<EmojiDatabase::IndexedEmoji>& rows) : rowCount_(rows.size()) {
    std::unordered_map<std::string, std::uint32_t> ids;
    std::vector<std::string> texts;
    std::vector<std::pair<std::uint32_t, Posting>> pending;
    auto add = [&](std::string text, std::uint32_t row, Source source, std::int64_t penalty) {
        auto [it, inserted] = ids.try_emplace(std::move(text), static_cast<std::uint32_t>(texts.size()));
        if (inserted) texts.push_back(it->first);
        pending.push_back({it->second, Posting{row, source, penalty}});
    };

    kinds_.reserve(rows.size());
    std::vector<std::string> canonicalNames;
    canonicalNames.reserve(rows.size());
    for (std::uint32_t row = 0; row < rows.size(); ++row) {
        const auto& indexed = rows[row];
        add(text::nfc(indexed.name), row, Source::name, 0);
        for (const auto& shortcode : indexed.shortcodes) add(text::nfc(shortcode), row, Source::shortcode, 0);
        for (const auto& keyword : indexed.keywords)
            add(text::nfc(keyword.term), row, Source::keyword, keyword.penalty);

        const auto& id = indexed.entry.id;
        kinds_.push_back(search_text::hasCharacterPrefix(id, "glyph-")      ? Kind::glyph
                         : search_text::hasCharacterPrefix(id, "emoticon-") ? Kind::emoticon
                                                                            : Kind::other);
        canonicalNames.push_back(text::nfc(indexed.entry.name));
    }

    offsets_.reserve(texts.size() + 1);
    lengths_.reserve(texts.size());
    for (const auto& text : texts) {
        offsets_.push_back(static_cast<std::uint32_t>(buffer_.size()));
        buffer_ += text;
        buffer_ += '\0';
        lengths_.push_back(static_cast<std::int64_t>(text::characterCount(text)));
    }
    offsets_.push_back(static_cast<std::uint32_t>(buffer_.size()));

    // Group the postings by text, keeping row order within each text.
    postingStart_.assign(texts.size() + 1, 0);
    for (const auto& [id, posting] : pending) ++postingStart_[id + 1];
    std::partial_sum(postingStart_.begin(), postingStart_.end(), postingStart_.begin());
    postings_.resize(pending.size());
    auto next = postingStart_;
    for (const auto& [id, posting] : pending) postings_[next[id]++] = posting;

    std::vector<std::uint32_t> byName(rows.size());
    std::iota(byName.begin(), byName.end(), 0);
    std::stable_sort(byName.begin(), byName.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return canonicalNames[a] < canonicalNames[b]; });
    nameRanks_.assign(rows.size(), 0);
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < byName.size(); ++i) {
        if (i > 0 && canonicalNames[byName[i]] != canonicalNames[byName[i - 1]]) ++rank;
        nameRanks_[byName[i]] = rank;
    }
}

template <class F>
void SearchTable::forEachMatch(const PreparedTerm& term, F f) const {
    const std::string_view needle = term.text;
    if (needle.empty()) return;
    const auto textCount = static_cast<std::uint32_t>(lengths_.size());
    if (needle.find('\0') != std::string_view::npos) {
        // The separator itself is searched for: no single scan can tell the texts apart.
        for (std::uint32_t id = 0; id < textCount; ++id) {
            const auto kind = search_text::matchKind(text(id), needle);
            if (kind != MatchKind::none) f(id, kind);
        }
        return;
    }
    const char* base = buffer_.data();
    const std::size_t size = buffer_.size();
    std::size_t from = 0;
    std::uint32_t id = 0;
    while (from < size) {
        const void* found = ::memmem(base + from, size - from, needle.data(), needle.size());
        if (!found) return;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - base);
        id = static_cast<std::uint32_t>(std::upper_bound(offsets_.begin() + id, offsets_.end(), at) -
                                        offsets_.begin() - 1);
        const auto candidate = text(id);
        const auto offset = at - offsets_[id];
        // The scan found the first occurrence in this text; only a misaligned one needs a second look.
        MatchKind kind;
        if (offset == 0 && candidate.size() == needle.size()) {
            kind = MatchKind::equal;
        } else if (offset == 0 && text::isCharacterBoundary(candidate, needle.size())) {
            kind = MatchKind::prefix;
        } else if (offset > 0 && text::isCharacterBoundary(candidate, offset) &&
                   text::isCharacterBoundary(candidate, offset + needle.size())) {
            kind = MatchKind::contains;
        } else {
            kind = search_text::matchKind(candidate, needle);
        }
        if (kind != MatchKind::none) f(id, kind);
        from = offsets_[id + 1];
        ++id;
    }
}

std::vector<std::int64_t> SearchTable::bestScores(const std::vector<PreparedTerm>& terms) const {
    std::vector<std::int64_t> best(rowCount_, -1);
    // Per term: the best shortcode or keyword score of each row, and whether its name holds the term.
    std::vector<std::int64_t> termBest(rowCount_, -1);
    std::vector<std::uint8_t> nameHolds(rowCount_, 0);
    std::vector<std::uint8_t> touched(rowCount_, 0);
    std::vector<std::uint32_t> touchedRows;

    for (const auto& term : terms) {
        forEachMatch(term, [&](std::uint32_t id, MatchKind kind) {
            const auto excess = lengths_[id] - term.length;
            const auto asShortcode = search_text::shortcodeScore(kind, excess);
            const auto asKeyword = search_text::keywordScore(kind, excess);
            for (auto p = postingStart_[id]; p < postingStart_[id + 1]; ++p) {
                const auto& posting = postings_[p];
                const auto row = posting.row;
                if (!touched[row]) {
                    touched[row] = 1;
                    touchedRows.push_back(row);
                }
                switch (posting.source) {
                    case Source::shortcode:
                        termBest[row] = std::max(termBest[row], asShortcode);
                        break;
                    case Source::keyword:
                        termBest[row] =
                            std::max(termBest[row], std::max<std::int64_t>(0, asKeyword - posting.penalty));
                        break;
                    case Source::name:
                        nameHolds[row] = 1;
                        break;
                }
            }
        });
        for (const auto row : touchedRows) {
            const auto score =
                termBest[row] >= 0 ? termBest[row] : (nameHolds[row] ? search_text::kNameScore : -1);
            if (score >= 0) best[row] = std::max(best[row], std::max<std::int64_t>(0, score - term.penalty));
            termBest[row] = -1;
            nameHolds[row] = 0;
            touched[row] = 0;
        }
        touchedRows.clear();
    }
    return best;
}

}  // namespace mosaiko
