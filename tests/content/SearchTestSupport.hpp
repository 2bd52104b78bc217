#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "content/EmojiDatabase.hpp"

namespace mosaiko::testing_support {

inline constexpr OperatingSystemVersion kSystem14{14, 0, 0};

// An entry without variants; its text is made from the id so that every entry has its own.
inline EmojiEntry makeEntry(std::string id, std::string name, std::vector<std::string> shortcodes = {},
                            std::vector<std::string> keywords = {}, std::string category = "Symbols") {
    EmojiEntry entry;
    entry.emoji = "<" + id + ">";
    entry.id = std::move(id);
    entry.name = std::move(name);
    entry.category = std::move(category);
    entry.shortcodes = std::move(shortcodes);
    entry.keywords = std::move(keywords);
    return entry;
}

inline std::vector<EmojiEntry> listOf(std::span<const EmojiEntry> entries) {
    return {entries.begin(), entries.end()};
}

inline std::vector<std::string> ids(const std::vector<EmojiEntry>& entries) {
    std::vector<std::string> result;
    for (const auto& entry : entries) result.push_back(entry.id);
    return result;
}

inline AppBundle testBundle(const std::string& folder) {
    return AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR) / "tests/content/data" / folder);
}

inline AppBundle shippedBundle() {
    return AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR) / "resources");
}

}  // namespace mosaiko::testing_support
