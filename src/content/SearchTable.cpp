#include "content/SearchTable.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <unordered_map>

#include "platform/Text.hpp"

namespace mosaiko {

using search_text::MatchKind;

namespace {

// Groups (text, posting) pairs by text, keeping their order within a text.
template <class Posting>
void groupByText(const std::vector<std::pair<std::uint32_t, Posting>>& pending, std::size_t textCount,
                 std::vector<std::uint32_t>& start, std::vector<Posting>& rows) {
    start.assign(textCount + 1, 0);
    for (const auto& [id, posting] : pending) ++start[id + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    rows.resize(pending.size());
    auto next = start;
    for (const auto& [id, posting] : pending) rows[next[id]++] = posting;
}

// The first occurrence of `needle` in `haystack`, or npos. Sixteen positions at a
// time are tested for the needle's first and last byte together, which rules out nearly every
// position of a text buffer at once; the few left are compared whole. A keystroke's search scans
// the whole text buffer once per term, and this is several times faster there than memmem.
std::size_t findBytes(std::string_view haystack, std::string_view needle) {
    using Bytes = unsigned char __attribute__((vector_size(16)));
    const std::size_t k = needle.size();
    if (k < 2) return haystack.find(needle);
    if (k > haystack.size()) return std::string_view::npos;
    const std::size_t last = haystack.size() - k;  // the last position the needle may start at
    const auto first = static_cast<unsigned char>(needle.front());
    const auto final = static_cast<unsigned char>(needle.back());
    Bytes firsts;
    Bytes finals;
    for (int i = 0; i < 16; ++i) {
        firsts[i] = first;
        finals[i] = final;
    }
    const char* data = haystack.data();
    std::size_t at = 0;
    for (; at + 15 <= last; at += 16) {
        Bytes starts;
        Bytes ends;
        std::memcpy(&starts, data + at, 16);
        std::memcpy(&ends, data + at + k - 1, 16);
        const Bytes hits = (starts == firsts) & (ends == finals);
        std::uint64_t halves[2];
        std::memcpy(halves, &hits, 16);
        if ((halves[0] | halves[1]) == 0) continue;
        for (std::size_t i = 0; i < 16; ++i) {
            if (hits[i] != 0 && std::memcmp(data + at + i + 1, needle.data() + 1, k - 2) == 0) return at + i;
        }
    }
    for (; at <= last; ++at) {
        if (static_cast<unsigned char>(data[at]) == first && std::memcmp(data + at, needle.data(), k) == 0)
            return at;
    }
    return std::string_view::npos;
}

bool isSimple(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\r'; });
}

}  // namespace

SearchTable::SearchTable(const std::vector<IndexedEmoji>& rows) : rowCount_(rows.size()) {
    std::unordered_map<std::string, std::uint32_t> ids;
    std::vector<std::string> texts;
    auto intern = [&](std::string text) {
        auto [it, inserted] = ids.try_emplace(std::move(text), static_cast<std::uint32_t>(texts.size()));
        if (inserted) texts.push_back(it->first);
        return it->second;
    };
    std::vector<std::pair<std::uint32_t, Posting>> pending;

    kinds_.reserve(rows.size());
    std::vector<std::string> canonicalNames;
    canonicalNames.reserve(rows.size());
    for (std::uint32_t row = 0; row < rows.size(); ++row) {
        const auto& indexed = rows[row];
        pending.emplace_back(intern(text::nfc(indexed.name)), Posting{row, 0, Role::name});
        for (const auto& shortcode : indexed.shortcodes)
            pending.emplace_back(intern(text::nfc(shortcode)), Posting{row, 0, Role::shortcode});
        for (const auto& keyword : indexed.keywords) {
            pending.emplace_back(intern(text::nfc(keyword.term)),
                                 Posting{row, static_cast<std::int32_t>(keyword.penalty), Role::keyword});
        }

        const auto& id = indexed.entry().id;
        kinds_.push_back(search_text::hasCharacterPrefix(id, "glyph-")      ? Kind::glyph
                         : search_text::hasCharacterPrefix(id, "emoticon-") ? Kind::emoticon
                                                                            : Kind::other);
        canonicalNames.push_back(text::nfc(indexed.entry().name));
    }

    offsets_.reserve(texts.size() + 1);
    lengths_.reserve(texts.size());
    simple_.reserve(texts.size());
    for (const auto& text : texts) {
        offsets_.push_back(static_cast<std::uint32_t>(buffer_.size()));
        buffer_ += text;
        buffer_ += '\0';
        lengths_.push_back(static_cast<std::int64_t>(text::characterCount(text)));
        simple_.push_back(isSimple(text) ? 1 : 0);
    }
    offsets_.push_back(static_cast<std::uint32_t>(buffer_.size()));
    byteOccurrences_.resize(0x80);
    for (std::uint32_t id = 0; id < texts.size(); ++id) {
        std::array<bool, 0x80> seen{};
        const auto& text = texts[id];
        for (std::uint32_t offset = 0; offset < text.size(); ++offset) {
            const auto byte = static_cast<unsigned char>(text[offset]);
            if (byte >= 0x80 || seen[byte]) continue;
            seen[byte] = true;
            byteOccurrences_[byte].push_back({id, offset});
        }
    }
    groupByText(pending, texts.size(), postingStart_, postings_);

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

SearchTable::MatchKind SearchTable::classify(std::uint32_t id, std::size_t offset,
                                             std::string_view needle) const {
    const auto candidate = text(id);
    const bool aligned = simple_[id] || (text::isCharacterBoundary(candidate, offset) &&
                                         text::isCharacterBoundary(candidate, offset + needle.size()));
    // Only a first occurrence that splits a character needs a look at the later ones.
    if (!aligned) return search_text::matchKind(candidate, needle);
    if (offset > 0) return MatchKind::contains;
    return candidate.size() == needle.size() ? MatchKind::equal : MatchKind::prefix;
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
    if (needle.size() == 1 && static_cast<unsigned char>(needle[0]) < 0x80) {
        for (const auto& occurrence : byteOccurrences_[static_cast<unsigned char>(needle[0])]) {
            const auto kind = classify(occurrence.id, occurrence.offset, needle);
            if (kind != MatchKind::none) f(occurrence.id, kind);
        }
        return;
    }
    const char* base = buffer_.data();
    const std::size_t size = buffer_.size();
    std::size_t from = 0;
    std::uint32_t id = 0;
    while (from < size) {
        const auto offset = findBytes(std::string_view(base + from, size - from), needle);
        if (offset == std::string_view::npos) return;
        const auto at = from + offset;
        id = static_cast<std::uint32_t>(std::upper_bound(offsets_.begin() + id, offsets_.end(), at) -
                                        offsets_.begin() - 1);
        const auto kind = classify(id, at - offsets_[id], needle);
        if (kind != MatchKind::none) f(id, kind);
        from = offsets_[id + 1];
        ++id;
    }
}

std::vector<std::int64_t> SearchTable::bestScores(const std::vector<PreparedTerm>& terms) const {
    // Per term, each row's best shortcode or keyword score; below that, whether only its name holds
    // the term, or nothing does.
    constexpr std::int64_t kNothing = -3;
    constexpr std::int64_t kOnlyName = -2;
    std::vector<std::int64_t> best(rowCount_, -1);
    std::vector<std::int64_t> termBest(rowCount_, kNothing);

    for (const auto& term : terms) {
        forEachMatch(term, [&](std::uint32_t id, MatchKind kind) {
            const auto excess = lengths_[id] - term.length;
            const auto asShortcode = search_text::shortcodeScore(kind, excess);
            const auto asKeyword = search_text::keywordScore(kind, excess);
            for (auto p = postingStart_[id]; p < postingStart_[id + 1]; ++p) {
                const auto& posting = postings_[p];
                const auto score = posting.role == Role::name ? kOnlyName
                                   : posting.role == Role::shortcode
                                       ? asShortcode
                                       : std::max<std::int64_t>(0, asKeyword - posting.penalty);
                auto& value = termBest[posting.row];
                value = std::max(value, score);
            }
        });
        for (std::size_t row = 0; row < rowCount_; ++row) {
            auto& value = termBest[row];
            if (value == kNothing) continue;
            const auto score = value == kOnlyName ? search_text::kNameScore : value;
            best[row] = std::max(best[row], std::max<std::int64_t>(0, score - term.penalty));
            value = kNothing;
        }
    }
    return best;
}

}  // namespace mosaiko
