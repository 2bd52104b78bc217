#include "content/GlyphCatalog.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/Text.hpp"

namespace mosaiko {
namespace {

using Strings = std::vector<std::string>;

EmojiEntry entryWith(std::string name, Strings shortcodes, Strings keywords) {
    EmojiEntry entry;
    entry.id = "glyph-test";
    entry.name = std::move(name);
    entry.shortcodes = std::move(shortcodes);
    entry.keywords = std::move(keywords);
    return entry;
}

std::string sectionOf(std::string name, Strings shortcodes = {}, Strings keywords = {}) {
    return GlyphCatalog::libraryCategory(
        entryWith(std::move(name), std::move(shortcodes), std::move(keywords)));
}

TEST(GlyphCatalogTest, RowsAreWellFormedAndUnique) {
    const auto& entries = GlyphCatalog::entries();
    ASSERT_EQ(entries.size(), 163u);
    std::set<std::string> ids, shortcodes;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        EXPECT_TRUE(ids.insert(entry.id).second) << entry.id;
        EXPECT_EQ(entry.id.rfind("glyph-", 0), 0u) << entry.id;
        EXPECT_EQ(entry.category, "Glyphs");
        EXPECT_FALSE(entry.variants || entry.minimumMacOSVersion) << entry.id;
        for (const auto& shortcode : entry.shortcodes)
            EXPECT_TRUE(shortcodes.insert(shortcode).second) << shortcode;
        // Rows 7 to 11 are the ASCII arrows; every other glyph is one scalar.
        if (i < 6 || i > 10) {
            EXPECT_EQ(text::scalarCount(entry.emoji), 1u) << entry.id;
        }
    }
    EXPECT_EQ(entries[10].emoji, "<->");
    EXPECT_EQ(text::scalars(entries[80].emoji), std::u32string{0x1D453});
    // The invisible spaces insert exactly one scalar and nothing else.
    EXPECT_EQ(entries[43].id, "glyph-zero-width-space");
    EXPECT_EQ(entries[43].emoji, "\xE2\x80\x8B");
    EXPECT_EQ(entries[44].emoji, "\xC2\xA0");
    EXPECT_EQ(entries[78].name, "Latin capital letter O with stroke");
    EXPECT_EQ(entries[78].shortcodes, (Strings{"o_slash_upper", "o_stroke_upper", "uppercase_o_slash"}));
}

TEST(GlyphCatalogTest, EveryRowFallsIntoItsLibrarySection) {
    const std::map<char, std::string> sections{{'A', "Arrows"},        {'M', "Marks & Shapes"},
                                               {'L', "Math & Logic"},  {'C', "Currency & Fractions"},
                                               {'T', "Letters"},       {'S', "Symbols & Ornaments"},
                                               {'K', "Cards & Chess"}, {'W', "Sky & Weather"},
                                               {'B', "Box Drawing"}};
    // One letter per row, in row order.
    const std::string expected =
        "AAAAAAAAAAAMMMMMMMMMMMMBBLLLLLLLLSSLLLLSMMMWWSSSSSSSCCCCCCCCAAAAAAABBBBBBBBBBBTT"
        "LTTTLLTTSSSSSSSSSSSSMSMMMLSSSSSKKKKKKKKKKKKSSSSSWWWWWWWWSSSCCSWMMCCCCCCMMLLLLLLLLLL";
    const auto& entries = GlyphCatalog::entries();
    ASSERT_EQ(expected.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(GlyphCatalog::libraryCategory(entries[i]), sections.at(expected[i])) << entries[i].id;
    }
}

TEST(GlyphCatalogTest, SectionRuleMatchesWholeTermsInGroupOrder) {
    // The name splits at every scalar that is neither letter nor number; shortcodes stay whole.
    EXPECT_EQ(sectionOf("Fleur-de-box"), "Box Drawing");
    EXPECT_EQ(sectionOf("Zero width space"), "Sky & Weather");
    EXPECT_EQ(sectionOf("Odd", {"arrow_right"}), "Symbols & Ornaments");
    EXPECT_EQ(sectionOf("Odd", {"Arrow"}), "Arrows");
    EXPECT_EQ(sectionOf("Odd", {}, {"DOT"}), "Marks & Shapes");
    EXPECT_EQ(sectionOf("Odd", {}, {"dots", "whitespace"}), "Symbols & Ornaments");
    EXPECT_EQ(sectionOf(""), "Symbols & Ornaments");
    // The first group in test order wins, whatever the order of the terms.
    EXPECT_EQ(sectionOf("Odd", {}, {"letter", "sum"}), "Math & Logic");
    EXPECT_EQ(sectionOf("Cross arrow"), "Arrows");
}

TEST(GlyphCatalogTest, SectionsComeInDisplayOrder) {
    const auto& entries = GlyphCatalog::entries();
    EXPECT_TRUE(GlyphCatalog::orderedLibraryCategories({}).empty());
    EXPECT_EQ(GlyphCatalog::orderedLibraryCategories({entries[1], entries[2]}), (Strings{"Arrows"}));
    // Box cross (row 78) before right arrow (row 1).
    EXPECT_EQ(GlyphCatalog::orderedLibraryCategories({entries[77], entries[0]}),
              (Strings{"Arrows", "Box Drawing"}));
    EXPECT_EQ(GlyphCatalog::orderedLibraryCategories(entries),
              (Strings{"Arrows", "Marks & Shapes", "Math & Logic", "Currency & Fractions", "Letters",
                       "Symbols & Ornaments", "Cards & Chess", "Sky & Weather", "Box Drawing"}));
}

}  // namespace
}  // namespace mosaiko
