// The search index: one row per entry with its lowercased name and shortcodes and an expanded,
// penalised keyword list. All linguistic work happens here, once per rebuild.

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

#include "content/EmojiDatabase.hpp"
#include "content/SearchTable.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

constexpr std::int64_t kDeinflectedPenalty = 120;
constexpr std::int64_t kRelatedPenalty = 900;

bool isTokenSeparator(std::string_view character) {
    return character == "_" || character == "-" || character == "+";
}

// A letter or a number, judged by the first scalar of the character.
bool isWordCharacter(std::string_view character) {
    const auto scalar = text::firstScalar(character);
    return text::isLetter(scalar) || text::isNumber(scalar);
}

const std::unordered_set<std::string>& keywordStopWords() {
    static const std::unordered_set<std::string> words{"a",  "an",  "the", "of", "with", "and", "or",
                                                       "to", "for", "in",  "on", "at",   "from"};
    return words;
}

const std::map<std::string, std::vector<std::string>>& keywordExpansionMap() {
    static const auto map = [] {
        const std::vector<std::vector<std::string>> groups{
            {"laugh", "laughing", "laughter", "haha", "lol", "rofl", "joy", "funny"},
            {"cry", "crying", "sob", "sobbing", "tear", "tears", "bawl", "bawling"},
            {"happy", "joy", "smile", "smiling", "grin", "grinning", "cheerful"},
            {"sad", "unhappy", "cry", "crying", "sob", "tears", "depressed"},
            {"angry", "mad", "rage", "furious", "annoyed"},
            {"love", "heart", "hearts", "romance", "affection", "adorable", "lovely"},
            {"kiss", "kissing", "smooch", "xoxo", "love"},
            {"think", "thinking", "ponder", "hmm", "confused"},
            {"confused", "puzzled", "unsure", "thinking", "huh"},
            {"shock", "shocked", "surprise", "surprised", "wow", "omg", "astonished", "amazed", "gasp"},
            {"scared", "fear", "afraid", "terrified", "frightened"},
            {"sleep", "sleeping", "tired", "sleepy", "drowsy", "yawn", "yawning"},
            {"sick", "ill", "nausea", "nauseous", "vomit", "fever", "unwell"},
            {"party", "celebrate", "celebration", "festive", "congrats", "hooray"},
            {"cool", "sunglasses", "awesome", "swag"},
            {"yes", "ok", "approve", "approved", "accept", "acceptance"},
            {"no", "deny", "denied", "reject", "rejected"},
            {"fire", "flame", "hot", "lit"},
            {"cold", "freezing", "chilly", "ice"},
            {"pray", "prayer", "thanks", "thankful", "grateful", "please"},
            {"poop", "shit", "poo", "crap"},
            {"money", "cash", "dollar", "wealth", "rich"},
            {"cat", "kitty", "feline"},
            {"dog", "puppy", "canine"},
        };
        std::map<std::string, std::set<std::string>> related;
        for (const auto& group : groups) {
            std::vector<std::string> words;
            for (const auto& word : group) {
                auto normalized = EmojiDatabase::normalizeSearchToken(word);
                if (!normalized.empty()) words.push_back(std::move(normalized));
            }
            for (const auto& word : words) {
                for (const auto& other : words) {
                    if (other != word) related[word].insert(other);
                }
            }
        }
        std::map<std::string, std::vector<std::string>> result;
        for (auto& [word, others] : related) result[word].assign(others.begin(), others.end());
        return result;
    }();
    return map;
}

bool isIndexable(const std::string& token) {
    return text::characterCount(token) >= 2 && !keywordStopWords().contains(token);
}

// Lowers the penalty of a term (adding it when new); a penalty is never raised.
void lowerPenalty(std::map<std::string, std::int64_t>& penalties, const std::string& term,
                  std::int64_t penalty) {
    auto [it, inserted] = penalties.try_emplace(term, penalty);
    if (!inserted) it->second = std::min(it->second, penalty);
}

}  // namespace

