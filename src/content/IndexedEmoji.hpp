#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/EmojiEntry.hpp"

namespace mosaiko {

// One search row of an entry: its lowercased name and shortcodes, and the keywords it is found by,
// expanded (own tokens, their deinflected forms, related words) and penalised by how far they are
// from the entry's own texts. All linguistic work happens when a row is made.
//
// A row refers to its entry, which lives in the list the index was built over and must outlive the
// row: the emoji data is the largest part of the program's memory, and is held once.
struct IndexedEmoji {
    struct IndexedKeyword {
        std::string term;
        std::int64_t penalty = 0;  // 0 own token, 120 deinflected form, 900 related word
        bool operator==(const IndexedKeyword&) const = default;
    };

    const EmojiEntry* source = nullptr;
    std::string name;
    std::vector<std::string> shortcodes;
    std::vector<IndexedKeyword> keywords;  // by penalty, then term

    static IndexedEmoji make(const EmojiEntry& entry);

    const EmojiEntry& entry() const { return *source; }

    // The score of one query term against this row (the best shortcode or keyword match, else
    // 2500 when the name contains the term); none when nothing matches.
    std::optional<std::int64_t> score(std::string_view term) const;

    // The keyword list of an entry, each term once with the smallest penalty any source gave it.
    static std::vector<IndexedKeyword> expandedKeywords(const EmojiEntry& entry);
    // Crude English forms of a token without its ending ("flies" gives "fli" and "fly").
    static std::vector<std::string> deinflectedTokens(std::string_view token);

    // Rows are equal when their entries and texts are, wherever the entries are held.
    bool operator==(const IndexedEmoji& other) const {
        return entry() == other.entry() && name == other.name && shortcodes == other.shortcodes &&
               keywords == other.keywords;
    }
};

}  // namespace mosaiko
