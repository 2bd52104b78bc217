#pragma once
// Entries of the emoji list, made up for tests.
#include <string>
#include <vector>

#include "content/EmojiDatabase.hpp"

namespace mosaiko::testing {

inline EmojiEntry entry(std::string id, std::string emoji, std::string name,
                        std::string category = "Smileys & Emotion",
                        std::vector<std::string> shortcodes = {}) {
    EmojiEntry e;
    e.id = std::move(id);
    e.emoji = std::move(emoji);
    e.name = std::move(name);
    e.category = std::move(category);
    e.shortcodes = std::move(shortcodes);
    return e;
}

// The thumbs-up sign untoned and in each of the five skin tones.
inline EmojiEntry::Variants thumbsUpVariants() {
    return EmojiEntry::Variants({{"👍", {}, {}},
                                 {"👍🏻", {SkinTone::light}, {}},
                                 {"👍🏼", {SkinTone::mediumLight}, {}},
                                 {"👍🏽", {SkinTone::medium}, {}},
                                 {"👍🏾", {SkinTone::mediumDark}, {}},
                                 {"👍🏿", {SkinTone::dark}, {}}});
}

}  // namespace mosaiko::testing