std::string EmojiDatabase::normalizeSearchToken(std::string_view text) {
    std::string out;
    bool lastWasSeparator = false;
    for (const auto& character : text::characters(text::lowercased(text))) {
        if (isWordCharacter(character)) {
            out += character;
            lastWasSeparator = false;
        } else if (isTokenSeparator(character) && !out.empty() && !lastWasSeparator) {
            out += character;
            lastWasSeparator = true;
        }
    }
    // Separators are whole characters of one byte each, and never lead.
    while (!out.empty() && isTokenSeparator(std::string_view(&out.back(), 1))) out.pop_back();
    return text::nfc(out);
}

std::vector<std::string> EmojiDatabase::normalizedTokenCandidates(std::string_view text) {
    std::vector<std::string> candidates;
    std::unordered_set<std::string> seen;
    auto add = [&](std::string candidate) {
        if (seen.insert(candidate).second) candidates.push_back(std::move(candidate));
    };

    std::vector<std::string> pieces(1);
    for (const auto& character : text::characters(text::lowercased(text))) {
        if (isWordCharacter(character) || isTokenSeparator(character)) {
            pieces.back() += character;
        } else if (!pieces.back().empty()) {
            pieces.emplace_back();
        }
    }
    for (const auto& piece : pieces) {
        if (piece.empty()) continue;
        auto normalized = normalizeSearchToken(piece);
        if (normalized.empty()) continue;
        add(normalized);
        std::string part;
        for (const auto& character : text::characters(normalized)) {
            if (!isTokenSeparator(character)) {
                part += character;
                continue;
            }
            if (text::characterCount(part) >= 2) add(part);
            part.clear();
        }
        if (text::characterCount(part) >= 2) add(part);
    }
    return candidates;
}

std::vector<std::string> EmojiDatabase::deinflectedTokens(std::string_view token) {
    using search_text::hasCharacterSuffix;
    const auto length = text::characterCount(token);
    // The suffixes are whole one-byte characters, so dropping characters drops as many bytes.
    auto dropping = [&](std::size_t count) { return std::string(token.substr(0, token.size() - count)); };
    std::set<std::string> forms;
    if (hasCharacterSuffix(token, "ies") && length >= 5) forms.insert(dropping(3) + "y");
    if (hasCharacterSuffix(token, "ing") && length >= 6) forms.insert(dropping(3));
    if (hasCharacterSuffix(token, "ed") && length >= 5) forms.insert(dropping(2));
    if (hasCharacterSuffix(token, "ers") && length >= 6) {
        forms.insert(dropping(3));
    } else if (hasCharacterSuffix(token, "er") && length >= 5) {
        forms.insert(dropping(2));
    }
    if (hasCharacterSuffix(token, "es") && length >= 5) {
        forms.insert(dropping(2));
    } else if (hasCharacterSuffix(token, "s") && length >= 4) {
        forms.insert(dropping(1));
    }
    std::vector<std::string> result;
    for (const auto& form : forms) {
        if (text::characterCount(form) >= 2) result.push_back(form);
    }
    return result;
}

std::vector<EmojiDatabase::IndexedEmoji::IndexedKeyword> EmojiDatabase::expandedKeywords(
    const EmojiEntry& entry) {
    std::map<std::string, std::int64_t> penalties;
    std::vector<std::string> baseTokens;
    std::unordered_set<std::string> inBase;
    auto addBase = [&](const std::string& token) {
        if (inBase.insert(token).second) baseTokens.push_back(token);
    };

    std::vector<std::string> sources = entry.keywords;
    sources.insert(sources.end(), entry.shortcodes.begin(), entry.shortcodes.end());
    sources.push_back(entry.name);
    for (const auto& source : sources) {
        for (const auto& candidate : normalizedTokenCandidates(source)) {
            if (!isIndexable(candidate)) continue;
            lowerPenalty(penalties, candidate, 0);
            addBase(candidate);
        }
    }

    const auto ownTokenCount = baseTokens.size();
    for (std::size_t i = 0; i < ownTokenCount; ++i) {
        for (const auto& form : deinflectedTokens(baseTokens[i])) {
            if (!isIndexable(form)) continue;
            lowerPenalty(penalties, form, kDeinflectedPenalty);
            addBase(form);
        }
    }

    const auto& expansion = keywordExpansionMap();
    for (const auto& token : baseTokens) {
        const auto related = expansion.find(token);
        if (related == expansion.end()) continue;
        for (const auto& word : related->second) {
            if (isIndexable(word)) lowerPenalty(penalties, word, kRelatedPenalty);
        }
    }

    std::vector<IndexedEmoji::IndexedKeyword> keywords;
    keywords.reserve(penalties.size());
    for (const auto& [term, penalty] : penalties) keywords.push_back({term, penalty});
    // The map is ordered by term already; the stable sort keeps that order within a penalty.
    std::stable_sort(keywords.begin(), keywords.end(),
                     [](const auto& a, const auto& b) { return a.penalty < b.penalty; });
    return keywords;
}

