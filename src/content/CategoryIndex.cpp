#include "content/CategoryIndex.hpp"

#include <algorithm>
#include <set>

#include "content/SearchText.hpp"
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

CategoryIndex::CategoryIndex(const std::vector<EmojiEntry>& entries) {
    std::vector<std::size_t> snippets;
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const auto& entry = entries[row];
        auto key = normalizeKey(entry.category);
        if (!key.empty()) rowsByKey_[std::move(key)].push_back(row);
        if (search_text::hasCharacterPrefix(entry.id, "snippet-")) snippets.push_back(row);
    }
    if (!snippets.empty()) rowsByKey_["shortcodes"] = std::move(snippets);
}

std::string CategoryIndex::normalizeKey(std::string_view text) {
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

std::vector<std::string> CategoryIndex::candidates(const std::string& key) {
    std::vector<std::string> result;
    auto add = [&](std::string candidate) {
        if (!candidate.empty() && std::find(result.begin(), result.end(), candidate) == result.end()) {
            result.push_back(std::move(candidate));
        }
    };
    // The key ends in whole one-byte characters whenever these suffixes match, so bytes stand for
    // characters below.
    add(key);
    if (search_text::hasCharacterSuffix(key, "s")) {
        add(key.substr(0, key.size() - 1));
    } else {
        add(key + "s");
    }
    if (search_text::hasCharacterSuffix(key, "y")) {
        add(key.substr(0, key.size() - 1) + "ies");
    } else if (search_text::hasCharacterSuffix(key, "ies")) {
        add(key.substr(0, key.size() - 3) + "y");
    }
    const auto spelled = result;  // aliases of aliases are not followed
    for (const auto& candidate : spelled) {
        if (const auto alias = categoryAliases().find(candidate); alias != categoryAliases().end()) {
            add(alias->second);
        }
    }
    return result;
}

const std::vector<std::size_t>* CategoryIndex::rows(std::string_view query) const {
    const auto key = normalizeKey(query);
    if (key.empty()) return nullptr;
    const auto spellings = candidates(key);
    for (const auto& candidate : spellings) {
        if (const auto exact = rowsByKey_.find(candidate); exact != rowsByKey_.end()) return &exact->second;
    }
    return onlyKeyStartingWithACandidate(spellings);
}

const std::vector<std::size_t>* CategoryIndex::onlyKeyStartingWithACandidate(
    const std::vector<std::string>& candidates) const {
    std::set<std::string> prefixed;
    for (const auto& candidate : candidates) {
        if (lengthWithoutSpaces(candidate) < 3) continue;
        for (const auto& [key, rows] : rowsByKey_) {
            if (!search_text::hasCharacterPrefix(key, candidate)) continue;
            prefixed.insert(key);
            if (prefixed.size() > 1) return nullptr;
        }
    }
    if (prefixed.size() != 1) return nullptr;
    return &rowsByKey_.at(*prefixed.begin());
}

}  // namespace mosaiko
