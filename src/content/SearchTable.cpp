#include "content/SearchTable.hpp"

#include <algorithm>
#include <array>
#include <bit>
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

SearchTable::Builder::Builder(std::size_t rowCount) {
    entries_.reserve(rowCount);
    postings_.reserve(rowCount * 12);
}

void SearchTable::Builder::startRow(const EmojiEntry& entry) {
    entries_.push_back(&entry);
    // As IndexedEmoji::make has them.
    addText(text::lowercased(entry.name), Role::name, 0);
    for (const auto& shortcode : entry.shortcodes) addText(text::lowercased(shortcode), Role::shortcode, 0);
}

void SearchTable::Builder::addText(std::string_view text, Role role, std::int64_t penalty) {
    auto [it, inserted] = ids_.try_emplace(text::nfc(text), static_cast<std::uint32_t>(texts_.size()));
    if (inserted) texts_.push_back(&it->first);
    const auto row = static_cast<std::uint32_t>(entries_.size() - 1);
    postings_.emplace_back(it->second, Posting{row, static_cast<std::int16_t>(penalty), role});
}

void SearchTable::Builder::add(const EmojiEntry& entry) {
    startRow(entry);
    for (const auto& keyword : IndexedEmoji::expandedKeywords(entry))
        addText(keyword.term, Role::keyword, keyword.penalty);
}

void SearchTable::Builder::copy(const SearchTable& previous, std::size_t row, const EmojiEntry& entry) {
    if (previous_ != &previous) {
        previous_ = &previous;
        std::vector<std::pair<std::uint32_t, Keyword>> keywords;
        for (std::uint32_t id = 0; id + 1 < previous.postingStart_.size(); ++id) {
            for (auto p = previous.postingStart_[id]; p < previous.postingStart_[id + 1]; ++p) {
                const auto& posting = previous.postings_[p];
                if (posting.role == Role::keyword)
                    keywords.emplace_back(posting.row, Keyword{id, posting.penalty});
            }
        }
        groupByText(keywords, previous.rowCount(), previousStart_, previousKeywords_);
    }
    startRow(entry);
    for (auto i = previousStart_[row]; i < previousStart_[row + 1]; ++i) {
        const auto& keyword = previousKeywords_[i];
        addText(previous.text(keyword.text), Role::keyword, keyword.penalty);
    }
}

SearchTable SearchTable::Builder::build() {
    SearchTable table;
    const auto rowCount = entries_.size();

    std::size_t bufferSize = 0;
    for (const auto* text : texts_) bufferSize += text->size() + 1;
    table.buffer_.reserve(bufferSize);
    table.offsets_.reserve(texts_.size() + 1);
    table.lengths_.reserve(texts_.size());
    table.simple_.reserve(texts_.size());
    for (const auto* text : texts_) {
        table.offsets_.push_back(static_cast<std::uint32_t>(table.buffer_.size()));
        table.buffer_ += *text;
        table.buffer_ += '\0';
        table.lengths_.push_back(static_cast<std::uint32_t>(text::characterCount(*text)));
        table.simple_.push_back(isSimple(*text) ? 1 : 0);
    }
    table.offsets_.push_back(static_cast<std::uint32_t>(table.buffer_.size()));

    const auto words = table.wordsPerSet();
    std::uint16_t sets = 0;
    for (std::uint32_t id = 0; id < texts_.size(); ++id) {
        for (const char c : *texts_[id]) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x80) continue;
            auto& set = table.byteSet_[byte];
            if (set == 0) {
                set = ++sets;
                table.byteBits_.resize(sets * words);
            }
            table.byteBits_[(set - 1) * words + id / 64] |= std::uint64_t{1} << (id % 64);
        }
    }
    table.byteBits_.shrink_to_fit();

    groupByText(postings_, texts_.size(), table.postingStart_, table.postings_);

    table.kinds_.reserve(rowCount);
    std::vector<std::string> canonicalNames;
    canonicalNames.reserve(rowCount);
    for (const auto* entry : entries_) {
        const auto& id = entry->id;
        table.kinds_.push_back(search_text::hasCharacterPrefix(id, "glyph-")      ? Kind::glyph
                               : search_text::hasCharacterPrefix(id, "emoticon-") ? Kind::emoticon
                                                                                  : Kind::other);
        canonicalNames.push_back(text::nfc(entry->name));
    }
    auto& byName = table.byName_;
    byName.resize(rowCount);
    std::iota(byName.begin(), byName.end(), 0);
    std::stable_sort(byName.begin(), byName.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return canonicalNames[a] < canonicalNames[b]; });
    return table;
}

std::vector<IndexedEmoji> SearchTable::rows(std::span<const EmojiEntry> entries, std::size_t first,
                                            std::size_t count) const {
    std::vector<IndexedEmoji> result;
    result.reserve(count);
    for (const auto& entry : entries.subspan(first, count)) {
        result.push_back({&entry, text::lowercased(entry.name), {}, {}});
        for (const auto& shortcode : entry.shortcodes)
            result.back().shortcodes.push_back(text::lowercased(shortcode));
    }
    for (std::uint32_t id = 0; id + 1 < postingStart_.size(); ++id) {
        for (auto p = postingStart_[id]; p < postingStart_[id + 1]; ++p) {
            const auto& posting = postings_[p];
            if (posting.role != Role::keyword || posting.row < first || posting.row >= first + count)
                continue;
            result[posting.row - first].keywords.push_back({std::string(text(id)), posting.penalty});
        }
    }
    // In the order a row is made with: by penalty, then term.
    for (auto& row : result) {
        std::sort(row.keywords.begin(), row.keywords.end(), [](const auto& a, const auto& b) {
            return a.penalty != b.penalty ? a.penalty < b.penalty : a.term < b.term;
        });
    }
    return result;
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

namespace {

// How a text that holds `letter`, and whose every byte is a character, matches that one letter.
search_text::MatchKind letterKind(std::string_view text, char letter) {
    if (text.front() != letter) return search_text::MatchKind::contains;
    return text.size() == 1 ? search_text::MatchKind::equal : search_text::MatchKind::prefix;
}

}  // namespace

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
        const auto set = byteSet_[static_cast<unsigned char>(needle[0])];
        if (set == 0) return;
        const auto words = wordsPerSet();
        const auto* bits = byteBits_.data() + (set - 1) * words;
        for (std::size_t word = 0; word < words; ++word) {
            for (auto rest = bits[word]; rest != 0; rest &= rest - 1) {
                const auto id =
                    static_cast<std::uint32_t>(word * 64 + static_cast<unsigned>(std::countr_zero(rest)));
                const auto candidate = text(id);
                // In a simple text every byte is a character: where the letter first stands need
                // not be looked for, only whether it stands first.
                const auto kind = simple_[id] ? letterKind(candidate, needle[0])
                                              : classify(id, candidate.find(needle[0]), needle);
                if (kind != MatchKind::none) f(id, kind);
            }
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
    std::vector<std::int64_t> best(rowCount(), -1);
    std::vector<std::int64_t> termBest(rowCount(), kNothing);

    for (const auto& term : terms) {
        forEachMatch(term, [&](std::uint32_t id, MatchKind kind) {
            const auto excess = static_cast<std::int64_t>(lengths_[id]) - term.length;
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
        for (std::size_t row = 0; row < rowCount(); ++row) {
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