std::optional<std::int64_t> EmojiDatabase::IndexedEmoji::score(std::string_view term) const {
    const auto canonicalTerm = text::nfc(term);
    if (canonicalTerm.empty()) return std::nullopt;
    const auto termLength = static_cast<std::int64_t>(text::characterCount(canonicalTerm));
    auto excess = [&](const std::string& s) {
        return static_cast<std::int64_t>(text::characterCount(s)) - termLength;
    };

    std::int64_t best = -1;
    for (const auto& shortcode : shortcodes) {
        const auto canonical = text::nfc(shortcode);
        const auto kind = search_text::matchKind(canonical, canonicalTerm);
        if (kind != search_text::MatchKind::none) {
            best = std::max(best, search_text::shortcodeScore(kind, excess(canonical)));
        }
    }
    for (const auto& keyword : keywords) {
        const auto canonical = text::nfc(keyword.term);
        const auto kind = search_text::matchKind(canonical, canonicalTerm);
        if (kind != search_text::MatchKind::none) {
            const auto value = search_text::keywordScore(kind, excess(canonical)) - keyword.penalty;
            best = std::max(best, std::max<std::int64_t>(0, value));
        }
    }
    if (best >= 0) return best;
    if (search_text::matchKind(text::nfc(name), canonicalTerm) != search_text::MatchKind::none) {
        return search_text::kNameScore;
    }
    return std::nullopt;
}

void EmojiDatabase::rebuildIndex() {
    const auto& list = emojis_.value();
    std::vector<IndexedEmoji> rows;
    rows.reserve(list.size());
    std::unordered_map<std::string, std::size_t> emojiLookup;
    emojiLookup.reserve(list.size() * 2);
    std::unordered_map<std::string, std::size_t> idLookup;
    idLookup.reserve(list.size());
    std::map<std::string, std::vector<std::size_t>> categoryLookup;
    std::vector<std::size_t> snippets;

    // Rows depend only on their entry, so an unchanged entry (every emoji of the data file when the
    // extra entries change) keeps the row it had.
    std::unordered_map<std::string_view, const IndexedEmoji*> previousRows;
    previousRows.reserve(index_.size());
    for (const auto& previous : index_) previousRows.emplace(previous.entry.id, &previous);

    for (std::size_t row = 0; row < list.size(); ++row) {
        const auto& entry = list[row];
        if (const auto previous = previousRows.find(entry.id);
            previous != previousRows.end() && previous->second->entry == entry) {
            rows.push_back(*previous->second);
        } else {
            IndexedEmoji indexed{entry, text::lowercased(entry.name), {}, expandedKeywords(entry)};
            indexed.shortcodes.reserve(entry.shortcodes.size());
            for (const auto& shortcode : entry.shortcodes)
                indexed.shortcodes.push_back(text::lowercased(shortcode));
            rows.push_back(std::move(indexed));
        }

        emojiLookup[text::nfc(entry.emoji)] = row;
        idLookup[text::nfc(entry.id)] = row;
        auto key = normalizeCategoryKey(entry.category);
        if (!key.empty()) categoryLookup[std::move(key)].push_back(row);
        if (search_text::hasCharacterPrefix(entry.id, "snippet-")) snippets.push_back(row);
        if (entry.variants) {
            for (const auto& option : entry.variants->options()) emojiLookup[text::nfc(option.emoji)] = row;
        }
    }
    if (!snippets.empty()) categoryLookup["shortcodes"] = std::move(snippets);

    auto table = std::make_unique<SearchTable>(rows);
    index_ = std::move(rows);
    emojiLookup_ = std::move(emojiLookup);
    idLookup_ = std::move(idLookup);
    categoryLookup_ = std::move(categoryLookup);
    searchTable_ = std::move(table);
}

}  // namespace mosaiko
