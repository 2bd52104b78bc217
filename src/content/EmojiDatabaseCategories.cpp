// A query may name a category instead of an entry ("food", "animal", "smileys", "shortcodes").

#include <algorithm>
#include <map>
#include <set>

#include "content/EmojiDatabase.hpp"
#include "content/SearchTable.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

const std::map<std::string, std::string>& categoryAliases() {
    static const std::map<std::string, std::string> aliases{
        {"people", "people body"},       {"person", "people body"},     {"body", "people body"},
        {"smileys", "smileys emotion"},  {"smiley", "smileys emotion"}, {"emotion", "smileys emotion"},
        {"emotions", "smileys emotion"}, {"animals", "animals nature"}, {"animal", "animals nature"},
        {"nature", "animals nature"},    {"food", "food drink"},        {"drink", "food drink"},
        {"drinks", "food drink"},        {"travel", "travel places"},   {"place", "travel places"},
        {"places", "travel places"},
    };
    return aliases;
}

std::size_t lengthWithoutSpaces(const std::string& s) {
    std::string kept;
    std::copy_if(s.begin(), s.end(), std::back_inserter(kept), [](char c) { return c != ' '; });
    return text::characterCount(kept);
}

}  // namespace

std::string EmojiDatabase::normalizeCategoryKey(std::string_view text) {
    std::u32string spaced;
    bool inRun = false;
    for (const char32_t scalar : text::scalars(text::lowercased(text))) {
        if (text::isAlphanumeric(scalar)) {
            spaced.push_back(scalar);
            inRun = false;
        } else if (!inRun) {
            spaced.push_back(U' ');
            inRun = true;
        }
    }
    std::vector<std::string> words;
    for (auto& piece : text::split(text::trimmed(text::fromScalars(spaced)), " ")) {
        if (!piece.empty() && piece != "and") words.push_back(std::move(piece));
    }
    return text::nfc(text::join(words, " "));
}

std::optional<std::vector<EmojiEntry>> EmojiDatabase::categoryEntries(std::string_view query) const {
    const auto q = text::lowercased(text::trimmed(query));
    if (q.empty()) return std::nullopt;
    return matchCategory(q);
}

std::optional<std::vector<EmojiEntry>> EmojiDatabase::matchCategory(std::string_view query) const {
    const auto key = normalizeCategoryKey(query);
    if (key.empty()) return std::nullopt;

    std::vector<std::string> candidates;
    auto addCandidate = [&](std::string candidate) {
        if (!candidate.empty() &&
            std::find(candidates.begin(), candidates.end(), candidate) == candidates.end()) {
            candidates.push_back(std::move(candidate));
        }
    };
    // The key ends in whole one-byte characters whenever these suffixes match, so bytes stand for
    // characters below.
    addCandidate(key);
    if (search_text::hasCharacterSuffix(key, "s")) {
        addCandidate(key.substr(0, key.size() - 1));
    } else {
        addCandidate(key + "s");
    }
    if (search_text::hasCharacterSuffix(key, "y")) {
        addCandidate(key.substr(0, key.size() - 1) + "ies");
    } else if (search_text::hasCharacterSuffix(key, "ies")) {
        addCandidate(key.substr(0, key.size() - 3) + "y");
    }
    const auto spelled = candidates;
    for (const auto& candidate : spelled) {
        if (const auto alias = categoryAliases().find(candidate); alias != categoryAliases().end()) {
            addCandidate(alias->second);
        }
    }

    for (const auto& candidate : candidates) {
        if (const auto exact = categoryLookup_.find(candidate); exact != categoryLookup_.end()) {
            return entriesOfRows(exact->second);
        }
    }

    std::set<std::string> prefixed;
    for (const auto& candidate : candidates) {
        if (lengthWithoutSpaces(candidate) < 3) continue;
        for (const auto& [categoryKey, rows] : categoryLookup_) {
            if (!search_text::hasCharacterPrefix(categoryKey, candidate)) continue;
            prefixed.insert(categoryKey);
            if (prefixed.size() > 1) break;
        }
        if (prefixed.size() > 1) break;
    }
    if (prefixed.size() != 1) return std::nullopt;
    return entriesOfRows(categoryLookup_.at(*prefixed.begin()));
}

std::vector<EmojiEntry> EmojiDatabase::entriesOfRows(const std::vector<std::size_t>& rows) const {
    std::vector<EmojiEntry> entries;
    entries.reserve(rows.size());
    for (const auto row : rows) entries.push_back(index_[row].entry);
    return entries;
}

}  // namespace mosaiko
