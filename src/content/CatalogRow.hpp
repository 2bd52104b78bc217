#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "content/EmojiEntry.hpp"

namespace mosaiko {

// Makes the rows of a built-in catalog: entries of one category, without skin-tone variants or a
// minimum system version.
struct CatalogRow {
    std::string_view category;

    EmojiEntry operator()(const char* id, const char* text, const char* name,
                          std::vector<std::string> shortcodes, std::vector<std::string> keywords) const {
        EmojiEntry entry;
        entry.id = id;
        entry.emoji = text;
        entry.name = name;
        entry.category = std::string(category);
        entry.shortcodes = std::move(shortcodes);
        entry.keywords = std::move(keywords);
        return entry;
    }
};

}  // namespace mosaiko
