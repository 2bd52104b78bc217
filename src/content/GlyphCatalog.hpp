#pragma once

#include <set>
#include <string>
#include <vector>

#include "content/EmojiEntry.hpp"

namespace mosaiko {

// The built-in symbols (arrows, marks, math signs, currency, letters, box drawing, suits, sky
// symbols, ornaments and two invisible spaces) offered in the category "Glyphs", and the word
// rules that sort them into the library's sections.
class GlyphCatalog {
  public:
    GlyphCatalog() = delete;

    // Every row, in catalog order. Ids start with "glyph-".
    static const std::vector<EmojiEntry>& entries();

    // The library section of an entry: the first word group that meets one of its terms (keywords,
    // whole shortcodes, and the words of its name), else "Symbols & Ornaments".
    static std::string libraryCategory(const EmojiEntry& entry);
    // The distinct sections of the given entries, in the library's display order.
    static std::vector<std::string> orderedLibraryCategories(const std::vector<EmojiEntry>& entries);

  private:
    static std::set<std::string> searchableTerms(const EmojiEntry& entry);
};

}  // namespace mosaiko
