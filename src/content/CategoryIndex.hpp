#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "content/EmojiEntry.hpp"

namespace mosaiko {

// The entries of each category, by category key, so that a query may name a category instead of
// an entry ("food", "animal", "smileys", "shortcodes"). The key "shortcodes" holds every snippet.
class CategoryIndex {
  public:
    CategoryIndex() = default;
    // Files row i of the list under the key of entries[i]'s category.
    explicit CategoryIndex(const std::vector<EmojiEntry>& entries);

    // The rows of the category the query names, in list order; null when it names none. The query
    // is trimmed and lowercased already.
    const std::vector<std::size_t>* rows(std::string_view query) const;

    // Lowercase words separated by single spaces, without "and": "Smileys & Emotion" gives
    // "smileys emotion".
    static std::string normalizeKey(std::string_view text);

  private:
    // The spellings a query may stand for: itself, its singular or plural, then their aliases.
    static std::vector<std::string> candidates(const std::string& key);
    const std::vector<std::size_t>* onlyKeyStartingWithACandidate(
        const std::vector<std::string>& candidates) const;

    std::map<std::string, std::vector<std::size_t>> rowsByKey_;
};

}  // namespace mosaiko
