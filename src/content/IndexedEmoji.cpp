#include "content/IndexedEmoji.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

#include "content/SearchText.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

constexpr std::int64_t kDeinflectedPenalty = 120;
constexpr std::int64_t kRelatedPenalty = 900;

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
                auto normalized = search_text::normalizeSearchToken(word);
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

IndexedEmoji IndexedEmoji::make(const EmojiEntry& entry) {
    IndexedEmoji indexed{&entry, text::lowercased(entry.name), {}, expandedKeywords(entry)};
    indexed.shortcodes.reserve(entry.shortcodes.size());
    for (const auto& shortcode : entry.shortcodes) indexed.shortcodes.push_back(text::lowercased(shortcode));
    return indexed;
}

std::vector<std::string> IndexedEmoji::deinflectedTokens(std::string_view token) {
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

std::vector<IndexedEmoji::IndexedKeyword> IndexedEmoji::expandedKeywords(const EmojiEntry& entry) {
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
        for (const auto& candidate : search_text::normalizedTokenCandidates(source)) {
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

    std::vector<IndexedKeyword> keywords;
    keywords.reserve(penalties.size());
    for (const auto& [term, penalty] : penalties) keywords.push_back({term, penalty});
    // The map is ordered by term already; the stable sort keeps that order within a penalty.
    std::stable_sort(keywords.begin(), keywords.end(),
                     [](const auto& a, const auto& b) { return a.penalty < b.penalty; });
    return keywords;
}

std::optional<std::int64_t> IndexedEmoji::score(std::string_view term) const {
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

}  // namespace mosaiko
